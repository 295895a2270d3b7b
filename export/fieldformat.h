// How sample and file information fields turn into text in every output format. Texts are
// UTF-8 bytes appended to the document being built, so that an hour of samples costs few
// allocations: an export has to stay well below the time its recording takes to parse.
#pragma once

#include "parser/gpsdata.h"
#include "parser/parserobject.h"
#include "parser/videoinfo.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class CameraClock;

namespace FieldFormat {

// One field's value: a number, a UTF-8 text, or nothing (null in JSON, an empty CSV cell).
struct Value
{
    enum Type { Null, Number, Text };

    Value() = default;
    Value(double value)
        : type(Number)
        , number(value)
    { }
    Value(int value)
        : Value(double(value))
    { }
    Value(const QByteArray &value)
        : type(Text)
        , text(value)
    { }

    Type type = Null;
    double number = 0.0;
    QByteArray text;
};

// The double whose shortest decimal form is the float's shortest form, so 59.9f prints as
// 59.9 and not as the float's exact binary value.
double shortestFloat(float value);

// A finite number as QJsonDocument prints it (integral values without a fraction or exponent),
// so the CSV cells match the JSON values.
void appendNumber(QByteArray &out, double value);

// A finite number as xsd:decimal, which allows no exponent, for GPX, KML and GeoJSON.
void appendDecimal(QByteArray &out, double value);

// A text as a quoted JSON string, escaped as QJsonDocument escapes it.
void appendJsonString(QByteArray &out, const QByteArray &text);
void appendJsonValue(QByteArray &out, const Value &value);

// A CSV cell after RFC 4180: quoted when it holds a comma, a quote or a line break.
void appendCsvCell(QByteArray &out, const QByteArray &text);
// A number as appendNumber writes it, a text as a cell, nothing for null.
void appendCsvValue(QByteArray &out, const Value &value);

// A text as XML character data, with the control characters that XML 1.0 cannot carry
// replaced, since file names may hold them.
void appendXmlText(QByteArray &out, const QByteArray &text);

// The characters of a fixed text field up to its NUL, each byte taken as Latin-1.
QByteArray fieldText(const char *field, int size);

QByteArray sourceName(ParserObject::SampleSource source);

// The file information fields, names and values in the same order.
QVector<QByteArray> infoFieldNames();
QVector<Value> infoValues(const VideoInfo &info);

// The sample fields in the order the outputs list them; the last, utcTime, is the camera
// clock's reading in UTC.
QVector<QByteArray> sampleFieldNames();
QVector<Value> sampleValues(const GpsData &sample, CameraClock &clock);

// A track point needs a fix and a real position: 0/0 stands for "no position", and values
// outside the globe only come from damaged records.
bool isTrackPoint(const GpsData &sample);

// The texts a person reads, alike in the video's overlay and its subtitles. The camera's reading
// as "2024-03-15 08:30:05", empty when it cannot be read:
QString readingText(const GpsData &sample);
// "N35.123456 E139.123456", six decimals as the viewer shows them; "No fix" when the sample
// makes no track point.
QString positionText(const GpsData &sample);

} // namespace FieldFormat

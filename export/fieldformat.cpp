// Numbers go through std::to_chars, whose shortest forms equal Qt's in the ranges where it is
// used (checked against QByteArray::number); larger values take Qt's own path.
#include "fieldformat.h"

#include "cameraclock.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QMetaEnum>
#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace FieldFormat {

double shortestFloat(float value)
{
    if (!std::isfinite(value))
        return double(value);
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double result = double(value);
    std::from_chars(text, written.ptr, result);
    return result;
}

void appendNumber(QByteArray &out, double value)
{
    char text[32];
    char *end;
    // Integral values print without fraction or exponent while they fit 64 bits.
    if (value == std::trunc(value) && std::fabs(value) < 9.2e18)
        end = std::to_chars(text, text + sizeof text, qint64(value)).ptr;
    else if (std::fabs(value) < 1e6)
        end = std::to_chars(text, text + sizeof text, value, std::chars_format::general).ptr;
    else
        return void(out += QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
    out.append(text, int(end - text));
}

void appendDecimal(QByteArray &out, double value)
{
    if (std::fabs(value) >= 1e15)
        return void(out += QByteArray::number(value, 'f', QLocale::FloatingPointShortest));
    char text[40];
    // Adding zero turns -0 into 0, which is how Qt prints it.
    const char *end
            = std::to_chars(text, text + sizeof text, value + 0.0, std::chars_format::fixed).ptr;
    out.append(text, int(end - text));
}

void appendJsonString(QByteArray &out, const QByteArray &text)
{
    // Other bytes, UTF-8 sequences included, stand in a JSON string as they are.
    for (const char c : text) {
        if (uchar(c) < 0x20 || c == '"' || c == '\\') {
            // Rare texts go through Qt's own escaping, trimmed of the array around them.
            const QByteArray escaped = QJsonDocument(QJsonArray{QString::fromUtf8(text)})
                                               .toJson(QJsonDocument::Compact);
            out += escaped.mid(1, escaped.size() - 2);
            return;
        }
    }
    out += '"';
    out += text;
    out += '"';
}

void appendJsonValue(QByteArray &out, const Value &value)
{
    switch (value.type) {
    case Value::Number:
        return appendNumber(out, value.number);
    case Value::Text:
        return appendJsonString(out, value.text);
    case Value::Null:
        break;
    }
    out += "null";
}

void appendCsvCell(QByteArray &out, const QByteArray &text)
{
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n')
        && !text.contains('\r')) {
        out += text;
        return;
    }
    QByteArray quoted = text;
    quoted.replace('"', "\"\"");
    out += '"' + quoted + '"';
}

void appendCsvValue(QByteArray &out, const Value &value)
{
    if (value.type == Value::Number)
        appendNumber(out, value.number);
    else
        appendCsvCell(out, value.text);
}

void appendXmlText(QByteArray &out, const QByteArray &text)
{
    const auto plain = [](char c) {
        return c != '<' && c != '>' && c != '&' && c != '"' && (uchar(c) >= 0x20 || c == '\t');
    };
    if (std::all_of(text.begin(), text.end(), plain))
        return void(out += text);
    for (const char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\t':
        case '\n':
        case '\r':
            out += c;
            break;
        default:
            if (uchar(c) < 0x20)
                out += "\xef\xbf\xbd"; // U+FFFD REPLACEMENT CHARACTER
            else
                out += c;
        }
    }
}

QByteArray fieldText(const char *field, int size)
{
    const int length = int(qstrnlen(field, uint(size)));
    for (int i = 0; i < length; ++i) {
        if (uchar(field[i]) >= 0x80)
            return QString::fromLatin1(field, length).toUtf8();
    }
    return QByteArray(field, length);
}

QByteArray sourceName(ParserObject::SampleSource source)
{
    const char *name = QMetaEnum::fromType<ParserObject::SampleSource>().valueToKey(source);
    return name ? QByteArray(name) : QByteArray::number(int(source));
}

static Value finite(double value)
{
    return std::isfinite(value) ? Value(value) : Value();
}

QVector<QByteArray> infoFieldNames()
{
    return {"width", "height", "duration", "frameRate", "creationTime", "videoCodec"};
}

QVector<Value> infoValues(const VideoInfo &info)
{
    const Value creation
            = info.creationTime.isValid()
                      ? Value(info.creationTime.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"))
                                      .toLatin1())
                      : Value();
    return {info.width, info.height,    info.duration, finite(shortestFloat(info.frameRate)),
            creation,   info.videoCodec};
}

static Value referenceText(char reference)
{
    return reference ? fieldText(&reference, 1) : QByteArray("");
}

QVector<QByteArray> sampleFieldNames()
{
    return {"index",    "dateTime",     "auxText",   "fixFlag",  "latitudeRef",
            "latitude", "longitudeRef", "longitude", "auxValue", "speed",
            "gsensorX", "gsensorY",     "gsensorZ",  "heading",  "utcTime"};
}

QVector<Value> sampleValues(const GpsData &sample, CameraClock &clock)
{
    const QByteArray utc = clock.utcTime(sample);
    return {sample.index,
            fieldText(sample.dateTime, sizeof sample.dateTime),
            fieldText(sample.auxText, sizeof sample.auxText),
            int(sample.fixFlag),
            referenceText(sample.latitudeRef),
            finite(sample.latitude),
            referenceText(sample.longitudeRef),
            finite(sample.longitude),
            sample.auxValue,
            sample.speed,
            finite(shortestFloat(sample.gsensorX)),
            finite(shortestFloat(sample.gsensorY)),
            finite(shortestFloat(sample.gsensorZ)),
            finite(sample.heading),
            utc.isEmpty() ? Value() : Value(utc)};
}

bool isTrackPoint(const GpsData &sample)
{
    if (sample.fixFlag == 0 || (sample.latitude == 0.0 && sample.longitude == 0.0))
        return false;
    return std::fabs(sample.latitude) <= 90.0 && std::fabs(sample.longitude) <= 180.0;
}

QString readingText(const GpsData &sample)
{
    qint64 reading;
    if (!CameraClock::reading(sample, &reading))
        return QString();
    return QDateTime::fromSecsSinceEpoch(reading, Qt::UTC)
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString positionText(const GpsData &sample)
{
    if (!isTrackPoint(sample))
        return QStringLiteral("No fix");
    const auto coordinate = [](double value, char positive, char negative) {
        return QLatin1Char(value < 0 ? negative : positive)
               + QString::number(std::fabs(value), 'f', 6);
    };
    return coordinate(sample.latitude, 'N', 'S') + QLatin1Char(' ')
           + coordinate(sample.longitude, 'E', 'W');
}

} // namespace FieldFormat

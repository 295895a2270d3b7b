// How sample and file information fields turn into text and values in every output format.
#pragma once

#include "parser/gpsdata.h"
#include "parser/parserobject.h"
#include "parser/videoinfo.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

namespace FieldFormat {

// The double whose shortest decimal form is the float's shortest form, so 59.9f prints as
// 59.9 and not as the float's exact binary value.
double shortestFloat(float value);

// A number as the JSON output prints it (integral values without a fraction, non-finite
// values empty), so the CSV cells match the JSON values.
QString numberText(const QJsonValue &value);

// A number as xsd:decimal, which allows no exponent, for the coordinates of GPX and KML.
QString decimalText(double value);

// The characters of a fixed text field up to its NUL, each byte taken as Latin-1.
QString fieldText(const char *field, int size);

QString sourceName(ParserObject::SampleSource source);

QJsonObject infoObject(const VideoInfo &info);

// The sample fields in the order the outputs list them.
QVector<QPair<QString, QJsonValue>> sampleFields(const GpsData &sample);
QStringList sampleFieldNames();

// The camera's local clock of the sample as "yyyy-MM-ddTHH:mm:ss"; empty when the stored
// date and time is not a valid yyyyMMddhhmmss.
QString sampleTime(const GpsData &sample);

// A track point needs a fix and a real position: 0/0 stands for "no position", and values
// outside the globe only come from damaged records.
bool isTrackPoint(const GpsData &sample);

// Text for XML with the control characters that XML 1.0 cannot carry replaced, since file names
// may hold them.
QString xmlText(const QString &text);

} // namespace FieldFormat

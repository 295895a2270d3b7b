// Field conversions shared by the JSON, CSV, GPX and KML writers.
#include "fieldformat.h"

#include <QDate>
#include <QLocale>
#include <QMetaEnum>
#include <QTime>

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

QString numberText(const QJsonValue &value)
{
    const double d = value.toDouble();
    if (!value.isDouble() || !std::isfinite(d))
        return QString();
    // Integral values print without fraction or exponent while they fit 64 bits.
    if (d == std::trunc(d) && std::fabs(d) < 9.2e18)
        return QString::number(qint64(d));
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

QString decimalText(double value)
{
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QString fieldText(const char *field, int size)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(size))));
}

QString sourceName(ParserObject::SampleSource source)
{
    const char *name = QMetaEnum::fromType<ParserObject::SampleSource>().valueToKey(source);
    return name ? QString::fromLatin1(name) : QString::number(int(source));
}

static QJsonValue finite(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

QJsonObject infoObject(const VideoInfo &info)
{
    const QJsonValue creation = info.creationTime.isValid() ? QJsonValue(info.creationTime.toString(
                                        QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")))
                                                            : QJsonValue();
    return {
            {QStringLiteral("width"), info.width},
            {QStringLiteral("height"), info.height},
            {QStringLiteral("duration"), info.duration},
            {QStringLiteral("frameRate"), finite(shortestFloat(info.frameRate))},
            {QStringLiteral("creationTime"), creation},
            {QStringLiteral("videoCodec"), info.videoCodec},
    };
}

static QString referenceText(char reference)
{
    return reference ? QString(QChar::fromLatin1(reference)) : QString();
}

QVector<QPair<QString, QJsonValue>> sampleFields(const GpsData &sample)
{
    return {
            {QStringLiteral("index"), sample.index},
            {QStringLiteral("dateTime"), fieldText(sample.dateTime, sizeof sample.dateTime)},
            {QStringLiteral("auxText"), fieldText(sample.auxText, sizeof sample.auxText)},
            {QStringLiteral("fixFlag"), int(sample.fixFlag)},
            {QStringLiteral("latitudeRef"), referenceText(sample.latitudeRef)},
            {QStringLiteral("latitude"), finite(sample.latitude)},
            {QStringLiteral("longitudeRef"), referenceText(sample.longitudeRef)},
            {QStringLiteral("longitude"), finite(sample.longitude)},
            {QStringLiteral("auxValue"), sample.auxValue},
            {QStringLiteral("speed"), sample.speed},
            {QStringLiteral("gsensorX"), finite(shortestFloat(sample.gsensorX))},
            {QStringLiteral("gsensorY"), finite(shortestFloat(sample.gsensorY))},
            {QStringLiteral("gsensorZ"), finite(shortestFloat(sample.gsensorZ))},
            {QStringLiteral("heading"), finite(sample.heading)},
    };
}

QStringList sampleFieldNames()
{
    QStringList names;
    for (const auto &field : sampleFields(GpsData()))
        names.append(field.first);
    return names;
}

QString sampleTime(const GpsData &sample)
{
    const QString text = fieldText(sample.dateTime, sizeof sample.dateTime);
    if (text.size() != 14)
        return QString();
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QString();
    }
    // Date and time are checked apart so that the local time zone's gaps cannot reject a
    // camera clock reading.
    const QDate date = QDate::fromString(text.left(8), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(text.mid(8), QStringLiteral("hhmmss"));
    if (!date.isValid() || !time.isValid())
        return QString();
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('T')
           + time.toString(QStringLiteral("HH:mm:ss"));
}

bool isTrackPoint(const GpsData &sample)
{
    if (sample.fixFlag == 0 || (sample.latitude == 0.0 && sample.longitude == 0.0))
        return false;
    return std::fabs(sample.latitude) <= 90.0 && std::fabs(sample.longitude) <= 180.0;
}

QString xmlText(const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n')
            && c != QLatin1Char('\r'))
            c = QChar::ReplacementCharacter;
    }
    return result;
}

} // namespace FieldFormat

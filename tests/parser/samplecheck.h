// Helpers shared by the parser tests: records told apart by their speed, and comparisons of
// decoded samples with the records that a fixture wrote.
#pragma once

#include "samplerecord.h"

#include <parser/gpsdata.h>

#include <QString>

#include <QtMath>
#include <algorithm>

namespace samplecheck {

// Records of a short drive that all carry the same speed, so a test sees which of several
// places in a file a parser read.
inline QVector<SampleRecord> recordsAt(int speed, int count = 3)
{
    Drive drive;
    drive.seconds = count;
    QVector<SampleRecord> records = drive.records();
    for (SampleRecord &record : records)
        record.speed = speed;
    return records;
}

inline QVector<int> speeds(const QVector<GpsData> &samples)
{
    QVector<int> result;
    for (const GpsData &sample : samples)
        result.append(sample.speed);
    return result;
}

inline double expectedDegrees(char ref, int degrees, int minutes, char negativeRef)
{
    const double value = degrees + minutes / 600000.0;
    return ref == negativeRef ? -value : value;
}

inline float expectedAxis(const QByteArray &group)
{
    if (group.isEmpty() || (group.at(0) != '+' && group.at(0) != '-'))
        return 0.0f;
    const float value = group.mid(1).toFloat();
    return group.at(0) == '-' ? -value : value;
}

// Empty when the sample holds the record's fields, otherwise the first field that differs.
inline QString difference(const GpsData &sample, const SampleRecord &record)
{
    const auto text = [](const QByteArray &field, int width) {
        const QByteArray cut = field.left(width);
        return cut.left(cut.indexOf('\0') < 0 ? width : cut.indexOf('\0'));
    };
    if (QByteArray(sample.dateTime) != text(record.dateTime, 14))
        return QStringLiteral("dateTime %1").arg(sample.dateTime);
    if (QByteArray(sample.auxText) != text(record.auxText, 15))
        return QStringLiteral("auxText %1").arg(sample.auxText);
    if (sample.fixFlag != quint8(record.fixFlag))
        return QStringLiteral("fixFlag %1").arg(sample.fixFlag);
    if (sample.latitudeRef != record.latitudeRef || sample.longitudeRef != record.longitudeRef)
        return QStringLiteral("refs %1 %2").arg(sample.latitudeRef).arg(sample.longitudeRef);
    const double latitude = expectedDegrees(record.latitudeRef, record.latitudeDegrees,
                                            record.latitudeMinutes, 'S');
    const double longitude = expectedDegrees(record.longitudeRef, record.longitudeDegrees,
                                             record.longitudeMinutes, 'W');
    if (qAbs(sample.latitude - latitude) > 1e-9 || qAbs(sample.longitude - longitude) > 1e-9)
        return QStringLiteral("position %1 %2")
                .arg(sample.latitude, 0, 'f', 9)
                .arg(sample.longitude, 0, 'f', 9);
    if (sample.auxValue != record.auxValue || sample.speed != record.speed)
        return QStringLiteral("auxValue/speed %1 %2").arg(sample.auxValue).arg(sample.speed);
    const float axes[3] = {sample.gsensorX, sample.gsensorY, sample.gsensorZ};
    for (int axis = 0; axis < 3; ++axis) {
        if (qAbs(axes[axis] - expectedAxis(record.gsensor[axis])) > 1e-6f)
            return QStringLiteral("gsensor %1: %2").arg(axis).arg(double(axes[axis]));
    }
    return QString();
}

// A sample that readSample cleared: every field zero, both texts empty.
inline bool isCleared(const GpsData &d)
{
    const auto empty = [](const char *text, int size) {
        return std::all_of(text, text + size, [](char c) { return c == 0; });
    };
    return d.index == 0 && empty(d.dateTime, sizeof d.dateTime)
           && empty(d.auxText, sizeof d.auxText) && d.fixFlag == 0 && d.latitudeRef == 0
           && d.latitude == 0.0 && d.longitudeRef == 0 && d.longitude == 0.0 && d.auxValue == 0
           && d.speed == 0 && d.gsensorX == 0.0f && d.gsensorY == 0.0f && d.gsensorZ == 0.0f
           && d.heading == 0.0;
}

} // namespace samplecheck

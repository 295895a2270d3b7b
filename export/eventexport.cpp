// Every format takes the same fields from one list, so that they cannot drift apart.
#include "eventexport.h"

#include "fieldformat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace EventExport {

namespace {

using FieldFormat::Value;

// The order of the CSV columns; JSON and GeoJSON name them the same.
enum Field {
    File,
    Type,
    Severity,
    Start,
    Peak,
    End,
    PeakG,
    Speed,
    Latitude,
    Longitude,
    UtcTime,
    CameraTime,
    FieldCount
};

const char *const FieldNames[FieldCount]
        = {"file",  "type",  "severity", "start",     "peak",    "end",
           "peakG", "speed", "latitude", "longitude", "utcTime", "cameraTime"};

Value textOrNull(const QByteArray &text)
{
    return text.isEmpty() ? Value() : Value(text);
}

QVector<Value> fields(const QString &file, const DrivingEvent &event, CameraClock &clock)
{
    GpsData peak;
    qstrncpy(peak.dateTime, event.cameraTime.constData(), sizeof peak.dateTime);
    QVector<Value> values(FieldCount);
    values[File] = Value(file.toUtf8());
    values[Type] = Value(DrivingEvent::typeName(event.type).toUtf8());
    values[Severity] = textOrNull(DrivingEvent::severityName(event.severity).toUtf8());
    values[Start] = event.start;
    values[Peak] = event.peak;
    values[End] = event.end;
    // The sensor reads hundredths of a g; a thousandth keeps what projecting it adds.
    values[PeakG] = std::round(event.peakG * 1000.0) / 1000.0;
    values[Speed] = event.speed;
    // Seven decimals, as the track formats write: receivers tell no finer.
    if (event.hasPosition) {
        values[Latitude] = std::round(event.latitude * 1e7) / 1e7;
        values[Longitude] = std::round(event.longitude * 1e7) / 1e7;
    }
    values[UtcTime] = textOrNull(clock.utcTime(peak));
    values[CameraTime] = textOrNull(event.cameraTime);
    return values;
}

// The fields of each of a recording's events; the clock starts a run for the recording.
QVector<QVector<Value>> eventFields(const RecordingEvents &recording, CameraClock &clock)
{
    clock.startRun();
    QVector<QVector<Value>> rows;
    for (const DrivingEvent &event : recording.events)
        rows.append(fields(recording.file, event, clock));
    return rows;
}

QJsonValue jsonValue(const Value &value)
{
    switch (value.type) {
    case Value::Number:
        return value.number;
    case Value::Text:
        return QString::fromUtf8(value.text);
    case Value::Null:
        break;
    }
    return QJsonValue::Null;
}

QJsonObject jsonObject(const QVector<Value> &values, std::initializer_list<Field> leftOut)
{
    QJsonObject object;
    for (int field = 0; field < FieldCount; ++field) {
        if (std::find(leftOut.begin(), leftOut.end(), field) == leftOut.end())
            object.insert(QLatin1String(FieldNames[field]), jsonValue(values.at(field)));
    }
    return object;
}

QByteArray json(const QVector<RecordingEvents> &recordings, CameraClock clock)
{
    // A recording without events still gets its object.
    QJsonArray document;
    for (const RecordingEvents &recording : recordings) {
        QJsonArray events;
        for (const QVector<Value> &values : eventFields(recording, clock))
            events.append(jsonObject(values, {File}));
        document.append(QJsonObject{{QStringLiteral("file"), recording.file},
                                    {QStringLiteral("events"), events}});
    }
    return QJsonDocument(document).toJson();
}

QByteArray csv(const QVector<RecordingEvents> &recordings, CameraClock clock)
{
    QByteArray text;
    for (int field = 0; field < FieldCount; ++field) {
        text += field ? "," : "";
        text += FieldNames[field];
    }
    text += "\r\n";
    for (const RecordingEvents &recording : recordings) {
        for (const QVector<Value> &values : eventFields(recording, clock)) {
            for (int field = 0; field < FieldCount; ++field) {
                if (field)
                    text += ',';
                FieldFormat::appendCsvValue(text, values.at(field));
            }
            text += "\r\n";
        }
    }
    return text;
}

QByteArray geoJson(const QVector<RecordingEvents> &recordings, CameraClock clock)
{
    QJsonArray features;
    for (const RecordingEvents &recording : recordings) {
        for (const QVector<Value> &values : eventFields(recording, clock)) {
            QJsonValue geometry = QJsonValue::Null;
            if (values.at(Latitude).type == Value::Number)
                geometry = QJsonObject{
                        {QStringLiteral("type"), QStringLiteral("Point")},
                        {QStringLiteral("coordinates"),
                         QJsonArray{values.at(Longitude).number, values.at(Latitude).number}}};
            features.append(QJsonObject{
                    {QStringLiteral("type"), QStringLiteral("Feature")},
                    {QStringLiteral("geometry"), geometry},
                    {QStringLiteral("properties"), jsonObject(values, {Latitude, Longitude})}});
        }
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("FeatureCollection")},
                                     {QStringLiteral("features"), features}})
            .toJson();
}

QByteArray document(Format format, const QVector<RecordingEvents> &recordings,
                    const CameraClock &clock)
{
    switch (format) {
    case Csv:
        return csv(recordings, clock);
    case GeoJson:
        return geoJson(recordings, clock);
    case Json:
        break;
    }
    return json(recordings, clock);
}

} // namespace

QStringList formatNames()
{
    return {QStringLiteral("json"), QStringLiteral("csv"), QStringLiteral("geojson")};
}

bool formatFromName(const QString &name, Format *format)
{
    const int index = formatNames().indexOf(name);
    if (index < 0)
        return false;
    *format = Format(index);
    return true;
}

TrackExport::Status write(Format format, const QVector<RecordingEvents> &recordings,
                          QIODevice *device, const CameraClock &clock, QString *error,
                          const QString &name)
{
    const QByteArray text = document(format, recordings, clock);
    return TrackExport::finish(device, device->write(text) == text.size(), name, error);
}

TrackExport::Status writeFile(Format format, const QVector<RecordingEvents> &recordings,
                              const QString &path, const CameraClock &clock, QString *error)
{
    return TrackExport::writeDocument(
            path,
            [&](QIODevice *device, const QString &name) {
                return write(format, recordings, device, clock, error, name);
            },
            [] { return false; }, error);
}

} // namespace EventExport

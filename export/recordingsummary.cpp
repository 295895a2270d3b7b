// The figures come from the drives' own rule and the texts from the sample formats' own
// helpers, so a summary agrees with the viewer and with the full output of the same file.
#include "recordingsummary.h"

#include "drives.h"
#include "extractedrecording.h"
#include "fieldformat.h"
#include "jsonwriter.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// Rounded to a tenth: a metre or a tenth of a km/h is all an index can stand by.
FieldFormat::Value tenths(double value)
{
    return std::round(value * 10.0) / 10.0;
}

// Rounded to 7 decimals, about a centimetre, more than a receiver tells.
FieldFormat::Value degrees(double value)
{
    return std::round(value * 1e7) / 1e7;
}

FieldFormat::Value textOrNull(const QByteArray &text)
{
    return text.isEmpty() ? FieldFormat::Value() : FieldFormat::Value(text);
}

} // namespace

RecordingSummary RecordingSummary::of(const ExtractedRecording &recording, const CameraClock &clock)
{
    RecordingSummary summary;
    summary.file = recording.file;
    summary.source = recording.source;
    summary.samples = recording.samples.size();

    // The clock runs through every reading, as the writers run it, so that the times are those
    // the samples are given in the full output.
    CameraClock run = clock;
    run.startRun();
    const GpsData *last = nullptr;
    for (const GpsData &sample : recording.samples) {
        qint64 reading;
        if (!CameraClock::reading(sample, &reading))
            continue;
        const QByteArray utc = run.utcTime(sample);
        if (!last) {
            summary.firstCameraTime
                    = FieldFormat::fieldText(sample.dateTime, sizeof sample.dateTime);
            summary.firstUtcTime = utc;
        }
        summary.lastUtcTime = utc;
        last = &sample;
    }
    if (last)
        summary.lastCameraTime = FieldFormat::fieldText(last->dateTime, sizeof last->dateTime);

    const DriveSummary drive = Drives::summarize(
            {recording.samples},
            {Drives::lengthOf(recording.info.duration, recording.samples.size())});
    summary.metres = drive.metres;
    summary.topKmh = drive.topKmh;
    summary.averageKmh = drive.averageKmh;

    for (const GpsData &sample : recording.samples) {
        if (!FieldFormat::isTrackPoint(sample))
            continue;
        if (!summary.hasBox) {
            summary.west = summary.east = sample.longitude;
            summary.south = summary.north = sample.latitude;
            summary.hasBox = true;
        }
        summary.west = std::min(summary.west, sample.longitude);
        summary.east = std::max(summary.east, sample.longitude);
        summary.south = std::min(summary.south, sample.latitude);
        summary.north = std::max(summary.north, sample.latitude);
    }
    return summary;
}

bool RecordingSummary::hasFormat(TrackWriter::Format format)
{
    return format == TrackWriter::Json || format == TrackWriter::JsonLines
           || format == TrackWriter::Csv;
}

DocumentFrame RecordingSummary::frame(TrackWriter::Format format)
{
    switch (format) {
    case TrackWriter::Json:
        return JsonWriter::frame(JsonWriter::Indented);
    case TrackWriter::JsonLines:
        return JsonWriter::frame(JsonWriter::Lines);
    case TrackWriter::Csv:
        return {"file,source,samples,firstCameraTime,lastCameraTime,firstUtcTime,lastUtcTime,"
                "distance,topSpeed,averageSpeed,west,south,east,north\r\n",
                {},
                {}};
    default:
        return {};
    }
}

QByteArray RecordingSummary::text(TrackWriter::Format format) const
{
    switch (format) {
    case TrackWriter::Json:
        return jsonText(JsonWriter::Indented);
    case TrackWriter::JsonLines:
        return jsonText(JsonWriter::Lines);
    case TrackWriter::Csv:
        return csvText();
    default:
        return {};
    }
}

QByteArray RecordingSummary::jsonText(JsonWriter::Layout layout) const
{
    QByteArray out = JsonWriter::recordStart(layout);
    // In QJsonDocument's key order, as the json format has its members.
    out += JsonWriter::memberStart(layout, "averageSpeed", 4);
    FieldFormat::appendJsonValue(out, tenths(averageKmh));
    out += ',' + JsonWriter::memberStart(layout, "bbox", 4);
    if (hasBox) {
        out += '[';
        const double bounds[] = {west, south, east, north};
        for (int i = 0; i < 4; ++i) {
            if (i > 0)
                out += ',';
            out += JsonWriter::lineBreak(layout, 12);
            FieldFormat::appendJsonValue(out, degrees(bounds[i]));
        }
        out += JsonWriter::lineBreak(layout, 8) + ']';
    } else {
        out += "null";
    }
    const struct
    {
        const char *name;
        FieldFormat::Value value;
    } rest[] = {{"distance", tenths(metres)},
                {"file", file.toUtf8()},
                {"firstCameraTime", textOrNull(firstCameraTime)},
                {"firstUtcTime", textOrNull(firstUtcTime)},
                {"lastCameraTime", textOrNull(lastCameraTime)},
                {"lastUtcTime", textOrNull(lastUtcTime)},
                {"samples", samples},
                {"source", FieldFormat::sourceName(source)},
                {"topSpeed", topKmh}};
    for (const auto &member : rest) {
        out += ',' + JsonWriter::memberStart(layout, member.name, 4);
        FieldFormat::appendJsonValue(out, member.value);
    }
    out += JsonWriter::recordEnd(layout);
    return out;
}

QByteArray RecordingSummary::csvText() const
{
    const FieldFormat::Value none;
    const FieldFormat::Value cells[] = {file.toUtf8(),
                                        FieldFormat::sourceName(source),
                                        samples,
                                        firstCameraTime,
                                        lastCameraTime,
                                        firstUtcTime,
                                        lastUtcTime,
                                        tenths(metres),
                                        topKmh,
                                        tenths(averageKmh),
                                        hasBox ? degrees(west) : none,
                                        hasBox ? degrees(south) : none,
                                        hasBox ? degrees(east) : none,
                                        hasBox ? degrees(north) : none};
    QByteArray out;
    FieldFormat::appendCsvValue(out, cells[0]);
    for (int i = 1; i < int(std::size(cells)); ++i) {
        out += ',';
        FieldFormat::appendCsvValue(out, cells[i]);
    }
    out += "\r\n";
    return out;
}

// Each recording is parsed, and where its format allows rendered, on a worker, so the thread
// that writes only puts finished texts in order; OrderedRun keeps both memory and order.
#include "extraction.h"

#include "orderedrun.h"

#include "export/jsonwriter.h"
#include "export/recordingsummary.h"
#include "export/track.h"

#include <QCalendar>
#include <QFileDevice>
#include <QIODevice>

#include <memory>

bool Extraction::rendersRecords() const
{
    return mSettings.summary || mSettings.format == TrackWriter::Json
           || mSettings.format == TrackWriter::JsonLines;
}

Extraction::Parsed Extraction::parse(int index, bool render,
                                     const std::function<bool()> &stopping) const
{
    Parsed parsed;
    const QString &file = mFiles.at(index);
    ExtractedRecording recording;
    ExtractedRecording::Failure failure = ExtractedRecording::Unreadable;
    parsed.loaded = recording.load(file, &parsed.problem, stopping, &failure);
    const TrackWriter::Format format = mSettings.format;
    if (!render) {
        if (parsed.loaded)
            parsed.recording = std::move(recording);
    } else if (!parsed.loaded) {
        if (format == TrackWriter::JsonLines)
            parsed.text = JsonWriter::errorLine(file, ExtractedRecording::failureCode(failure),
                                                parsed.problem);
    } else if (mSettings.summary) {
        parsed.text = RecordingSummary::of(recording, mSettings.clock).text(format);
    } else {
        parsed.text = JsonWriter::record(layout(), recording, mSettings.clock);
    }
    return parsed;
}

JsonWriter::Layout Extraction::layout() const
{
    return mSettings.format == TrackWriter::JsonLines ? JsonWriter::Lines : JsonWriter::Indented;
}

void Extraction::reportProblem(int index, const Parsed &parsed)
{
    mAllRead = false;
    if (mSettings.report)
        mSettings.report(
                QStringLiteral("cannot open %1: %2").arg(mFiles.at(index), parsed.problem));
}

bool Extraction::run(bool render, const std::function<bool(Parsed &parsed)> &take)
{
    // Qt 5.15 sets up its Gregorian calendar on first use without a lock: two workers doing so
    // at once can leave one with an invalid calendar, and its dates then print as empty texts.
    const QCalendar gregorian;
    Q_UNUSED(gregorian)
    OrderedRun<Parsed> run(mSettings.jobs);
    const std::function<bool()> stopping = [&run] { return run.stopping(); };
    return run.run(
            mFiles.size(), [&](int index) { return parse(index, render, stopping); },
            [&](int index, Parsed &parsed) {
                if (!parsed.loaded)
                    reportProblem(index, parsed);
                return take(parsed);
            });
}

TrackExport::Status Extraction::write(QIODevice *device, const QString &name, QString *error)
{
    return rendersRecords() ? writeRecords(device, name, error) : writeTracks(device, name, error);
}

// A JSON Lines line is flushed at once: a reader following the output, or a run resumed after
// an interruption, then sees every recording that is done.
TrackExport::Status Extraction::writeRecords(QIODevice *device, const QString &name, QString *error)
{
    const DocumentFrame frame = mSettings.summary ? RecordingSummary::frame(mSettings.format)
                                                  : JsonWriter::frame(layout());
    auto *const file = qobject_cast<QFileDevice *>(device);
    const bool flushLines = file && mSettings.format == TrackWriter::JsonLines;
    const auto put
            = [device](const QByteArray &text) { return device->write(text) == text.size(); };
    bool first = true;
    const bool ok = put(frame.begin)
                    && run(true,
                           [&](Parsed &parsed) {
                               if (parsed.text.isEmpty())
                                   return true;
                               const bool written = (first || put(frame.separator))
                                                    && put(parsed.text)
                                                    && (!flushLines || file->flush());
                               first = false;
                               return written;
                           })
                    && put(frame.end);
    return TrackExport::finish(device, ok, name, error);
}

TrackExport::Status Extraction::writeTracks(QIODevice *device, const QString &name, QString *error)
{
    const std::unique_ptr<TrackWriter> writer
            = TrackWriter::create(mSettings.format, device, mSettings.clock, mSettings.unit);
    const bool ok
            = run(false,
                  [&](Parsed &parsed) {
                      return !parsed.loaded || writer->add(Track::fromRecording(parsed.recording));
                  })
              && writer->finish();
    return TrackExport::finish(device, ok, name, error);
}

QVector<ExtractedRecording> Extraction::readAll()
{
    QVector<ExtractedRecording> recordings;
    run(false, [&](Parsed &parsed) {
        if (parsed.loaded)
            recordings.append(std::move(parsed.recording));
        return true;
    });
    return recordings;
}

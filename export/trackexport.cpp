// Failures are logged as well as returned: the viewer shows the text, the log keeps it.
#include "trackexport.h"

#include "exportlog.h"

#include <QFileDevice>
#include <QSaveFile>

namespace TrackExport {

static Status fail(Status status, const QString &message, QString *error)
{
    *error = message;
    if (status != Cancelled)
        qCWarning(lcExport).noquote() << message;
    return status;
}

// A file by its name; anything else, such as standard output, as "the output".
static QString deviceName(QIODevice *device)
{
    const auto *file = qobject_cast<QFileDevice *>(device);
    return file && !file->fileName().isEmpty() ? file->fileName() : QStringLiteral("the output");
}

Status write(TrackWriter::Format format, const QVector<Track> &tracks, QIODevice *device,
             const CameraClock &clock, const Progress &progress, QString *error)
{
    qint64 total = 0;
    for (const Track &track : tracks)
        total += track.sampleCount();
    qint64 written = 0;
    bool cancelled = false;
    const auto partWritten = [&](int samples) {
        written += samples;
        cancelled = progress && !progress(written, total);
        return !cancelled;
    };

    const std::unique_ptr<TrackWriter> writer = TrackWriter::create(format, device, clock);
    bool ok = true;
    for (const Track &track : tracks) {
        ok = writer->add(track, partWritten);
        if (!ok)
            break;
    }
    if (cancelled)
        return fail(Cancelled, QStringLiteral("the export was cancelled"), error);
    ok = ok && writer->finish();
    if (auto *file = qobject_cast<QFileDevice *>(device))
        ok = file->flush() && ok;
    if (!ok)
        return fail(NotWritten,
                    QStringLiteral("cannot write %1: %2")
                            .arg(deviceName(device), device->errorString()),
                    error);
    return Written;
}

Status writeFile(TrackWriter::Format format, const QVector<Track> &tracks, const QString &path,
                 const CameraClock &clock, const Progress &progress, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(NotCreated,
                    QStringLiteral("cannot create %1: %2").arg(path, file.errorString()), error);
    const Status status = write(format, tracks, &file, clock, progress, error);
    if (status != Written) {
        file.cancelWriting();
        return status;
    }
    if (!file.commit())
        return fail(NotWritten, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()),
                    error);
    return Written;
}

} // namespace TrackExport

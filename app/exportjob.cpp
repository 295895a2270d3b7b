// The export's work thread: each recording parsed anew, then the tracks written in one go.
#include "exportjob.h"

#include "export/driveassembler.h"
#include "export/trackexport.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// Most wanted first: the first also stands for a file type the save dialog could not tell.
const struct
{
    TrackWriter::Format format;
    const char *label;
} kFileTypes[] = {{TrackWriter::Gpx, "GPX"},
                  {TrackWriter::Kml, "KML"},
                  {TrackWriter::GeoJson, "GeoJSON"},
                  {TrackWriter::Csv, "CSV"},
                  {TrackWriter::Json, "JSON"}};

} // namespace

ExportJob::ExportJob(const Request &request, QObject *parent)
    : QThread(parent)
    , mRequest(request)
{ }

void ExportJob::run()
{
    // The parsing threads serve one sample per second of video, padded to the duration; the
    // recordings' own samples are what an export wants, and reading them again is quick.
    QVector<DriveRecording> recordings;
    const auto cancelled = [this] { return bool(mCancelled); };
    for (const QString &file : mRequest.files) {
        if (mCancelled)
            return;
        DriveRecording recording;
        QString problem;
        if (!recording.recording.load(file, &problem, cancelled)) {
            if (!mCancelled)
                mError = QStringLiteral("%1: %2").arg(QFileInfo(file).fileName(), problem);
            return;
        }
        // Exports get shared: where the recordings lie on this computer, and so the user's name,
        // is nobody else's business.
        recording.recording.file = QFileInfo(file).fileName();
        recordings.append(recording);
        emit progressed(recordings.size());
    }

    QVector<Track> tracks;
    if (mRequest.asDrive) {
        tracks.append(DriveAssembler::assemble(mRequest.driveName, recordings));
    } else {
        for (const DriveRecording &recording : recordings)
            tracks.append(Track::fromRecording(recording.recording));
    }
    const TrackExport::Status status = TrackExport::writeFile(
            mRequest.format, tracks, mRequest.path, CameraClock::systemLocal(),
            [&cancelled](qint64, qint64) { return !cancelled(); }, &mError);
    mWritten = status == TrackExport::Written;
    if (mWritten)
        emit progressed(steps());
    if (status == TrackExport::Cancelled)
        mError.clear();
}

QStringList ExportJob::fileTypes()
{
    QStringList types;
    for (const auto &type : kFileTypes)
        types << QStringLiteral("%1 (*.%2)")
                         .arg(QLatin1String(type.label),
                              TrackWriter::formatNames().at(type.format));
    return types;
}

QString ExportJob::targetPath(const QString &chosen, const QString &fileType,
                              TrackWriter::Format *format)
{
    if (TrackWriter::formatFromName(QFileInfo(chosen).suffix().toLower(), format))
        return chosen;
    *format = kFileTypes[std::max(0, int(fileTypes().indexOf(fileType)))].format;
    return chosen + QLatin1Char('.') + TrackWriter::formatNames().at(*format);
}

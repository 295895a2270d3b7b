// The export's work thread: each recording parsed anew, then the tracks written in one go.
#include "exportjob.h"

#include "export/driveassembler.h"
#include "export/trackexport.h"

#include <QFileInfo>

ExportJob::ExportJob(const Request &request, QObject *parent)
    : QThread(parent)
    , mRequest(request)
{ }

void ExportJob::run()
{
    // The parsing threads serve one sample per second of video, padded to the duration; the
    // recordings' own samples are what an export wants, and reading them again is quick.
    QVector<DriveRecording> recordings;
    for (const QString &file : mRequest.files) {
        if (mCancelled)
            return;
        DriveRecording recording;
        QString problem;
        if (!recording.recording.load(file, &problem)) {
            mError = QStringLiteral("%1: %2").arg(QFileInfo(file).fileName(), problem);
            return;
        }
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
            [this](qint64, qint64) { return !mCancelled; }, &mError);
    mWritten = status == TrackExport::Written;
    if (mWritten)
        emit progressed(steps());
    if (status == TrackExport::Cancelled)
        mError.clear();
}

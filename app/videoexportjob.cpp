// A video export run off the GUI thread, so that the window stays usable while ffmpeg encodes.
#include "videoexportjob.h"

#include <algorithm>
#include <cmath>

VideoExportJob::VideoExportJob(const VideoExportRequest &request, QObject *parent)
    : QThread(parent)
    , mExporter(request)
{
    // Passed on from the work thread as it comes; the window's receivers queue it.
    connect(&mExporter, &VideoExporter::progressed, this, &VideoExportJob::progressed,
            Qt::DirectConnection);
}

void VideoExportJob::run()
{
    mWritten = mExporter.run();
}

int VideoExportJob::secondsLeft(qint64 framesDone, qint64 framesTotal, qint64 elapsedMs)
{
    // The first frames include starting ffmpeg and opening the recordings: too early to tell.
    if (framesDone <= 0 || framesTotal <= 0 || elapsedMs <= 0)
        return -1;
    const double left = double(std::max<qint64>(framesTotal - framesDone, 0)) * elapsedMs
                        / framesDone / 1000.0;
    return int(std::ceil(left));
}

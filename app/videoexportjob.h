// A video export run off the GUI thread, so that the window stays usable while ffmpeg encodes.
#pragma once

#include "videoexport/videoexporter.h"

#include <QThread>

class VideoExportJob : public QThread
{
    Q_OBJECT

public:
    explicit VideoExportJob(const VideoExportRequest &request, QObject *parent = nullptr);

    // Whole seconds still to go at the rate so far, or -1 while nothing tells it yet.
    static int secondsLeft(qint64 framesDone, qint64 framesTotal, qint64 elapsedMs);

    // Once the thread has finished: whether the file is there, and if not why (empty after a
    // cancel).
    bool written() const { return mWritten; }
    QString error() const { return mExporter.error(); }

public slots:
    // From any thread: ffmpeg is stopped and the unfinished file removed.
    void cancel() { mExporter.cancel(); }

signals:
    // From the work thread.
    void progressed(qint64 framesDone, qint64 framesTotal);

protected:
    void run() override;

private:
    VideoExporter mExporter;
    bool mWritten = false;
};

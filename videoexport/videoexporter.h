// One video export: the recordings decoded, laid out and encoded by ffmpeg, with the telemetry
// overlay painted here and piped in.
#pragma once

#include "videoexportrequest.h"

#include <QObject>
#include <QString>

#include <atomic>

class VideoExporter : public QObject
{
    Q_OBJECT

public:
    explicit VideoExporter(const VideoExportRequest &request, QObject *parent = nullptr);
    ~VideoExporter() override;

    // Does the whole export in the calling thread (a worker thread in the viewer) and returns
    // whether the output file is there, complete. On failure or cancel nothing of the export is
    // left on disk.
    bool run();
    // From any thread: the run stops within a frame and reports no error.
    void cancel() { mCancelled = true; }
    bool wasCancelled() const { return mCancelled; }
    // Why the run failed, in one message for the user (empty after success or a cancel).
    QString error() const { return mError; }

    // Whether the file name of path fits its folder's limit: past it the whole video would be
    // made before the rename could fail. False with the reason.
    static bool nameFits(const QString &path, QString *problem);

signals:
    // From the running thread, at most a few times a second.
    void progressed(qint64 framesDone, qint64 framesTotal);

private:
    const VideoExportRequest mRequest;
    std::atomic<bool> mCancelled{false};
    QString mError;
};

// A track export run off the GUI thread: reads the recordings again and writes one file.
#pragma once

#include "export/trackwriter.h"

#include <QStringList>
#include <QThread>

#include <atomic>

class ExportJob : public QThread
{
    Q_OBJECT

public:
    struct Request
    {
        // The playlist rows' recordings, in playlist order.
        QStringList files;
        // One track of all the recordings in time order, split where the camera was off;
        // otherwise one track per recording.
        bool asDrive = false;
        QString driveName;
        TrackWriter::Format format = TrackWriter::Gpx;
        QString path;
    };

    explicit ExportJob(const Request &request, QObject *parent = nullptr);

    // Steps: one per recording read, and one for the writing.
    int steps() const { return mRequest.files.size() + 1; }

public slots:
    // Stops at the next recording or part of the writing; the file is then left out.
    void cancel() { mCancelled = true; }

    // Once the thread has finished: whether the file was written, and if not why (empty after a
    // cancel).
    bool written() const { return mWritten; }
    QString error() const { return mError; }

signals:
    void progressed(int step);

protected:
    void run() override;

private:
    const Request mRequest;
    std::atomic<bool> mCancelled{false};
    bool mWritten = false;
    QString mError;
};

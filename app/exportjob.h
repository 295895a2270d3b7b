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

    // The save dialog's file types, as its filters, in the order shown.
    static QStringList fileTypes();
    // The file a save dialog's choice stands for: a typed extension of one of the formats picks
    // it; otherwise the file type does (the first shown when it is none of them) and its
    // extension is added.
    static QString targetPath(const QString &chosen, const QString &fileType,
                              TrackWriter::Format *format);

    // Steps: one per recording read, and one for the writing.
    int steps() const { return mRequest.files.size() + 1; }

public slots:
    // Stops at the next sample read or part written; the file is then left out.
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

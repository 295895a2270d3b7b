// Worker thread that extracts frames of a recording into JPEG files with the external ffmpeg.
#pragma once

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>

class CaptureThread : public QThread
{
public:
    explicit CaptureThread(QObject *parent = nullptr);
    // Waits for the capture under way; tasks still queued are dropped.
    ~CaptureThread() override;

    // Called from the GUI thread, before or while the worker runs. A task for another recording
    // drops the tasks queued for the previous one.
    void addTask(const QString &videoFile, qint64 position);
    bool hasTasks() const;

    // "hh:mm:ss.zzz" as ffmpeg's seek option takes it.
    static QString seekTime(qint64 position);
    static QString outputFilePath(const QString &directory, const QString &videoFile,
                                  const QDateTime &startTime);
    static QStringList ffmpegArguments(qint64 position, const QString &videoFile,
                                       const QString &outputFile);

protected:
    void run() override;

private:
    mutable QMutex mMutex;
    QString mDirectory;
    QString mVideoFile;
    QList<qint64> mTasks;
};

// Frame extraction off the GUI thread: one ffmpeg run per queued position.
#include "capturethread.h"

#include "config/configuration.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QProcess>
#include <QTime>
#include <QUrl>

CaptureThread::CaptureThread(QObject *parent)
    : QThread(parent)
{ }

CaptureThread::~CaptureThread()
{
    requestInterruption();
    wait();
}

void CaptureThread::addTask(const QString &videoFile, qint64 position)
{
    // Read here, in the GUI thread: the settings object is not meant to be shared across threads.
    const QString directory = Configuration::instance()->screenshotSavePath();
    QMutexLocker locker(&mMutex);
    mDirectory = directory;
    qDebug() << "addTask" << videoFile;
    if (videoFile != mVideoFile) {
        qDebug() << "capture video file changed, clear all task" << mVideoFile << videoFile;
        mTasks.clear();
    }
    mVideoFile = videoFile;
    mTasks.append(position);
}

bool CaptureThread::hasTasks() const
{
    QMutexLocker locker(&mMutex);
    return !mTasks.isEmpty();
}

QString CaptureThread::seekTime(qint64 position)
{
    return QTime(0, 0, 0)
            .addMSecs(static_cast<int>(position))
            .toString(QStringLiteral("hh:mm:ss.zzz"));
}

QString CaptureThread::outputFilePath(const QString &directory, const QString &videoFile,
                                      const QDateTime &startTime)
{
    return QStringLiteral("%1/ScreenShot_%2__%3.jpeg")
            .arg(directory, QFileInfo(videoFile).baseName(),
                 startTime.toString(QStringLiteral("yyMMdd-hhmmss_zzz")));
}

QStringList CaptureThread::ffmpegArguments(qint64 position, const QString &videoFile,
                                           const QString &outputFile)
{
    // Every path is one argument of its own, so quotes or spaces in a name cannot turn into
    // options. ffmpeg must never wait on its standard input, which nobody feeds here: an output
    // name that already exists is then refused instead of asked about. The image writer takes
    // the output name literally only in update mode; otherwise a "%d" or "%%" in a recording's
    // or directory's name is read as a frame-number pattern and the image lands elsewhere.
    return {QStringLiteral("-nostdin"),
            QStringLiteral("-ss"),
            seekTime(position),
            QStringLiteral("-i"),
            QUrl::fromLocalFile(videoFile).toLocalFile(),
            QStringLiteral("-t"),
            QStringLiteral("1"),
            QStringLiteral("-r"),
            QStringLiteral("1"),
            QStringLiteral("-q:v"),
            QStringLiteral("2"),
            QStringLiteral("-f"),
            QStringLiteral("image2"),
            QStringLiteral("-update"),
            QStringLiteral("1"),
            outputFile};
}

void CaptureThread::run()
{
    QString directory;
    {
        QMutexLocker locker(&mMutex);
        directory = mDirectory;
    }
    // An empty setting would put the images at the root of the file system.
    if (directory.isEmpty() || (!QDir(directory).exists() && !QDir().mkpath(directory))) {
        qDebug() << "mkpath error, capture failed";
        // Left queued, the tasks would make the owner start the worker again and again.
        QMutexLocker locker(&mMutex);
        mTasks.clear();
        return;
    }

    while (!isInterruptionRequested()) {
        QString videoFile;
        qint64 position = 0;
        {
            QMutexLocker locker(&mMutex);
            if (mTasks.isEmpty())
                break;
            videoFile = mVideoFile;
            position = mTasks.takeFirst();
        }

        const QDateTime startTime = QDateTime::currentDateTime();
        qDebug() << "start capture, timeStr"
                 << startTime.toString(QStringLiteral("yyMMdd-hhmmss_zzz"));
        const QString outputFile = outputFilePath(directory, videoFile, startTime);
        const QStringList arguments = ffmpegArguments(position, videoFile, outputFile);
        qDebug() << "captureCmd:"
                 << "ffmpeg" << arguments;
        QProcess::execute(QStringLiteral("ffmpeg"), arguments);
    }
    qDebug() << "Capture task finished, exit thread";
    qDebug() << "end run";
}

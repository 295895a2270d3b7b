// Recordings for the playback tests, made on the spot so that nothing binary is kept.
#include "testrecordings.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace TestRecordings {

QString make(const QString &directory, const QString &fileName, Codec codec, int seconds)
{
    const QString path = QDir(directory).filePath(fileName);
    const QStringList videoCodec
            = codec == Codec::H264 ? QStringList{"-c:v", "libx264", "-preset", "ultrafast"}
                                   : QStringList{"-c:v",      "libx265",      "-preset",
                                                 "ultrafast", "-x265-params", "log-level=error"};
    QStringList arguments{"-nostdin",  "-y",
                          "-loglevel", "error",
                          "-f",        "lavfi",
                          "-i",        "testsrc=size=320x240:rate=25",
                          "-f",        "lavfi",
                          "-i",        "sine=frequency=440:sample_rate=44100",
                          "-t",        QString::number(seconds)};
    arguments << videoCodec << QStringList{"-pix_fmt", "yuv420p", "-c:a", "aac", path};

    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments);
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0 || !QFileInfo(path).isFile()) {
        qWarning() << "ffmpeg could not write" << path << ffmpeg.readAll();
        return QString();
    }
    return path;
}

} // namespace TestRecordings

// Parser benchmark: one-hour recordings of every storage place (sparse video payloads), timed from
// construction through reading every sample, with the bytes each parse read from the file.
#include "recording.h"

#include <parser/recordingparser.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaEnum>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <memory>

namespace {

constexpr int Seconds = 3600;
constexpr int Runs = 9;

struct Figures
{
    double medianMs = 0.0;
    double minMs = 0.0;
    qint64 bytesRead = 0;
    int samples = 0;
};

Figures measure(const QString &path)
{
    QVector<double> times;
    Figures figures;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const std::unique_ptr<ParserObject> parser = createRecordingParser(path);
        figures.samples = readAllSamples(*parser).size();
        times.append(timer.nsecsElapsed() / 1e6);
        figures.bytesRead = parser->bytesRead();
    }
    std::sort(times.begin(), times.end());
    figures.medianMs = times.at(Runs / 2);
    figures.minMs = times.first();
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        out << "cannot create a temporary folder\n";
        return 1;
    }
    Drive drive;
    drive.seconds = Seconds;
    const QVector<SampleRecord> records = drive.records();

    out << "One-hour recordings (" << Seconds << " records, 1920x1080 at 30 fps), warm cache, "
        << "median of " << Runs << " runs of construction + readSample for every record\n";
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                    .arg(QStringLiteral("source"), -14)
                    .arg(QStringLiteral("file MB"), 9)
                    .arg(QStringLiteral("samples"), 8)
                    .arg(QStringLiteral("median ms"), 10)
                    .arg(QStringLiteral("min ms"), 8)
                    .arg(QStringLiteral("bytes read"), 11)
                    .arg(QStringLiteral("goal ms"), 8);
    const QMetaEnum sources = QMetaEnum::fromType<ParserObject::SampleSource>();
    for (int k = 1; k < sources.keyCount(); ++k) {
        const auto source = ParserObject::SampleSource(sources.value(k));
        const bool avi
                = source == ParserObject::AviGpsList || source == ParserObject::AviAudioChunk;
        Recording recording;
        recording.source = source;
        recording.records = records;
        // About 6.4 Mbit/s of video; sound as cameras store it (AAC in MP4, PCM in AVI).
        recording.videoBytesPerSecond = 800000;
        recording.audioBytesPerSecond = avi ? 32000 : 16000;
        const QString path
                = dir.filePath(QStringLiteral("%1.%2").arg(sources.key(k), avi ? "AVI" : "MP4"));
        if (!recording.write(path)) {
            out << "cannot write " << path << '\n';
            return 1;
        }
        const Figures figures = measure(path);
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                        .arg(QString::fromLatin1(sources.key(k)), -14)
                        .arg(QFileInfo(path).size() / 1e6, 9, 'f', 0)
                        .arg(figures.samples, 8)
                        .arg(figures.medianMs, 10, 'f', 2)
                        .arg(figures.minMs, 8, 'f', 2)
                        .arg(figures.bytesRead, 11)
                        .arg(avi ? 50 : 20, 8);
        out.flush();
        QFile::remove(path);
    }
    return 0;
}

// Parsers reading a recording from memory: the same information and samples as from the file.
#include "recording.h"

#include <parser/aviparser.h>
#include <parser/mp4parser.h>

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Source = ParserObject::SampleSource;

namespace {

// Everything a parser tells about a recording, as text, so that a difference shows in full.
QStringList describe(ParserObject &parser)
{
    QStringList lines;
    lines << QStringLiteral("open %1 source %2 count %3")
                     .arg(parser.isOpen())
                     .arg(parser.sampleSource())
                     .arg(parser.sampleCount());
    lines << QStringLiteral("%1x%2 %3 s %4 fps codec %5 created %6")
                     .arg(parser.width())
                     .arg(parser.height())
                     .arg(parser.duration())
                     .arg(double(parser.frameRate()))
                     .arg(parser.videoCodec())
                     .arg(parser.creationTime().toString(Qt::ISODate));
    for (const GpsData &d : readAllSamples(parser)) {
        lines << QString::asprintf(
                "%d %s|%s|%u %c %.12f %c %.12f %d %d %g %g %g %.9f", d.index, d.dateTime, d.auxText,
                d.fixFlag, d.latitudeRef ? d.latitudeRef : '_', d.latitude,
                d.longitudeRef ? d.longitudeRef : '_', d.longitude, d.auxValue, d.speed,
                double(d.gsensorX), double(d.gsensorY), double(d.gsensorZ), d.heading);
    }
    return lines;
}

} // namespace

class TestMemoryReader : public QObject
{
    Q_OBJECT

private slots:
    void sameAsFile_data();
    void sameAsFile();

private:
    QTemporaryDir mDir;
};

void TestMemoryReader::sameAsFile_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("avi");
    QTest::addColumn<bool>("movieFirst");
    QTest::addColumn<int>("cutPercent"); // of the file kept; records past the cut read as zeros
    const QMetaEnum sources = QMetaEnum::fromType<Source>();
    for (int k = 0; k < sources.keyCount(); ++k) {
        const Source source = Source(sources.value(k));
        const bool avi
                = source == ParserObject::AviGpsList || source == ParserObject::AviAudioChunk;
        for (int cut : {100, 97, 60}) {
            QTest::addRow("%s %d%%", sources.key(k), cut) << int(source) << avi << false << cut;
            if (source == ParserObject::None)
                QTest::addRow("%s AVI %d%%", sources.key(k), cut)
                        << int(source) << true << false << cut;
            else if (!avi)
                QTest::addRow("%s movie first %d%%", sources.key(k), cut)
                        << int(source) << false << true << cut;
        }
    }
}

void TestMemoryReader::sameAsFile()
{
    QFETCH(int, source);
    QFETCH(bool, avi);
    QFETCH(bool, movieFirst);
    QFETCH(int, cutPercent);
    Recording recording;
    recording.source = Source(source);
    Drive drive;
    drive.seconds = 12;
    recording.records = drive.records();
    recording.seconds = source == ParserObject::None ? 12 : -1;
    recording.movieFirst = movieFirst;
    recording.creationTime = 3786825600u; // 2024-01-01
    const QString name = mDir.filePath(avi ? QStringLiteral("r.AVI") : QStringLiteral("r.MP4"));
    QVERIFY(recording.write(name));
    QFile file(name);
    QVERIFY(file.resize(file.size() * cutPercent / 100));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray contents = file.readAll();

    std::unique_ptr<ParserObject> fromFile;
    std::unique_ptr<ParserObject> fromMemory;
    if (avi) {
        fromFile = std::make_unique<AVIParser>(name);
        fromMemory = std::make_unique<AVIParser>(contents);
    } else {
        fromFile = std::make_unique<Mp4Parser>(name);
        fromMemory = std::make_unique<Mp4Parser>(contents);
    }
    const QStringList expected = describe(*fromFile);
    // A whole recording with telemetry must give its samples, or the comparison proves little.
    if (cutPercent == 100 && source != ParserObject::None)
        QCOMPARE(expected.size(), 2 + 12);
    QCOMPARE(describe(*fromMemory), expected);
}

QTEST_GUILESS_MAIN(TestMemoryReader)
#include "tst_memoryreader.moc"

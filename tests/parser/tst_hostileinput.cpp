// Damaged and hostile files: truncations, impossible sizes and counts, wrapping offsets, noise.
// Every parse must end, and never yield more samples than the file can hold.
#include "aviwriter.h"
#include "mp4writer.h"
#include "recording.h"
#include "samplecheck.h"

#include <parser/aviparser.h>
#include <parser/mp4parser.h>
#include <parser/recordingparser.h>

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

using Source = ParserObject::SampleSource;

using samplecheck::recordsAt;
using samplecheck::speeds;

namespace {

struct Outcome
{
    Source source = ParserObject::None;
    int width = 0;
    int duration = 0;
    float frameRate = 0.0f;
    quint32 count = 0;
    QVector<GpsData> samples;
};

bool isAvi(Source source)
{
    return source == ParserObject::AviGpsList || source == ParserObject::AviAudioChunk;
}

} // namespace

class TestHostileInput : public QObject
{
    Q_OBJECT

private:
    // Parses the file as the parsing thread would and reads every sample; fails the test when
    // the count exceeds what a file of this size can address (one sample per 4 bytes).
    static Outcome parse(const QString &path);
    QString path(const QString &name) const { return mDir.filePath(name); }
    // ftyp; moov { mvhd 60 s, what inside writes, a 1920 x 1080 video track }; gps0 of 3
    // records of speed 30.
    QString writeMovie(const std::function<void(Mp4Writer &)> &inside);
    // A small recording of each storage place, with where its structures begin.
    QString writeSource(Source source, bool movieFirst, QVector<qint64> *marks);

    QTemporaryDir mDir;

private slots:
    void missingFile_data();
    void missingFile();
    void truncations_data();
    void truncations();
    void mutations_data();
    void mutations();
    void damagedBoxSize_data();
    void damagedBoxSize();
    void damagedTopLevelBox_data();
    void damagedTopLevelBox();
    void zeroSizeBoxPassedOver();
    void longZeroFilledRegion();
    void impossibleCounts_data();
    void impossibleCounts();
    void undefinedRates_data();
    void undefinedRates();
    void wrappingChunkSizes_data();
    void wrappingChunkSizes();
    void unboundedMovieList();
    void tailIntoLastBytes_data();
    void tailIntoLastBytes();
    void randomBytes_data();
    void randomBytes();
};

Outcome TestHostileInput::parse(const QString &path)
{
    const std::unique_ptr<ParserObject> parser = createRecordingParser(path);
    Outcome outcome;
    outcome.source = parser->sampleSource();
    outcome.width = parser->width();
    outcome.duration = parser->duration();
    outcome.frameRate = parser->frameRate();
    outcome.count = parser->sampleCount();
    const qint64 size = QFileInfo(path).size();
    if (outcome.count > size / 4 + 1) {
        QTest::qFail(
                qPrintable(QStringLiteral("%1 samples in %2 bytes").arg(outcome.count).arg(size)),
                __FILE__, __LINE__);
        return outcome;
    }
    outcome.samples = readAllSamples(*parser);
    if (quint32(outcome.samples.size()) > outcome.count)
        QTest::qFail("more samples read than counted", __FILE__, __LINE__);
    return outcome;
}

QString TestHostileInput::writeMovie(const std::function<void(Mp4Writer &)> &inside)
{
    static int files = 0;
    const QString name = path(QStringLiteral("movie%1.MP4").arg(++files));
    Mp4Writer w(name);
    w.ftyp("isom");
    w.begin("moov");
    w.mvhd(1000, 60000);
    inside(w);
    Mp4Track video;
    video.width = 1920;
    video.height = 1080;
    video.sampleCount = 1800;
    w.track(video);
    w.end();
    w.gps0(recordsAt(30));
    return w.close() ? name : QString();
}

QString TestHostileInput::writeSource(Source source, bool movieFirst, QVector<qint64> *marks)
{
    Recording recording;
    recording.source = source;
    recording.records = Drive().records().mid(0, 4);
    recording.movieFirst = movieFirst;
    const QString name = path(QStringLiteral("%1%2.%3")
                                      .arg(QMetaEnum::fromType<Source>().valueToKey(source))
                                      .arg(movieFirst)
                                      .arg(isAvi(source) ? "AVI" : "MP4"));
    return recording.write(name, marks) ? name : QString();
}

void TestHostileInput::missingFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing MP4") << QStringLiteral("missing.MP4");
    QTest::newRow("missing AVI") << QStringLiteral("missing.AVI");
    QTest::newRow("directory") << QString();
}

void TestHostileInput::missingFile()
{
    QFETCH(QString, name);
    for (bool avi : {false, true}) {
        std::unique_ptr<ParserObject> parser;
        if (avi)
            parser = std::make_unique<AVIParser>(path(name));
        else
            parser = std::make_unique<Mp4Parser>(path(name));
        QVERIFY(!parser->isOpen());
        QCOMPARE(parser->width(), 0);
        QCOMPARE(parser->duration(), 0);
        QVERIFY(parser->creationTime().isNull());
        QCOMPARE(parser->sampleSource(), ParserObject::None);
        GpsData sample;
        QVERIFY(!parser->readSample(0, sample));
    }
}

void TestHostileInput::truncations_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("movieFirst");
    const QMetaEnum sources = QMetaEnum::fromType<Source>();
    for (int k = 1; k < sources.keyCount(); ++k) {
        QTest::addRow("%s", sources.key(k)) << sources.value(k) << false;
        if (!isAvi(Source(sources.value(k))) && sources.value(k) != ParserObject::Gps0Box)
            QTest::addRow("%s movie first", sources.key(k)) << sources.value(k) << true;
    }
}

void TestHostileInput::truncations()
{
    QFETCH(int, source);
    QFETCH(bool, movieFirst);
    QVector<qint64> marks;
    const QString file = writeSource(Source(source), movieFirst, &marks);
    const qint64 size = QFileInfo(file).size();
    const Outcome whole = parse(file);
    QCOMPARE(int(whole.source), source);
    QCOMPARE(whole.samples.size(), 4);

    // Cuts around every structure's start and across the whole file, longest first so that one
    // file can be cut shorter and shorter.
    QVector<qint64> cuts;
    for (qint64 mark : qAsConst(marks)) {
        for (qint64 delta : {-1, 0, 1, 3, 4, 7, 8, 9, 12, 15, 16, 17, 100, 311, 312})
            cuts.append(mark + delta);
    }
    for (qint64 cut = 0; cut < size; cut += qMax<qint64>(1, size / 400))
        cuts.append(cut);
    for (qint64 cut = qMax<qint64>(0, size - 700); cut < size; ++cut)
        cuts.append(cut);
    std::sort(cuts.begin(), cuts.end(), std::greater<qint64>());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

    QFile cutFile(file);
    for (qint64 cut : qAsConst(cuts)) {
        if (cut < 0 || cut >= size)
            continue;
        QVERIFY(cutFile.resize(cut));
        const Outcome outcome = parse(file);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("cut at %1").arg(cut)));
        // Whatever is decoded from a cut file is its records in order, or zeros past the cut.
        for (int i = 0; i < outcome.samples.size(); ++i)
            QVERIFY(outcome.samples.at(i).index == i);
    }
}

void TestHostileInput::mutations_data()
{
    truncations_data();
}

void TestHostileInput::mutations()
{
    QFETCH(int, source);
    QFETCH(bool, movieFirst);
    QVector<qint64> marks;
    QFile file(writeSource(Source(source), movieFirst, &marks));
    QVERIFY(file.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
    QRandomGenerator random(quint32(source * 2 + movieFirst));
    static const quint8 values[] = {0x00, 0x01, 0x07, 0x08, 0x0f, 0x10, 0x7f, 0x80, 0xfe, 0xff};
    for (int round = 0; round < 300; ++round) {
        // A few bytes on or near box and chunk headers, where damage changes the walks, are
        // overwritten, and put back after the parse.
        QVector<QPair<qint64, char>> saved;
        for (int k = random.bounded(1, 6); k > 0; --k) {
            const qint64 at = qMin(marks.at(random.bounded(marks.size())) + random.bounded(24),
                                   file.size() - 1);
            char old = 0;
            QVERIFY(file.seek(at) && file.getChar(&old) && file.seek(at));
            saved.prepend({at, old});
            file.putChar(
                    char(random.bounded(3) ? values[random.bounded(10)] : random.bounded(256)));
        }
        parse(file.fileName());
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("round %1").arg(round)));
        for (const auto &byte : qAsConst(saved))
            QVERIFY(file.seek(byte.first) && file.putChar(byte.second));
    }
}

void TestHostileInput::damagedBoxSize_data()
{
    QTest::addColumn<quint32>("size");
    QTest::addColumn<quint64>("largeSize");
    for (quint32 size = 2; size < 8; ++size)
        QTest::addRow("size %u", size) << size << quint64(0);
    for (quint64 largeSize : {0ull, 1ull, 8ull, 15ull, 0x7fffffffffffffffull, 0x8000000000000000ull,
                              0xffffffffffffffffull})
        QTest::addRow("64-bit size %llx", largeSize) << 1u << largeSize;
    QTest::newRow("beyond the movie") << 0x7fffffffu << quint64(0);
}

void TestHostileInput::damagedBoxSize()
{
    QFETCH(quint32, size);
    QFETCH(quint64, largeSize);
    // The damaged box ends the movie box's walk (the track after it is not seen); the walk of
    // the file goes on after the movie box.
    const Outcome outcome = parse(writeMovie([&](Mp4Writer &w) {
        w.header(size, "free");
        if (size == 1)
            w.be64(largeSize);
    }));
    QCOMPARE(outcome.duration, 60);
    QCOMPARE(outcome.width, 0);
    QCOMPARE(outcome.source, ParserObject::Gps0Box);
    QCOMPARE(speeds(outcome.samples), QVector<int>({30, 30, 30}));
}

void TestHostileInput::damagedTopLevelBox_data()
{
    damagedBoxSize_data();
}

void TestHostileInput::damagedTopLevelBox()
{
    QFETCH(quint32, size);
    QFETCH(quint64, largeSize);
    // Nothing after a damaged top-level box is walked.
    Mp4Writer w(path(QStringLiteral("top.MP4")));
    w.ftyp("isom");
    w.header(size, "free");
    if (size == 1)
        w.be64(largeSize);
    w.begin("moov");
    w.mvhd(1000, 60000);
    w.end();
    w.gps0(recordsAt(30));
    QVERIFY(w.close());
    const Outcome outcome = parse(path(QStringLiteral("top.MP4")));
    QCOMPARE(outcome.duration, 0);
    QCOMPARE(outcome.source, ParserObject::None);
}

void TestHostileInput::zeroSizeBoxPassedOver()
{
    // A size-0 header is passed over: the next header follows its 8 bytes, at the top level
    // and inside the movie box alike.
    Mp4Writer w(path(QStringLiteral("zero.MP4")));
    w.ftyp("isom");
    w.header(0, "free");
    w.begin("moov");
    w.header(0, "skip");
    w.mvhd(1000, 60000);
    Mp4Track video;
    video.width = 1280;
    w.track(video);
    w.end();
    QVERIFY(w.close());
    const Outcome outcome = parse(path(QStringLiteral("zero.MP4")));
    QCOMPARE(outcome.duration, 60);
    QCOMPARE(outcome.width, 1280);
}

void TestHostileInput::longZeroFilledRegion()
{
    // A card that lost a stretch of data reads back zeros: megabytes of empty box headers before
    // the real boxes. The walk passes over all of them and still finds every record; the
    // partial block reads at the region's end must not garble the boxes that follow.
    const QString original = writeSource(ParserObject::Gps0Box, true, nullptr);
    QFile in(original);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray boxes = in.readAll();
    for (const int zeros : {3 * 1024 * 1024 + 8, 64 * 1024 - 8, 64 * 1024 + 504}) {
        const QString name = path(QStringLiteral("zeros%1.MP4").arg(zeros));
        QFile out(name);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(zeros, '\0') + boxes);
        out.close();
        const Outcome shifted = parse(name);
        QCOMPARE(shifted.source, ParserObject::Gps0Box);
        QCOMPARE(speeds(shifted.samples), speeds(parse(original).samples));
        // In large blocks: read a few bytes at a time, megabytes of zeros take millions of
        // system calls, and each block read again shows in the byte count.
        const std::unique_ptr<ParserObject> parser = createRecordingParser(name);
        QVERIFY2(parser->bytesRead() <= out.size() + 64 * 1024,
                 qPrintable(QStringLiteral("%1 bytes read of %2")
                                    .arg(parser->bytesRead())
                                    .arg(out.size())));
    }
}

void TestHostileInput::impossibleCounts_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("stride");
    QTest::newRow("gps table") << int(ParserObject::GpsBox) << 8;
    QTest::newRow("chunk table") << int(ParserObject::ExtTrack) << 4;
    QTest::newRow("gps0 box") << int(ParserObject::Gps0Box) << 311;
    QTest::newRow("GPSL block") << int(ParserObject::AviGpsList) << 312;
}

void TestHostileInput::impossibleCounts()
{
    QFETCH(int, source);
    QFETCH(int, stride);
    // A count of 0xFFFFFFFF yields only the items whose first byte lies inside the file.
    const QVector<SampleRecord> records = recordsAt(44);
    const QString name = path(source == ParserObject::AviGpsList ? "counts.AVI" : "counts.MP4");
    qint64 table = 0;
    if (source == ParserObject::AviGpsList) {
        AviWriter w(name);
        w.begin("RIFF", "AVI ");
        w.end();
        const qint64 block = w.gpsList(records, 0xffffffff);
        w.tail(quint32(block));
        table = block + 8;
        QVERIFY(w.close());
    } else {
        Mp4Writer w(name);
        w.ftyp("isom");
        if (source == ParserObject::Gps0Box) {
            w.header(0xffffffff, "gps0");
            table = w.pos();
            for (const SampleRecord &record : records)
                w.bytes(record.scrambled().left(SampleRecord::Size - 1));
        } else {
            w.begin("mdat");
            QVector<quint32> chunks;
            for (const SampleRecord &record : records)
                chunks.append(w.recordChunk(Source(source), record));
            w.end();
            w.begin("moov");
            table = source == ParserObject::GpsBox
                            ? w.gpsTable(chunks)
                            : w.track(Mp4Writer::recordTrack(Source(source), chunks));
            w.patchBe32(table - 4, 0xffffffff);
            w.end();
        }
        QVERIFY(w.close());
    }
    const qint64 size = QFileInfo(name).size();
    const Outcome outcome = parse(name);
    QCOMPARE(int(outcome.source), source);
    QCOMPARE(qint64(outcome.count), (size - table + stride - 1) / stride);
    QCOMPARE(speeds(outcome.samples).mid(0, 3), QVector<int>({44, 44, 44}));
}

void TestHostileInput::undefinedRates_data()
{
    QTest::addColumn<quint32>("timescale");
    QTest::addColumn<quint32>("duration");
    QTest::addColumn<quint32>("samples");
    QTest::addColumn<bool>("headerLast");
    QTest::newRow("timescale 0") << 0u << 60000u << 1800u << false;
    QTest::newRow("movie header after the tracks") << 1000u << 60000u << 1800u << true;
    QTest::newRow("duration 0") << 1000u << 0u << 1800u << false;
    QTest::newRow("largest values") << 1u << 0xffffffffu << 0x7fffffffu << false;
    QTest::newRow("negative sample count") << 1000u << 60000u << 0xffffffffu << false;
}

void TestHostileInput::undefinedRates()
{
    QFETCH(quint32, timescale);
    QFETCH(quint32, duration);
    QFETCH(quint32, samples);
    QFETCH(bool, headerLast);
    Mp4Writer w(path(QStringLiteral("rates.MP4")));
    w.ftyp("isom");
    w.begin("moov");
    if (!headerLast)
        w.mvhd(timescale, duration);
    Mp4Track video;
    video.width = 640;
    video.sampleCount = samples;
    w.track(video);
    if (headerLast)
        w.mvhd(timescale, duration);
    w.end();
    QVERIFY(w.close());
    const Outcome outcome = parse(path(QStringLiteral("rates.MP4")));
    QCOMPARE(outcome.width, 640);
    QVERIFY(qIsFinite(outcome.frameRate) && outcome.frameRate >= 0.0f);
    QVERIFY(outcome.duration >= 0);
}

void TestHostileInput::wrappingChunkSizes_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<quint32>("size");
    QTest::addColumn<quint32>("count");
    QTest::newRow("back onto itself") << QByteArray("00dc") << 0xfffffff8u << 2u;
    QTest::newRow("backwards") << QByteArray("00dc") << 0xfffffff0u << 2u;
    QTest::newRow("odd, padded past 32 bits") << QByteArray("00dc") << 0xffffffffu << 2u;
    QTest::newRow("odd, padded onto itself") << QByteArray("00dc") << 0xfffffff7u << 2u;
    // The audio chunk itself is counted before the walk ends.
    QTest::newRow("audio chunk") << QByteArray("01wb") << 0xfffffff8u << 3u;
}

void TestHostileInput::wrappingChunkSizes()
{
    QFETCH(QByteArray, id);
    QFETCH(quint32, size);
    AviWriter w(path(QStringLiteral("wrap.AVI")));
    w.begin("RIFF", "AVI ");
    w.begin("LIST", "movi");
    for (const SampleRecord &record : recordsAt(25, 2))
        w.recordChunk(record);
    w.header(id.constData(), size);
    w.recordChunk(recordsAt(26, 1).first()); // not reached
    w.end();
    w.end();
    QVERIFY(w.close());
    const Outcome outcome = parse(path(QStringLiteral("wrap.AVI")));
    QTEST(outcome.count, "count");
    QCOMPARE(speeds(outcome.samples).mid(0, 2), QVector<int>({25, 25}));
}

void TestHostileInput::unboundedMovieList()
{
    // A movie list that claims 4 GiB ends with the file.
    AviWriter w(path(QStringLiteral("unbounded.AVI")));
    w.begin("RIFF", "AVI ");
    w.header("LIST", 0xffffffff);
    w.fourCC("movi");
    for (const SampleRecord &record : recordsAt(61))
        w.recordChunk(record);
    w.end();
    QVERIFY(w.close());
    const Outcome outcome = parse(path(QStringLiteral("unbounded.AVI")));
    QCOMPARE(speeds(outcome.samples), QVector<int>({61, 61, 61}));
}

void TestHostileInput::tailIntoLastBytes_data()
{
    QTest::addColumn<int>("fromEnd");
    for (int fromEnd = 1; fromEnd <= 8; ++fromEnd)
        QTest::addRow("%d bytes before the end", fromEnd) << fromEnd;
}

void TestHostileInput::tailIntoLastBytes()
{
    QFETCH(int, fromEnd);
    // The last bytes read "GPSL" followed by the tail offset, which then doubles as the count.
    AviWriter w(path(QStringLiteral("tail.AVI")));
    w.begin("RIFF", "AVI ");
    w.begin("LIST", "movi");
    for (const SampleRecord &record : recordsAt(19, 2))
        w.recordChunk(record);
    w.end();
    w.end();
    w.fourCC("GPSL");
    w.tail(quint32(w.pos() + 4 - fromEnd));
    QVERIFY(w.close());
    const Outcome outcome = parse(path(QStringLiteral("tail.AVI")));
    if (fromEnd == 8) {
        QCOMPARE(outcome.source, ParserObject::AviGpsList);
        QCOMPARE(outcome.count, 0u);
    } else {
        QCOMPARE(outcome.source, ParserObject::AviAudioChunk);
        QCOMPARE(speeds(outcome.samples), QVector<int>({19, 19}));
    }
}

void TestHostileInput::randomBytes_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("MP4 noise") << QByteArray() << "MP4";
    QTest::newRow("AVI noise") << QByteArray() << "AVI";
    QTest::newRow("movie box of noise")
            << QByteArray::fromHex("00000010667479706973") + QByteArray::fromHex("00000000000000")
                       + QByteArray::fromHex("00001000") + "moov"
            << "MP4";
    QTest::newRow("AVI header of noise") << QByteArray("RIFF\xff\xff\x00\x00"
                                                       "AVI LIST",
                                                       16)
                                                    + QByteArray("\x00\x10\x00\x00hdrl", 8)
                                         << "AVI";
}

void TestHostileInput::randomBytes()
{
    QFETCH(QByteArray, prefix);
    QFETCH(QString, suffix);
    QRandomGenerator random(qHash(prefix) ^ qHash(suffix));
    const QString name = path(QStringLiteral("noise.") + suffix);
    for (int round = 0; round < 200; ++round) {
        QByteArray data(random.bounded(0, 6000), '\0');
        for (char &byte : data) {
            // Small values and box-like text appear more often than uniform noise would give.
            const quint32 pick = random.bounded(8);
            byte = pick < 3   ? char(random.bounded(256))
                   : pick < 6 ? char(random.bounded(4))
                              : "moovtrakgps0GPSL01wbLISTmovi"[random.bounded(28)];
        }
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(prefix + data);
        file.close();
        parse(name);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

QTEST_GUILESS_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"

// AVI parser: "GPSL" block and "01wb" chunk records, main header information, non-AVI files.
#include "aviwriter.h"
#include "recording.h"
#include "samplecheck.h"

#include <parser/aviparser.h>

#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using samplecheck::recordsAt;

namespace {

using Fill = std::function<void(AviWriter &)>;

QVector<int> speeds(AVIParser &parser)
{
    return samplecheck::speeds(readAllSamples(parser));
}

} // namespace

class TestAviParser : public QObject
{
    Q_OBJECT

private:
    // RIFF form, a header list (33 367 us x 1 798 frames, 1280 x 720), the movie list that
    // movie fills, then whatever after appends behind the RIFF chunk.
    QString writeAvi(const Fill &movie, const Fill &after = {}, const char *form = "AVI ");
    QString writeRecording(const Recording &recording);

    QTemporaryDir mDir;
    int mFiles = 0;

private slots:
    void gpsList();
    void audioChunks();
    void audioChunksInAnyOrder();
    void padRule();
    void chunksBehindMovieList();
    void movieListAtAnyEvenOffset_data();
    void movieListAtAnyEvenOffset();
    void mainHeader();
    void noMainHeader();
    void tailOffset_data();
    void tailOffset();
    void notAnAvi_data();
    void notAnAvi();
};

QString TestAviParser::writeAvi(const Fill &movie, const Fill &after, const char *form)
{
    const QString path = mDir.filePath(QStringLiteral("file%1.AVI").arg(++mFiles));
    AviWriter w(path);
    w.begin("RIFF", form);
    w.begin("LIST", "hdrl");
    w.avih(33367, 1798, 1280, 720);
    w.end();
    w.begin("LIST", "movi");
    movie(w);
    w.end();
    w.end();
    if (after)
        after(w);
    return w.close() ? path : QString();
}

QString TestAviParser::writeRecording(const Recording &recording)
{
    const QString path = mDir.filePath(QStringLiteral("file%1.AVI").arg(++mFiles));
    return recording.write(path) ? path : QString();
}

void TestAviParser::gpsList()
{
    Recording recording;
    recording.source = ParserObject::AviGpsList;
    recording.records = Drive().records().mid(0, 3);
    AVIParser parser(writeRecording(recording));
    QCOMPARE(parser.sampleSource(), ParserObject::AviGpsList);
    QCOMPARE(parser.sampleCount(), 3u);
    const QVector<GpsData> samples = readAllSamples(parser);
    QCOMPARE(samples.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(samplecheck::difference(samples.at(i), recording.records.at(i)), QString());
    // 3 s at 33 333 us per frame is 2.99997 s: truncated.
    QCOMPARE(parser.duration(), 2);
    QCOMPARE(parser.width(), 1920);
    QCOMPARE(parser.height(), 1080);
}

void TestAviParser::audioChunks()
{
    Recording recording;
    recording.source = ParserObject::AviAudioChunk;
    recording.records = Drive().records();
    AVIParser parser(writeRecording(recording));
    QCOMPARE(parser.sampleSource(), ParserObject::AviAudioChunk);
    QCOMPARE(parser.sampleCount(), 60u);
    const QVector<GpsData> samples = readAllSamples(parser);
    QCOMPARE(samples.size(), 60);
    for (int i = 0; i < 60; ++i) {
        QCOMPARE(samples.at(i).index, i);
        QCOMPARE(samplecheck::difference(samples.at(i), recording.records.at(i)), QString());
    }
    QCOMPARE(parser.duration(), 59);
}

void TestAviParser::audioChunksInAnyOrder()
{
    Recording recording;
    recording.source = ParserObject::AviAudioChunk;
    recording.records = Drive().records().mid(0, 20);
    AVIParser parser(writeRecording(recording));
    GpsData sample;
    for (int i : {19, 0, 7, 7, 18, 3}) {
        QVERIFY(parser.readSample(i, sample));
        QCOMPARE(samplecheck::difference(sample, recording.records.at(i)), QString());
    }
    QVERIFY(!parser.readSample(20, sample));
}

void TestAviParser::padRule()
{
    // Odd chunks other than audio are followed by a pad byte; odd audio chunks are not.
    const QVector<SampleRecord> records = recordsAt(58);
    const QString path = writeAvi([&](AviWriter &w) {
        w.chunk("00dc", 1001);
        w.recordChunk(records.at(0), AviWriter::RecordChunkSize + 1);
        w.chunk("00dc", 7);
        w.recordChunk(records.at(1), AviWriter::RecordChunkSize + 3);
        w.chunk("JUNK", 3);
        w.recordChunk(records.at(2));
    });
    AVIParser parser(path);
    QCOMPARE(parser.sampleSource(), ParserObject::AviAudioChunk);
    QCOMPARE(parser.sampleCount(), 3u);
    QCOMPARE(speeds(parser), QVector<int>({58, 58, 58}));
}

void TestAviParser::chunksBehindMovieList()
{
    const QVector<SampleRecord> records = recordsAt(21, 4);
    const QString path = writeAvi(
            [&](AviWriter &w) {
                for (int i = 0; i < 3; ++i) {
                    w.chunk("00dc", 5000);
                    w.recordChunk(records.at(i));
                }
            },
            [&](AviWriter &w) { w.recordChunk(records.at(3)); });
    AVIParser parser(path);
    QCOMPARE(parser.sampleCount(), 3u);
    QCOMPARE(speeds(parser), QVector<int>({21, 21, 21}));
}

void TestAviParser::movieListAtAnyEvenOffset_data()
{
    QTest::addColumn<qint64>("listAt");
    QTest::addColumn<bool>("decoy");
    // Around the ends of the blocks in which the search reads the file: 512 bytes after where
    // it starts, then twice as many each time, then 64 KiB at a time.
    for (qint64 end : {524, 1548, 3596, 7692, 15884, 32268, 65036, 130572}) {
        for (qint64 listAt : {end - 4, end - 2, end})
            QTest::addRow("at %lld", listAt) << listAt << false;
        QTest::addRow("at %lld behind an odd one", end - 2) << end - 2 << true;
    }
}

void TestAviParser::movieListAtAnyEvenOffset()
{
    QFETCH(qint64, listAt);
    QFETCH(bool, decoy);
    const QString path = mDir.filePath(QStringLiteral("file%1.AVI").arg(++mFiles));
    AviWriter w(path);
    w.begin("RIFF", "AVI ");
    // A movie list header at an odd offset is not where a chunk can start.
    if (decoy) {
        w.hole(listAt - 15 - w.pos());
        w.bytes(QByteArray("LIST\x00\x00\x01\x00movi", 12));
    }
    w.hole(listAt - w.pos());
    w.begin("LIST", "movi");
    for (const SampleRecord &record : recordsAt(33, 2))
        w.recordChunk(record);
    w.end();
    w.end();
    QVERIFY(w.close());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // Searched in the file's blocks and in memory at once.
    AVIParser fromFile(path);
    AVIParser fromMemory(file.readAll());
    for (AVIParser *parser : {&fromFile, &fromMemory}) {
        QCOMPARE(parser->sampleSource(), ParserObject::AviAudioChunk);
        QCOMPARE(speeds(*parser), QVector<int>({33, 33}));
    }
}

void TestAviParser::mainHeader()
{
    AVIParser parser(writeAvi([](AviWriter &w) { w.chunk("00dc", 100); }));
    QVERIFY(parser.isOpen());
    // 33 367 us x 1 798 frames is 59.99 s, truncated.
    QCOMPARE(parser.duration(), 59);
    QCOMPARE(parser.width(), 1280);
    QCOMPARE(parser.height(), 720);
    QCOMPARE(parser.frameRate(), 0.0f);
    QCOMPARE(parser.videoCodec(), 0);
    QVERIFY(parser.creationTime().isNull());
    QCOMPARE(parser.sampleSource(), ParserObject::None);
    GpsData sample;
    QVERIFY(!parser.readSample(0, sample));
}

void TestAviParser::noMainHeader()
{
    const QString path = mDir.filePath(QStringLiteral("noheader.AVI"));
    AviWriter w(path);
    w.begin("RIFF", "AVI ");
    w.begin("LIST", "movi");
    const QVector<SampleRecord> records = recordsAt(9, 2);
    for (const SampleRecord &record : records)
        w.recordChunk(record);
    w.end();
    w.end();
    QVERIFY(w.close());
    AVIParser parser(path);
    QCOMPARE(parser.width(), 0);
    QCOMPARE(parser.duration(), 0);
    QCOMPARE(speeds(parser), QVector<int>({9, 9}));
}

void TestAviParser::tailOffset_data()
{
    QTest::addColumn<QString>("tail");
    QTest::addColumn<int>("source");
    QTest::addColumn<QVector<int>>("speeds");
    const int list = ParserObject::AviGpsList;
    const int audio = ParserObject::AviAudioChunk;
    QTest::newRow("GPSL wins over audio chunks") << "gpsl" << list << QVector<int>{77, 77, 77};
    QTest::newRow("offset at the file size") << "size" << audio << QVector<int>{12, 12};
    QTest::newRow("offset beyond the file") << "beyond" << audio << QVector<int>{12, 12};
    QTest::newRow("no GPSL at the offset") << "elsewhere" << audio << QVector<int>{12, 12};
}

void TestAviParser::tailOffset()
{
    QFETCH(QString, tail);
    const QString path = writeAvi(
            [](AviWriter &w) {
                for (const SampleRecord &record : recordsAt(12, 2))
                    w.recordChunk(record);
            },
            [&](AviWriter &w) {
                if (tail == QLatin1String("gpsl")) {
                    w.tail(quint32(w.gpsList(recordsAt(77), 3)));
                } else {
                    const qint64 end = w.pos() + 4;
                    w.tail(tail == QLatin1String("size")     ? quint32(end)
                           : tail == QLatin1String("beyond") ? 0xfffffff0u
                                                             : 16u);
                }
            });
    AVIParser parser(path);
    QTEST(int(parser.sampleSource()), "source");
    QTEST(speeds(parser), "speeds");
}

void TestAviParser::notAnAvi_data()
{
    QTest::addColumn<QByteArray>("form");
    QTest::addColumn<bool>("zeroSize");
    QTest::newRow("WAVE") << QByteArray("WAVE") << false;
    QTest::newRow("AVI without the blank") << QByteArray("AVIX") << false;
    QTest::newRow("RIFF size 0") << QByteArray("AVI ") << true;
}

void TestAviParser::notAnAvi()
{
    QFETCH(QByteArray, form);
    QFETCH(bool, zeroSize);
    // Audio chunks and a "GPSL" block are there, but the file is not an AVI recording.
    const QString path = writeAvi(
            [](AviWriter &w) { w.recordChunk(recordsAt(3, 1).first()); },
            [](AviWriter &w) { w.tail(quint32(w.gpsList(recordsAt(4, 1), 1))); }, form.constData());
    if (zeroSize) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(4);
        file.write(QByteArray(4, '\0'));
    }
    AVIParser parser(path);
    QVERIFY(parser.isOpen());
    QCOMPARE(parser.sampleSource(), ParserObject::None);
    QCOMPARE(parser.sampleCount(), 0u);
    QCOMPARE(parser.width(), 0);
    QCOMPARE(parser.duration(), 0);
    GpsData sample;
    QVERIFY(!parser.readSample(0, sample));
}

QTEST_GUILESS_MAIN(TestAviParser)
#include "tst_aviparser.moc"

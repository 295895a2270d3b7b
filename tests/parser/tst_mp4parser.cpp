// MP4/MOV parser: the five storage places, the file information rules and which place wins.
#include "mp4writer.h"
#include "recording.h"
#include "samplecheck.h"

#include <parser/mp4parser.h>

#include <QTemporaryDir>
#include <QtTest>

using Source = ParserObject::SampleSource;
Q_DECLARE_METATYPE(QVector<ParserObject::SampleSource>)
Q_DECLARE_METATYPE(QVector<Mp4Track>)

using samplecheck::recordsAt;
using samplecheck::speeds;

namespace {

QVector<quint32> writeChunks(Mp4Writer &w, Source source, const QVector<SampleRecord> &records,
                             quint32 markerOffset = 0x10004)
{
    QVector<quint32> offsets;
    for (const SampleRecord &record : records)
        offsets.append(w.recordChunk(source, record, markerOffset));
    return offsets;
}

Mp4Track videoTrack(int width, int height, const QByteArray &entry = "avc1",
                    quint32 creationTime = 0, quint32 samples = 1800)
{
    Mp4Track track;
    track.width = width;
    track.height = height;
    track.sampleEntry = entry;
    track.creationTime = creationTime;
    track.sampleCount = samples;
    return track;
}

QDateTime since1904(quint32 seconds)
{
    return QDateTime(QDate(1904, 1, 1), QTime(0, 0), Qt::LocalTime).addSecs(seconds);
}

} // namespace

class TestMp4Parser : public QObject
{
    Q_OBJECT

private:
    QString path(const QString &name) const { return mDir.filePath(name); }
    // A movie of one video track and the given tracks, no telemetry.
    QString writeMovie(const QVector<Mp4Track> &tracks, quint32 timescale = 1000,
                       quint32 duration = 60000);
    // Places in file order, each with three records of its own speed (10, 20, ...); a "gps0"
    // box first in the list goes before the movie box, elsewhere after it.
    QString writePlaces(const QVector<Source> &places);

    QTemporaryDir mDir;

private slots:
    void storagePlaces_data();
    void storagePlaces();
    void soundMarker_data();
    void soundMarker();
    void soundMarkerOnlyInFirstChunk();
    void mainVideoTrack_data();
    void mainVideoTrack();
    void videoCodec_data();
    void videoCodec();
    void frameRate_data();
    void frameRate();
    void duration_data();
    void duration();
    void creationTime_data();
    void creationTime();
    void noVideoTrack();
    void largeBoxSizes();
    void lastMatchWins_data();
    void lastMatchWins();
    void gps0Size_data();
    void gps0Size();
    void handlerName_data();
    void handlerName();
};

QString TestMp4Parser::writeMovie(const QVector<Mp4Track> &tracks, quint32 timescale,
                                  quint32 duration)
{
    static int files = 0;
    const QString name = path(QStringLiteral("movie%1.MP4").arg(++files));
    Mp4Writer w(name);
    w.ftyp("isom");
    w.begin("moov");
    w.mvhd(timescale, duration);
    for (const Mp4Track &track : tracks)
        w.track(track);
    w.end();
    return w.close() ? name : QString();
}

void TestMp4Parser::storagePlaces_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("movieFirst");
    QTest::addColumn<QByteArray>("brand");
    for (Source source : {ParserObject::ExtTrack, ParserObject::GpsBox, ParserObject::SoundTrack,
                          ParserObject::Gps0Box, ParserObject::GpsMetaTrack}) {
        const char *name = QMetaEnum::fromType<Source>().valueToKey(source);
        QTest::addRow("%s", name) << int(source) << false << QByteArray("isom");
        QTest::addRow("%s movie first", name) << int(source) << true << QByteArray("isom");
        QTest::addRow("%s MOV", name) << int(source) << false << QByteArray("qt  ");
    }
}

void TestMp4Parser::storagePlaces()
{
    QFETCH(int, source);
    QFETCH(bool, movieFirst);
    QFETCH(QByteArray, brand);
    Drive drive;
    Recording recording;
    recording.source = Source(source);
    recording.records = drive.records();
    recording.movieFirst = movieFirst;
    recording.brand = brand;
    recording.creationTime = Mp4Writer::timestamp(drive.start);
    QVERIFY(recording.write(path(QStringLiteral("place.MP4"))));

    Mp4Parser parser(path(QStringLiteral("place.MP4")));
    QCOMPARE(int(parser.sampleSource()), source);
    QCOMPARE(parser.sampleCount(), 60u);
    QCOMPARE(parser.width(), 1920);
    QCOMPARE(parser.height(), 1080);
    QCOMPARE(parser.duration(), 60);
    QCOMPARE(parser.frameRate(), 30.0f);
    QCOMPARE(parser.videoCodec(), 1);
    QCOMPARE(parser.creationTime(), drive.start);
    const QVector<GpsData> samples = readAllSamples(parser);
    QCOMPARE(samples.size(), 60);
    for (int i = 0; i < samples.size(); ++i) {
        QCOMPARE(samples.at(i).index, i);
        QCOMPARE(samplecheck::difference(samples.at(i), recording.records.at(i)), QString());
    }
    QVERIFY(samples.at(30).heading > 0.0);
}

void TestMp4Parser::soundMarker_data()
{
    QTest::addColumn<quint32>("markerOffset");
    QTest::newRow("0x10004") << 0x10004u;
    QTest::newRow("0x20004") << 0x20004u;
    QTest::newRow("0x40004") << 0x40004u;
}

void TestMp4Parser::soundMarker()
{
    QFETCH(quint32, markerOffset);
    Recording recording;
    recording.source = ParserObject::SoundTrack;
    recording.records = recordsAt(47, 4);
    recording.markerOffset = markerOffset;
    QVERIFY(recording.write(path(QStringLiteral("sound.MP4"))));
    Mp4Parser parser(path(QStringLiteral("sound.MP4")));
    QCOMPARE(parser.sampleSource(), ParserObject::SoundTrack);
    // Records are read this far into each chunk, so a wrong marker offset reads no speeds.
    QCOMPARE(speeds(readAllSamples(parser)), QVector<int>({47, 47, 47, 47}));
}

void TestMp4Parser::soundMarkerOnlyInFirstChunk()
{
    // The second chunk carries the marker, the first plain sound: no telemetry.
    Mp4Writer w(path(QStringLiteral("late.MP4")));
    w.ftyp("isom");
    w.begin("mdat");
    QVector<quint32> chunks = {w.offset()};
    w.hole(0x10004 + 400);
    chunks += writeChunks(w, ParserObject::SoundTrack, recordsAt(5, 2));
    w.end();
    w.begin("moov");
    w.mvhd(1000, 60000);
    w.track(videoTrack(1920, 1080));
    w.track(Mp4Writer::recordTrack(ParserObject::SoundTrack, chunks));
    w.end();
    QVERIFY(w.close());
    Mp4Parser parser(path(QStringLiteral("late.MP4")));
    QCOMPARE(parser.sampleSource(), ParserObject::None);
    QCOMPARE(parser.width(), 1920);
}

void TestMp4Parser::mainVideoTrack_data()
{
    QTest::addColumn<QVector<Mp4Track>>("tracks");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("codec");
    QTest::addColumn<quint32>("creation");
    QTest::addColumn<float>("frameRate");
    const Mp4Track front = videoTrack(1920, 1080, "avc1", 3786000000u, 1800);
    const Mp4Track rear = videoTrack(1280, 720, "hvc1", 100, 900);
    QTest::newRow("wide first") << QVector<Mp4Track>{front, rear} << 1920 << 1080 << 1
                                << 3786000000u << 30.0f;
    QTest::newRow("wide last") << QVector<Mp4Track>{rear, front} << 1920 << 1080 << 1 << 3786000000u
                               << 30.0f;
    Mp4Track frontHevc = front;
    frontHevc.sampleEntry = "hvc1";
    Mp4Track rearAvc = rear;
    rearAvc.sampleEntry = "avc1";
    QTest::newRow("codec of the wide track")
            << QVector<Mp4Track>{rearAvc, frontHevc} << 1920 << 1080 << 2 << 3786000000u << 30.0f;
    Mp4Track sameWidth = videoTrack(1920, 1088, "hvc1", 7, 900);
    QTest::newRow("equal widths: first wins")
            << QVector<Mp4Track>{front, sameWidth} << 1920 << 1080 << 1 << 3786000000u << 30.0f;
    Mp4Track sound = Mp4Writer::recordTrack(ParserObject::SoundTrack, {});
    sound.width = 4000; // a sound track never becomes the main track, however wide
    QTest::newRow("only video tracks count")
            << QVector<Mp4Track>{rear, sound} << 1280 << 720 << 2 << 100u << 15.0f;
}

void TestMp4Parser::mainVideoTrack()
{
    QFETCH(QVector<Mp4Track>, tracks);
    Mp4Parser parser(writeMovie(tracks));
    QFETCH(quint32, creation);
    QTEST(parser.width(), "width");
    QTEST(parser.height(), "height");
    QTEST(parser.videoCodec(), "codec");
    QCOMPARE(parser.creationTime(), since1904(creation));
    QTEST(parser.frameRate(), "frameRate");
}

void TestMp4Parser::videoCodec_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<int>("codec");
    QTest::newRow("H.264") << QByteArray("avc1") << 1;
    QTest::newRow("H.265") << QByteArray("hvc1") << 2;
    QTest::newRow("other entry") << QByteArray("mp4v") << 0;
    QTest::newRow("case matters") << QByteArray("AVC1") << 0;
    QTest::newRow("no entry") << QByteArray() << 0;
}

void TestMp4Parser::videoCodec()
{
    QFETCH(QByteArray, entry);
    Mp4Parser parser(writeMovie({videoTrack(1920, 1080, entry)}));
    QCOMPARE(parser.width(), 1920);
    QTEST(parser.videoCodec(), "codec");
}

void TestMp4Parser::frameRate_data()
{
    QTest::addColumn<quint32>("samples");
    QTest::addColumn<quint32>("timescale");
    QTest::addColumn<quint32>("duration");
    QTest::addColumn<float>("frameRate");
    QTest::newRow("30 fps") << 1800u << 1000u << 60000u << 30.0f;
    QTest::newRow("one decimal") << 1790u << 1000u << 60000u << 29.8f;
    QTest::newRow("rounded up") << 1798u << 1000u << 60000u << 30.0f;
    QTest::newRow("25 fps, timescale 600") << 1500u << 600u << 36000u << 25.0f;
    QTest::newRow("timescale 90000") << 1800u << 90000u << 5400000u << 30.0f;
    QTest::newRow("no samples") << 0u << 1000u << 60000u << 0.0f;
}

void TestMp4Parser::frameRate()
{
    QFETCH(quint32, samples);
    QFETCH(quint32, timescale);
    QFETCH(quint32, duration);
    Mp4Parser parser(writeMovie({videoTrack(1920, 1080, "avc1", 0, samples)}, timescale, duration));
    QTEST(parser.frameRate(), "frameRate");
}

void TestMp4Parser::duration_data()
{
    QTest::addColumn<quint32>("timescale");
    QTest::addColumn<quint32>("duration");
    QTest::addColumn<int>("seconds");
    QTest::newRow("60.499 s") << 1000u << 60499u << 60;
    QTest::newRow("60.5 s") << 1000u << 60500u << 61;
    QTest::newRow("timescale 90000") << 90000u << 5400000u << 60;
    QTest::newRow("empty") << 600u << 0u << 0;
}

void TestMp4Parser::duration()
{
    QFETCH(quint32, timescale);
    QFETCH(quint32, duration);
    Mp4Parser parser(writeMovie({videoTrack(1920, 1080)}, timescale, duration));
    QTEST(parser.duration(), "seconds");
}

void TestMp4Parser::creationTime_data()
{
    QTest::addColumn<quint32>("stored");
    QTest::addColumn<QDateTime>("expected");
    QTest::newRow("zero") << 0u << QDateTime(QDate(1904, 1, 1), QTime(0, 0), Qt::LocalTime);
    QTest::newRow("beyond 2^31") << 3786000000u << since1904(3786000000u);
    QTest::newRow("largest") << 0xffffffffu << since1904(0xffffffffu);
}

void TestMp4Parser::creationTime()
{
    QFETCH(quint32, stored);
    Mp4Parser parser(writeMovie({videoTrack(1920, 1080, "avc1", stored)}));
    QTEST(parser.creationTime(), "expected");
    QCOMPARE(parser.creationTime().timeSpec(), Qt::LocalTime);
}

void TestMp4Parser::noVideoTrack()
{
    Mp4Parser parser(writeMovie({Mp4Writer::recordTrack(ParserObject::SoundTrack, {})}));
    QVERIFY(parser.isOpen());
    QCOMPARE(parser.width(), 0);
    QCOMPARE(parser.height(), 0);
    QCOMPARE(parser.videoCodec(), 0);
    QCOMPARE(parser.frameRate(), 0.0f);
    QVERIFY(parser.creationTime().isNull());
    QCOMPARE(parser.duration(), 60);
    QCOMPARE(parser.sampleSource(), ParserObject::None);
}

void TestMp4Parser::largeBoxSizes()
{
    Mp4Writer w(path(QStringLiteral("large.MP4")));
    w.ftyp("isom");
    w.begin("free", Mp4Writer::Large);
    w.hole(1000);
    w.end();
    w.begin("mdat", Mp4Writer::Large);
    const QVector<quint32> chunks = writeChunks(w, ParserObject::ExtTrack, recordsAt(64));
    w.end();
    w.begin("moov", Mp4Writer::Large);
    w.mvhd(1000, 60000);
    w.track(videoTrack(1920, 1080));
    w.track(Mp4Writer::recordTrack(ParserObject::ExtTrack, chunks));
    w.end();
    QVERIFY(w.close());
    Mp4Parser parser(path(QStringLiteral("large.MP4")));
    QCOMPARE(parser.width(), 1920);
    QCOMPARE(parser.duration(), 60);
    QCOMPARE(parser.sampleSource(), ParserObject::ExtTrack);
    QCOMPARE(speeds(readAllSamples(parser)), QVector<int>({64, 64, 64}));
}

QString TestMp4Parser::writePlaces(const QVector<Source> &places)
{
    static int files = 0;
    const QString name = path(QStringLiteral("places%1.MP4").arg(++files));
    Mp4Writer w(name);
    w.ftyp("isom");
    if (places.first() == ParserObject::Gps0Box)
        w.gps0(recordsAt(10));
    QVector<QVector<quint32>> chunks;
    w.begin("mdat");
    for (int k = 0; k < places.size(); ++k)
        chunks.append(places.at(k) == ParserObject::Gps0Box
                              ? QVector<quint32>()
                              : writeChunks(w, places.at(k), recordsAt(10 * (k + 1))));
    w.end();
    w.begin("moov");
    w.mvhd(1000, 60000);
    w.track(videoTrack(1920, 1080));
    for (int k = 0; k < places.size(); ++k) {
        if (places.at(k) == ParserObject::GpsBox)
            w.gpsTable(chunks.at(k));
        else if (places.at(k) != ParserObject::Gps0Box)
            w.track(Mp4Writer::recordTrack(places.at(k), chunks.at(k)));
    }
    w.end();
    if (places.indexOf(ParserObject::Gps0Box) > 0)
        w.gps0(recordsAt(10 * (places.indexOf(ParserObject::Gps0Box) + 1)));
    return w.close() ? name : QString();
}

void TestMp4Parser::lastMatchWins_data()
{
    QTest::addColumn<QVector<Source>>("places");
    const Source ext = ParserObject::ExtTrack;
    const Source box = ParserObject::GpsBox;
    const Source sound = ParserObject::SoundTrack;
    const Source gps0 = ParserObject::Gps0Box;
    const Source meta = ParserObject::GpsMetaTrack;
    QTest::newRow("ext, meta") << QVector<Source>{ext, meta};
    QTest::newRow("meta, ext") << QVector<Source>{meta, ext};
    QTest::newRow("gps box, then track") << QVector<Source>{box, ext};
    QTest::newRow("track, then gps box") << QVector<Source>{ext, box};
    QTest::newRow("ext, sound") << QVector<Source>{ext, sound};
    QTest::newRow("sound, gps box") << QVector<Source>{sound, box};
    QTest::newRow("gps0 before movie") << QVector<Source>{gps0, meta};
    QTest::newRow("gps0 after movie") << QVector<Source>{meta, sound, gps0};
}

void TestMp4Parser::lastMatchWins()
{
    QFETCH(QVector<Source>, places);
    Mp4Parser parser(writePlaces(places));
    QCOMPARE(parser.sampleSource(), places.last());
    const int speed = 10 * places.size();
    QCOMPARE(speeds(readAllSamples(parser)), QVector<int>({speed, speed, speed}));
    // The movie box is walked whatever comes before or after it.
    QCOMPARE(parser.width(), 1920);
}

void TestMp4Parser::gps0Size_data()
{
    QTest::addColumn<int>("extraBytes");
    QTest::addColumn<quint32>("count");
    QTest::newRow("3 records") << 0 << 3u;
    QTest::newRow("3 records and 100 bytes") << 100 << 3u;
    QTest::newRow("3 records and 310 bytes") << 310 << 3u;
    QTest::newRow("4 records' worth") << 311 << 4u;
}

void TestMp4Parser::gps0Size()
{
    QFETCH(int, extraBytes);
    Mp4Writer w(path(QStringLiteral("gps0.MP4")));
    w.ftyp("isom");
    w.begin("gps0");
    for (const SampleRecord &record : recordsAt(33))
        w.bytes(record.scrambled().left(SampleRecord::Size - 1));
    w.bytes(QByteArray(extraBytes, '\x5c'));
    w.end();
    // A box after the records is still walked.
    w.begin("moov");
    w.mvhd(1000, 60000);
    w.track(videoTrack(1920, 1080));
    w.end();
    QVERIFY(w.close());
    Mp4Parser parser(path(QStringLiteral("gps0.MP4")));
    QCOMPARE(parser.sampleSource(), ParserObject::Gps0Box);
    QTEST(parser.sampleCount(), "count");
    QCOMPARE(parser.width(), 1920);
    QCOMPARE(speeds(readAllSamples(parser)).mid(0, 3), QVector<int>({33, 33, 33}));
}

void TestMp4Parser::handlerName_data()
{
    QTest::addColumn<QByteArray>("handlerType");
    QTest::addColumn<QByteArray>("handlerName");
    QTest::addColumn<int>("source");
    const int ext = ParserObject::ExtTrack;
    const int meta = ParserObject::GpsMetaTrack;
    QTest::newRow("exact") << QByteArray("text") << QByteArray("Ambarella EXT") << ext;
    QTest::newRow("inside, any case")
            << QByteArray("text") << QByteArray("front ambarella ext track") << ext;
    QTest::newRow("any handler kind") << QByteArray("meta") << QByteArray("AMBARELLA Ext") << ext;
    QTest::newRow("incomplete") << QByteArray("text") << QByteArray("Ambarella EX") << 0;
    QTest::newRow("after NUL") << QByteArray("text") << QByteArray("x\0Ambarella EXT", 15) << 0;
    QTest::newRow("gps meta") << QByteArray("meta") << QByteArray("Camera GPS metadata") << meta;
    QTest::newRow("gps meta, kind in capitals") << QByteArray("META") << QByteArray("gps") << meta;
    QTest::newRow("gps, not meta") << QByteArray("text") << QByteArray("GPS text") << 0;
    QTest::newRow("meta, not gps") << QByteArray("meta") << QByteArray("timed metadata") << 0;
}

void TestMp4Parser::handlerName()
{
    QFETCH(QByteArray, handlerType);
    QFETCH(QByteArray, handlerName);
    QFETCH(int, source);
    const Source layout = source == ParserObject::GpsMetaTrack ? ParserObject::GpsMetaTrack
                                                               : ParserObject::ExtTrack;
    Mp4Writer w(path(QStringLiteral("handler.MP4")));
    w.ftyp("isom");
    w.begin("mdat");
    Mp4Track track = Mp4Writer::recordTrack(layout, writeChunks(w, layout, recordsAt(71)));
    w.end();
    track.handlerType = handlerType;
    track.handlerName = handlerName;
    w.begin("moov");
    w.mvhd(1000, 60000);
    w.track(track);
    w.end();
    QVERIFY(w.close());
    Mp4Parser parser(path(QStringLiteral("handler.MP4")));
    QCOMPARE(int(parser.sampleSource()), source);
    QCOMPARE(speeds(readAllSamples(parser)), source ? QVector<int>({71, 71, 71}) : QVector<int>());
}

QTEST_GUILESS_MAIN(TestMp4Parser)
#include "tst_mp4parser.moc"

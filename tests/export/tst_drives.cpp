// The drive rule at its gap boundary, the grouping of clips into drives, and a drive's figures.
#include <export/driveassembler.h>
#include <export/drives.h>

#include <QtTest>

namespace {

using Clips = QVector<DriveClip>;

// The groups as text: each drive's clip indexes, drives apart by "|", such as "0,2|1".
QString layout(const QVector<QVector<int>> &drives)
{
    QStringList text;
    for (const QVector<int> &drive : drives) {
        QStringList indexes;
        for (int index : drive)
            indexes << QString::number(index);
        text << indexes.join(QLatin1Char(','));
    }
    return text.join(QLatin1Char('|'));
}

// A sample on the equator; a padding copy repeats the index before it.
GpsData sample(int index, double longitude, int speed, bool fix = true)
{
    GpsData result;
    result.index = index;
    result.fixFlag = fix ? 'A' : 0;
    result.latitude = 0.001; // 0/0 would be no position
    result.longitude = longitude;
    result.speed = speed;
    return result;
}

void setReading(GpsData *sample, const char *text)
{
    qstrncpy(sample->dateTime, text, sizeof sample->dateTime);
}

// A minute with a reading a second from start on.
QVector<GpsData> minute(const QDateTime &start)
{
    QVector<GpsData> samples;
    for (int i = 0; i < 60; ++i) {
        samples.append(sample(i, i * 1e-4, 40));
        setReading(&samples.last(),
                   start.addSecs(i).toString(QStringLiteral("yyyyMMddhhmmss")).toLatin1());
    }
    return samples;
}

} // namespace

Q_DECLARE_METATYPE(Clips)

class TestDrives : public QObject
{
    Q_OBJECT

private slots:
    void continues_data();
    void continues();
    void group_data();
    void group();
    void sameBoundaryForDrivesAndSegments_data();
    void sameBoundaryForDrivesAndSegments();
    void summarize();
    void implausibleFixes_data();
    void implausibleFixes();
    void clipOf_data();
    void clipOf();
    void track_data();
    void track();
    void rearsOfListedFronts_data();
    void rearsOfListedFronts();
};

void TestDrives::continues_data()
{
    QTest::addColumn<qint64>("last");
    QTest::addColumn<qint64>("next");
    QTest::addColumn<bool>("expected");
    QTest::newRow("the next second") << qint64(1000) << qint64(1001) << true;
    QTest::newRow("exactly five minutes") << qint64(1000) << qint64(1300) << true;
    QTest::newRow("five minutes and a second") << qint64(1000) << qint64(1301) << false;
    QTest::newRow("clock set back five minutes") << qint64(1300) << qint64(1000) << true;
    QTest::newRow("clock set back further") << qint64(1301) << qint64(1000) << false;
    QTest::newRow("the same second") << qint64(5) << qint64(5) << true;
}

void TestDrives::continues()
{
    QFETCH(qint64, last);
    QFETCH(qint64, next);
    QFETCH(bool, expected);
    QCOMPARE(Drives::continues(last, next), expected);
}

void TestDrives::group_data()
{
    QTest::addColumn<Clips>("clips");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << Clips{} << "";
    QTest::newRow("one") << Clips{{0, 60}} << "0";
    QTest::newRow("a gap of exactly 300 s") << Clips{{0, 60}, {360, 420}} << "0,1";
    QTest::newRow("a gap of 301 s") << Clips{{0, 60}, {361, 421}} << "0|1";
    QTest::newRow("split at the boundary, given out of order")
            << Clips{{722, 782}, {0, 60}, {360, 421}} << "1,2|0";
    QTest::newRow("ties keep the lower index first")
            << Clips{{200, 260}, {100, 160}, {100, 160}} << "1,2,0";
    QTest::newRow("drives in order of their first clip")
            << Clips{{5000, 5060}, {0, 60}, {10000, 10060}} << "1|0|2";
    // The gap counts from the latest end of the drive, not from the clip before.
    QTest::newRow("a long clip spans a short one")
            << Clips{{0, 3600}, {1000, 1060}, {3700, 3760}} << "0,1,2";
    QTest::newRow("overlapping clips") << Clips{{0, 60}, {30, 90}} << "0,1";
    QTest::newRow("a clip without length") << Clips{{0, 0}, {300, 360}, {661, 700}} << "0,1|2";
}

void TestDrives::group()
{
    QFETCH(Clips, clips);
    QFETCH(QString, expected);
    QCOMPARE(layout(Drives::group(clips)), expected);
}

// The playlist's drives and velqor-extract --events group clips, the export splits a track into
// segments: both must end a drive at the same gap, from the end of one minute's last second.
void TestDrives::sameBoundaryForDrivesAndSegments_data()
{
    QTest::addColumn<int>("length"); // of the first recording, seconds
    QTest::addColumn<int>("telemetry"); // seconds of it with samples
    QTest::addColumn<int>("gap"); // seconds from its end to the second minute's start
    QTest::addColumn<int>("drives");
    QTest::newRow("298 s") << 60 << 60 << 298 << 1;
    QTest::newRow("299 s") << 60 << 60 << 299 << 1;
    QTest::newRow("300 s") << 60 << 60 << 300 << 1;
    QTest::newRow("301 s") << 60 << 60 << 301 << 2;
    QTest::newRow("302 s") << 60 << 60 << 302 << 2;
    QTest::newRow("telemetry stops 40 s early, 300 s") << 60 << 20 << 300 << 1;
    QTest::newRow("telemetry stops 40 s early, 301 s") << 60 << 20 << 301 << 2;
    QTest::newRow("the next starts inside, 400 s before the end") << 600 << 60 << -400 << 1;
    QTest::newRow("the next starts inside, telemetry to the end") << 600 << 600 << -400 << 1;
}

void TestDrives::sameBoundaryForDrivesAndSegments()
{
    QFETCH(int, length);
    QFETCH(int, telemetry);
    QFETCH(int, gap);
    QFETCH(int, drives);
    const QDateTime noon(QDate(2020, 1, 1), QTime(12, 0), Qt::UTC);
    QVector<DriveRecording> recordings;
    QVector<DriveClip> clips;
    for (const QDateTime &start : {noon, noon.addSecs(length + gap)}) {
        const bool first = recordings.isEmpty();
        DriveRecording recording;
        recording.recording.file = start.toString(QStringLiteral("hhmmss'F.MP4'"));
        recording.recording.info.duration = first ? length : 60;
        for (int at = 0; at < (first ? telemetry : 60); at += 60)
            recording.recording.samples += minute(start.addSecs(at));
        recording.recording.samples.resize(first ? telemetry : 60);
        for (int i = 0; i < recording.recording.samples.size(); ++i)
            recording.recording.samples[i].index = i;
        recordings.append(recording);
        clips.append(
                Drives::clipOf(recording.recording.samples, recording.recording.info.duration, 0));
    }
    QCOMPARE(Drives::group(clips).size(), drives);
    QCOMPARE(DriveAssembler::assemble(QStringLiteral("drive"), recordings).segments.size(), drives);
}

// Along the equator a ten-thousandth of a degree of longitude is 11.1195 m on the mean sphere.
void TestDrives::summarize()
{
    const QVector<GpsData> first{sample(0, 0.0000, 40), sample(1, 0.0001, 50),
                                 sample(2, 0.0002, 60)};
    // A padding copy somewhere else and faster, a second without fix, then two more fixes.
    const QVector<GpsData> second{sample(0, 0.0003, 70), sample(0, 0.5, 120),
                                  sample(1, 0.9, 130, false), sample(2, 0.0004, 65)};
    const DriveSummary summary = Drives::summarize({first, second}, {60, 30});
    QCOMPARE(summary.seconds, qint64(90));
    QVERIFY2(qAbs(summary.metres - 44.4780) < 0.001, qPrintable(QString::number(summary.metres)));
    QVERIFY2(qAbs(summary.averageKmh - 1.7791) < 0.0001,
             qPrintable(QString::number(summary.averageKmh)));
    QCOMPARE(summary.topKmh, 70);

    // A minute without telemetry between two fixes: the car went on, the distance counts.
    const DriveSummary across
            = Drives::summarize({{sample(0, 0.0, 40)}, {}, {sample(0, 0.0061, 40)}}, {1, 60, 1});
    QVERIFY2(qAbs(across.metres - 678.2895) < 0.01, qPrintable(QString::number(across.metres)));

    const DriveSummary empty = Drives::summarize({{}}, {0});
    QCOMPARE(empty.seconds, qint64(0));
    QCOMPARE(empty.metres, 0.0);
    QCOMPARE(empty.averageKmh, 0.0);
}

// Ten seconds at 40 km/h (11.1195 m a second) with one fix spoiled: a glitch of the receiver
// neither sets the top speed nor adds distance, what a car can do still counts.
void TestDrives::implausibleFixes_data()
{
    QTest::addColumn<int>("at"); // the spoiled fix; -1 for none
    QTest::addColumn<int>("speed"); // its speed
    QTest::addColumn<double>("shift"); // degrees of longitude it is moved by
    QTest::addColumn<bool>("stays"); // the fixes after it stay moved
    QTest::addColumn<int>("topKmh");
    QTest::addColumn<double>("metres");
    QTest::newRow("clean") << -1 << 40 << 0.0 << false << 40 << 100.076;
    QTest::newRow("a speed spike") << 5 << 999 << 0.0 << false << 40 << 100.076;
    QTest::newRow("a speed spike at the first fix") << 0 << 200 << 0.0 << false << 40 << 100.076;
    QTest::newRow("a speed spike at the last fix") << 9 << 200 << 0.0 << false << 40 << 100.076;
    QTest::newRow("30 km/h more in a second") << 5 << 70 << 0.0 << false << 70 << 100.076;
    // Out and back: both steps go, and the two seconds between are not counted.
    QTest::newRow("a position jump") << 5 << 40 << 0.01 << false << 40 << 77.837;
    QTest::newRow("a jump to where the rest goes on") << 5 << 40 << 0.01 << true << 40 << 88.956;
    // At most 300 km/h: 83.3 m in a second.
    QTest::newRow("82 m in a second") << 5 << 40 << 0.00064 << true << 40 << 171.240;
    QTest::newRow("85 m in a second") << 5 << 40 << 0.00066 << true << 40 << 88.956;
}

void TestDrives::implausibleFixes()
{
    QFETCH(int, at);
    QFETCH(int, speed);
    QFETCH(double, shift);
    QFETCH(bool, stays);
    QFETCH(int, topKmh);
    QFETCH(double, metres);
    QVector<GpsData> samples;
    for (int i = 0; i < 10; ++i) {
        const bool moved = i == at || (stays && at >= 0 && i > at);
        samples.append(sample(i, i * 1e-4 + (moved ? shift : 0.0), i == at ? speed : 40));
    }
    // Half of the drive in a clip of its own: the rule holds across the clips.
    const DriveSummary summary = Drives::summarize({samples.mid(0, 4), samples.mid(4)}, {4, 6});
    QCOMPARE(summary.topKmh, topKmh);
    QVERIFY2(qAbs(summary.metres - metres) < 0.001, qPrintable(QString::number(summary.metres)));
}

void TestDrives::clipOf_data()
{
    QTest::addColumn<int>("readableFrom"); // the first sample with a time; -1 for none
    QTest::addColumn<qint64>("start");
    // 2020-01-01 12:00:10 on the camera clock is 1577880010.
    QTest::newRow("from the first sample") << 0 << qint64(1577880010);
    QTest::newRow("counted back from the third") << 2 << qint64(1577880008);
    QTest::newRow("the file's time without any") << -1 << qint64(42);
}

void TestDrives::clipOf()
{
    QFETCH(int, readableFrom);
    QFETCH(qint64, start);
    QVector<GpsData> samples(4);
    if (readableFrom >= 0)
        setReading(&samples[readableFrom], "20200101120010");
    if (readableFrom >= 0 && readableFrom + 1 < samples.size())
        setReading(&samples[readableFrom + 1], "20200101120500");
    const DriveClip clip = Drives::clipOf(samples, 60, 42);
    QCOMPARE(clip.start, start);
    QCOMPARE(clip.end, start + 60);
}

void TestDrives::track_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("maxPoints");
    QTest::addColumn<int>("expected");
    QTest::newRow("fewer than the most") << 100 << 2000 << 100;
    QTest::newRow("exactly the most") << 2000 << 2000 << 2000;
    QTest::newRow("one over") << 2001 << 2000 << 1001;
    QTest::newRow("an hour and a half") << 5000 << 2000 << 1668;
    QTest::newRow("a few") << 10 << 4 << 4;
}

void TestDrives::track()
{
    QFETCH(int, points);
    QFETCH(int, maxPoints);
    QFETCH(int, expected);
    QVector<GpsData> samples;
    for (int i = 0; i < points; ++i)
        samples.append(sample(i, i * 1e-4, 30));
    const QVector<QPointF> track
            = Drives::track({samples.mid(0, points / 2), samples.mid(points / 2)}, maxPoints);
    QCOMPARE(track.size(), expected);
    QCOMPARE(track.first(), QPointF(0.0, 0.001));
    QCOMPARE(track.last(), QPointF((points - 1) * 1e-4, 0.001));
}

void TestDrives::rearsOfListedFronts_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("rears"); // a letter per file: r for the rear of a listed front
    QTest::newRow("a pair") << QStringList{"a/0101F.MP4", "a/0101R.MP4"} << "-r";
    QTest::newRow("the folder spelt otherwise")
            << QStringList{"a//0101R.MP4", "./a/0101F.MP4", "a/b/../0101R.MP4"} << "r-r";
    QTest::newRow("a lone rear") << QStringList{"a/0101R.MP4", "a/0102F.MP4"} << "--";
    // Two cars of a fleet record at the same time, under the same names.
    QTest::newRow("another car's front")
            << QStringList{"car1/0101F.MP4", "car2/0101R.MP4", "0101R.MP4"} << "---";
}

void TestDrives::rearsOfListedFronts()
{
    QFETCH(QStringList, files);
    QFETCH(QString, rears);
    QString found;
    for (bool rear : Drives::rearsOfListedFronts(files))
        found += QLatin1Char(rear ? 'r' : '-');
    QCOMPARE(found, rears);
}

QTEST_GUILESS_MAIN(TestDrives)
#include "tst_drives.moc"

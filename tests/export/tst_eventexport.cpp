// Driving events written as JSON, CSV and GeoJSON: the documents byte for byte, GeoJSON read
// back by a real reader, and files written through the safe file handling.
#include "ogrreport.h"

#include <export/eventexport.h>

#include <QBuffer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A small drive: a braking and a turn in its first minute, an impact without a position in
// the next, whose name CSV has to quote, and a minute without any.
QVector<RecordingEvents> smallDrive()
{
    DrivingEvent braking;
    braking.type = DrivingEvent::Braking;
    braking.start = 30;
    braking.peak = 31;
    braking.end = 32;
    braking.peakG = 0.45678;
    braking.speed = 42;
    braking.hasPosition = true;
    braking.latitude = 35.5;
    braking.longitude = 139.25;
    braking.cameraTime = "20200101120031";

    DrivingEvent turn = braking;
    turn.type = DrivingEvent::Cornering;
    turn.start = turn.peak = turn.end = 50;
    turn.peakG = 0.4;
    turn.speed = 30;
    turn.latitude = -33.875;
    turn.longitude = -151.125;
    turn.cameraTime = "20200101120050";

    DrivingEvent impact;
    impact.type = DrivingEvent::Impact;
    impact.severity = DrivingEvent::Major;
    impact.start = 5;
    impact.peak = 5;
    impact.end = 6;
    impact.peakG = 2.75;
    impact.speed = 0;

    return {{"drive/20200101_120000F.MP4", {braking, turn}},
            {"drive/20200101_120100F, \"copy\".MP4", {impact}},
            {"drive/quiet.MP4", {}}};
}

QByteArray written(EventExport::Format format, const CameraClock &clock)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (EventExport::write(format, smallDrive(), &buffer, clock, &error) != TrackExport::Written)
        qWarning() << "export failed:" << error;
    return buffer.data();
}

const char ExpectedJson[] = R"([
    {
        "events": [
            {
                "cameraTime": "20200101120031",
                "end": 32,
                "latitude": 35.5,
                "longitude": 139.25,
                "peak": 31,
                "peakG": 0.457,
                "severity": null,
                "speed": 42,
                "start": 30,
                "type": "braking",
                "utcTime": "2020-01-01T03:00:31Z"
            },
            {
                "cameraTime": "20200101120050",
                "end": 50,
                "latitude": -33.875,
                "longitude": -151.125,
                "peak": 50,
                "peakG": 0.4,
                "severity": null,
                "speed": 30,
                "start": 50,
                "type": "cornering",
                "utcTime": "2020-01-01T03:00:50Z"
            }
        ],
        "file": "drive/20200101_120000F.MP4"
    },
    {
        "events": [
            {
                "cameraTime": null,
                "end": 6,
                "latitude": null,
                "longitude": null,
                "peak": 5,
                "peakG": 2.75,
                "severity": "major",
                "speed": 0,
                "start": 5,
                "type": "impact",
                "utcTime": null
            }
        ],
        "file": "drive/20200101_120100F, \"copy\".MP4"
    },
    {
        "events": [
        ],
        "file": "drive/quiet.MP4"
    }
]
)";

const char ExpectedCsv[]
        = "file,type,severity,start,peak,end,peakG,speed,latitude,longitude,utcTime,cameraTime\r\n"
          "drive/20200101_120000F.MP4,braking,,30,31,32,0.457,42,35.5,139.25,"
          "2020-01-01T03:00:31Z,20200101120031\r\n"
          "drive/20200101_120000F.MP4,cornering,,50,50,50,0.4,30,-33.875,-151.125,"
          "2020-01-01T03:00:50Z,20200101120050\r\n"
          "\"drive/20200101_120100F, \"\"copy\"\".MP4\",impact,major,5,5,6,2.75,0,,,,\r\n";

} // namespace

class TestEventExport : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(mDir.isValid()); }
    void formatNames_data();
    void formatNames();
    void documents_data();
    void documents();
    void unzonedClockTellsNoUtc();
    void geoJsonReadByOgr();
    void fileHandling_data();
    void fileHandling();

private:
    QTemporaryDir mDir;
};

void TestEventExport::formatNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("known");
    QTest::addColumn<int>("format");
    QTest::newRow("json") << "json" << true << int(EventExport::Json);
    QTest::newRow("csv") << "csv" << true << int(EventExport::Csv);
    QTest::newRow("geojson") << "geojson" << true << int(EventExport::GeoJson);
    // An unknown name leaves the format as it was.
    QTest::newRow("a track format") << "gpx" << false << int(EventExport::Csv);
    QTest::newRow("upper case is the caller's to fold") << "JSON" << false << int(EventExport::Csv);
}

void TestEventExport::formatNames()
{
    QFETCH(QString, name);
    QFETCH(bool, known);
    QFETCH(int, format);
    EventExport::Format found = EventExport::Csv;
    QCOMPARE(EventExport::formatFromName(name, &found), known);
    QCOMPARE(int(found), format);
}

void TestEventExport::documents_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("json") << int(EventExport::Json) << QByteArray(ExpectedJson);
    QTest::newRow("csv") << int(EventExport::Csv) << QByteArray(ExpectedCsv);
}

void TestEventExport::documents()
{
    QFETCH(int, format);
    QFETCH(QByteArray, expected);
    QCOMPARE(written(EventExport::Format(format), CameraClock::fixedOffset(9 * 3600)), expected);
}

void TestEventExport::unzonedClockTellsNoUtc()
{
    const QByteArray csv = written(EventExport::Csv, CameraClock::unzoned());
    QVERIFY(csv.contains(",139.25,,20200101120031\r\n"));
    QVERIFY(!csv.contains("Z,"));
}

// The points where they happened, with every property, and the impact without a place.
void TestEventExport::geoJsonReadByOgr()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ogrinfo")).isEmpty())
        QSKIP("ogrinfo is not installed (Debian package gdal-bin)");
    const QString file = mDir.filePath(QStringLiteral("events.geojson"));
    QString error;
    QCOMPARE(EventExport::writeFile(EventExport::GeoJson, smallDrive(), file,
                                    CameraClock::fixedOffset(9 * 3600), &error),
             TrackExport::Written);
    const QString report = ogrReport(file);
    QCOMPARE(report.count(QLatin1String("OGRFeature(events):")), 3);
    const QStringList fields = {"file",  "type",  "severity", "utcTime", "cameraTime",
                                "peakG", "speed", "start",    "peak",    "end"};
    for (const QString &field : fields)
        QVERIFY2(report.contains(QRegularExpression(QStringLiteral("\\n  %1 \\(").arg(field))),
                 qPrintable(field + QLatin1Char('\n') + report));
    QVERIFY2(report.contains(QLatin1String("POINT (139.25 35.5)")), qPrintable(report));
    QVERIFY2(report.contains(QLatin1String("POINT (-151.125 -33.875)")), qPrintable(report));
    QCOMPARE(report.count(QLatin1String("POINT (")), 2);
    QVERIFY2(report.contains(QLatin1String("type (String) = impact")), qPrintable(report));
    QVERIFY2(report.contains(QLatin1String("severity (String) = major")), qPrintable(report));
}

// The track export's file handling serves the events too: a document replaces a file whole,
// and a folder is no place for one.
void TestEventExport::fileHandling_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<int>("status");
    QTest::newRow("a new file") << "new.csv" << false << int(TrackExport::Written);
    QTest::newRow("a file replaced") << "old.csv" << false << int(TrackExport::Written);
    QTest::newRow("a folder") << "folder" << true << int(TrackExport::NotCreated);
}

void TestEventExport::fileHandling()
{
    QFETCH(QString, name);
    QFETCH(bool, folder);
    QFETCH(int, status);
    const QString path = mDir.filePath(name);
    if (folder) {
        QVERIFY(QDir().mkpath(path));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("it is a folder$")));
    } else if (name.startsWith(QLatin1String("old"))) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(4096, 'x'));
    }
    QString error;
    QCOMPARE(int(EventExport::writeFile(EventExport::Csv, smallDrive(), path,
                                        CameraClock::fixedOffset(9 * 3600), &error)),
             status);
    QCOMPARE(error.isEmpty(), status == TrackExport::Written);
    if (!folder) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(ExpectedCsv));
    }
}

QTEST_GUILESS_MAIN(TestEventExport)
#include "tst_eventexport.moc"

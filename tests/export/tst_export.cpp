// The export library on samples made in memory: drives joined from recordings, tracks of several
// segments in every format (read back by a real reader where one is installed), UTC times around
// the zones' clock changes, and files that cannot be written or exports that are cancelled.
#include "ogrreport.h"

#include <export/driveassembler.h>
#include <export/jsonwriter.h>
#include <export/trackexport.h>

#include <QBuffer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <ctime>
#include <limits>
#include <unistd.h>

namespace {

const QDateTime Noon(QDate(2024, 5, 4), QTime(12, 0), Qt::UTC);

void setReading(GpsData *sample, const QByteArray &text)
{
    qstrncpy(sample->dateTime, text.constData(), sizeof sample->dateTime);
}

void setReading(GpsData *sample, const QDateTime &time)
{
    setReading(sample, time.toString(QStringLiteral("yyyyMMddhhmmss")).toLatin1());
}

// A sample with a fix, the further north-east the later it comes in the drive.
GpsData movingSample(int index, int secondOfDrive)
{
    GpsData sample;
    sample.index = index;
    sample.fixFlag = 'A';
    sample.latitudeRef = 'N';
    sample.longitudeRef = 'E';
    sample.latitude = 35.0 + secondOfDrive * 1e-5;
    sample.longitude = 139.0 + secondOfDrive * 1e-5;
    sample.speed = 36;
    return sample;
}

// A recording with a sample a second from start on.
ExtractedRecording recording(const QString &file, const QDateTime &start, int seconds)
{
    ExtractedRecording result;
    result.file = file;
    for (int i = 0; i < seconds; ++i) {
        GpsData sample = movingSample(i, Noon.secsTo(start) + i);
        setReading(&sample, start.addSecs(i));
        result.samples.append(sample);
    }
    return result;
}

// A recording with a sample for each of the camera's readings ("yyyyMMddhhmmss").
ExtractedRecording recording(const QString &file, const QByteArrayList &readings)
{
    ExtractedRecording result;
    result.file = file;
    for (int i = 0; i < readings.size(); ++i) {
        GpsData sample = movingSample(i, i);
        setReading(&sample, readings.at(i));
        result.samples.append(sample);
    }
    return result;
}

// The times a document gives its samples or points, in order: "utcTime" for JSON and CSV.
QStringList timesIn(TrackWriter::Format format, const QByteArray &document)
{
    QStringList times;
    if (format == TrackWriter::Gpx || format == TrackWriter::Kml) {
        const QString element = format == TrackWriter::Gpx ? "time" : "when";
        auto match = QRegularExpression("<" + element + ">([^<]*)</" + element + ">")
                             .globalMatch(QString::fromUtf8(document));
        while (match.hasNext())
            times.append(match.next().captured(1));
    } else if (format == TrackWriter::GeoJson) {
        const QJsonDocument json = QJsonDocument::fromJson(document);
        for (const QJsonValue feature : json.object()["features"].toArray()) {
            for (const QJsonValue time : feature["properties"]["times"].toArray())
                times.append(time.toString());
        }
    } else if (format == TrackWriter::Csv) {
        const QList<QByteArray> rows = document.split('\n');
        for (int i = 1; i < rows.size() - 1; ++i) // past the header, up to the end after the last
            times.append(QString::fromLatin1(rows.at(i).trimmed().split(',').last()));
    } else {
        for (const QJsonValue file : QJsonDocument::fromJson(document).array()) {
            for (const QJsonValue sample : file["samples"].toArray())
                times.append(sample["utcTime"].toString());
        }
    }
    return times;
}

// Three minutes of driving, a stop of eight minutes, one more minute; the rear camera filmed the
// first minute as well. Handed over out of order.
QVector<DriveRecording> threeRecordingsAndARear()
{
    return {{recording("0003F.MP4", Noon.addSecs(600), 60), false},
            {recording("0001R.MP4", Noon, 60), true},
            {recording("0001F.MP4", Noon, 60), false},
            {recording("0002F.MP4", Noon.addSecs(60), 60), false}};
}

// The files of a segment's parts, in order.
QStringList files(const TrackSegment &segment)
{
    QStringList result;
    for (const ExtractedRecording &part : segment.parts)
        result.append(part.file);
    return result;
}

QByteArray written(TrackWriter::Format format, const QVector<Track> &tracks,
                   const CameraClock &clock = CameraClock::fixedOffset(0))
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    const TrackExport::Status status
            = TrackExport::write(format, tracks, &buffer, clock, {}, &error);
    if (status != TrackExport::Written)
        qWarning() << "export failed:" << error;
    return buffer.data();
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void driveOfThreeRecordings();
    void driveInEveryFormat();
    void driveReadByOgr_data();
    void driveReadByOgr();
    void segmentsSplitOnlyAtLongPauses_data();
    void segmentsSplitOnlyAtLongPauses();
    void paddingCopiesAndUntimedRecordings();
    void joinedDrives_data();
    void joinedDrives();
    void jsonLinesHoldTheJsonObjects();
    void errorLine();
    void timesAcrossClockChanges_data();
    void timesAcrossClockChanges();
    void fileThatCannotBeCreated_data();
    void fileThatCannotBeCreated();
    void cancelledExportLeavesTheOldFile();
    void progressAndFileContent();
    void deviceThatRefusesText();

private:
    QTemporaryDir mDir;
};

void TestExport::driveOfThreeRecordings()
{
    const Track drive = DriveAssembler::assemble("drive", threeRecordingsAndARear());
    QCOMPARE(drive.name, QString("drive"));
    QCOMPARE(drive.sampleCount(), 180); // the rear minute is not among them
    QCOMPARE(drive.segments.size(), 2);
    QCOMPARE(files(drive.segments.at(0)), QStringList({"0001F.MP4", "0002F.MP4"}));
    QCOMPARE(drive.segments.at(0).parts.at(1).samples.size(), 60);
    QCOMPARE(files(drive.segments.at(1)), QStringList("0003F.MP4"));
}

// Every format carries the two segments and every sample once.
void TestExport::driveInEveryFormat()
{
    const QVector<Track> tracks{DriveAssembler::assemble("drive", threeRecordingsAndARear())};

    const QByteArray gpx = written(TrackWriter::Gpx, tracks);
    QCOMPARE(gpx.count("<trk>"), 1);
    QCOMPARE(gpx.count("<trkseg>"), 2);
    QCOMPARE(gpx.count("<trkpt "), 180);
    QSet<QString> times;
    for (const QString &line : QString::fromUtf8(gpx).split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("<time>")))
            times.insert(line.trimmed());
    }
    QCOMPARE(times.size(), 180); // no point twice
    QVERIFY(gpx.contains("<time>2024-05-04T12:01:59Z</time>\n"
                         "                <extensions>"));

    const QByteArray kml = written(TrackWriter::Kml, tracks);
    QCOMPARE(kml.count("<Placemark>"), 1);
    QCOMPARE(kml.count("<gx:MultiTrack>"), 1);
    QCOMPARE(kml.count("<gx:Track>"), 2);
    QCOMPARE(kml.count("<when>"), 180);
    QCOMPARE(kml.count("<gx:coord>"), 180);

    const QJsonArray features = QJsonDocument::fromJson(written(TrackWriter::GeoJson, tracks))
                                        .object()["features"]
                                        .toArray();
    QCOMPARE(features.size(), 2);
    for (int segment = 0; segment < 2; ++segment) {
        const QJsonObject feature = features.at(segment).toObject();
        const QJsonObject properties = feature["properties"].toObject();
        QCOMPARE(properties["file"].toString(), QString("drive"));
        QCOMPARE(properties["segment"].toInt(), segment);
        const int points = segment == 0 ? 120 : 60;
        QCOMPARE(feature["geometry"].toObject()["coordinates"].toArray().size(), points);
        QCOMPARE(properties["times"].toArray().size(), points);
    }

    // The sample formats list each recording of the drive with its own samples.
    const QJsonArray files = QJsonDocument::fromJson(written(TrackWriter::Json, tracks)).array();
    QCOMPARE(files.size(), 3);
    QCOMPARE(files.at(2).toObject()["file"].toString(), QString("0003F.MP4"));
    QCOMPARE(files.at(2).toObject()["samples"].toArray().size(), 60);
    const QByteArray csv = written(TrackWriter::Csv, tracks);
    QCOMPARE(csv.count("\r\n"), 181);
    QCOMPARE(csv.count("0001R.MP4"), 0);
}

void TestExport::driveReadByOgr_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("pattern"); // of the two segments as the reader reports them
    QTest::addColumn<QString>("firstPoint");
    QTest::newRow("gpx") << int(TrackWriter::Gpx)
                         << "MULTILINESTRING \\(\\(([^)]*)\\),\\(([^)]*)\\)\\)"
                         << "139 35";
    QTest::newRow("kml") << int(TrackWriter::Kml)
                         << "MULTILINESTRING Z \\(\\(([^)]*)\\),\\(([^)]*)\\)\\)"
                         << "139 35 0";
    QTest::newRow("geojson") << int(TrackWriter::GeoJson)
                             << "LINESTRING \\(([^)]*)\\).*LINESTRING \\(([^)]*)\\)"
                             << "139 35";
}

// A real reader finds the two segments with all their points.
void TestExport::driveReadByOgr()
{
    QFETCH(int, format);
    QFETCH(QString, pattern);
    QFETCH(QString, firstPoint);
    if (QStandardPaths::findExecutable(QStringLiteral("ogrinfo")).isEmpty())
        QSKIP("ogrinfo is not installed (Debian package gdal-bin)");
    const TrackWriter::Format f = TrackWriter::Format(format);
    const QString file = mDir.filePath(QStringLiteral("drive.") + TrackWriter::formatNames().at(f));
    QString error;
    QCOMPARE(TrackExport::writeFile(f,
                                    {DriveAssembler::assemble("drive", threeRecordingsAndARear())},
                                    file, CameraClock::fixedOffset(0), {}, &error),
             TrackExport::Written);
    const QString report = ogrReport(file);
    const QRegularExpressionMatch match
            = QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption)
                      .match(report);
    QVERIFY2(match.hasMatch(), qPrintable(report.left(2000)));
    QCOMPARE(match.captured(1).split(QLatin1Char(',')).size(), 120);
    QCOMPARE(match.captured(2).split(QLatin1Char(',')).size(), 60);
    QCOMPARE(match.captured(1).section(QLatin1Char(','), 0, 0), firstPoint);
}

void TestExport::segmentsSplitOnlyAtLongPauses_data()
{
    QTest::addColumn<int>("jump"); // seconds from the third reading to the fourth
    QTest::addColumn<bool>("unreadableBetween"); // a sample without a time stands between them
    QTest::addColumn<int>("segments");
    // A reading's second ends a second after it: the gap counts from there.
    QTest::newRow("readings five minutes apart") << 300 << false << 1;
    QTest::newRow("readings 301 s apart: a gap of five minutes") << 301 << false << 1;
    QTest::newRow("a gap of five minutes and a second") << 302 << false << 2;
    QTest::newRow("clock set back") << -301 << false << 2;
    QTest::newRow("across a sample without time") << 302 << true << 2;
    QTest::newRow("short, across a sample without time") << 2 << true << 1;
}

void TestExport::segmentsSplitOnlyAtLongPauses()
{
    QFETCH(int, jump);
    QFETCH(bool, unreadableBetween);
    QFETCH(int, segments);
    ExtractedRecording camera = recording("jump.MP4", Noon, 6);
    for (int i = 3; i < camera.samples.size(); ++i)
        setReading(&camera.samples[i], Noon.addSecs(2 + jump + (i - 3)));
    if (unreadableBetween)
        camera.samples[3].dateTime[0] = '\0';
    const Track track = DriveAssembler::assemble("jump", {{camera, false}});
    QCOMPARE(track.segments.size(), segments);
    QCOMPARE(track.sampleCount(), 6);
}

// The viewer's sample lists end in copies of the last sample up to the video's length; and a
// recording without readable times still belongs to the drive, after the others.
void TestExport::paddingCopiesAndUntimedRecordings()
{
    ExtractedRecording padded = recording("padded.MP4", Noon.addSecs(60), 10);
    for (int i = 0; i < 3; ++i)
        padded.samples.append(padded.samples.last());
    ExtractedRecording untimed = recording("untimed.MP4", Noon, 5);
    for (GpsData &sample : untimed.samples)
        sample.dateTime[0] = '\0';
    const ExtractedRecording first = recording("first.MP4", Noon, 10);

    const Track track = DriveAssembler::assemble(
            "drive", {{untimed, false}, {padded, false}, {first, false}});
    QCOMPARE(track.segments.size(), 1);
    QCOMPARE(files(track.segments.at(0)), QStringList({"first.MP4", "padded.MP4", "untimed.MP4"}));
    QCOMPARE(track.segments.at(0).parts.at(1).samples.size(), 10);
}

void TestExport::joinedDrives_data()
{
    // Each clip is "name HH:mm:ss" (a minute of samples from that camera time) or "name file
    // HH:mm:ss" (a minute without readable times whose file was last written then).
    QTest::addColumn<QStringList>("clips");
    // Each track is "name: files of its first segment | of the next ...".
    QTest::addColumn<QStringList>("tracks");
    QTest::newRow("five minutes between clips")
            << QStringList{"0002.MP4 12:06:00", "0001.MP4 12:00:00"}
            << QStringList{"0001.MP4: 0001.MP4,0002.MP4"};
    QTest::newRow("a second more: two drives")
            << QStringList{"0002.MP4 12:06:01", "0001.MP4 12:00:00"}
            << QStringList{"0001.MP4: 0001.MP4", "0002.MP4: 0002.MP4"};
    QTest::newRow("rear of a listed front left out, a lone rear kept")
            << QStringList{"0001R.MP4 12:00:00", "0001F.MP4 12:00:00", "0002F.MP4 12:01:00",
                           "0009R.MP4 13:00:00"}
            << QStringList{"0001F.MP4: 0001F.MP4,0002F.MP4", "0009R.MP4: 0009R.MP4"};
    // Files are written as the camera finishes them: a minute's clip written at 12:20 started
    // at 12:19, right after b, and one written at 12:10 is a drive between a and b.
    QTest::newRow("clips without times go by their file times")
            << QStringList{"c.MP4 file 12:20:00", "b.MP4 12:18:00", "d.MP4 file 12:10:00",
                           "a.MP4 12:00:00"}
            << QStringList{"a.MP4: a.MP4", "d.MP4: d.MP4", "b.MP4: b.MP4,c.MP4"};
}

void TestExport::joinedDrives()
{
    QFETCH(QStringList, clips);
    QFETCH(QStringList, tracks);
    QTemporaryDir folder;
    QVector<ExtractedRecording> recordings;
    for (const QString &clip : qAsConst(clips)) {
        const QStringList fields = clip.split(QLatin1Char(' '));
        const QDateTime time(Noon.date(), QTime::fromString(fields.last()), Qt::LocalTime);
        ExtractedRecording camera = recording(folder.filePath(fields.first()), time, 60);
        if (fields.at(1) == QLatin1String("file")) {
            for (GpsData &sample : camera.samples)
                sample.dateTime[0] = '\0';
            QFile file(camera.file);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
        }
        recordings.append(camera);
    }
    QStringList joined;
    for (const Track &track : DriveAssembler::join(recordings)) {
        QStringList segments;
        for (const TrackSegment &segment : track.segments)
            segments.append(files(segment).replaceInStrings(folder.path() + '/', "").join(','));
        joined.append(QFileInfo(track.name).fileName() + ": " + segments.join(" | "));
    }
    QCOMPARE(joined, tracks);
}

// JSON Lines holds the json format's objects compact, one a line, a drive's parts each on its
// own; and a recording's text rendered apart, as worker threads do, is the one the writer gives.
void TestExport::jsonLinesHoldTheJsonObjects()
{
    ExtractedRecording odd = recording(QString::fromUtf8("quote\" back\\slash \x01 caf\u00e9.MP4"),
                                       Noon.addDays(1), 3);
    odd.info.frameRate = 29.97f;
    odd.samples[1].gsensorX = std::numeric_limits<float>::quiet_NaN();
    odd.samples[1].heading = 359.5;
    ExtractedRecording empty;
    empty.file = QStringLiteral("empty.MP4");
    const CameraClock clock = CameraClock::inZone(QTimeZone("Europe/Berlin"));

    const QVector<Track> tracks{DriveAssembler::assemble("drive", threeRecordingsAndARear()),
                                Track::fromRecording(odd), Track::fromRecording(empty)};
    const QJsonArray objects
            = QJsonDocument::fromJson(written(TrackWriter::Json, tracks, clock)).array();
    QCOMPARE(objects.size(), 5);
    QByteArray compact;
    for (const QJsonValue object : objects)
        compact += QJsonDocument(object.toObject()).toJson(QJsonDocument::Compact) + '\n';
    QCOMPARE(written(TrackWriter::JsonLines, tracks, clock), compact);

    const QVector<ExtractedRecording> recordings{odd, empty, recording("x.MP4", Noon, 5)};
    for (const auto layout : {JsonWriter::Indented, JsonWriter::Lines}) {
        const DocumentFrame frame = JsonWriter::frame(layout);
        QByteArray apart = frame.begin;
        QVector<Track> own;
        for (const ExtractedRecording &each : recordings) {
            if (!own.isEmpty())
                apart += frame.separator;
            apart += JsonWriter::record(layout, each, clock);
            own.append(Track::fromRecording(each));
        }
        apart += frame.end;
        const auto format
                = layout == JsonWriter::Lines ? TrackWriter::JsonLines : TrackWriter::Json;
        QCOMPARE(apart, written(format, own, clock));
    }
}

// The file first, as a reader of the lines looks for it, then the error.
void TestExport::errorLine()
{
    QCOMPARE(JsonWriter::errorLine(QString::fromUtf8("dir/caf\u00e9 \"x\"\n.MP4"), "unreadable",
                                   "cannot be read"),
             QByteArray("{\"file\":\"dir/caf\xc3\xa9 \\\"x\\\"\\n.MP4\","
                        "\"error\":{\"code\":\"unreadable\",\"message\":\"cannot be read\"}}\n"));
}

void TestExport::timesAcrossClockChanges_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QByteArrayList>("readings");
    QTest::addColumn<QStringList>("times"); // of the readings in UTC, from the tz database
    QTest::addColumn<int>("driveSplit"); // where a second recording takes over; 0: one recording

    QFile table(QStringLiteral(CLOCK_CHANGES_TABLE));
    QVERIFY(table.open(QIODevice::ReadOnly | QIODevice::Text));
    QList<QByteArray> row; // "row", zone, change, camera, split
    QByteArrayList readings;
    QStringList times;
    const auto addRows = [&] {
        if (row.isEmpty())
            return;
        const QByteArray name = row.at(1) + ' ' + row.at(2) + ' ' + row.at(3);
        QTest::newRow(name.constData()) << row.at(1) << readings << times << 0;
        // The drive's second recording goes on from the change or after the pause.
        const int split = row.at(4).toInt();
        QTest::newRow((name + ", drive").constData()) << row.at(1) << readings << times << split;
        if (row.at(3).endsWith("-paused")) {
            QTest::newRow((name + ", from the pause").constData())
                    << row.at(1) << readings.mid(split) << QStringList(times.mid(split)) << 0;
        }
        // The computer's own zone given as rules, which only the C library knows.
        if (row.at(1) == "Europe/Berlin") {
            QTest::newRow((name + ", local rules").constData())
                    << QByteArray("CET-1CEST,M3.5.0,M10.5.0/3") << readings << times << split;
        }
        readings.clear();
        times.clear();
    };
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        if (fields.first().startsWith('#'))
            continue;
        if (fields.first() == "row") {
            addRows();
            row = fields;
        } else {
            readings.append(fields.at(0));
            times.append(QString::fromLatin1(fields.at(1)));
        }
    }
    addRows();
}

// A camera that keeps counting through a change and one that moves its clock at it both come
// out at the true UTC times in every format, through a single recording and through a drive;
// also when a track starts where the zone's local time repeats or skips an hour, or a reading
// steps back a little or strays.
void TestExport::timesAcrossClockChanges()
{
    QFETCH(QByteArray, zone);
    QFETCH(QByteArrayList, readings);
    QFETCH(QStringList, times);
    QFETCH(int, driveSplit);
    const bool rules = zone.contains(',');
    const QByteArray oldTz = qgetenv("TZ");
    const auto restoreTz = qScopeGuard([&] {
        qputenv("TZ", oldTz);
        tzset();
    });
    if (rules) {
        qputenv("TZ", zone);
        tzset();
    }
    const CameraClock clock
            = rules ? CameraClock::systemLocal() : CameraClock::inZone(QTimeZone(zone));
    QVERIFY(rules || QTimeZone(zone).isValid());

    const ExtractedRecording camera = recording("camera.MP4", readings);
    Track track = Track::fromRecording(camera);
    if (driveSplit > 0) {
        const ExtractedRecording next = recording("next.MP4", readings.mid(driveSplit));
        const ExtractedRecording first = recording("first.MP4", readings.mid(0, driveSplit));
        track = DriveAssembler::assemble("drive", {{next, false}, {first, false}});
        QCOMPARE(track.sampleCount(), readings.size());
    }
    for (const auto format : {TrackWriter::Gpx, TrackWriter::Kml, TrackWriter::GeoJson,
                              TrackWriter::Json, TrackWriter::Csv}) {
        const QStringList actual = timesIn(format, written(format, {track}, clock));
        QVERIFY2(actual.size() == times.size(), qPrintable(TrackWriter::formatNames().at(format)));
        for (int i = 0; i < times.size(); ++i) {
            QVERIFY2(actual.at(i) == times.at(i),
                     qPrintable(QStringLiteral("%1: reading %2 is %3, not %4")
                                        .arg(TrackWriter::formatNames().at(format),
                                             QString::fromLatin1(readings.at(i)), actual.at(i),
                                             times.at(i))));
        }
    }
}

void TestExport::fileThatCannotBeCreated_data()
{
    QTest::addColumn<bool>("readOnlyFolder"); // else a folder that is a regular file
    QTest::newRow("parent is a file") << false;
    QTest::newRow("read-only folder") << true;
}

// The error names the file, is logged, and nothing is left behind.
void TestExport::fileThatCannotBeCreated()
{
    QFETCH(bool, readOnlyFolder);
    if (readOnlyFolder && ::geteuid() == 0)
        QSKIP("permissions do not stop root from writing");
    const QString parent = mDir.filePath(readOnlyFolder ? "read-only" : "a-file");
    if (readOnlyFolder) {
        QVERIFY(QDir().mkpath(parent));
        QVERIFY(QFile::setPermissions(parent, QFile::ReadOwner | QFile::ExeOwner));
    } else {
        QFile file(parent);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a folder");
    }
    const QString target = parent + QStringLiteral("/drive.gpx");

    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^cannot create .*/drive\\.gpx: ")));
    QString error;
    const TrackExport::Status status = TrackExport::writeFile(TrackWriter::Gpx, {}, target,
                                                              CameraClock::unzoned(), {}, &error);
    QCOMPARE(status, TrackExport::NotCreated);
    QVERIFY2(error.startsWith(QStringLiteral("cannot create ") + target + QStringLiteral(": ")),
             qPrintable(error));
    QVERIFY(!QFile::exists(target));
    if (readOnlyFolder) {
        QVERIFY(QDir(parent)
                        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                        .isEmpty());
        QFile::setPermissions(parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

void TestExport::cancelledExportLeavesTheOldFile()
{
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("drive.kml"));
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old export");
    old.close();

    int calls = 0;
    QString error;
    const TrackExport::Status status = TrackExport::writeFile(
            TrackWriter::Kml, {DriveAssembler::assemble("drive", threeRecordingsAndARear())},
            target, CameraClock::systemLocal(), [&](qint64, qint64) { return ++calls < 2; },
            &error);
    QCOMPARE(status, TrackExport::Cancelled);
    QCOMPARE(calls, 2);
    QVERIFY(!error.isEmpty());
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old export"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList("drive.kml"));
}

// Progress comes after each recording's part, and the file holds what the device export writes.
void TestExport::progressAndFileContent()
{
    const QVector<Track> tracks{DriveAssembler::assemble("drive", threeRecordingsAndARear()),
                                Track::fromRecording(recording("alone.MP4", Noon.addDays(1), 7))};
    QVector<qint64> reported;
    const QString target = mDir.filePath(QStringLiteral("two.geojson"));
    QString error;
    QCOMPARE(TrackExport::writeFile(
                     TrackWriter::GeoJson, tracks, target, CameraClock::fixedOffset(0),
                     [&](qint64 done, qint64 total) {
                         reported << done << total;
                         return true;
                     },
                     &error),
             TrackExport::Written);
    QCOMPARE(reported, QVector<qint64>({60, 187, 120, 187, 180, 187, 187, 187}));
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), written(TrackWriter::GeoJson, tracks));
}

void TestExport::deviceThatRefusesText()
{
    QFile full(QStringLiteral("/dev/full"));
    if (!full.open(QIODevice::WriteOnly))
        QSKIP("no /dev/full to write to");
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^cannot write /dev/full: ")));
    QString error;
    const TrackExport::Status status = TrackExport::write(
            TrackWriter::Json, {Track::fromRecording(recording("x.MP4", Noon, 3))}, &full,
            CameraClock::unzoned(), {}, &error);
    QCOMPARE(status, TrackExport::NotWritten);
    QVERIFY(error.startsWith(QLatin1String("cannot write /dev/full: ")));
}

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"

// Runs velqor-extract on generated recordings and checks every output format field by field.
#include "mp4writer.h"
#include "recording.h"

#include <export/trackexport.h>
#include <parser/recordingparser.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct Run
{
    int exitCode = -1; // -1 when the program crashed or did not finish
    QByteArray out;
    QByteArray err;
};

// Runs the command in the time zone given (the camera clock's "local"); UTC keeps the expected
// times as the camera reads them. setUp may redirect the process before it starts; whileRunning
// is called every few milliseconds until it ends, to read what it writes besides its output.
Run runExtract(const QStringList &arguments, const QString &zone = QStringLiteral("UTC"),
               const std::function<void(QProcess &)> &setUp = {},
               const std::function<void()> &whileRunning = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), zone);
    process.setProcessEnvironment(environment);
    if (setUp)
        setUp(process);
    process.start(QStringLiteral(VELQOR_EXTRACT_PATH), arguments);
    Run run;
    QElapsedTimer running;
    running.start();
    while (!process.waitForFinished(20)) {
        if (process.state() == QProcess::NotRunning || running.hasExpired(60000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        if (whileRunning)
            whileRunning();
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QByteArray contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Each entry of a folder with its type and inode: what is replaced or left behind shows.
QStringList entries(const QString &folder)
{
    QStringList result;
    const QDir dir(folder);
    for (const QString &name :
         dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
        struct stat status;
        if (::lstat(QFile::encodeName(dir.filePath(name)).constData(), &status) == 0)
            result.append(QStringLiteral("%1 %2 %3")
                                  .arg(name)
                                  .arg(status.st_mode & S_IFMT, 0, 8)
                                  .arg(status.st_ino));
    }
    return result;
}

// Appends what a non-blocking descriptor holds, without waiting for more.
void drain(int descriptor, QByteArray *received)
{
    char buffer[65536];
    ssize_t length;
    while ((length = ::read(descriptor, buffer, sizeof buffer)) > 0)
        received->append(buffer, int(length));
}

// Closes a descriptor at the end of a test, whichever way it ends.
struct Descriptor
{
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Whether the kernel serves block devices of this major number: a node of a number it does not
// serve leads to no disk, so a test may offer it as an output without risk.
bool blockMajorServed(int major)
{
    QFile devices(QStringLiteral("/proc/devices"));
    if (!devices.open(QIODevice::ReadOnly))
        return true;
    const QList<QByteArray> lines = devices.readAll().split('\n');
    const int block = lines.indexOf("Block devices:");
    for (int i = block + 1; block >= 0 && i < lines.size(); ++i) {
        if (lines.at(i).trimmed().split(' ').first().toInt() == major)
            return true;
    }
    return block < 0;
}

QJsonDocument parseDocument(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "not JSON:" << error.errorString();
    return document;
}

QJsonArray parseJson(const QByteArray &text)
{
    return parseDocument(text).array();
}

QString refText(char reference)
{
    return reference ? QString(QLatin1Char(reference)) : QString();
}

// The records of the detailed recording, chosen for one rule each.
QVector<SampleRecord> detailedRecords()
{
    QVector<SampleRecord> records(5);
    // South and west, a negative G value, a text that CSV has to quote.
    records[0].dateTime = "20240315083005";
    records[0].auxText = "cam,\"1\"";
    records[0].setPosition(-33.5, -70.25);
    records[0].speed = 72;
    records[0].auxValue = 12345;
    records[0].gsensor[0] = "-0.98";
    records[0].gsensor[1] = "+0.05";
    records[0].gsensor[2] = "+1.00";
    // A position without a fix, and a Latin-1 letter in the text.
    records[1].dateTime = "20240315083006";
    records[1].auxText = "caf\xe9";
    records[1].fixFlag = 0;
    records[1].setPosition(35.0, 139.0);
    // A fix without a position, and no hemisphere letters.
    records[2].dateTime = "20240315083007";
    records[2].latitudeRef = 0;
    records[2].longitudeRef = 0;
    records[3].dateTime = "20240315083008";
    records[3].setPosition(-33.501, -70.251);
    records[3].speed = 36;
    // A month 13: a valid position whose time cannot be read.
    records[4].dateTime = "20241315083009";
    records[4].setPosition(-33.502, -70.252);
    return records;
}

// Camera readings on both sides of the daylight-saving changes of 2024 in New York (10 March,
// 3 November) and Berlin (31 March, 27 October).
const QList<QByteArray> ZoneReadings
        = {"20240310015959", "20240310030000", "20240331015959", "20240331030000",
           "20241027015959", "20241027030000", "20241103005959", "20241103020000"};

// The texts of every element of one name (and namespace) in an XML document.
QStringList xmlTexts(const QByteArray &document, const QString &ns, const QString &name)
{
    QStringList texts;
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.namespaceUri() == ns
            && xml.name() == name)
            texts.append(xml.readElementText());
    }
    if (xml.hasError())
        qWarning() << "not well-formed XML:" << xml.errorString();
    return texts;
}

// The values of an array as texts, null as "null".
QStringList texts(const QJsonArray &values)
{
    QStringList result;
    for (const QJsonValue &value : values)
        result.append(value.isNull() ? QStringLiteral("null") : value.toVariant().toString());
    return result;
}

// The entries of a listing or of JSON Lines, each without its end.
QList<QByteArray> entriesOf(const QByteArray &out, char end = '\n')
{
    QList<QByteArray> entries = out.split(end);
    if (entries.last().isEmpty())
        entries.removeLast();
    return entries;
}

QByteArray compact(const QJsonValue &object)
{
    return QJsonDocument(object.toObject()).toJson(QJsonDocument::Compact);
}

// A drive's first seconds without a fix, then a position every second, from start.
bool writeDrive(const QString &file, const QDateTime &start, int seconds = 60)
{
    Drive drive;
    drive.start = start;
    drive.seconds = seconds;
    drive.noFixSeconds = 2;
    Recording recording;
    recording.source = ParserObject::Gps0Box;
    recording.records = drive.records();
    return recording.write(file);
}

double metresBetween(const QJsonObject &a, const QJsonObject &b)
{
    const auto radians = [](const QJsonObject &s, const char *key) {
        return s.value(QLatin1String(key)).toDouble() * M_PI / 180.0;
    };
    const double dLat = radians(b, "latitude") - radians(a, "latitude");
    const double dLon = radians(b, "longitude") - radians(a, "longitude");
    const double h = std::pow(std::sin(dLat / 2), 2)
                     + std::cos(radians(a, "latitude")) * std::cos(radians(b, "latitude"))
                               * std::pow(std::sin(dLon / 2), 2);
    return 2 * 6371008.8 * std::asin(std::sqrt(h));
}

} // namespace

class TestExtract : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void jsonMatchesParser_data();
    void jsonMatchesParser();
    void jsonFieldsOfOneRecord();
    void fileWithoutTelemetry();
    void unopenedFilesAreNamedAndLeftOut();
    void damagedValues();
    void usageErrors_data();
    void usageErrors();
    void outputFile();
    void outputsNeverDestroyed_data();
    void outputsNeverDestroyed();
    void filesOtherRunsReadKept_data();
    void filesOtherRunsReadKept();
    void csvRows();
    void assCaptions_data();
    void assCaptions();
    void assLeavesOutListedRears_data();
    void assLeavesOutListedRears();
    void gpxTrack();
    void kmlTrack();
    void timesInEveryFormat_data();
    void timesInEveryFormat();
    void invalidOffset_data();
    void invalidOffset();
    void geojsonFeatures();
    void geojsonReadByOgr();
    void jsonInQtsOwnLayout();
    void outputNotWritten();
    void cancelWhileWaitingForAReader();
    void eventsOfADrive_data();
    void eventsOfADrive();
    void folderListing_data();
    void folderListing();
    void filesFrom_data();
    void filesFrom();
    void parallelOutputIsSerial_data();
    void parallelOutputIsSerial();
    void outputIntoAnUnreadableNameRefused();
    void jsonLinesGoOnPastAnUnreadableFile_data();
    void jsonLinesGoOnPastAnUnreadableFile();
    void summaryAgreesWithTheFullOutput();
    void joinedDrives();
    void shardsCoverEveryFileOnce();
    void resumeAfterACut_data();
    void resumeAfterACut();
    void doneLines_data();
    void doneLines();

private:
    QString path(const QString &name) const { return mDir.filePath(name); }
    // Runs in the temporary folder, paths relative to it, with input on standard input.
    Run runHere(const QStringList &arguments, const QByteArray &input = {});

    QTemporaryDir mDir;
    QString mDetailed;
    QString mZones;
    QString mPlain;
    QString mLong; // its document is more than a pipe holds
    QString mCafe; // a recording in the tree whose name holds a space and a letter beyond ASCII
};

void TestExtract::initTestCase()
{
    QVERIFY(mDir.isValid());

    Recording detailed;
    detailed.source = ParserObject::Gps0Box;
    detailed.records = detailedRecords();
    mDetailed = path(QStringLiteral("detailed.mp4"));
    QVERIFY(detailed.write(mDetailed));

    // No telemetry, H.265, 5990 frames in 100 s: a frame rate of 59.9 that a float cannot hold.
    mPlain = path(QStringLiteral("plain.mov"));
    Mp4Writer w(mPlain);
    w.ftyp("qt  ");
    w.begin("moov");
    w.mvhd(1000, 100000);
    Mp4Track video;
    video.width = 1280;
    video.height = 720;
    video.sampleEntry = "hvc1";
    video.sampleCount = 5990;
    video.creationTime = Mp4Writer::timestamp(QDateTime(QDate(2021, 6, 30), QTime(7, 8, 9)));
    w.track(video);
    w.end();
    QVERIFY(w.close());

    Recording zones;
    zones.source = ParserObject::Gps0Box;
    for (int i = 0; i < ZoneReadings.size(); ++i) {
        SampleRecord record;
        record.dateTime = ZoneReadings.at(i);
        record.setPosition(48.0 + i * 0.001, 11.0 + i * 0.001);
        zones.records.append(record);
    }
    mZones = path(QStringLiteral("zones.mp4"));
    QVERIFY(zones.write(mZones));

    Drive drive;
    drive.seconds = 600;
    Recording long10Minutes;
    long10Minutes.source = ParserObject::Gps0Box;
    long10Minutes.records = drive.records();
    mLong = path(QStringLiteral("long.mp4"));
    QVERIFY(long10Minutes.write(mLong));

    // A card's folder: recordings in any case among other files, hidden ones, a pipe,
    // sub-folders, an empty one, a link back to itself and one to a folder elsewhere.
    mCafe = QString::fromUtf8("tree/caf\xc3\xa9 1.mp4");
    for (const char *folder : {"tree/sub/deep", "tree/.secret", "tree/empty", "outside"})
        QVERIFY(QDir(mDir.path()).mkpath(QLatin1String(folder)));
    for (const QString &name :
         {QStringLiteral("tree/b.MP4"), QStringLiteral("tree/a.mov"), QStringLiteral("tree/C.avi"),
          mCafe, QStringLiteral("tree/notes.txt"), QStringLiteral("tree/.hidden.mp4"),
          QStringLiteral("tree/clip.mp4.part"), QStringLiteral("tree/sub/d.mp4"),
          QStringLiteral("tree/sub/deep/e.AVI"), QStringLiteral("tree/.secret/f.mp4"),
          QStringLiteral("outside/g.mp4")})
        QVERIFY(QFile::copy(mDetailed, path(name)));
    QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("tree/pipe.mp4"))).constData(), 0600),
             0);
    QVERIFY(QFile::link(QStringLiteral("."), path(QStringLiteral("tree/loop"))));
    QVERIFY(QFile::link(QStringLiteral("../outside"), path(QStringLiteral("tree/elsewhere"))));

    // Names that are not UTF-8: a recording's, a folder's, another file's, and a folder's only
    // recording's.
    const QByteArray odd = QFile::encodeName(path(QStringLiteral("odd")));
    for (const char *folder : {"", "/sub\xfe", "/lone"})
        QCOMPARE(::mkdir(odd + folder, 0700), 0);
    QVERIFY(QFile::copy(mDetailed, path(QStringLiteral("odd/good.mp4"))));
    for (const char *file :
         {"/bad\xff.mp4", "/notes\xff.txt", "/sub\xfe/in.mp4", "/lone/\xfc.mp4"}) {
        Descriptor created{::open(odd + file, O_WRONLY | O_CREAT | O_CLOEXEC, 0600)};
        QVERIFY(created.fd >= 0);
    }
    // An output named through a link, so that its name is readable while the recording's is not.
    QCOMPARE(::symlink(odd + "/bad\xff.mp4", QFile::encodeName(path("odd.out")).constData()), 0);
    QVERIFY(QDir(mDir.path()).mkdir(QStringLiteral("loops")));
    QVERIFY(QFile::link(QStringLiteral("b.mp4"), path(QStringLiteral("loops/a.mp4"))));
    QVERIFY(QFile::link(QStringLiteral("a.mp4"), path(QStringLiteral("loops/b.mp4"))));
}

void TestExtract::jsonMatchesParser_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sourceName");
    QTest::newRow("ext track") << int(ParserObject::ExtTrack) << "ext.mp4"
                               << "ExtTrack";
    QTest::newRow("gps box") << int(ParserObject::GpsBox) << "gpsbox.MOV"
                             << "GpsBox";
    QTest::newRow("sound track") << int(ParserObject::SoundTrack) << "sound.mp4"
                                 << "SoundTrack";
    QTest::newRow("gps0 box") << int(ParserObject::Gps0Box) << "gps0.mp4"
                              << "Gps0Box";
    QTest::newRow("meta track") << int(ParserObject::GpsMetaTrack) << "meta.mp4"
                                << "GpsMetaTrack";
    // The upper-case extension must still pick the AVI reader.
    QTest::newRow("avi list") << int(ParserObject::AviGpsList) << "list.AVI"
                              << "AviGpsList";
    QTest::newRow("avi audio") << int(ParserObject::AviAudioChunk) << "audio.avi"
                               << "AviAudioChunk";
}

// Every field of every sample and of the information is what the parser itself yields.
void TestExtract::jsonMatchesParser()
{
    QFETCH(int, source);
    QFETCH(QString, name);
    QFETCH(QString, sourceName);

    Drive drive;
    drive.seconds = 6;
    drive.noFixSeconds = 1;
    drive.latitude = -12.5; // south and west, so signs are checked too
    drive.longitude = -45.25;
    Recording recording;
    recording.source = ParserObject::SampleSource(source);
    recording.records = drive.records();
    recording.seconds = 8; // longer video: samples stay the raw records, not padded
    recording.creationTime = 3600;
    const QString file = path(name);
    QVERIFY(recording.write(file));

    const std::unique_ptr<ParserObject> parser = createRecordingParser(file);
    const QVector<GpsData> expected = readAllSamples(*parser);
    // Sources that hold a record in every audio chunk count the chunks of the whole video.
    QVERIFY(expected.size() >= drive.seconds);

    const Run run = runExtract({file});
    QCOMPARE(run.exitCode, 0);
    const QJsonArray files = parseJson(run.out);
    QCOMPARE(files.size(), 1);
    const QJsonObject object = files.at(0).toObject();
    QCOMPARE(object.value("file").toString(), file);
    QCOMPARE(object.value("source").toString(), sourceName);

    const QJsonObject info = object.value("info").toObject();
    QCOMPARE(info.size(), 6);
    QCOMPARE(info.value("width").toInt(), parser->width());
    QCOMPARE(info.value("height").toInt(), parser->height());
    QCOMPARE(info.value("duration").toInt(), parser->duration());
    QCOMPARE(float(info.value("frameRate").toDouble()), parser->frameRate());
    QCOMPARE(info.value("videoCodec").toInt(), parser->videoCodec());
    const QJsonValue creation = info.value("creationTime");
    if (parser->creationTime().isValid())
        QCOMPARE(creation.toString(), parser->creationTime().toString("yyyy-MM-dd'T'HH:mm:ss"));
    else
        QVERIFY(creation.isNull());

    const QJsonArray samples = object.value("samples").toArray();
    QCOMPARE(samples.size(), expected.size());
    for (int i = 0; i < samples.size(); ++i) {
        const QJsonObject s = samples.at(i).toObject();
        const GpsData &d = expected.at(i);
        QCOMPARE(s.size(), 15);
        QCOMPARE(s.value("index").toInt(), d.index);
        QCOMPARE(s.value("dateTime").toString(), QString::fromLatin1(d.dateTime));
        QCOMPARE(s.value("auxText").toString(), QString::fromLatin1(d.auxText));
        QCOMPARE(s.value("fixFlag").toInt(), int(d.fixFlag));
        QCOMPARE(s.value("latitudeRef").toString(), refText(d.latitudeRef));
        QCOMPARE(s.value("latitude").toDouble(), d.latitude);
        QCOMPARE(s.value("longitudeRef").toString(), refText(d.longitudeRef));
        QCOMPARE(s.value("longitude").toDouble(), d.longitude);
        QCOMPARE(s.value("auxValue").toInt(), d.auxValue);
        QCOMPARE(s.value("speed").toInt(), d.speed);
        QCOMPARE(float(s.value("gsensorX").toDouble()), d.gsensorX);
        QCOMPARE(float(s.value("gsensorY").toDouble()), d.gsensorY);
        QCOMPARE(float(s.value("gsensorZ").toDouble()), d.gsensorZ);
        QCOMPARE(s.value("heading").toDouble(), d.heading);
        const QDateTime camera = QDateTime::fromString(QString::fromLatin1(d.dateTime),
                                                       QStringLiteral("yyyyMMddhhmmss"));
        QCOMPARE(s.value("utcTime").toString(),
                 QDateTime(camera.date(), camera.time(), Qt::UTC).toString(Qt::ISODate));
    }
}

void TestExtract::jsonFieldsOfOneRecord()
{
    const Run run = runExtract({mDetailed});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    const QJsonArray samples = parseJson(run.out).at(0).toObject().value("samples").toArray();
    QCOMPARE(samples.size(), 5);

    const QJsonObject first = samples.at(0).toObject();
    QCOMPARE(first.value("index").toInt(), 0);
    QCOMPARE(first.value("dateTime").toString(), QString("20240315083005"));
    QCOMPARE(first.value("auxText").toString(), QString("cam,\"1\""));
    QCOMPARE(first.value("fixFlag").toInt(), int('A'));
    QCOMPARE(first.value("latitudeRef").toString(), QString("S"));
    QCOMPARE(first.value("latitude").toDouble(), -33.5);
    QCOMPARE(first.value("longitudeRef").toString(), QString("W"));
    QCOMPARE(first.value("longitude").toDouble(), -70.25);
    QCOMPARE(first.value("auxValue").toInt(), 12345);
    QCOMPARE(first.value("speed").toInt(), 72);
    QCOMPARE(first.value("heading").toDouble(), 0.0);
    QCOMPARE(first.value("utcTime").toString(), QString("2024-03-15T08:30:05Z"));
    QVERIFY(samples.at(4).toObject().value("utcTime").isNull()); // month 13

    // Floats print in their shortest form, not as their binary double value.
    const QString text = QString::fromUtf8(run.out);
    QVERIFY(text.contains(QLatin1String("\"gsensorX\": -0.98,")));
    QVERIFY(text.contains(QLatin1String("\"gsensorY\": 0.05,")));
    QVERIFY(text.contains(QLatin1String("\"gsensorZ\": 1,")));

    QCOMPARE(samples.at(1).toObject().value("auxText").toString(), QString::fromUtf8("caf\u00e9"));
    QCOMPARE(samples.at(1).toObject().value("fixFlag").toInt(), 0);
    QCOMPARE(samples.at(2).toObject().value("latitudeRef").toString(), QString(""));
    QCOMPARE(samples.at(2).toObject().value("longitudeRef").toString(), QString(""));
}

void TestExtract::fileWithoutTelemetry()
{
    const Run run = runExtract({mPlain});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject object = parseJson(run.out).at(0).toObject();
    QCOMPARE(object.value("source").toString(), QString("None"));
    QVERIFY(object.value("samples").isArray());
    QVERIFY(object.value("samples").toArray().isEmpty());
    const QJsonObject info = object.value("info").toObject();
    QCOMPARE(info.value("width").toInt(), 1280);
    QCOMPARE(info.value("height").toInt(), 720);
    QCOMPARE(info.value("duration").toInt(), 100);
    QCOMPARE(info.value("videoCodec").toInt(), 2);
    QCOMPARE(info.value("creationTime").toString(), QString("2021-06-30T07:08:09"));
    QVERIFY(QString::fromUtf8(run.out).contains(QLatin1String("\"frameRate\": 59.9,")));
}

void TestExtract::unopenedFilesAreNamedAndLeftOut()
{
    const QString missing = path(QStringLiteral("missing.mp4"));
    const QString folder = path(QStringLiteral("folder.mp4"));
    QVERIFY(QDir().mkpath(folder));
    // Opening a pipe for reading would wait for a writer for ever.
    const QString pipe = path(QStringLiteral("pipe.mp4"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    const Run run = runExtract({mDetailed, missing, folder, pipe, mPlain});
    QCOMPARE(run.exitCode, 2);
    const QJsonArray files = parseJson(run.out);
    QCOMPARE(files.size(), 2);
    QCOMPARE(files.at(0).toObject().value("file").toString(), mDetailed);
    QCOMPARE(files.at(1).toObject().value("file").toString(), mPlain);
    QCOMPARE(files.at(0).toObject().value("samples").toArray().size(), 5);

    const QList<QByteArray> lines = run.err.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).contains(missing.toUtf8()));
    QVERIFY(lines.at(1).contains(folder.toUtf8()));
    QVERIFY(lines.at(2).contains(pipe.toUtf8()));

    // The other formats leave the unopened file out as well.
    const Run gpx = runExtract({"--format", "gpx", missing, mDetailed});
    QCOMPARE(gpx.exitCode, 2);
    QCOMPARE(gpx.out.count("<trk>"), 1);
}

// A damaged record can hold a latitude beyond the pole, which makes the heading not a number.
void TestExtract::damagedValues()
{
    QVector<SampleRecord> records(3);
    records[0].setPosition(10.0, 10.0);
    records[1].latitudeDegrees = 99;
    records[1].longitudeDegrees = 11;
    records[2].setPosition(10.001, 10.001); // its heading starts from the damaged position
    Recording recording;
    recording.source = ParserObject::Gps0Box;
    recording.records = records;
    const QString file = path(QStringLiteral("damaged.mp4"));
    QVERIFY(recording.write(file));

    const Run json = runExtract({file});
    QCOMPARE(json.exitCode, 0);
    const QJsonArray samples = parseJson(json.out).at(0).toObject().value("samples").toArray();
    QCOMPARE(samples.size(), 3);
    QCOMPARE(samples.at(1).toObject().value("latitude").toDouble(), 99.0);
    QVERIFY(samples.at(1).toObject().value("heading").isNull());

    const Run csv = runExtract({"--format", "csv", file});
    QCOMPARE(csv.exitCode, 0);
    QVERIFY(csv.out.split('\n').at(2).endsWith(",,2020-01-01T12:00:00Z\r")); // no heading

    // No point off the globe, and no course that is not a number.
    const Run gpx = runExtract({"--format", "gpx", file});
    QCOMPARE(gpx.exitCode, 0);
    QCOMPARE(gpx.out.count("<trkpt "), 2);
    QCOMPARE(gpx.out.count("<gpxtpx:course>"), 1);
    QVERIFY(!gpx.out.contains("nan"));
}

void TestExtract::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no file") << QStringList();
    QTest::newRow("options only") << QStringList{"--format", "csv"};
    QTest::newRow("unknown format") << QStringList{"--format", "xml", "x.mp4"};
    QTest::newRow("format without value") << QStringList{"x.mp4", "--format"};
    QTest::newRow("unknown option") << QStringList{"--speed", "x.mp4"};
    QTest::newRow("empty output") << QStringList{"--output", "", "x.mp4"};
    QTest::newRow("a track format for events") << QStringList{"--events", "-f", "gpx", "x.mp4"};
    // {recording} is a copy of a recording, which must come out unchanged.
    QTest::newRow("events into one of the recordings")
            << QStringList{"--events", "-o", "{recording}", "{detailed}", "{recording}"};
    QTest::newRow("events as csv into the only recording")
            << QStringList{"--events", "-f", "csv", "--output={recording}", "{recording}"};
    QTest::newRow("summary as gpx") << QStringList{"--summary", "-f", "gpx", "x.mp4"};
    QTest::newRow("drives as csv") << QStringList{"--join", "-f", "csv", "x.mp4"};
    QTest::newRow("summary of drives") << QStringList{"--summary", "--join", "-f", "kml", "x.mp4"};
    QTest::newRow("events summarised") << QStringList{"--events", "--summary", "x.mp4"};
    QTest::newRow("events joined") << QStringList{"--events", "--join", "-f", "geojson", "x.mp4"};
    QTest::newRow("events as JSON Lines") << QStringList{"--events", "-f", "jsonl", "x.mp4"};
    QTest::newRow("skip-done without jsonl") << QStringList{"--skip-done", "{detailed}", "x.mp4"};
    QTest::newRow("skip-done of a folder")
            << QStringList{"-f", "jsonl", "--skip-done", "{folder}", "x.mp4"};
    QTest::newRow("negative jobs") << QStringList{"-j", "-1", "x.mp4"};
    QTest::newRow("jobs not a number") << QStringList{"--jobs=two", "x.mp4"};
    QTest::newRow("jobs beyond reason") << QStringList{"-j", "100000", "x.mp4"};
    QTest::newRow("shard beyond its count") << QStringList{"--shard", "2/2", "x.mp4"};
    QTest::newRow("shard of none") << QStringList{"--shard", "0/0", "x.mp4"};
    QTest::newRow("shard without a count") << QStringList{"--shard", "1", "x.mp4"};
    // A drive's clips would be split across the shards' runs.
    QTest::newRow("shard of drives")
            << QStringList{"--shard", "0/1", "--join", "-f", "gpx", "{recording}"};
    QTest::newRow("shard of events") << QStringList{"--shard", "0/1", "--events", "{recording}"};
    QTest::newRow("a list that cannot be read") << QStringList{"--files-from", "no such list"};
    QTest::newRow("output onto the list") << QStringList{"--files-from", "{list}", "-o", "{list}"};
}

void TestExtract::usageErrors()
{
    QFETCH(QStringList, arguments);
    const QString recording = path(QStringLiteral("usage.mp4"));
    QFile::remove(recording);
    QVERIFY(QFile::copy(mDetailed, recording));
    arguments.replaceInStrings(QStringLiteral("{recording}"), recording);
    arguments.replaceInStrings(QStringLiteral("{detailed}"), mDetailed);
    arguments.replaceInStrings(QStringLiteral("{folder}"), mDir.path());
    const QString list = path(QStringLiteral("usage.list"));
    QFile listFile(list);
    QVERIFY(listFile.open(QIODevice::WriteOnly) && listFile.write(recording.toUtf8() + '\n') > 0);
    listFile.close();
    arguments.replaceInStrings(QStringLiteral("{list}"), list);
    const Run run = runExtract(arguments);
    QCOMPARE(run.exitCode, 64);
    QVERIFY(run.out.isEmpty());
    QVERIFY(!run.err.isEmpty());
    QCOMPARE(contents(recording), contents(mDetailed));
    QCOMPARE(contents(list), recording.toUtf8() + '\n');
}

void TestExtract::outputFile()
{
    const QString target = path(QStringLiteral("out.json"));
    const Run run = runExtract({"--output", target, mDetailed});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.isEmpty());
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(parseJson(file.readAll()).size(), 1);

    // An output that cannot be created is its own failure, and nothing is printed instead.
    const QString unwritable = path(QStringLiteral("no/such/folder/out.json"));
    const Run failed = runExtract({"--output", unwritable, mDetailed});
    QCOMPARE(failed.exitCode, 73);
    QVERIFY(failed.out.isEmpty());
    QVERIFY(failed.err.contains(unwritable.toUtf8()));

    // Through a symbolic link its target is replaced, and the link stays.
    const QString link = path(QStringLiteral("link.csv"));
    QVERIFY(QFile::link(target, link));
    QCOMPARE(runExtract({"--format", "csv", "--output", link, mDetailed}).exitCode, 0);
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(contents(target).startsWith("file,index,"));
}

void TestExtract::outputsNeverDestroyed_data()
{
    // In a folder holding each kind of file; /dev/fd/{file}, {read-only file} and {socket} name a
    // descriptor the command inherits.
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("standardOutput"); // the log or the recording, appending to it
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error"); // %1 the output
    QTest::addColumn<QString>("documentIn"); // out, pipe, log, file or socket
    QTest::newRow("null device") << "null"
                                 << "" << 0 << ""
                                 << "";
    QTest::newRow("symbolic link to it") << "link"
                                         << "" << 0 << ""
                                         << "";
    QTest::newRow("full device") << "full"
                                 << "" << 74 << "cannot write %1: "
                                 << "";
    QTest::newRow("block device") << "block"
                                  << "" << 73 << "cannot open %1: it is a block device"
                                  << "";
    QTest::newRow("socket") << "socket"
                            << "" << 73 << "cannot open %1: it is a socket"
                            << "";
    QTest::newRow("pipe with a reader") << "pipe"
                                        << "" << 0 << ""
                                        << "pipe";
    QTest::newRow("pipe nobody reads") << "pipe"
                                       << "" << 73 << "cannot open %1: nobody reads the pipe"
                                       << "";
    QTest::newRow("folder") << "folder"
                            << "" << 73 << "cannot create %1: it is a folder"
                            << "";
    QTest::newRow("-") << "-"
                       << "" << 0 << ""
                       << "out";
    QTest::newRow("/dev/stdout") << "/dev/stdout"
                                 << "" << 0 << ""
                                 << "out";
    QTest::newRow("/dev/fd/1") << "/dev/fd/1"
                               << "" << 0 << ""
                               << "out";
    QTest::newRow("/dev/stdout appending") << "/dev/stdout"
                                           << "log" << 0 << ""
                                           << "log";
    QTest::newRow("- appending") << "-"
                                 << "log" << 0 << ""
                                 << "log";
    // As with "{ echo HEADER; velqor-extract -o /dev/stdout ...; echo FOOTER; } > file".
    QTest::newRow("a file the caller writes before and after") << "/dev/fd/{file}"
                                                               << "" << 0 << ""
                                                               << "file";
    QTest::newRow("a socket") << "/proc/self/fd/{socket}"
                              << "" << 0 << ""
                              << "socket";
    QTest::newRow("a file open for reading only")
            << "/dev/fd/{read-only file}"
            << "" << 73 << "cannot open %1: it is open for reading only"
            << "";
    // As with "-o clips/*.MP4": refused before anything is read.
    const QString same = QStringLiteral("the output %1 is the recording ");
    QTest::newRow("the recording") << "recording.mp4"
                                   << "" << 64 << same << "";
    QTest::newRow("the recording spelt otherwise") << "folder/../recording.mp4"
                                                   << "" << 64 << same << "";
    QTest::newRow("hard link to the recording") << "hard.mp4"
                                                << "" << 64 << same << "";
    QTest::newRow("symbolic link to the recording") << "soft.mp4"
                                                    << "" << 64 << same << "";
    QTest::newRow("standard output appending to the recording")
            << "-"
            << "recording.mp4" << 64 << "standard output is the recording "
            << "";
    QTest::newRow("/dev/stdout appending to the recording") << "/dev/stdout"
                                                            << "recording.mp4" << 64 << same << "";
}

// Devices, pipes and standard output are written where they stand, and a recording is never
// written over: nothing in the folder is replaced or left behind.
void TestExtract::outputsNeverDestroyed()
{
    QFETCH(QString, output);
    QFETCH(QString, standardOutput);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    QFETCH(QString, documentIn);
    QTemporaryDir dir;
    const auto name = [&](const char *entry) { return QFile::encodeName(dir.filePath(entry)); };
    // Stand-ins for /dev/null and /dev/full, which must never be at risk here, and a block device
    // that no driver serves; only root may make them, so only their rows need root.
    constexpr int UnservedMajor = 120; // set aside for local use, in no kernel of its own
    if (::mknod(name("null").constData(), S_IFCHR | 0666, makedev(1, 3)) != 0
        || ::mknod(name("full").constData(), S_IFCHR | 0666, makedev(1, 7)) != 0
        || (output == QLatin1String("block")
            && (blockMajorServed(UnservedMajor)
                || ::mknod(name("block").constData(), S_IFBLK | 0666, makedev(UnservedMajor, 0))
                           != 0))) {
        if (QStringList({"null", "link", "full", "block"}).contains(output))
            QSKIP("cannot make device nodes (needs root)");
    }
    QVERIFY(QFile::link(QStringLiteral("null"), dir.filePath(QStringLiteral("link"))));
    QCOMPARE(::mkfifo(name("pipe").constData(), 0600), 0);
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    Descriptor listening{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, name("socket").constData(), sizeof address.sun_path);
    QCOMPARE(::bind(listening.fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    const QString recording = dir.filePath(QStringLiteral("recording.mp4"));
    QVERIFY(QFile::copy(mLong, recording));
    QCOMPARE(::link(name("recording.mp4").constData(), name("hard.mp4").constData()), 0);
    QVERIFY(QFile::link(QStringLiteral("recording.mp4"), dir.filePath(QStringLiteral("soft.mp4"))));
    const QString log = dir.filePath(QStringLiteral("log"));
    QFile old(log);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\n") == 4);
    old.close();
    const QString shared = dir.filePath(QStringLiteral("shared"));

    // The descriptor the command inherits, if any, and the end the test reads.
    Descriptor inherited;
    Descriptor readEnd;
    if (output.contains(QLatin1String("{file}"))) {
        inherited.fd = ::open(name("shared").constData(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        QCOMPARE(::write(inherited.fd, "HEADER\n", 7), 7);
    } else if (output.contains(QLatin1String("{read-only file}"))) {
        inherited.fd = ::open(name("log").constData(), O_RDONLY);
    } else if (output.contains(QLatin1String("{socket}"))) {
        int ends[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        inherited.fd = ends[0];
        readEnd.fd = ends[1];
        QCOMPARE(::fcntl(inherited.fd, F_SETFD, 0), 0);
        QCOMPARE(::fcntl(readEnd.fd, F_SETFL, O_NONBLOCK), 0);
    } else if (documentIn == QLatin1String("pipe")) {
        readEnd.fd = ::open(name("pipe").constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    output.replace(QRegularExpression(QStringLiteral("\\{.*\\}")), QString::number(inherited.fd));
    const QStringList before = entries(dir.path());

    QByteArray received;
    const Run run = runExtract(
            {"--output", output, recording}, QStringLiteral("UTC"),
            [&](QProcess &process) {
                process.setWorkingDirectory(dir.path());
                if (!standardOutput.isEmpty())
                    process.setStandardOutputFile(dir.filePath(standardOutput), QIODevice::Append);
            },
            [&] {
                if (readEnd.fd >= 0)
                    drain(readEnd.fd, &received);
            });
    QCOMPARE(run.exitCode, exitCode);
    if (!error.isEmpty()) {
        const QString expected = error.contains(QLatin1String("%1")) ? error.arg(output) : error;
        QVERIFY2(run.err.contains(expected.toUtf8()), run.err.constData());
    }
    QCOMPARE(entries(dir.path()), before);
    QCOMPARE(contents(recording), contents(mLong));
    const QByteArray document = runExtract({recording}).out;
    QVERIFY(document.size() > 64 * 1024);
    const auto expectedIn = [&](const char *place, const QByteArray &elsewhere = {}) {
        return documentIn == QLatin1String(place) ? document : elsewhere;
    };
    QCOMPARE(run.out, expectedIn("out"));
    QCOMPARE(contents(log), "old\n" + expectedIn("log"));
    if (readEnd.fd >= 0)
        drain(readEnd.fd, &received);
    QCOMPARE(received, expectedIn("pipe", expectedIn("socket")));
    if (documentIn == QLatin1String("file")) {
        QCOMPARE(::write(inherited.fd, "FOOTER\n", 7), 7);
        QCOMPARE(contents(shared), "HEADER\n" + document + "FOOTER\n");
    }
}

void TestExtract::filesOtherRunsReadKept_data()
{
    // {away}: the shard that leaves the recording to another run; {done}: an earlier run's
    // output that holds the recording.
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("standardOutput"); // what it is open on, as "1<>clip.MP4" opens it
    const QStringList away = {"--shard", "{away}/2"};
    const QStringList done = {"-f", "jsonl", "--skip-done", "{done}"};
    const QStringList list = {"--list"};
    const QStringList into = {"-o", "{recording}"};
    QTest::newRow("-o, another shard's recording") << away + into << "";
    QTest::newRow("-o, a recording done before") << done + into << "";
    QTest::newRow("--list, another shard's recording") << list + away + into << "";
    QTest::newRow("--list, a recording done before") << list + done + into << "";
    QTest::newRow("standard output, another shard's recording") << away << "{recording}";
    QTest::newRow("standard output, a recording done before") << done << "{recording}";
    // A list of paths in the JSON Lines file would spoil it for the run that resumes from it.
    QTest::newRow("--list into the --skip-done file")
            << list + done + QStringList{"-o", "{done}"} << "";
    QTest::newRow("--list appending to the --skip-done file") << list + done << "{done}";
}

// A run that leaves a recording out must not write over it, and --list must not write into the
// --skip-done file: the runs that follow still read them.
void TestExtract::filesOtherRunsReadKept()
{
    QFETCH(QStringList, options);
    QFETCH(QString, standardOutput);
    const QString recording = path(QStringLiteral("left.mp4"));
    QFile::remove(recording);
    QVERIFY(QFile::copy(mDetailed, recording));
    const QByteArray inShard0 = runExtract({"--list", "--shard", "0/2", recording}).out;
    const QString done = path(QStringLiteral("left.jsonl"));
    QFile doneFile(done);
    const QByteArray line = compact(QJsonObject{{"file", recording}}) + '\n';
    QVERIFY(doneFile.open(QIODevice::WriteOnly) && doneFile.write(line) == line.size());
    doneFile.close();
    standardOutput.replace(QStringLiteral("{done}"), done);
    standardOutput.replace(QStringLiteral("{recording}"), recording);
    options.replaceInStrings(QStringLiteral("{away}"), inShard0.isEmpty() ? "0" : "1");
    options.replaceInStrings(QStringLiteral("{done}"), done);
    options.replaceInStrings(QStringLiteral("{recording}"), recording);

    const Run run
            = runExtract(options + QStringList{recording, mZones}, QStringLiteral("UTC"),
                         [&](QProcess &process) {
                             if (!standardOutput.isEmpty())
                                 process.setStandardOutputFile(standardOutput, QIODevice::Append);
                         });
    QCOMPARE(run.exitCode, 64);
    QVERIFY(!run.err.isEmpty());
    QCOMPARE(contents(recording), contents(mDetailed));
    QCOMPARE(contents(done), line);
}

void TestExtract::csvRows()
{
    const Run run = runExtract({"--format", "csv", mDetailed, mPlain});
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> rows = run.out.split('\n');
    QCOMPARE(rows.size(), 7); // header, five samples, nothing for the plain file, final CRLF
    QVERIFY(rows.last().isEmpty());
    QCOMPARE(rows.at(0),
             QByteArray("file,index,dateTime,auxText,fixFlag,latitudeRef,latitude,longitudeRef,"
                        "longitude,auxValue,speed,gsensorX,gsensorY,gsensorZ,heading,utcTime\r"));
    const QByteArray file = mDetailed.toUtf8();
    QCOMPARE(rows.at(1),
             file
                     + ",0,20240315083005,\"cam,\"\"1\"\"\",65,S,-33.5,W,-70.25,12345,72,"
                       "-0.98,0.05,1,0,2024-03-15T08:30:05Z\r");
    QVERIFY(rows.at(2).startsWith(file + ",1,20240315083006,caf\xc3\xa9,0,N,35,E,139,"));
    QVERIFY(rows.at(3).startsWith(file + ",2,20240315083007,,65,,0,,0,"));
}

void TestExtract::assCaptions_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QStringList>("speeds"); // of the detailed recording's seconds
    QTest::newRow("km/h") << "kmh" << QStringList{"72 km/h", "0 km/h", "36 km/h"};
    QTest::newRow("mph") << "mph" << QStringList{"45 mph", "0 mph", "22 mph"};
}

// The captions parsed back: the script's sections, one event a second of telemetry, each
// recording's events after the one before on one timeline.
void TestExtract::assCaptions()
{
    QFETCH(QString, unit);
    QFETCH(QStringList, speeds);
    // A recording whose video outlasts its two seconds of telemetry, then one with a second of
    // telemetry past its video's end: the first shifts the next by its length, not by its
    // samples; the second has no caption beyond its video.
    Recording outlasting;
    outlasting.source = ParserObject::Gps0Box;
    outlasting.records = detailedRecords().mid(0, 2);
    outlasting.seconds = 4;
    const QString outlastingFile = path(QStringLiteral("outlasting.mp4"));
    QVERIFY(outlasting.write(outlastingFile));
    Recording overrunning = outlasting;
    overrunning.seconds = 1;
    const QString overrunningFile = path(QStringLiteral("overrunning.mp4"));
    QVERIFY(overrunning.write(overrunningFile));

    const Run run = runExtract({"--format", "ass", "--unit", unit, mDetailed, outlastingFile,
                                mPlain, overrunningFile, mDetailed});
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = QString::fromUtf8(run.out).split(QLatin1Char('\n'));
    const QStringList sections = lines.filter(QRegularExpression(QStringLiteral("^\\[.*\\]$")));
    QCOMPARE(sections, (QStringList{"[Script Info]", "[V4+ Styles]", "[Events]"}));
    QVERIFY(lines.contains(QStringLiteral("ScriptType: v4.00+")));
    QVERIFY(lines.contains(QStringLiteral("PlayResX: 1280")));
    QVERIFY(lines.contains(QStringLiteral("PlayResY: 720")));
    // The style the events name, aligned bottom left (the 19th field).
    const QStringList styles = lines.filter(QRegularExpression(QStringLiteral("^Style: ")));
    QCOMPARE(styles.size(), 1);
    QCOMPARE(styles.first().split(QLatin1Char(',')).value(18), QStringLiteral("1"));

    // Start, end and text of each event.
    QStringList events;
    for (const QString &line : lines) {
        if (!line.startsWith(QLatin1String("Dialogue: ")))
            continue;
        const QStringList fields = line.split(QLatin1Char(','));
        QCOMPARE(fields.size(), 10);
        QCOMPARE(fields.at(3), styles.first().section(QLatin1Char(','), 0, 0).mid(7));
        events.append(fields.at(1) + QLatin1Char(' ') + fields.at(2) + QLatin1Char(' ')
                      + fields.at(9));
    }
    const QString fix = QStringLiteral("No fix");
    const QStringList detailed = {
            "2024-03-15 08:30:05\\N" + speeds.at(0) + "\\NS33.500000 W70.250000",
            "2024-03-15 08:30:06\\N" + speeds.at(1) + "\\N" + fix,
            "2024-03-15 08:30:07\\N" + speeds.at(1) + "\\N" + fix,
            "2024-03-15 08:30:08\\N" + speeds.at(2) + "\\NS33.501000 W70.251000",
            speeds.at(1) + "\\NS33.502000 W70.252000", // a time that cannot be read
    };
    QStringList expected;
    const auto time = [](int second) {
        return QStringLiteral("0:%1:%2.00")
                .arg(second / 60, 2, 10, QLatin1Char('0'))
                .arg(second % 60, 2, 10, QLatin1Char('0'));
    };
    const auto add = [&](int second, const QString &text) {
        expected.append(time(second) + QLatin1Char(' ') + time(second + 1) + QLatin1Char(' ')
                        + text);
    };
    for (int s = 0; s < 5; ++s)
        add(s, detailed.at(s));
    add(5, detailed.at(0));
    add(6, detailed.at(1));
    // The plain recording's 100 s pass without captions.
    add(109, detailed.at(0));
    for (int s = 0; s < 5; ++s)
        add(110 + s, detailed.at(s));
    QCOMPARE(events, expected);
}

void TestExtract::assLeavesOutListedRears_data()
{
    QTest::addColumn<QStringList>("arguments"); // names in the folder, or the folder itself
    QTest::addColumn<int>("events"); // a second of each recording captioned
    QTest::newRow("the folder") << QStringList{"."} << 10;
    QTest::newRow("the files") << QStringList{"1200F.MP4", "1200R.MP4", "1201R.MP4"} << 10;
    // Without its front, a rear file is the only camera there is.
    QTest::newRow("a rear alone") << QStringList{"1200R.MP4"} << 5;
}

// A front's rear partner would repeat its seconds, the camera's time jumping back at it; a rear
// file whose front is not given keeps its own captions.
void TestExtract::assLeavesOutListedRears()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, events);
    const QDir folder(path(QStringLiteral("assrears")));
    if (!folder.exists()) {
        QVERIFY(QDir().mkpath(folder.path()));
        for (const char *name : {"1200F.MP4", "1200R.MP4", "1201R.MP4"}) {
            const QTime start(12, name[3] - '0');
            QVERIFY(writeDrive(folder.filePath(QString::fromLatin1("20200101_") + name),
                               QDateTime(QDate(2020, 1, 1), start), 5));
        }
    }
    for (QString &argument : arguments)
        argument = QDir::cleanPath(folder.filePath(
                argument == QLatin1String(".") ? argument
                                               : QStringLiteral("20200101_") + argument));

    const Run run = runExtract(QStringList{"-f", "ass"} + arguments);
    QCOMPARE(run.exitCode, 0);
    const QStringList dialogues
            = QString::fromUtf8(run.out)
                      .split(QLatin1Char('\n'))
                      .filter(QRegularExpression(QStringLiteral("^Dialogue: ")));
    QCOMPARE(dialogues.size(), events);
    QCOMPARE(dialogues.last().section(QLatin1Char(','), 2, 2),
             QStringLiteral("0:00:%1.00").arg(events, 2, 10, QLatin1Char('0')));
}

void TestExtract::gpxTrack()
{
    const Run run = runExtract({"--format", "gpx", mDetailed, mPlain});
    QCOMPARE(run.exitCode, 0);
    const QString gpx = QStringLiteral("http://www.topografix.com/GPX/1/1");
    const QString tpx = QStringLiteral("http://www.garmin.com/xmlschemas/TrackPointExtension/v2");

    QXmlStreamReader xml(run.out);
    QStringList names;
    QStringList points; // "lat lon", one per track point
    QStringList times;
    QStringList speeds;
    QStringList courses;
    QStringList order; // element order inside the first point
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringRef ns = xml.namespaceUri();
        const QStringRef name = xml.name();
        if (points.size() == 1 && order.size() < 5)
            order.append(name.toString());
        if (ns == gpx && name == QLatin1String("gpx")) {
            QCOMPARE(xml.attributes().value("version").toString(), QString("1.1"));
        } else if (ns == gpx && name == QLatin1String("name")) {
            names.append(xml.readElementText());
        } else if (ns == gpx && name == QLatin1String("trkpt")) {
            points.append(xml.attributes().value("lat") + QLatin1Char(' ')
                          + xml.attributes().value("lon"));
        } else if (ns == gpx && name == QLatin1String("time")) {
            times.append(xml.readElementText());
        } else if (ns == tpx && name == QLatin1String("speed")) {
            speeds.append(xml.readElementText());
        } else if (ns == tpx && name == QLatin1String("course")) {
            courses.append(xml.readElementText());
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(names, QStringList({mDetailed, mPlain}));
    // No fix, or 0/0, makes no point; a time that does not parse leaves only the time out.
    QCOMPARE(points.size(), 3);
    QCOMPARE(points.at(0), QString("-33.5 -70.25"));
    QCOMPARE(times, QStringList({"2024-03-15T08:30:05Z", "2024-03-15T08:30:08Z"}));
    QCOMPARE(speeds, QStringList({"20", "10", "0"})); // 72 and 36 km/h in m/s
    QCOMPARE(courses.size(), 3);
    QCOMPARE(courses.at(0), QString("0"));
    QCOMPARE(order, QStringList({"time", "extensions", "TrackPointExtension", "speed", "course"}));
}

void TestExtract::kmlTrack()
{
    const Run run = runExtract({"--format", "kml", mDetailed, mPlain});
    QCOMPARE(run.exitCode, 0);
    const QString kml = QStringLiteral("http://www.opengis.net/kml/2.2");
    const QString gx = QStringLiteral("http://www.google.com/kml/ext/2.2");

    QXmlStreamReader xml(run.out);
    int placemarks = 0;
    QStringList sequence; // whens and coords in document order, for the first track
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.namespaceUri() == kml && xml.name() == QLatin1String("Placemark"))
            ++placemarks;
        if (placemarks != 1)
            continue;
        if (xml.namespaceUri() == kml && xml.name() == QLatin1String("when"))
            sequence.append(QStringLiteral("when ") + xml.readElementText());
        else if (xml.namespaceUri() == gx && xml.name() == QLatin1String("coord"))
            sequence.append(QStringLiteral("coord ") + xml.readElementText());
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(placemarks, 2);
    // Every coordinate needs a time in a gx:Track, so the sample without one is left out.
    QCOMPARE(sequence, QStringList({"when 2024-03-15T08:30:05Z", "when 2024-03-15T08:30:08Z",
                                    "coord -70.25 -33.5 0", "coord -70.251 -33.501 0"}));
}

void TestExtract::timesInEveryFormat_data()
{
    QTest::addColumn<QString>("zone"); // the computer's
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("+09:00") << "UTC" << QStringList{"--camera-utc-offset", "+09:00"}
                            << QStringList{"2024-03-09T16:59:59Z", "2024-03-09T18:00:00Z",
                                           "2024-03-30T16:59:59Z", "2024-03-30T18:00:00Z",
                                           "2024-10-26T16:59:59Z", "2024-10-26T18:00:00Z",
                                           "2024-11-02T15:59:59Z", "2024-11-02T17:00:00Z"};
    // A fixed offset ignores the computer's zone; the value may start with a minus.
    QTest::newRow("-05:00") << "Europe/Berlin" << QStringList{"--camera-utc-offset", "-05:00"}
                            << QStringList{"2024-03-10T06:59:59Z", "2024-03-10T08:00:00Z",
                                           "2024-03-31T06:59:59Z", "2024-03-31T08:00:00Z",
                                           "2024-10-27T06:59:59Z", "2024-10-27T08:00:00Z",
                                           "2024-11-03T05:59:59Z", "2024-11-03T07:00:00Z"};
    QTest::newRow("local is the default, Berlin")
            << "Europe/Berlin" << QStringList()
            << QStringList{"2024-03-10T00:59:59Z", "2024-03-10T02:00:00Z", "2024-03-31T00:59:59Z",
                           "2024-03-31T01:00:00Z", "2024-10-26T23:59:59Z", "2024-10-27T02:00:00Z",
                           "2024-11-02T23:59:59Z", "2024-11-03T01:00:00Z"};
    // A zone spelled out as rules has no zone name to look up; the C library still knows them.
    QTest::newRow("local, Berlin's rules spelled out")
            << "CET-1CEST,M3.5.0,M10.5.0/3" << QStringList()
            << QStringList{"2024-03-10T00:59:59Z", "2024-03-10T02:00:00Z", "2024-03-31T00:59:59Z",
                           "2024-03-31T01:00:00Z", "2024-10-26T23:59:59Z", "2024-10-27T02:00:00Z",
                           "2024-11-02T23:59:59Z", "2024-11-03T01:00:00Z"};
    QTest::newRow("local, New York")
            << "America/New_York" << QStringList{"--camera-utc-offset", "local"}
            << QStringList{"2024-03-10T06:59:59Z", "2024-03-10T07:00:00Z", "2024-03-31T05:59:59Z",
                           "2024-03-31T07:00:00Z", "2024-10-27T05:59:59Z", "2024-10-27T07:00:00Z",
                           "2024-11-03T04:59:59Z", "2024-11-03T07:00:00Z"};
    QTest::newRow("none") << "Europe/Berlin" << QStringList{"--camera-utc-offset=none"}
                          << QStringList{"2024-03-10T01:59:59", "2024-03-10T03:00:00",
                                         "2024-03-31T01:59:59", "2024-03-31T03:00:00",
                                         "2024-10-27T01:59:59", "2024-10-27T03:00:00",
                                         "2024-11-03T00:59:59", "2024-11-03T02:00:00"};
}

// The track formats write the UTC times, or the readings without zone for "none"; JSON and CSV
// keep the reading and add the UTC time, empty for "none".
void TestExtract::timesInEveryFormat()
{
    QFETCH(QString, zone);
    QFETCH(QStringList, options);
    QFETCH(QStringList, expected);
    if (zone != QLatin1String("UTC") && !zone.contains(QLatin1Char(','))
        && !QFile::exists(QStringLiteral("/usr/share/zoneinfo/") + zone))
        QSKIP("the time zone rules are not installed (Debian package tzdata)");
    const bool zoned = expected.first().endsWith(QLatin1Char('Z'));
    const auto run = [&](const char *format) {
        const Run result = runExtract(options + QStringList{"--format", format, mZones}, zone);
        if (result.exitCode != 0)
            qWarning() << format << "failed:" << result.err;
        return result.out;
    };

    QCOMPARE(xmlTexts(run("gpx"), "http://www.topografix.com/GPX/1/1", "time"), expected);
    QCOMPARE(xmlTexts(run("kml"), "http://www.opengis.net/kml/2.2", "when"), expected);
    const QJsonObject geojson = parseDocument(run("geojson")).object();
    const QJsonObject properties
            = geojson.value("features")[0].toObject().value("properties").toObject();
    QCOMPARE(texts(properties.value("times").toArray()), expected);

    const QJsonArray samples = parseJson(run("json")).at(0).toObject().value("samples").toArray();
    QCOMPARE(samples.size(), expected.size());
    const QList<QByteArray> rows = run("csv").trimmed().split('\n');
    QCOMPARE(rows.size(), expected.size() + 1);
    QVERIFY(rows.at(0).trimmed().endsWith(",utcTime"));
    for (int i = 0; i < expected.size(); ++i) {
        const QJsonObject sample = samples.at(i).toObject();
        QCOMPARE(sample.value("dateTime").toString(), QString::fromLatin1(ZoneReadings.at(i)));
        QCOMPARE(sample.value("utcTime").toString(), zoned ? expected.at(i) : QString());
        QCOMPARE(sample.value("utcTime").isNull(), !zoned);
        const QByteArray utcCell = rows.at(i + 1).trimmed().split(',').last();
        QCOMPARE(QString::fromLatin1(utcCell), zoned ? expected.at(i) : QString());
    }
}

void TestExtract::invalidOffset_data()
{
    QTest::addColumn<QString>("offset");
    QTest::newRow("hours without two digits") << "+9:00";
    QTest::newRow("no sign") << "09:00";
    QTest::newRow("no colon") << "+0900";
    QTest::newRow("minutes past 59") << "+05:60";
    QTest::newRow("beyond 14 hours") << "+14:01";
    QTest::newRow("seconds") << "+09:00:00";
    QTest::newRow("zone name") << "UTC";
    QTest::newRow("capitalised keyword") << "Local";
    QTest::newRow("typographic minus") << QString::fromUtf8("\u221205:00");
    QTest::newRow("empty") << "";
}

void TestExtract::invalidOffset()
{
    QFETCH(QString, offset);
    const Run run = runExtract({QStringLiteral("--camera-utc-offset=") + offset, mZones});
    QCOMPARE(run.exitCode, 64);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(QString(QLatin1Char('\'') + offset + QLatin1Char('\'')).toUtf8()),
             run.err.constData());
}

// Positioned samples only, longitude first, properties parallel to the coordinates; a time that
// cannot be read keeps its point with a null time, and a file without positions has no geometry.
void TestExtract::geojsonFeatures()
{
    const Run run = runExtract({"--format", "geojson", mDetailed, mPlain});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject collection = parseDocument(run.out).object();
    QCOMPARE(collection.value("type").toString(), QString("FeatureCollection"));
    const QJsonArray features = collection.value("features").toArray();
    QCOMPARE(features.size(), 2);

    const QJsonObject first = features.at(0).toObject();
    QCOMPARE(first.value("type").toString(), QString("Feature"));
    const QJsonObject geometry = first.value("geometry").toObject();
    QCOMPARE(geometry.value("type").toString(), QString("LineString"));
    QCOMPARE(geometry.value("coordinates").toArray(),
             QJsonArray({QJsonArray{-70.25, -33.5}, QJsonArray{-70.251, -33.501},
                         QJsonArray{-70.252, -33.502}}));
    const QJsonObject properties = first.value("properties").toObject();
    QCOMPARE(properties.value("file").toString(), mDetailed);
    QCOMPARE(properties.value("segment").toInt(), 0);
    QCOMPARE(texts(properties.value("times").toArray()),
             QStringList({"2024-03-15T08:30:05Z", "2024-03-15T08:30:08Z", "null"}));
    QCOMPARE(texts(properties.value("speeds").toArray()), QStringList({"72", "36", "0"}));
    QCOMPARE(properties.value("headings").toArray().size(), 3);

    const QJsonObject second = features.at(1).toObject();
    QCOMPARE(second.value("properties").toObject().value("file").toString(), mPlain);
    QVERIFY(second.value("geometry").isNull());
    QVERIFY(second.value("properties").toObject().value("times").toArray().isEmpty());

    // Receivers give positions with more decimals than they can tell apart: seven are written.
    Drive drive;
    drive.seconds = 5;
    Recording recording;
    recording.source = ParserObject::Gps0Box;
    recording.records = drive.records();
    const QString file = path(QStringLiteral("decimals.mp4"));
    QVERIFY(recording.write(file));
    const QByteArray text = runExtract({"--format", "geojson", file}).out;
    const QString coordinates = QString::fromUtf8(text.mid(text.indexOf("\"coordinates\"")));
    QVERIFY(coordinates.contains(QRegularExpression(QStringLiteral("\\.[0-9]{7}[],]"))));
    QVERIFY(!coordinates.contains(QRegularExpression(QStringLiteral("\\.[0-9]{8}"))));
}

// A real GeoJSON reader sees the same points as the parser, rounded to seven decimals.
void TestExtract::geojsonReadByOgr()
{
    const QString ogrinfo = QStandardPaths::findExecutable(QStringLiteral("ogrinfo"));
    if (ogrinfo.isEmpty())
        QSKIP("ogrinfo is not installed (Debian package gdal-bin)");
    Drive drive;
    drive.seconds = 40;
    drive.noFixSeconds = 3;
    drive.latitude = 51.4779; // west of Greenwich: longitudes near zero and negative
    drive.longitude = -0.0015;
    drive.heading = 90.0;
    Recording recording;
    recording.source = ParserObject::ExtTrack;
    recording.records = drive.records();
    const QString file = path(QStringLiteral("greenwich.mp4"));
    QVERIFY(recording.write(file));
    const std::unique_ptr<ParserObject> parser = createRecordingParser(file);
    const QVector<GpsData> samples = readAllSamples(*parser);

    const QString output = path(QStringLiteral("greenwich.geojson"));
    QCOMPARE(runExtract({"--format", "geojson", "--output", output, file}).exitCode, 0);
    QProcess reader;
    reader.start(ogrinfo, {"-ro", "-al", "-q", output});
    QVERIFY(reader.waitForFinished(60000));
    QCOMPARE(reader.exitCode(), 0);
    const QString report = QString::fromUtf8(reader.readAllStandardOutput());
    const QRegularExpressionMatch line
            = QRegularExpression(QStringLiteral("LINESTRING \\(([^)]*)\\)")).match(report);
    QVERIFY2(line.hasMatch(), qPrintable(report));
    const QStringList points = line.captured(1).split(QLatin1Char(','));
    QCOMPARE(points.size(), drive.seconds - drive.noFixSeconds);
    QVERIFY(report.contains(QStringLiteral("speeds (IntegerList) = (%1:").arg(points.size())));
    for (int i = 0; i < points.size(); ++i) {
        const GpsData &sample = samples.at(i + drive.noFixSeconds);
        const QStringList lonLat = points.at(i).split(QLatin1Char(' '));
        QCOMPARE(lonLat.size(), 2);
        QCOMPARE(lonLat.at(0).toDouble(), std::round(sample.longitude * 1e7) / 1e7);
        QCOMPARE(lonLat.at(1).toDouble(), std::round(sample.latitude * 1e7) / 1e7);
    }
}

// The JSON document is byte for byte what QJsonDocument makes of it, also for file names that
// need escaping.
void TestExtract::jsonInQtsOwnLayout()
{
    const QString name = path(QString::fromUtf8("quote\" back\\slash \x01\t caf\u00e9.mp4"));
    QVERIFY(QFile::copy(mDetailed, name));
    const Run run = runExtract({mDetailed, name, mPlain});
    QCOMPARE(run.exitCode, 0);
    const QJsonDocument document = QJsonDocument::fromJson(run.out);
    QCOMPARE(document.array().size(), 3);
    QCOMPARE(document.array().at(1).toObject().value("file").toString(), name);
    QCOMPARE(run.out, document.toJson(QJsonDocument::Indented));

    const Run none = runExtract({"--camera-utc-offset", "none", mPlain, "no such file"});
    QCOMPARE(none.exitCode, 2);
    QCOMPARE(none.out, QJsonDocument::fromJson(none.out).toJson(QJsonDocument::Indented));
    const Run nothing = runExtract({"no such file"});
    QCOMPARE(nothing.out, QByteArray("[\n]\n"));
}

void TestExtract::outputNotWritten()
{
    if (!QFileInfo(QStringLiteral("/dev/full")).isWritable())
        QSKIP("no /dev/full to write to");
    QProcess process;
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(QStringLiteral(VELQOR_EXTRACT_PATH), {"--format", "gpx", mZones});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 74);
    QVERIFY(process.readAllStandardError().contains("cannot write the output"));
}

// The viewer's export to a pipe that nobody reads yet stops waiting for a reader once cancelled.
void TestExtract::cancelWhileWaitingForAReader()
{
    const QString pipe = path(QStringLiteral("unread.pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    int asked = 0;
    QString error;
    const TrackExport::Status status = TrackExport::writeFile(
            TrackWriter::Gpx, {}, pipe, CameraClock::unzoned(),
            [&asked](qint64, qint64) {
                ++asked;
                return false;
            },
            &error);
    QCOMPARE(status, TrackExport::Cancelled);
    QCOMPARE(asked, 1);
}

// Two minutes of a drive, the first with a harsh braking, its rear file and a file without
// telemetry: each recording in argument order with its own events, in every format.
void TestExtract::eventsOfADrive_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("json") << "json";
    QTest::newRow("csv") << "csv";
    QTest::newRow("geojson") << "geojson";
}

void TestExtract::eventsOfADrive()
{
    QFETCH(QString, format);
    QStringList files;
    for (int minute = 0; minute < 2; ++minute) {
        Drive drive;
        drive.start = QDateTime(QDate(2020, 1, 1), QTime(12, minute));
        drive.latitude += 0.005 * minute;
        drive.harshBrakingAt = minute == 0 ? 30 : -1;
        Recording recording;
        recording.source = ParserObject::Gps0Box;
        recording.records = drive.records();
        for (const char *camera : {"F", "R"}) {
            const QString file
                    = path(QStringLiteral("20200101_12%1%2.MP4").arg(minute).arg(camera));
            QVERIFY(recording.write(file));
            if (minute == 0 || *camera == 'F')
                files << file;
        }
    }
    files << mPlain;

    // The braking at second 30 of the first minute, seen by both of its cameras (the rear file
    // measured on its own).
    const Run json = runExtract({"--events", "--camera-utc-offset", "+09:00", files.at(0),
                                 files.at(1), files.at(2), mPlain});
    QCOMPARE(json.exitCode, 0);
    const QJsonArray recordings = parseDocument(json.out).array();
    QCOMPARE(recordings.size(), 4);
    int total = 0;
    int positioned = 0;
    for (int i = 0; i < recordings.size(); ++i) {
        const QJsonObject recording = recordings.at(i).toObject();
        QCOMPARE(recording.value("file").toString(), files.at(i));
        const QJsonArray events = recording.value("events").toArray();
        total += events.size();
        bool braking = false;
        for (const QJsonValue &value : events) {
            const QJsonObject event = value.toObject();
            QVERIFY(event.value("start").toInt() <= event.value("peak").toInt());
            QVERIFY(event.value("peak").toInt() <= event.value("end").toInt());
            QVERIFY(event.value("peakG").toDouble() > 0.3);
            positioned += event.value("latitude").isDouble();
            if (event.value("type").toString() != QLatin1String("braking"))
                continue;
            braking = braking || qAbs(event.value("peak").toInt() - 31) <= 2;
            QVERIFY(event.value("severity").isNull());
            QVERIFY(event.value("utcTime").toString().startsWith(
                    QLatin1String("2020-01-01T03:00:3")));
            QVERIFY(event.value("cameraTime")
                            .toString()
                            .startsWith(QLatin1String("2020010112003")));
        }
        QCOMPARE(braking, i < 2);
    }
    QVERIFY(recordings.last().toObject().value("events").toArray().isEmpty());
    if (format == QLatin1String("json"))
        return;

    const QStringList options
            = {"--events",  "--format",  format, "--camera-utc-offset", "+09:00", files.at(0),
               files.at(1), files.at(2), mPlain};
    const Run other = runExtract(options);
    QCOMPARE(other.exitCode, 0);
    const QString document = path(QStringLiteral("events.") + format);
    QCOMPARE(runExtract(options + QStringList{"-o", document}).exitCode, 0);
    QCOMPARE(contents(document), other.out);
    if (format == QLatin1String("csv")) {
        const QList<QByteArray> rows = other.out.split('\n');
        QCOMPARE(rows.first(), QByteArray("file,type,severity,start,peak,end,peakG,speed,"
                                          "latitude,longitude,utcTime,cameraTime\r"));
        QCOMPARE(rows.size(), total + 2); // and the empty text after the last line end
        QVERIFY(other.out.contains(files.at(0).toUtf8() + ",braking,,"));
    } else {
        const QJsonObject collection = parseDocument(other.out).object();
        const QJsonArray features = collection.value("features").toArray();
        QCOMPARE(features.size(), total);
        int points = 0;
        for (const QJsonValue &feature : features)
            points += feature.toObject().value("geometry").isObject();
        QCOMPARE(points, positioned);
    }
}

Run TestExtract::runHere(const QStringList &arguments, const QByteArray &input)
{
    const QString inputFile = path(QStringLiteral("standard-input"));
    QFile file(inputFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(input) != input.size())
        qWarning() << "cannot write" << inputFile;
    file.close();
    return runExtract(arguments, QStringLiteral("UTC"), [&](QProcess &process) {
        process.setWorkingDirectory(mDir.path());
        process.setStandardInputFile(inputFile);
    });
}

void TestExtract::folderListing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QByteArray>("problems"); // on standard error, then exit status 2
    const QStringList top = {"tree/C.avi", "tree/a.mov", "tree/b.MP4", mCafe};
    QTest::newRow("folder") << QStringList{"tree"} << top << QByteArray();
    QTest::newRow("recursive, a link back up walked once")
            << QStringList{"-r", "tree/"}
            << top + QStringList{"tree/elsewhere/g.mp4", "tree/sub/d.mp4", "tree/sub/deep/e.AVI"}
            << QByteArray();
    QTest::newRow("a file by name whatever its suffix")
            << QStringList{"tree/notes.txt", "tree/sub"}
            << QStringList{"tree/notes.txt", "tree/sub/d.mp4"} << QByteArray();
    QTest::newRow("a folder without recordings stays, a hidden one given is listed")
            << QStringList{"-r", "tree/empty", "tree/.secret"}
            << QStringList{"tree/empty", "tree/.secret/f.mp4"} << QByteArray();
    QTest::newRow("through the link")
            << QStringList{"-r", "tree/loop/sub"}
            << QStringList{"tree/loop/sub/d.mp4", "tree/loop/sub/deep/e.AVI"} << QByteArray();
    const QByteArray notUtf8 = ": the name is not UTF-8\n";
    const QByteArray bad = "velqor-extract: cannot read odd/bad\\xff.mp4" + notUtf8;
    const QByteArray lone = "velqor-extract: cannot read odd/lone/\\xfc.mp4" + notUtf8;
    QTest::newRow("a name that is not UTF-8")
            << QStringList{"odd"} << QStringList{"odd/good.mp4"} << bad;
    QTest::newRow("a folder's name that is not UTF-8")
            << QStringList{"-r", "odd"} << QStringList{"odd/good.mp4"}
            << bad + "velqor-extract: cannot read odd/sub\\xfe" + notUtf8 + lone;
    QTest::newRow("a folder whose only recording's name is not UTF-8")
            << QStringList{"odd/lone"} << QStringList() << lone;
    // Left out, they would be missing from the index without a word; read, they tell why.
    QTest::newRow("a loop of links")
            << QStringList{"loops"} << QStringList{"loops/a.mp4", "loops/b.mp4"} << QByteArray();
}

// --list names what a run reads, in the order it writes them.
void TestExtract::folderListing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    QFETCH(QByteArray, problems);
    const Run listed = runHere(QStringList{"--list"} + arguments);
    QCOMPARE(listed.exitCode, problems.isEmpty() ? 0 : 2);
    QCOMPARE(listed.err, problems);
    QCOMPARE(QString::fromUtf8(listed.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    QStringList read;
    for (const QByteArray &line : entriesOf(runHere(QStringList{"-f", "jsonl"} + arguments).out))
        read.append(parseDocument(line).object().value("file").toString());
    QCOMPARE(read, expected);
}

void TestExtract::filesFrom_data()
{
    QTest::addColumn<QStringList>("arguments"); // {list}: a file holding the list
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("exitCode");
    // Only blank lines and the "\r" of a line end go: a leading blank is part of a name.
    QTest::newRow("lines") << QStringList{"--files-from", "{list}"}
                           << QByteArray(
                                      "tree/b.MP4\n\n\r\ntree/caf\xc3\xa9 1.mp4\r\n tree/a.mov\n")
                           << QStringList{"tree/b.MP4", mCafe, " tree/a.mov"} << 2;
    QTest::newRow("NUL-separated, with a folder")
            << QStringList{"-0", "--files-from", "{list}"}
            << QByteArrayLiteral("tree/b.MP4\0\0tree/sub\0tree/caf\xc3\xa9 1.mp4")
            << QStringList{"tree/b.MP4", "tree/sub/d.mp4", mCafe} << 0;
    QTest::newRow("standard input after the arguments")
            << QStringList{"tree/a.mov", "--files-from", "-"} << QByteArray("tree/b.MP4\n")
            << QStringList{"tree/a.mov", "tree/b.MP4"} << 0;
    QTest::newRow("an empty list")
            << QStringList{"--files-from", "-"} << QByteArray() << QStringList() << 0;
}

void TestExtract::filesFrom()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, list);
    QFETCH(QStringList, expected);
    QFETCH(int, exitCode);
    const QString listFile = path(QStringLiteral("paths.list"));
    QFile file(listFile);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(list) == list.size());
    file.close();
    arguments.replaceInStrings(QStringLiteral("{list}"), listFile);
    const Run listed = runHere(QStringList{"--list"} + arguments, list);
    QCOMPARE(listed.exitCode, 0);
    QStringList names;
    for (const QByteArray &name : entriesOf(listed.out, arguments.contains("-0") ? '\0' : '\n'))
        names.append(QString::fromUtf8(name));
    QCOMPARE(names, expected);
    const Run run = runHere(QStringList{"-f", "jsonl"} + arguments, list);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(entriesOf(run.out).size(), expected.size());
}

void TestExtract::parallelOutputIsSerial_data()
{
    QTest::addColumn<QStringList>("options");
    for (const char *format : {"json", "jsonl", "csv", "gpx", "kml", "geojson"})
        QTest::newRow(format) << QStringList{"--format", format};
    for (const char *format : {"json", "jsonl", "csv"})
        QTest::newRow(qPrintable(QStringLiteral("%1 summary").arg(format)))
                << QStringList{"--summary", "--format", format};
    QTest::newRow("gpx drives") << QStringList{"--join", "--format", "gpx"};
    QTest::newRow("events") << QStringList{"--events"};
}

// Long recordings amid short ones and a missing file: three threads finish them in another
// order than given, which the output must not show.
void TestExtract::parallelOutputIsSerial()
{
    QFETCH(QStringList, options);
    // Past the window of results held, so that its places are used again.
    QStringList files;
    for (int round = 0; round < 5; ++round)
        files << mLong << mDetailed << path("missing.mp4") << mZones << mPlain << mDetailed << mLong
              << mZones;
    const Run serial = runExtract(options + QStringList{"-j", "1"} + files);
    const Run parallel = runExtract(options + QStringList{"-j", "3"} + files);
    QCOMPARE(serial.exitCode, 2);
    QCOMPARE(parallel.exitCode, 2);
    QVERIFY(serial.out.size() > 500);
    QVERIFY(parallel.out == serial.out);
    QCOMPARE(parallel.err, serial.err);
}

// A recording left out for its name is still a recording: the output must not go into it.
void TestExtract::outputIntoAnUnreadableNameRefused()
{
    const Run run = runHere({"-f", "jsonl", "-o", "odd.out", "odd"});
    QCOMPARE(run.exitCode, 64);
    QVERIFY(run.err.contains("is the recording odd/bad\\xff.mp4 itself"));
    QCOMPARE(QFileInfo(path(QStringLiteral("odd.out"))).size(), 0);
}

void TestExtract::jsonLinesGoOnPastAnUnreadableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("missing") << "missing.mp4" << QByteArray("not-found")
                             << QByteArray("no such file");
    QTest::newRow("folder without recordings")
            << "empty-folder" << QByteArray("directory") << QByteArray("is a directory");
    QTest::newRow("pipe") << "lines.pipe" << QByteArray("not-regular")
                          << QByteArray("not a regular file");
    QTest::newRow("no permission")
            << "locked.mp4" << QByteArray("unreadable") << QByteArray("cannot be read");
    // Found but out of reach: never to be taken for a file not there yet.
    QTest::newRow("a loop of links") << "loop.mp4" << QByteArray("unreadable")
                                     << QByteArray("Too many levels of symbolic links");
    QTest::newRow("in a folder without search permission")
            << "shut/clip.mp4" << QByteArray("unreachable") << QByteArray("Permission denied");
    QTest::newRow("below a file") << "detailed.mp4/clip.mp4" << QByteArray("not-found")
                                  << QByteArray("no such file");
}

void TestExtract::jsonLinesGoOnPastAnUnreadableFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, message);
    const QString bad = path(name);
    if (name == QLatin1String("empty-folder"))
        QVERIFY(QDir().mkpath(bad));
    else if (name.endsWith(QLatin1String(".pipe")) && !QFileInfo::exists(bad))
        QCOMPARE(::mkfifo(QFile::encodeName(bad).constData(), 0600), 0);
    else if ((name == QLatin1String("locked.mp4") || name.startsWith(QLatin1String("shut/")))
             && ::geteuid() == 0)
        QSKIP("root reads a file without permissions");
    else if (name == QLatin1String("locked.mp4"))
        QVERIFY(QFile::copy(mDetailed, bad) && QFile::setPermissions(bad, {}));
    else if (name == QLatin1String("loop.mp4") && !QFileInfo(bad).isSymLink())
        QVERIFY(QFile::link(name, bad));
    // Searchable again at the end, so that the temporary folder can be removed.
    const QString shut = path(QStringLiteral("shut"));
    const auto reopen = qScopeGuard([&] {
        QFile::setPermissions(shut, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (name.startsWith(QLatin1String("shut/"))) {
        QVERIFY(QDir().mkpath(shut) && QFile::copy(mDetailed, bad));
        QVERIFY(QFile::setPermissions(shut, QFile::ReadOwner | QFile::WriteOwner));
    }
    const Run run = runExtract({"--format", "jsonl", "-j", "2", mDetailed, bad, mPlain});
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err, "velqor-extract: cannot open " + bad.toUtf8() + ": " + message + '\n');
    const QList<QByteArray> lines = entriesOf(run.out);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(1), "{\"file\":\"" + bad.toUtf8() + "\",\"error\":{\"code\":\"" + code
                                  + "\",\"message\":\"" + message + "\"}}");
    // The others are the json format's objects as QJsonDocument writes them compact.
    const QJsonArray objects = parseJson(runExtract({mDetailed, mPlain}).out);
    QCOMPARE(lines.at(0), compact(objects.at(0)));
    QCOMPARE(lines.at(2), compact(objects.at(1)));
}

// Two minutes of driving, the camera two hours ahead of UTC: the summary's figures are those of
// the full output's samples.
void TestExtract::summaryAgreesWithTheFullOutput()
{
    const QString file = path(QStringLiteral("summary.mp4"));
    QVERIFY(writeDrive(file, QDateTime(QDate(2023, 5, 6), QTime(7, 8, 9)), 120));
    const QString missing = path(QStringLiteral("missing.mp4"));
    const QStringList options = {"--summary", "--camera-utc-offset", "+02:00", file, missing};
    const QJsonArray samples = parseJson(runExtract({"--camera-utc-offset", "+02:00", file}).out)
                                       .at(0)
                                       .toObject()
                                       .value("samples")
                                       .toArray();
    double west = 180.0, south = 90.0, east = -180.0, north = -90.0, metres = 0.0;
    int top = 0;
    QJsonObject previous;
    for (const QJsonValue &value : samples) {
        const QJsonObject sample = value.toObject();
        if (sample.value("fixFlag").toInt() != 'A')
            continue;
        top = qMax(top, sample.value("speed").toInt());
        west = qMin(west, sample.value("longitude").toDouble());
        east = qMax(east, sample.value("longitude").toDouble());
        south = qMin(south, sample.value("latitude").toDouble());
        north = qMax(north, sample.value("latitude").toDouble());
        if (!previous.isEmpty())
            metres += metresBetween(previous, sample);
        previous = sample;
    }

    const Run json = runExtract(options);
    QCOMPARE(json.exitCode, 2);
    const QJsonArray summaries = parseJson(json.out);
    QCOMPARE(summaries.size(), 1);
    const QJsonObject summary = summaries.at(0).toObject();
    QCOMPARE(summary.value("file").toString(), file);
    QCOMPARE(summary.value("source").toString(), QString("Gps0Box"));
    QCOMPARE(summary.value("samples").toInt(), samples.size());
    QCOMPARE(summary.value("firstCameraTime").toString(), QString("20230506070809"));
    QCOMPARE(summary.value("lastCameraTime"), samples.last().toObject().value("dateTime"));
    QCOMPARE(summary.value("firstUtcTime").toString(), QString("2023-05-06T05:08:09Z"));
    QCOMPARE(summary.value("lastUtcTime"), samples.last().toObject().value("utcTime"));
    const auto round7 = [](double degrees) { return std::round(degrees * 1e7) / 1e7; };
    QCOMPARE(summary.value("bbox").toArray(),
             QJsonArray({round7(west), round7(south), round7(east), round7(north)}));
    QCOMPARE(summary.value("topSpeed").toInt(), top);
    const double distance = summary.value("distance").toDouble();
    QVERIFY2(qAbs(distance - metres) < 0.5, qPrintable(QString::number(metres)));
    QVERIFY(qAbs(summary.value("averageSpeed").toDouble() - distance / 120 * 3.6) <= 0.05);

    const Run lines = runExtract(QStringList{"-f", "jsonl"} + options);
    QCOMPARE(lines.exitCode, 2);
    QCOMPARE(entriesOf(lines.out).size(), 2);
    QCOMPARE(entriesOf(lines.out).at(0), compact(summary));
    QVERIFY(entriesOf(lines.out).at(1).contains("\"code\":\"not-found\""));
    const QList<QByteArray> rows = entriesOf(runExtract(QStringList{"-f", "csv"} + options).out);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0), QByteArray("file,source,samples,firstCameraTime,lastCameraTime,"
                                    "firstUtcTime,lastUtcTime,distance,topSpeed,averageSpeed,"
                                    "west,south,east,north\r"));
    QJsonArray cells;
    for (const char *key : {"file", "source", "samples", "firstCameraTime", "lastCameraTime",
                            "firstUtcTime", "lastUtcTime", "distance", "topSpeed", "averageSpeed"})
        cells.append(summary.value(QLatin1String(key)));
    for (const QJsonValue &degrees : summary.value("bbox").toArray())
        cells.append(degrees);
    QCOMPARE(QString::fromUtf8(rows.at(1).chopped(1)).split(QLatin1Char(',')), texts(cells));
}

// Two minutes of a drive given out of order with the first one's rear file, then a drive a
// quarter of an hour later: a track each, named after its first recording, without the rear
// file's points.
void TestExtract::joinedDrives()
{
    QVERIFY(QDir().mkpath(path(QStringLiteral("join"))));
    const std::pair<const char *, int> clips[] = {{"20200101_121500F.MP4", 15},
                                                  {"20200101_120000R.MP4", 0},
                                                  {"20200101_120100F.MP4", 1},
                                                  {"20200101_120000F.MP4", 0}};
    QStringList files;
    for (const auto &clip : clips) {
        files.append(path(QStringLiteral("join/") + QLatin1String(clip.first)));
        QVERIFY(writeDrive(files.last(), QDateTime(QDate(2020, 1, 1), QTime(12, clip.second))));
    }
    const Run run = runExtract(QStringList{"--format", "gpx", "--join"} + files);
    QCOMPARE(run.exitCode, 0);
    QStringList names;
    QVector<QStringList> times; // of each track's points
    QXmlStreamReader xml(run.out);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("trk"))
            times.append(QStringList());
        else if (xml.name() == QLatin1String("name"))
            names.append(xml.readElementText());
        else if (xml.name() == QLatin1String("time"))
            times.last().append(xml.readElementText());
    }
    QCOMPARE(names, QStringList({files.at(3), files.at(0)}));
    QCOMPARE(times.size(), 2);
    QCOMPARE(times.at(0).size(), 2 * 58);
    QCOMPARE(times.at(0).first(), QString("2020-01-01T12:00:02Z"));
    QCOMPARE(times.at(0).last(), QString("2020-01-01T12:01:59Z"));
    QVERIFY(std::is_sorted(times.at(0).begin(), times.at(0).end()));
    QCOMPARE(times.at(1).size(), 58);
    const Run apart = runExtract(QStringList{"--format", "gpx"} + files);
    QCOMPARE(apart.out.count("<trk>"), 4);
    const QString document = path(QStringLiteral("join/drives.gpx"));
    QCOMPARE(runExtract(QStringList{"--format", "gpx", "--join", "-o", document} + files).exitCode,
             0);
    QCOMPARE(contents(document), run.out);
}

void TestExtract::shardsCoverEveryFileOnce()
{
    QByteArray list;
    for (int i = 0; i < 300; ++i)
        list += "clips/" + QByteArray::number(i) + ".MP4\n";
    list += "tree\n";
    const QStringList options = {"--list", "-r", "--files-from", "-"};
    QList<QByteArray> all = entriesOf(runHere(options, list).out);
    std::sort(all.begin(), all.end());
    QCOMPARE(all.size(), 307);
    for (int count : {1, 2, 3, 7}) {
        QList<QByteArray> joined;
        for (int index = 0; index < count; ++index) {
            const QString shard = QStringLiteral("%1/%2").arg(index).arg(count);
            const Run part = runHere(options + QStringList{"--shard", shard}, list);
            QCOMPARE(part.exitCode, 0);
            QVERIFY(count == 1 || entriesOf(part.out).size() < all.size() * 2 / count);
            joined += entriesOf(part.out);
        }
        std::sort(joined.begin(), joined.end());
        QCOMPARE(joined, all);
    }
    // The documented hash: FNV-1a 64 of the path's UTF-8 bytes, modulo the count.
    const QByteArray names = "a\nfoobar\ncaf\xc3\xa9/clip 1.MP4\n";
    QCOMPARE(runHere({"--list", "--files-from", "-", "--shard", "5/7"}, names).out, "a\n");
    QCOMPARE(runHere({"--list", "--files-from", "-", "--shard", "6/7"}, names).out, "foobar\n");
    QCOMPARE(runHere({"--list", "--files-from", "-", "--shard", "1/7"}, names).out,
             "caf\xc3\xa9/clip 1.MP4\n");
}

void TestExtract::resumeAfterACut_data()
{
    QTest::addColumn<QString>("output"); // {done}: the earlier run's file; {rest}: another
    QTest::addColumn<bool>("appended"); // standard output appends to {done}
    QTest::addColumn<bool>("cut"); // an earlier run stopped in its third line, or none ran
    QTest::newRow("through -o") << "{done}" << false << true;
    QTest::newRow("through >>") << "-" << true << true;
    QTest::newRow("into another file") << "{rest}" << false << true;
    QTest::newRow("starting afresh") << "{done}" << false << false;
}

// The resumed run writes what the earlier one did not finish, and appending to it leaves its
// lines as they were.
void TestExtract::resumeAfterACut()
{
    QFETCH(QString, output);
    QFETCH(bool, appended);
    QFETCH(bool, cut);
    const QStringList files = {mDetailed, path("missing.mp4"), mZones, mPlain, mLong};
    const QByteArray full = runExtract(QStringList{"-f", "jsonl"} + files).out;
    QCOMPARE(entriesOf(full).size(), files.size());
    const int twoLines = full.indexOf('\n', full.indexOf('\n') + 1) + 1;
    const QString done = path(QStringLiteral("done.jsonl"));
    QFile::remove(done);
    QFile earlier(done);
    if (cut) {
        const QByteArray text = full.left(twoLines + entriesOf(full).at(2).size() / 2);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write(text) == text.size());
        earlier.close();
    }
    struct stat before = {};
    ::stat(QFile::encodeName(done).constData(), &before);
    const QString rest = path(QStringLiteral("rest.jsonl"));
    QFile::remove(rest);
    output.replace(QStringLiteral("{done}"), done).replace(QStringLiteral("{rest}"), rest);
    const Run run = runExtract(
            QStringList{"-f", "jsonl", "-j", "2", "--skip-done", done, "-o", output} + files,
            QStringLiteral("UTC"), [&](QProcess &process) {
                if (appended)
                    process.setStandardOutputFile(done, QIODevice::Append);
            });
    QCOMPARE(run.exitCode, 2); // the missing file is tried again, and is missing still
    // The missing file's line again, after the earlier one.
    const QByteArray resumed = cut ? full.mid(full.indexOf('\n') + 1) : full;
    if (output == rest) {
        QVERIFY(contents(rest) == resumed);
        return;
    }
    QVERIFY(contents(done) == (cut ? full.left(twoLines) : QByteArray()) + resumed);
    struct stat after = {};
    ::stat(QFile::encodeName(done).constData(), &after);
    QVERIFY(!cut || after.st_ino == before.st_ino);
}

void TestExtract::doneLines_data()
{
    QTest::addColumn<QByteArray>("line"); // the earlier run's line for the recording, %1 its file
    QTest::addColumn<bool>("done");
    QTest::newRow("data") << QByteArray("{\"file\":\"%1\",\"samples\":[]}") << true;
    // Reading again would fail again only for a path that is not a recording it can open.
    const QByteArray error = "{\"file\":\"%1\",\"error\":{\"code\":\"%2\",\"message\":\"m\"}}";
    for (const char *code : {"directory", "not-regular", "unreadable"})
        QTest::newRow(code) << QByteArray(error).replace("%2", code) << true;
    for (const char *code :
         {"not-found", "unreachable", "batch-failed", "cancelled", "a-code-to-come"})
        QTest::newRow(code) << QByteArray(error).replace("%2", code) << false;
}

// Which lines of an earlier run --skip-done takes for a recording done, and which for one to
// read again.
void TestExtract::doneLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, done);
    const QString earlier = path(QStringLiteral("earlier.jsonl"));
    QFile file(earlier);
    const QByteArray text = line.replace("%1", mDetailed.toUtf8()) + '\n';
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();
    const Run run
            = runExtract({"--list", "-f", "jsonl", "--skip-done", earlier, mDetailed, mPlain});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, (done ? QByteArray() : mDetailed.toUtf8() + '\n') + mPlain.toUtf8() + '\n');
}

QTEST_GUILESS_MAIN(TestExtract)
#include "tst_extract.moc"

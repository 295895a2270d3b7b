// Runs velqor-demo for a tiny drive and reads every file back through the recording parsers.
#include "recording.h"
#include "telemetryinjector.h"

#include <config/configuration.h>
#include <parser/recordingparser.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtMath>
#include <QtTest>

namespace {

const QStringList TinyDrive
        = {QStringLiteral("--seconds"), QStringLiteral("3"),      QStringLiteral("--clips"),
           QStringLiteral("2"),         QStringLiteral("--size"), QStringLiteral("160x120"),
           QStringLiteral("--fps"),     QStringLiteral("10")};

const QStringList Names
        = {QStringLiteral("20241005_143000_F.MP4"), QStringLiteral("20241005_143000_R.MP4"),
           QStringLiteral("20241005_143003_F.MP4"), QStringLiteral("20241005_143003_R.MP4"),
           QStringLiteral("20241005_143006_F.AVI"), QStringLiteral("20241005_143006_R.AVI")};

QDateTime sampleTime(const GpsData &sample)
{
    return QDateTime::fromString(QString::fromLatin1(sample.dateTime),
                                 QStringLiteral("yyyyMMddhhmmss"));
}

double metresBetween(const GpsData &a, const GpsData &b)
{
    constexpr double MetresPerDegree = 111320.0;
    const double north = (b.latitude - a.latitude) * MetresPerDegree;
    const double east
            = (b.longitude - a.longitude) * MetresPerDegree * qCos(qDegreesToRadians(a.latitude));
    return qSqrt(north * north + east * east);
}

struct File
{
    QString name;
    ParserObject::SampleSource source;
    VideoInfo info;
    QVector<GpsData> samples;
};

} // namespace

class TestDemoDrive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void filesArePairedByCameraNames();
    void everyFileHasItsSamplesAndInformation();
    void trackRunsOnAcrossClips();
    void storagePlacesDiffer();
    void secondRunChangesNothing();
    void storePathKeepsAChosenFolder();
    void injectionRefusesAMovieBoxBeforeTheMedia();
    void townDriveTurnsSlowsAndJolts();

private:
    int runDemo(const QStringList &arguments, const QString &configHome = QString());

    QTemporaryDir mTemp;
    QString mDrive;
    QVector<File> mFiles;
};

int TestDemoDrive::runDemo(const QStringList &arguments, const QString &configHome)
{
    QProcess demo;
    demo.setProcessChannelMode(QProcess::ForwardedChannels);
    if (!configHome.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), configHome);
        demo.setProcessEnvironment(environment);
    }
    demo.start(QStringLiteral(VELQOR_DEMO_PATH), arguments);
    if (!demo.waitForFinished(120000) || demo.exitStatus() != QProcess::NormalExit)
        return -1;
    return demo.exitCode();
}

void TestDemoDrive::initTestCase()
{
    QVERIFY(mTemp.isValid());
    mDrive = mTemp.filePath(QStringLiteral("drive"));
    QCOMPARE(runDemo(QStringList(TinyDrive) << mDrive), 0);
    for (const QString &name : QDir(mDrive).entryList(QDir::Files, QDir::Name)) {
        const auto parser = createRecordingParser(QDir(mDrive).filePath(name));
        mFiles.append({name, parser->sampleSource(), parser->videoInfo(), readAllSamples(*parser)});
    }
}

void TestDemoDrive::filesArePairedByCameraNames()
{
    QStringList names;
    for (const File &file : qAsConst(mFiles))
        names << file.name;
    QCOMPARE(names, Names);
    // Front and rear of a moment share all but the camera letter and the extension, the part
    // that the playlist pairs them by.
    for (int i = 0; i < names.size(); i += 2) {
        QCOMPARE(names.at(i).chopped(5), names.at(i + 1).chopped(5));
        QVERIFY(names.at(i).contains(QLatin1String("F.")));
        QVERIFY(names.at(i + 1).contains(QLatin1String("R.")));
    }
}

void TestDemoDrive::everyFileHasItsSamplesAndInformation()
{
    for (const File &file : qAsConst(mFiles)) {
        const bool rear = file.name.contains(QLatin1String("R."));
        const bool avi = file.name.endsWith(QLatin1String(".AVI"));
        QCOMPARE(file.samples.size(), 3);
        QCOMPARE(file.info.duration, 3);
        QCOMPARE(QSize(file.info.width, file.info.height), rear ? QSize(80, 60) : QSize(160, 120));
        QCOMPARE(file.info.videoCodec, avi ? 0 : rear ? 2 : 1);
        if (!avi) {
            QCOMPARE(file.info.frameRate, 10.0f);
            QCOMPARE(file.info.creationTime, sampleTime(file.samples.first()));
        }
        const QDateTime start
                = QDateTime::fromString(file.name.left(15), QStringLiteral("yyyyMMdd_hhmmss"));
        for (int i = 0; i < file.samples.size(); ++i) {
            QCOMPARE(sampleTime(file.samples.at(i)), start.addSecs(i));
            QCOMPARE(file.samples.at(i).fixFlag, quint8('A'));
        }
    }
}

void TestDemoDrive::trackRunsOnAcrossClips()
{
    QVector<GpsData> track;
    for (int i = 0; i < mFiles.size(); i += 2) {
        // Both cameras of a moment carry the same records.
        const QVector<GpsData> &front = mFiles.at(i).samples;
        const QVector<GpsData> &rear = mFiles.at(i + 1).samples;
        QCOMPARE(rear.size(), front.size());
        for (int k = 0; k < front.size(); ++k) {
            QCOMPARE(rear.at(k).latitude, front.at(k).latitude);
            QCOMPARE(rear.at(k).longitude, front.at(k).longitude);
        }
        track += front;
    }
    for (int i = 1; i < track.size(); ++i) {
        const GpsData &before = track.at(i - 1);
        const GpsData &after = track.at(i);
        QCOMPARE(sampleTime(before).secsTo(sampleTime(after)), 1);
        // A second's travel at the recorded speed, with room for rounding.
        const double metres = metresBetween(before, after);
        const double expected = before.speed / 3.6;
        QVERIFY2(metres > 0.5 * expected && metres < 1.5 * expected + 1.0,
                 qPrintable(QStringLiteral("%1 m after sample %2 at %3 km/h")
                                    .arg(metres)
                                    .arg(i - 1)
                                    .arg(before.speed)));
    }
}

void TestDemoDrive::storagePlacesDiffer()
{
    QSet<int> mp4Places;
    for (const File &file : qAsConst(mFiles)) {
        if (file.name.endsWith(QLatin1String(".AVI")))
            QCOMPARE(file.source, ParserObject::AviGpsList);
        else
            mp4Places.insert(file.source);
    }
    QCOMPARE(mp4Places,
             QSet<int>({ParserObject::Gps0Box, ParserObject::GpsBox, ParserObject::GpsMetaTrack}));
}

void TestDemoDrive::secondRunChangesNothing()
{
    const auto snapshot = [this] {
        QStringList state;
        const QFileInfoList entries = QDir(mDrive).entryInfoList(
                QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &entry : entries)
            state << QStringLiteral("%1 %2 %3")
                             .arg(entry.fileName())
                             .arg(entry.size())
                             .arg(entry.lastModified().toMSecsSinceEpoch());
        return state;
    };
    const QStringList before = snapshot();
    QCOMPARE(before.size(), Names.size());
    QCOMPARE(runDemo(QStringList(TinyDrive) << mDrive), 0);
    QCOMPARE(snapshot(), before);
}

void TestDemoDrive::storePathKeepsAChosenFolder()
{
    const QString configHome = mTemp.filePath(QStringLiteral("config"));
    QCOMPARE(
            runDemo(QStringList(TinyDrive) << QStringLiteral("--store-path") << mDrive, configHome),
            0);
    // The test reads the store the viewer reads, under the same names.
    qputenv("XDG_DATA_HOME", configHome.toLocal8Bit());
    QCoreApplication::setApplicationName(QStringLiteral("Velqor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tamrix"));
    Configuration *configuration = Configuration::instance();
    QCOMPARE(configuration->videoFilePath(), mTemp.path());

    const QString chosen = mTemp.filePath(QStringLiteral("chosen"));
    configuration->setVideoFilePath(chosen);
    configuration->sync();
    QCOMPARE(
            runDemo(QStringList(TinyDrive) << QStringLiteral("--store-path") << mDrive, configHome),
            0);
    configuration->sync();
    QCOMPARE(configuration->videoFilePath(), chosen);
}

void TestDemoDrive::injectionRefusesAMovieBoxBeforeTheMedia()
{
    // Growing a movie box that media data follows would move the data its tables point at.
    Recording recording;
    recording.seconds = 2;
    recording.movieFirst = true;
    const QString path = mTemp.filePath(QStringLiteral("moviefirst.mp4"));
    QVERIFY(recording.write(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    Drive drive;
    drive.seconds = 2;
    QVERIFY(!injectTelemetry(path, ParserObject::GpsBox, drive.records()).isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestDemoDrive::townDriveTurnsSlowsAndJolts()
{
    Drive drive;
    drive.seconds = 300;
    drive.crossingEvery = 75;
    drive.bumpEvery = 40;
    const QVector<SampleRecord> records = drive.records();
    const auto heading = [&records, &drive](int second) {
        const SampleRecord &a = records.at(second);
        const SampleRecord &b = records.at(second + 1);
        const double north = (b.latitudeDegrees - a.latitudeDegrees) * 600000.0
                             + (b.latitudeMinutes - a.latitudeMinutes);
        const double east = ((b.longitudeDegrees - a.longitudeDegrees) * 600000.0
                             + (b.longitudeMinutes - a.longitudeMinutes))
                            * qCos(qDegreesToRadians(drive.latitude));
        return qRadiansToDegrees(qAtan2(east, north));
    };
    // Crossings at 37, 112, 187 and 262 s: slow there, faster between, and a right angle turned
    // right, then left, in the six seconds from each (the road's own bends add a little).
    const int crossings[] = {37, 112, 187, 262};
    for (int k = 0; k < 4; ++k) {
        const int at = crossings[k];
        QVERIFY(records.at(at).speed <= 20);
        QVERIFY(records.at(at + 30).speed >= 25);
        double turned = heading(at + 5) - heading(at - 1);
        turned -= 360.0 * qRound(turned / 360.0);
        QVERIFY2(qAbs(turned - (k % 2 == 0 ? 90.0 : -90.0)) < 25.0,
                 qPrintable(QStringLiteral("turned %1 at %2 s").arg(turned).arg(at)));
    }
    int jolts = 0;
    for (const SampleRecord &record : records)
        jolts += record.gsensor[2].toDouble() < -1.5 ? 1 : 0;
    QCOMPARE(jolts, 300 / 40);
}

QTEST_GUILESS_MAIN(TestDemoDrive)
#include "tst_demodrive.moc"

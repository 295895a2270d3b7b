// Harsh manoeuvres and impacts found in drives whose events are known.
#include "labelleddrive.h"

#include <export/eventdetector.h>

#include <QtMath>
#include <QtTest>

#include <limits>

namespace {

constexpr double KmhPerG = 9.80665 * 3.6;

// A three-minute drive on a winding road whose speed swings around 50 km/h, changed by a script
// of commands separated by ";" (seconds inclusive, g values in the vehicle's axes):
//   mount Q T [M]    the camera turned Q right angles about the vertical and tilted T degrees,
//                    its x axis reversed when M is 1
//   accel A B G      G more (negative: less) acceleration in seconds A to B
//   turn A B G       a turn to the right (negative: left) of G sideways in seconds A to B
//   hill A B G       the road climbs (negative: falls) at grade G in seconds A to B
//   jolt S R F U     a jolt of the road or a collision felt in second S
//   nofix A B        no position or speed in seconds A to B
//   pad A B          samples A to B are padding copies of the one before A
QVector<GpsData> scriptedDrive(const QString &script)
{
    constexpr int Seconds = 180;
    LabelledDrive drive;
    drive.seed = 7;
    drive.noiseG = 0.02;
    QVector<DriveSecond> plan(Seconds);
    double extra[Seconds] = {};
    double sideways[Seconds] = {};
    int padFrom = Seconds, padTo = -1;
    for (const QString &command : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList words = command.simplified().split(QLatin1Char(' '));
        QVector<double> n;
        for (int i = 1; i < words.size(); ++i)
            n.append(words.at(i).toDouble());
        const QString verb = words.first();
        if (verb == QLatin1String("mount")) {
            drive.quarterTurns = int(n.at(0));
            drive.tiltDegrees = n.at(1);
            drive.mirrored = n.value(2) != 0.0;
        } else if (verb == QLatin1String("pad")) {
            padFrom = int(n.at(0));
            padTo = int(n.at(1));
        } else if (verb == QLatin1String("jolt")) {
            std::copy(n.begin() + 1, n.end(), plan[int(n.at(0))].jolt);
        }
        for (int i = int(n.value(0)); i <= int(n.value(1)) && verb != QLatin1String("jolt"); ++i) {
            if (verb == QLatin1String("accel"))
                extra[i] = n.at(2);
            else if (verb == QLatin1String("turn"))
                sideways[i] = n.at(2);
            else if (verb == QLatin1String("hill"))
                plan[i].grade = n.at(2);
            else if (verb == QLatin1String("nofix"))
                plan[i].fix = false;
        }
    }
    double speed = 50.0;
    for (int i = 0; i < Seconds; ++i) {
        DriveSecond &second = plan[i];
        const double swing = 12.0 * (qSin(i / 7.0) - qSin((i - 1) / 7.0));
        second.acceleration = qMax(-speed, swing + extra[i] * KmhPerG) / KmhPerG;
        speed += second.acceleration * KmhPerG;
        second.speed = speed;
        second.turn
                = 2.0 * qSin(i / 9.0)
                  + (speed > 1.0 ? qRadiansToDegrees(sideways[i] * 9.80665 / (speed / 3.6)) : 0.0);
    }
    drive.record(plan);
    QVector<GpsData> samples = decodedSamples(drive.records);
    for (int i = padFrom; i <= padTo; ++i)
        samples[i] = samples.at(padFrom - 1);
    return samples;
}

QString described(const DrivingEvent &event)
{
    const QString severity = DrivingEvent::severityName(event.severity);
    return QStringLiteral("%1%2 %3-%4 peak %5")
            .arg(DrivingEvent::typeName(event.type),
                 severity.isEmpty() ? QString() : QLatin1Char(' ') + severity)
            .arg(event.start)
            .arg(event.end)
            .arg(event.peak);
}

// A drive's events, each after its clip's index.
QStringList described(const QVector<QVector<DrivingEvent>> &found)
{
    QStringList events;
    for (int clip = 0; clip < found.size(); ++clip) {
        for (const DrivingEvent &event : found.at(clip))
            events << QString::number(clip) + QLatin1Char(' ') + described(event);
    }
    return events;
}

} // namespace

class TestEventDetector : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mountingFromTheDrive_data();
    void mountingFromTheDrive();
    void standardMountingAndItsHandedness();
    void tooLittleToTell();
    void loneRecordingOfAMirroredSensor_data();
    void loneRecordingOfAMirroredSensor();
    void rule_data();
    void rule();
    void eventFields();
    void demoRouteHasItsThreeEvents();
    void badReadingIsNoData_data();
    void badReadingIsNoData();
    void tinyAndOddClips();
    void labelledDrives();
};

void TestEventDetector::initTestCase()
{
    // The recording parser's debug labels, one set per decoded drive.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void TestEventDetector::mountingFromTheDrive_data()
{
    QTest::addColumn<int>("road");
    QTest::addColumn<int>("quarterTurns");
    QTest::addColumn<double>("tilt");
    QTest::addColumn<bool>("mirrored");
    for (const int road : {LabelledDrive::Town, LabelledDrive::Motorway}) {
        const char *name = road == LabelledDrive::Town ? "town" : "motorway";
        for (int turns = 0; turns < 4; ++turns) {
            for (const double tilt : {0.0, 15.0}) {
                QTest::addRow("%s, %d degrees, tilted %g", name, turns * 90, tilt)
                        << road << turns << tilt << false;
            }
        }
        QTest::addRow("%s, mirrored axes", name) << road << 1 << 10.0 << true;
    }
}

void TestEventDetector::mountingFromTheDrive()
{
    QFETCH(int, road);
    QFETCH(int, quarterTurns);
    QFETCH(double, tilt);
    QFETCH(bool, mirrored);
    LabelledDrive drive;
    drive.road = LabelledDrive::Road(road);
    drive.seed = quint32(31 + quarterTurns * 2 + road * 8 + int(tilt));
    drive.quarterTurns = quarterTurns;
    drive.tiltDegrees = tilt;
    drive.mirrored = mirrored;
    drive.generate();
    const auto mounting
            = EventDetector::estimateMounting(clipsOf(decodedSamples(drive.records), 60));
    QVERIFY(mounting.known);
    QVERIFY2(angleBetween(mounting.up, drive.up) < 3.0,
             qPrintable(QString::number(angleBetween(mounting.up, drive.up))));
    QVERIFY2(angleBetween(mounting.forward, drive.forward) < 10.0,
             qPrintable(QString::number(angleBetween(mounting.forward, drive.forward))));
    QVERIFY2(angleBetween(mounting.left, drive.left) < 10.0,
             qPrintable(QString::number(angleBetween(mounting.left, drive.left))));
}

void TestEventDetector::standardMountingAndItsHandedness()
{
    // The fixture's camera: x to the right, y forward, z up reading -1 g at rest.
    Drive drive = Drive::demoRoute(300);
    const auto mounting = EventDetector::estimateMounting({decodedSamples(drive.records())});
    QVERIFY(mounting.known);
    const double forward[3] = {0.0, 1.0, 0.0}, left[3] = {-1.0, 0.0, 0.0}, up[3] = {0.0, 0.0, 1.0};
    QVERIFY(angleBetween(mounting.forward, forward) < 3.0);
    QVERIFY(angleBetween(mounting.left, left) < 3.0);
    QVERIFY(angleBetween(mounting.up, up) < 3.0);
}

void TestEventDetector::tooLittleToTell()
{
    const QVector<GpsData> samples = scriptedDrive(QString());
    // Ten seconds hold gravity but too few changes of speed for the forward axis.
    const auto brief = EventDetector::estimateMounting({samples.mid(0, 10)});
    QVERIFY(brief.gravityKnown);
    QVERIFY(!brief.known);
    // Zeroed readings (a failed sensor) and padding tell nothing at all.
    QVector<GpsData> blank(30);
    for (int i = 0; i < blank.size(); ++i)
        blank[i].index = i;
    const auto none = EventDetector::estimateMounting({blank, {}});
    QVERIFY(!none.gravityKnown);
    QVERIFY(!none.known);
    QVERIFY(EventDetector::detect(blank, none).isEmpty());
    QVERIFY(EventDetector::detectDrive({blank, {}}).at(1).isEmpty());
}

void TestEventDetector::loneRecordingOfAMirroredSensor_data()
{
    // Labelled drives whose sensors are mirrored, and a harsh cornering's first second.
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("at");
    QTest::newRow("drive 4, second minute") << 4u << 106;
    QTest::newRow("drive 6, third minute") << 6u << 148;
    QTest::newRow("drive 33, fourth minute") << 33u << 190;
}

void TestEventDetector::loneRecordingOfAMirroredSensor()
{
    QFETCH(quint32, seed);
    QFETCH(int, at);
    const LabelledDrive drive = LabelledDrive::random(seed, true);
    QVERIFY(drive.mirrored);
    // The minute alone, as when it is the only recording of its drive.
    const QVector<GpsData> clip = clipsOf(decodedSamples(drive.records), 60).at(at / 60);
    const QVector<DrivingEvent> events = EventDetector::detect(clip, {});
    QVERIFY(std::any_of(events.begin(), events.end(), [at](const DrivingEvent &event) {
        return event.type == DrivingEvent::Cornering && qAbs(event.start - at % 60) <= 1;
    }));
}

void TestEventDetector::rule_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");
    const QStringList none;
    QTest::newRow("plain driving") << "" << none;
    QTest::newRow("plain driving, camera turned and tilted") << "mount 1 15" << none;
    QTest::newRow("braking 0.3 g up a 10 % hill") << "hill 40 150 0.1; accel 80 81 -0.3" << none;
    // Down the hill the sensor reads only about 0.35 g.
    QTest::newRow("braking 0.45 g down a 10 % hill")
            << "mount 3 10; hill 40 150 -0.1; accel 80 80 -0.45"
            << QStringList{"braking 80-80 peak 80"};
    QTest::newRow("harsh acceleration") << "mount 2 5; accel 60 60 0.55; accel 61 61 0.42"
                                        << QStringList{"acceleration 60-61 peak 60"};
    QTest::newRow("harsh cornering right")
            << "turn 60 62 0.45; turn 61 61 0.6" << QStringList{"cornering 60-62 peak 61"};
    QTest::newRow("harsh cornering right, mirrored axes")
            << "mount 0 0 1; turn 60 62 0.45; turn 61 61 0.6"
            << QStringList{"cornering 60-62 peak 61"};
    QTest::newRow("harsh cornering left, camera turned")
            << "mount 1 0; turn 60 62 -0.45; turn 61 61 -0.6"
            << QStringList{"cornering 60-62 peak 61"};
    QTest::newRow("pothole 2.4 g up") << "jolt 70 0.05 -0.2 2.4" << none;
    QTest::newRow("pothole 2 g down while braking 0.25 g")
            << "accel 69 71 -0.25; jolt 70 0 -0.1 -2.0" << none;
    QTest::newRow("speed bump") << "accel 60 64 -0.15; jolt 66 0 0.05 0.8; jolt 67 0 -0.05 -0.6"
                                << none;
    QTest::newRow("minor impact") << "accel 90 90 -0.5; jolt 90 0.3 -1.6 0.1"
                                  << QStringList{"impact minor 90-90 peak 90"};
    QTest::newRow("major impact, camera turned")
            << "mount 3 12; accel 90 90 -0.8; jolt 90 0.5 -2.6 0.2"
            << QStringList{"impact major 90-90 peak 90"};
    QTest::newRow("knock of 1.8 g without a change of speed") << "jolt 90 -1.8 0.5 0" << none;
    QTest::newRow("impact without a fix")
            << "nofix 80 100; jolt 90 0.3 -1.8 0" << QStringList{"impact minor 90-90 peak 90"};
    QTest::newRow("knock of 1.2 g aside without a fix")
            << "nofix 80 100; jolt 90 1.2 0 1.0" << none;
    QTest::newRow("braking 0.45 g without a fix") << "nofix 60 100; accel 80 81 -0.45" << none;
    QTest::newRow("braking 0.6 g without a fix")
            << "nofix 60 100; accel 80 81 -0.6" << QStringList{"braking 80-81 peak 80"};
    QTest::newRow("braking padded by copies") << "accel 60 60 -0.6; accel 61 61 -0.45; pad 62 66"
                                              << QStringList{"braking 60-61 peak 60"};
    QTest::newRow("two brakings a second apart are one")
            << "accel 60 60 -0.6; accel 62 62 -0.5" << QStringList{"braking 60-62 peak 60"};
    QTest::newRow("two brakings two seconds apart are two")
            << "accel 60 60 -0.5; accel 63 63 -0.5"
            << QStringList{"braking 60-60 peak 60", "braking 63-63 peak 63"};
}

void TestEventDetector::rule()
{
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    const auto events = EventDetector::detectDrive({scriptedDrive(script)});
    QStringList found;
    for (const DrivingEvent &event : events.first())
        found << described(event);
    QCOMPARE(found, expected);
}

void TestEventDetector::eventFields()
{
    const QVector<GpsData> samples
            = scriptedDrive(QStringLiteral("accel 90 90 -0.5; jolt 90 0.3 -1.6 0.1; nofix 120 140; "
                                           "jolt 130 0.3 -1.8 0; turn 60 62 0.55"));
    const QVector<DrivingEvent> events = EventDetector::detect(samples, {});
    QCOMPARE(events.size(), 3);
    const DrivingEvent &turn = events.at(0);
    QCOMPARE(turn.type, DrivingEvent::Cornering);
    QCOMPARE(turn.severity, DrivingEvent::NoSeverity);
    QVERIFY(turn.peakG > 0.5 && turn.peakG < 0.7);
    const DrivingEvent &impact = events.at(1);
    QCOMPARE(impact.speed, samples.at(90).speed);
    QVERIFY(impact.hasPosition);
    QCOMPARE(impact.latitude, samples.at(90).latitude);
    QCOMPARE(impact.longitude, samples.at(90).longitude);
    QCOMPARE(impact.cameraTime, QByteArray(samples.at(90).dateTime));
    QVERIFY(impact.peakG > 2.0 && impact.peakG < 2.3);
    const DrivingEvent &blind = events.at(2);
    QCOMPARE(blind.peak, 130);
    QVERIFY(!blind.hasPosition);
    QCOMPARE(blind.latitude, 0.0);
    QCOMPARE(DrivingEvent::typeName(DrivingEvent::Acceleration), QStringLiteral("acceleration"));
    QCOMPARE(DrivingEvent::severityName(DrivingEvent::Major), QStringLiteral("major"));
}

void TestEventDetector::demoRouteHasItsThreeEvents()
{
    const auto found = EventDetector::detectDrive(
            clipsOf(decodedSamples(Drive::demoRoute(300).records()), 60));
    const QStringList expected = {"0 cornering 17-20 peak 20", "2 braking 18-19 peak 19",
                                  "3 impact minor 40-40 peak 40"};
    QCOMPARE(described(found), expected);
}

// One corrupt second of the demo drive, G or speed, changes none of its events beyond losing
// that second: the mounting is measured over the whole drive, and a single bad reading must not
// turn it or make an event.
void TestEventDetector::badReadingIsNoData_data()
{
    QTest::addColumn<int>("at"); // the second of the drive
    QTest::addColumn<int>("axis"); // of the G reading spoiled; -1: the speed instead
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("withSensor"); // false: a camera without G-sensor
    const double infinity = std::numeric_limits<double>::infinity();
    for (int axis = 0; axis < 3; ++axis) {
        const QByteArray name = "G axis " + QByteArray::number(axis);
        QTest::newRow(name + ": 1e30, quiet") << 40 << axis << 1e30 << true;
        QTest::newRow(name + ": 1e30, in a turn") << 20 << axis << 1e30 << true;
        QTest::newRow(name + ": 20 g") << 40 << axis << 20.0 << true;
        QTest::newRow(name + ": infinite") << 40 << axis << infinity << true;
        QTest::newRow(name + ": minus infinite") << 40 << axis << -infinity << true;
        QTest::newRow(name + ": not a number") << 40 << axis << double(qQNaN()) << true;
    }
    for (const bool withSensor : {true, false}) {
        const QByteArray camera = withSensor ? "" : ", no G-sensor";
        QTest::newRow("999 km/h" + camera) << 150 << -1 << 999.0 << withSensor;
        QTest::newRow("120 km/h" + camera) << 150 << -1 << 120.0 << withSensor;
        QTest::newRow("80 km/h" + camera) << 150 << -1 << 80.0 << withSensor;
        // Glitches on straights, in bends and in the cornering and the braking (drive seconds
        // 17-20, 138-139). Without a sensor the speed is all an event has, so there a glitch on
        // its own seconds may cut it short.
        for (const int at : {17, 60, 100, 138, 200, 250}) {
            if (!withSensor && (at == 17 || at == 138))
                continue;
            for (const double speed : {999.0, 250.0}) {
                QTest::newRow(QByteArray::number(speed) + " km/h at " + QByteArray::number(at)
                              + camera)
                        << at << -1 << speed << withSensor;
            }
        }
    }
}

void TestEventDetector::badReadingIsNoData()
{
    QFETCH(int, at);
    QFETCH(int, axis);
    QFETCH(double, value);
    QFETCH(bool, withSensor);
    QVector<GpsData> samples = decodedSamples(Drive::demoRoute(300).records());
    if (!withSensor) {
        for (GpsData &sample : samples)
            sample.gsensorX = sample.gsensorY = sample.gsensorZ = 0.0f;
    }
    // A bad G reading counts as none at all (all zero): so a turn loses that second, no more.
    if (axis >= 0)
        samples[at].gsensorX = samples[at].gsensorY = samples[at].gsensorZ = 0.0f;
    const QStringList expected = described(EventDetector::detectDrive(clipsOf(samples, 60)));
    float *g[] = {&samples[at].gsensorX, &samples[at].gsensorY, &samples[at].gsensorZ};
    if (axis >= 0)
        *g[axis] = float(value);
    else
        samples[at].speed = int(value);
    QCOMPARE(described(EventDetector::detectDrive(clipsOf(samples, 60))), expected);
}

void TestEventDetector::labelledDrives()
{
    // A small fixed set; bench_events measures many more against a stricter goal.
    EventScore score;
    int quietEvents = 0;
    for (quint32 seed = 1; seed <= 24; ++seed) {
        const bool withEvents = seed <= 16;
        const LabelledDrive drive = LabelledDrive::random(seed, withEvents, 300);
        const auto found = EventDetector::detectDrive(clipsOf(decodedSamples(drive.records), 60));
        score.add(drive, found, 60);
        for (const auto &clipEvents : found)
            quietEvents += withEvents ? 0 : clipEvents.size();
    }
    const QString misses = score.misses.join(QLatin1Char('\n'));
    for (const EventScore::Tally &tally : score.tallies) {
        QVERIFY(tally.truths >= 4);
        QVERIFY2(tally.precision() >= 0.85, qPrintable(misses));
        QVERIFY2(tally.recall() >= 0.85, qPrintable(misses));
    }
    QCOMPARE(quietEvents, 0);
}

// Clips of a few seconds or none, cut anywhere, and indexes that never grow or jump about end
// without a crash; all padding is no data.
void TestEventDetector::tinyAndOddClips()
{
    const QVector<GpsData> route = decodedSamples(Drive::demoRoute(300).records());
    const EventDetector::Mounting mounting = EventDetector::estimateMounting({route});
    QVERIFY(mounting.known);
    for (int length = 0; length < 5; ++length) {
        for (int from : {0, 17, 18, 19, 20, 99, 100, 101, 295}) {
            const QVector<GpsData> part = route.mid(from, length);
            EventDetector::detect(part, mounting);
            EventDetector::detect(part, EventDetector::Mounting());
            QCOMPARE(EventDetector::detectDrive({part, {}, part}).size(), 3);
        }
    }
    QVector<GpsData> odd = route;
    for (int i = 0; i < odd.size(); ++i)
        odd[i].index = (i * 7919) % 13 - 6;
    QCOMPARE(EventDetector::detectDrive({odd}).size(), 1);
    for (GpsData &sample : odd)
        sample.index = 0;
    QCOMPARE(EventDetector::detectDrive({odd}).at(0).size(), 0);
}

QTEST_GUILESS_MAIN(TestEventDetector)
#include "tst_eventdetector.moc"

// Harsh manoeuvres and impacts found in drives whose events are known.
#include "labelleddrive.h"

#include <export/eventdetector.h>

#include <QtTest>

class TestEventDetector : public QObject
{
    Q_OBJECT

private slots:
    void townDriveEvents_data();
    void townDriveEvents();
};

void TestEventDetector::townDriveEvents_data()
{
    QTest::addColumn<int>("braking");
    QTest::addColumn<int>("turn");
    QTest::addColumn<int>("impact");
    QTest::addColumn<QStringList>("expected"); // "clip type peak"
    QTest::newRow("none") << -1 << -1 << -1 << QStringList();
    QTest::newRow("all three") << 138 << 17 << 220
                               << QStringList{"0 cornering 20", "2 braking 18", "3 impact 40"};
}

void TestEventDetector::townDriveEvents()
{
    QFETCH(int, braking);
    QFETCH(int, turn);
    QFETCH(int, impact);
    QFETCH(QStringList, expected);
    Drive drive;
    drive.seconds = 300;
    drive.crossingEvery = 75;
    drive.bumpEvery = 40;
    drive.harshBrakingAt = braking;
    drive.sharpTurnAt = turn;
    drive.impactAt = impact;
    const auto events = EventDetector::detectDrive(clipsOf(decodedSamples(drive.records()), 60));
    QStringList found;
    for (int clip = 0; clip < events.size(); ++clip) {
        for (const DrivingEvent &event : events.at(clip))
            found << QStringLiteral("%1 %2 %3")
                             .arg(clip)
                             .arg(DrivingEvent::typeName(event.type))
                             .arg(event.peak);
    }
    QCOMPARE(found, expected);
}

QTEST_GUILESS_MAIN(TestEventDetector)
#include "tst_eventdetector.moc"

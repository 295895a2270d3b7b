// Tests of the drive timeline: clips in proportion, moments under the pointer across clips,
// clicks, the tool tip and the empty strip; and the events list that plays from before an event.
#include "config/configuration.h"
#include "controls/drivetimeline.h"
#include "controls/eventsdialog.h"
#include "drivefixture.h"

#include <QHelpEvent>
#include <QSignalSpy>
#include <QTableWidget>
#include <QToolTip>
#include <QtTest>

namespace {

// The strip is inset 5 pixels on each side: 210 pixels wide it draws the 200 s drive at one
// pixel a second, 110 wide at two seconds a pixel.
struct Strip
{
    explicit Strip(int width)
    {
        timeline.setDrive(threeClipDrive(), 4);
        timeline.setFixedWidth(width);
        timeline.resize(width, 14);
    }
    DriveTimeline timeline;
};

} // namespace

class TestDriveTimeline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void clipsInProportion_data();
    void clipsInProportion();
    void momentUnderThePointer_data();
    void momentUnderThePointer();
    void momentOfADriveSecond_data();
    void momentOfADriveSecond();
    void clickAsksForTheMoment_data();
    void clickAsksForTheMoment();
    void toolTipTellsTheDriveAndTheEvent();
    void emptyStripIsInert();
    void eventsListTexts();
    void eventsListPlaysFromBefore_data();
    void eventsListPlaysFromBefore();
    void eventsListKeepsTheChosenEvent_data();
    void eventsListKeepsTheChosenEvent();
};

void TestDriveTimeline::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    Configuration::instance()->setLanguage(1);
}

void TestDriveTimeline::clipsInProportion_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("rowId");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("x");
    QTest::newRow("drive start") << 210 << 3 << 0 << 5;
    QTest::newRow("second clip") << 210 << 4 << 0 << 65;
    QTest::newRow("third clip, 10 s in") << 210 << 7 << 10 << 105;
    QTest::newRow("drive end") << 210 << 7 << 110 << 205;
    QTest::newRow("past a clip's end held to it") << 210 << 4 << 500 << 95;
    QTest::newRow("narrow: second clip") << 110 << 4 << 0 << 35;
    QTest::newRow("narrow: third clip") << 110 << 7 << 11 << 55;
    QTest::newRow("row of another drive") << 210 << 5 << 0 << -1;
}

void TestDriveTimeline::clipsInProportion()
{
    QFETCH(int, width);
    QFETCH(int, rowId);
    QFETCH(int, second);
    QFETCH(int, x);
    Strip strip(width);
    QCOMPARE(strip.timeline.length(), 200);
    QCOMPARE(strip.timeline.xOf(rowId, second), x);
}

void TestDriveTimeline::momentUnderThePointer_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("x");
    QTest::addColumn<bool>("onDrive");
    QTest::addColumn<int>("rowId");
    QTest::addColumn<int>("second");
    QTest::newRow("left of the strip") << 210 << 4 << false << -1 << 0;
    QTest::newRow("first pixel") << 210 << 5 << true << 3 << 0;
    QTest::newRow("last second of the first clip") << 210 << 64 << true << 3 << 59;
    QTest::newRow("first second of the second clip") << 210 << 65 << true << 4 << 0;
    QTest::newRow("last second of the second clip") << 210 << 94 << true << 4 << 29;
    QTest::newRow("third clip") << 210 << 95 << true << 7 << 0;
    QTest::newRow("end of the strip: last second, not the end") << 210 << 205 << true << 7 << 109;
    QTest::newRow("right of the strip") << 210 << 206 << false << -1 << 0;
    QTest::newRow("narrow: just before the boundary") << 110 << 34 << true << 3 << 58;
    QTest::newRow("narrow: at the boundary") << 110 << 35 << true << 4 << 0;
}

void TestDriveTimeline::momentUnderThePointer()
{
    QFETCH(int, width);
    QFETCH(int, x);
    QFETCH(bool, onDrive);
    QFETCH(int, rowId);
    QFETCH(int, second);
    Strip strip(width);
    int foundRow = -1;
    int foundSecond = 0;
    QCOMPARE(strip.timeline.momentAt(x, &foundRow, &foundSecond), onDrive);
    QCOMPARE(foundRow, rowId);
    QCOMPARE(foundSecond, second);
}

void TestDriveTimeline::momentOfADriveSecond_data()
{
    QTest::addColumn<int>("driveSecond");
    QTest::addColumn<int>("rowId");
    QTest::addColumn<int>("second");
    QTest::newRow("before the drive") << -7 << 3 << 0;
    QTest::newRow("start") << 0 << 3 << 0;
    QTest::newRow("boundary") << 60 << 4 << 0;
    QTest::newRow("within the last clip") << 135 << 7 << 45;
    QTest::newRow("end") << 200 << 7 << 109;
    QTest::newRow("past the end") << 900 << 7 << 109;
}

void TestDriveTimeline::momentOfADriveSecond()
{
    QFETCH(int, driveSecond);
    QFETCH(int, rowId);
    QFETCH(int, second);
    // A clip of no length (its recording could not be read) takes no place and no moment.
    PlaylistDrives::Drive drive = threeClipDrive();
    PlaylistDrives::Clip unreadable;
    unreadable.rowId = 9;
    unreadable.offset = 60;
    drive.clips.insert(1, unreadable);
    int foundRow = -1;
    int foundSecond = -1;
    QVERIFY(DriveTimeline::momentOf(drive, driveSecond, &foundRow, &foundSecond));
    QCOMPARE(foundRow, rowId);
    QCOMPARE(foundSecond, second);
    QCOMPARE(DriveTimeline::driveSecond(drive, 4, 10), 70);
    QCOMPARE(DriveTimeline::driveSecond(drive, 99, 0), -1);
    QVERIFY(!DriveTimeline::momentOf({}, 0, &foundRow, &foundSecond));
}

void TestDriveTimeline::clickAsksForTheMoment_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<QVariantList>("request");
    QTest::newRow("in the clip playing") << 70 << QVariantList{4, 5};
    QTest::newRow("in the clip before") << 20 << QVariantList{3, 15};
    QTest::newRow("in the clip after") << 150 << QVariantList{7, 55};
    QTest::newRow("in the margin") << 2 << QVariantList();
}

void TestDriveTimeline::clickAsksForTheMoment()
{
    QFETCH(int, x);
    QFETCH(QVariantList, request);
    Strip strip(210);
    QSignalSpy requests(&strip.timeline, &DriveTimeline::seekRequested);
    QTest::mouseClick(&strip.timeline, Qt::LeftButton, {}, QPoint(x, 7));
    QTest::mouseClick(&strip.timeline, Qt::RightButton, {}, QPoint(x, 7));
    QCOMPARE(requests.count(), request.isEmpty() ? 0 : 1);
    if (!request.isEmpty())
        QCOMPARE(requests.first(), request);
}

void TestDriveTimeline::toolTipTellsTheDriveAndTheEvent()
{
    Strip strip(210);
    strip.timeline.show();
    QVERIFY(QTest::qWaitForWindowExposed(&strip.timeline));
    const QString drive = QStringLiteral("Drive: 03:20, 2.3 km, average 42 km/h, top 71 km/h");
    const auto tipAt = [&](int x) {
        QHelpEvent help(QEvent::ToolTip, QPoint(x, 7), strip.timeline.mapToGlobal(QPoint(x, 7)));
        QCoreApplication::sendEvent(&strip.timeline, &help);
        return QToolTip::text();
    };
    QCOMPARE(tipAt(30), drive);
    // The impact peaks 3 s into the second clip, at x 68.
    QCOMPARE(tipAt(66),
             QStringLiteral("Major impact, 2024/03/15 07:31:06, 2.71 g, 12 km/h\n") + drive);
    strip.timeline.setSpeedUnit(SpeedUnit::Mph);
    QCOMPARE(tipAt(30), QStringLiteral("Drive: 03:20, 1.5 mi, average 26 mph, top 44 mph"));
}

void TestDriveTimeline::emptyStripIsInert()
{
    Strip strip(210);
    strip.timeline.clear();
    QVERIFY(!strip.timeline.hasDrive());
    QSignalSpy requests(&strip.timeline, &DriveTimeline::seekRequested);
    QTest::mouseClick(&strip.timeline, Qt::LeftButton, {}, QPoint(100, 7));
    QCOMPARE(requests.count(), 0);
    QCOMPARE(strip.timeline.xOf(3, 0), -1);
    // Nothing is drawn: the control bar shows through.
    QImage image(strip.timeline.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    strip.timeline.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    QCOMPARE(image.pixelColor(100, 7).alpha(), 0);
}

void TestDriveTimeline::eventsListTexts()
{
    EventsDialog dialog;
    dialog.setDrive(threeClipDrive());
    QTableWidget *table = dialog.table();
    QCOMPARE(table->rowCount(), 3);
    const QStringList expected[]
            = {{"Harsh braking", "2024/03/15 07:30:05", "43 km/h", "0.52 g"},
               {"Major impact", "2024/03/15 07:31:06", "12 km/h", "2.71 g"},
               // Without the camera's clock the time is the moment on the drive.
               {"Harsh cornering", "02:20", "37 km/h", "0.41 g"}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column)
            QCOMPARE(table->item(row, column)->text(), expected[row].at(column));
    }
    dialog.setDrive({});
    QCOMPARE(table->rowCount(), 0);
}

void TestDriveTimeline::eventsListPlaysFromBefore_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QVariantList>("request");
    QTest::newRow("held at the drive's start") << 0 << QVariantList{3, 0};
    QTest::newRow("from the clip before") << 1 << QVariantList{3, 58};
    QTest::newRow("within the clip") << 2 << QVariantList{7, 45};
}

void TestDriveTimeline::eventsListPlaysFromBefore()
{
    QFETCH(int, row);
    QFETCH(QVariantList, request);
    EventsDialog dialog;
    dialog.setDrive(threeClipDrive());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy requests(&dialog, &EventsDialog::playRequested);
    QTableWidget *table = dialog.table();
    const QPoint cell = table->visualItemRect(table->item(row, 1)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell);
    QCOMPARE(requests.count(), 1);
    QCOMPARE(requests.first(), request);
}

void TestDriveTimeline::eventsListKeepsTheChosenEvent_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("chosen"); // the row selected after it, -1 for none
    QTest::newRow("drive recomputed") << "same" << 1;
    QTest::newRow("another unit") << "unit" << 1;
    QTest::newRow("an event found before it") << "earlier" << 2;
    QTest::newRow("its event gone") << "gone" << -1;
}

void TestDriveTimeline::eventsListKeepsTheChosenEvent()
{
    QFETCH(QString, change);
    QFETCH(int, chosen);
    EventsDialog dialog;
    dialog.setDrive(threeClipDrive());
    QTableWidget *table = dialog.table();
    table->selectRow(1); // the impact
    PlaylistDrives::Drive drive = threeClipDrive();
    if (change == QLatin1String("unit")) {
        dialog.setSpeedUnit(SpeedUnit::Mph);
    } else {
        if (change == QLatin1String("earlier"))
            drive.clips[0].events.append(drivingEvent(DrivingEvent::Braking, 40, 0.45, 50, ""));
        else if (change == QLatin1String("gone"))
            drive.clips[1].events.clear();
        dialog.setDrive(drive);
    }
    const QList<QTableWidgetItem *> selected = table->selectedItems();
    QCOMPARE(selected.isEmpty() ? -1 : selected.first()->row(), chosen);
}

QTEST_MAIN(TestDriveTimeline)
#include "tst_drivetimeline.moc"

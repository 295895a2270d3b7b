// The video export dialog on its own: its defaults, the choices it keeps, the stretch it cuts
// around the current position, and the time left its progress shows.
#include "app/videoexportdialog.h"
#include "app/videoexportjob.h"

#include "config/configuration.h"
#include "playbacktestutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QtTest>

namespace {

constexpr double ClipSeconds = 20;

// A drive of three recordings of 20 s, the middle one current.
VideoExportDialog::Source threeClips(double position)
{
    VideoExportDialog::Source source;
    for (const char *name : {"a", "b", "c"}) {
        source.drive.append({QStringLiteral("/drive/%1F.MP4").arg(name),
                             QStringLiteral("/drive/%1R.MP4").arg(name), ClipSeconds});
    }
    source.current = int(position / ClipSeconds);
    source.position = position;
    source.whole = source.drive;
    source.frontSize = QSize(320, 180);
    return source;
}

// The pieces as "recording:from-to", a piece running to its recording's end at its length.
QStringList pieces(const QVector<VideoClip> &clips)
{
    QStringList list;
    for (const VideoClip &clip : clips) {
        list << QStringLiteral("%1:%2-%3")
                        .arg(QFileInfo(clip.front).completeBaseName())
                        .arg(clip.from)
                        .arg(clip.to < 0 ? ClipSeconds : clip.to);
    }
    return list;
}

template<typename Widget>
Widget *child(const QDialog &dialog, const char *name)
{
    auto *widget = dialog.findChild<Widget *>(QLatin1String(name));
    if (!widget)
        qFatal("no %s in the dialog", name);
    return widget;
}

QPushButton *exportButton(const QDialog &dialog)
{
    return child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok);
}

} // namespace

class TestVideoExportDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void choicesFromAndToTheConfiguration_data();
    void choicesFromAndToTheConfiguration();
    void stretchAroundThePosition_data();
    void stretchAroundThePosition();
    void spans_data();
    void spans();
    void nothingToExportIsNotOffered();
    void timeLeft_data();
    void timeLeft();

private:
    QTemporaryDir mDir;
};

void TestVideoExportDialog::initTestCase()
{
    QVERIFY(mDir.isValid());
    QCoreApplication::setApplicationName(QStringLiteral("Velqor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tamrix"));
}

void TestVideoExportDialog::init()
{
    PlaybackTest::isolateSettings(mDir.filePath("shots"));
}

void TestVideoExportDialog::choicesFromAndToTheConfiguration_data()
{
    QTest::addColumn<QString>("layout"); // stored, empty for none
    QTest::addColumn<QString>("resolution");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<int>("shownLayout");
    QTest::addColumn<int>("shownResolution");
    QTest::addColumn<QStringList>("shownParts");
    const QStringList all = OverlayOptions::partNames();
    QTest::newRow("first run") << ""
                               << "" << QStringList() << int(VideoLayout::SideBySide)
                               << int(VideoLayout::SourceSize) << all;
    QTest::newRow("kept") << "pip"
                          << "720p" << QStringList{"speed", "map"}
                          << int(VideoLayout::PictureInPicture) << int(VideoLayout::Hd720)
                          << QStringList{"speed", "map"};
    QTest::newRow("no overlay at all") << "rear"
                                       << "1080p" << QStringList() << int(VideoLayout::Rear)
                                       << int(VideoLayout::Hd1080) << QStringList();
    // A hand-edited or newer file: unknown names give the defaults, unknown parts are left out.
    QTest::newRow("unknown names")
            << "diagonal"
            << "8k" << QStringList{"g", "sound"} << int(VideoLayout::SideBySide)
            << int(VideoLayout::SourceSize) << QStringList{"g"};
}

void TestVideoExportDialog::choicesFromAndToTheConfiguration()
{
    QFETCH(QString, layout);
    QFETCH(QString, resolution);
    QFETCH(QStringList, parts);
    QFETCH(int, shownLayout);
    QFETCH(int, shownResolution);
    QFETCH(QStringList, shownParts);
    Configuration *config = Configuration::instance();
    if (!layout.isEmpty()) {
        config->setVideoExportLayout(layout);
        config->setVideoExportResolution(resolution);
        config->setVideoExportOverlay(parts);
    }
    config->setSpeedUnit(SpeedUnit::Mph);
    config->setMapSource(QStringLiteral("/maps/region.mbtiles"));

    VideoExportDialog dialog(threeClips(30));
    QCOMPARE(child<QComboBox>(dialog, "cb_Layout")->currentIndex(), shownLayout);
    QCOMPARE(child<QComboBox>(dialog, "cb_Resolution")->currentIndex(), shownResolution);
    QVERIFY(child<QComboBox>(dialog, "cb_Resolution")->itemText(0).contains("320 × 180"));
    const char *boxes[] = {"chk_Time",    "chk_Utc",    "chk_Speed", "chk_Coordinates",
                           "chk_Heading", "chk_GMeter", "chk_Map"};
    for (int i = 0; i < OverlayOptions::partNames().size(); ++i) {
        QCOMPARE(child<QCheckBox>(dialog, boxes[i])->isChecked(),
                 shownParts.contains(OverlayOptions::partNames().at(i)));
    }
    QVERIFY(child<QRadioButton>(dialog, "rb_Current")->isChecked());

    // Nothing to write to yet: the export waits for a file.
    QVERIFY(!exportButton(dialog)->isEnabled());
    dialog.setOutputChooser([] { return QStringLiteral("/videos/crash.mp4"); });
    child<QPushButton>(dialog, "pBtn_Output")->click();
    QVERIFY(exportButton(dialog)->isEnabled());

    // Other choices, kept once the export is asked for.
    child<QComboBox>(dialog, "cb_Layout")->setCurrentIndex(VideoLayout::Front);
    child<QComboBox>(dialog, "cb_Resolution")->setCurrentIndex(VideoLayout::Hd1080);
    child<QCheckBox>(dialog, "chk_Heading")->toggle();
    const VideoExportRequest request = dialog.request();
    exportButton(dialog)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(config->videoExportLayout(), QStringLiteral("front"));
    QCOMPARE(config->videoExportResolution(), QStringLiteral("1080p"));
    QStringList kept = shownParts;
    if (!kept.removeAll(QStringLiteral("heading")))
        kept << QStringLiteral("heading");
    QStringList stored = config->videoExportOverlay({});
    std::sort(kept.begin(), kept.end());
    std::sort(stored.begin(), stored.end());
    QCOMPARE(stored, kept);

    // The request: the current recording with its rear, the choices, the unit and the map file.
    QCOMPARE(pieces(request.clips), QStringList{"bF:0-20"});
    QCOMPARE(request.clips.first().rear, QStringLiteral("/drive/bR.MP4"));
    QCOMPARE(request.arrangement, VideoLayout::Front);
    QCOMPARE(request.resolution, VideoLayout::Hd1080);
    QCOMPARE(request.overlay.heading, !shownParts.contains("heading"));
    QCOMPARE(request.overlay.unit, SpeedUnit::Mph);
    QCOMPARE(request.mapFile, QStringLiteral("/maps/region.mbtiles"));
    QCOMPARE(request.output, QStringLiteral("/videos/crash.mp4"));

    // The tile server is never asked: no map file then.
    config->setMapSource(QLatin1String(Configuration::OnlineMapSource));
    QCOMPARE(VideoExportDialog(threeClips(30)).request().mapFile, QString());
}

void TestVideoExportDialog::stretchAroundThePosition_data()
{
    QTest::addColumn<double>("position"); // seconds from the drive's start
    QTest::addColumn<QTime>("from");
    QTest::addColumn<QTime>("to");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("inside one recording")
            << 35.0 << QTime(0, 0, 25) << QTime(0, 0, 55) << QStringList{"bF:5-20", "cF:0-15"};
    QTest::newRow("held at the drive's start")
            << 4.0 << QTime(0, 0, 0) << QTime(0, 0, 24) << QStringList{"aF:0-20", "bF:0-4"};
    QTest::newRow("across both boundaries") << 22.0 << QTime(0, 0, 12) << QTime(0, 0, 42)
                                            << QStringList{"aF:12-20", "bF:0-20", "cF:0-2"};
    QTest::newRow("held at the drive's end")
            << 55.0 << QTime(0, 0, 45) << QTime(0, 1, 0) << QStringList{"cF:5-20"};
}

void TestVideoExportDialog::stretchAroundThePosition()
{
    QFETCH(double, position);
    QFETCH(QTime, from);
    QFETCH(QTime, to);
    QFETCH(QStringList, pieces);
    VideoExportDialog dialog(threeClips(position));
    QCOMPARE(child<QTimeEdit>(dialog, "te_From")->time(), from);
    QCOMPARE(child<QTimeEdit>(dialog, "te_To")->time(), to);
    QVERIFY(!child<QTimeEdit>(dialog, "te_From")->isEnabled());
    child<QRadioButton>(dialog, "rb_Stretch")->click();
    QVERIFY(child<QTimeEdit>(dialog, "te_From")->isEnabled());
    QCOMPARE(::pieces(dialog.request().clips), pieces);
    // Nor can the stretch be stretched past the drive.
    QCOMPARE(child<QTimeEdit>(dialog, "te_To")->maximumTime(), QTime(0, 1, 0));
}

void TestVideoExportDialog::spans_data()
{
    QTest::addColumn<bool>("wholeIsDrive");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("the drive") << true << QStringList{"aF:0-20", "bF:0-20", "cF:0-20"};
    // Drives not known yet: the selection, in the time order the window gives.
    QTest::newRow("the selection") << false << QStringList{"cF:0-20", "aF:0-20"};
}

void TestVideoExportDialog::spans()
{
    QFETCH(bool, wholeIsDrive);
    QFETCH(QStringList, pieces);
    VideoExportDialog::Source source = threeClips(30);
    if (!wholeIsDrive) {
        source.wholeIsDrive = false;
        source.whole = {source.drive.at(2), source.drive.at(0)};
    }
    VideoExportDialog dialog(source);
    auto *whole = child<QRadioButton>(dialog, "rb_Drive");
    QCOMPARE(whole->text().contains("selected"), !wholeIsDrive);
    whole->click();
    QCOMPARE(::pieces(dialog.request().clips), pieces);
}

void TestVideoExportDialog::nothingToExportIsNotOffered()
{
    VideoExportDialog::Source source = threeClips(30);
    source.whole.clear();
    VideoExportDialog dialog(source);
    dialog.setOutputChooser([] { return QStringLiteral("/videos/out.mp4"); });
    child<QPushButton>(dialog, "pBtn_Output")->click();
    QVERIFY(!child<QRadioButton>(dialog, "rb_Drive")->isEnabled());
    // An empty stretch is no export; a chooser given up on keeps the file chosen before.
    child<QRadioButton>(dialog, "rb_Stretch")->click();
    child<QTimeEdit>(dialog, "te_To")->setTime(child<QTimeEdit>(dialog, "te_From")->time());
    QVERIFY(!exportButton(dialog)->isEnabled());
    dialog.setOutputChooser([] { return QString(); });
    child<QPushButton>(dialog, "pBtn_Output")->click();
    QCOMPARE(child<QLineEdit>(dialog, "le_Output")->text(), QStringLiteral("/videos/out.mp4"));
}

void TestVideoExportDialog::timeLeft_data()
{
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<int>("left");
    QTest::newRow("nothing done yet") << qint64(0) << qint64(900) << qint64(3000) << -1;
    QTest::newRow("a third in 10 s") << qint64(300) << qint64(900) << qint64(10000) << 20;
    QTest::newRow("a part of a second rounds up")
            << qint64(899) << qint64(900) << qint64(9000) << 1;
    QTest::newRow("done") << qint64(900) << qint64(900) << qint64(9000) << 0;
    QTest::newRow("unknown total") << qint64(10) << qint64(0) << qint64(1000) << -1;
}

void TestVideoExportDialog::timeLeft()
{
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(qint64, elapsedMs);
    QFETCH(int, left);
    QCOMPARE(VideoExportJob::secondsLeft(done, total, elapsedMs), left);
}

QTEST_MAIN(TestVideoExportDialog)
#include "tst_videoexportdialog.moc"

// The interface language at run time and the settings dialog that chooses it and the map size.
#include "app/mainwindows.h"

#include "app/setting.h"
#include "app/windowgeometry.h"
#include "config/configuration.h"
#include "controls/controlpanel.h"
#include "instruments/speedtray.h"
#include "map/mapwebview.h"
#include "playbacktestutil.h"
#include "playlist/playlistmodel.h"
#include "tests/map/mapschemetest.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int Patience = 30000; // ms; the map page loads in a web engine on a loaded machine

enum Property { ToolTip, Text, FirstItem, ThirdItem };

// Each widget the language reaches, with its English and Japanese text.
struct Shown
{
    const char *widget;
    Property property;
    const char *english;
    const char *japanese;
};

const Shown WindowTexts[] = {
        {"pBtn_Minimize", ToolTip, "Minimize", "最小化"},
        {"pBtn_Step", ToolTip, "Settings", "設定"},
        {"pBtn_Maximize", ToolTip, "Maximize", "最大化"},
        {"pBtn_Close", ToolTip, "Close", "閉じる"},
        {"btn_Front", ToolTip, "Front view", "フロント映像表示"},
        {"btn_Rear", ToolTip, "Rear view", "リア映像表示"},
        {"btn_FrontRear", ToolTip, "Front rear view", "フロント＋リア映像表示"},
        {"btn_OpenFile", ToolTip, "Open Files", "メディアファイルを開く"},
        {"btn_ScreenShot", ToolTip, "Capture", "キャプチャ"},
        {"btn_Previous", ToolTip, "Previous", "前へ"},
        {"btn_PlayOrPause", ToolTip, "Play / Pause", "再生 / 一時停止"},
        {"btn_Stop", ToolTip, "Stop", "停止"},
        {"btn_Next", ToolTip, "Next", "次へ"},
        {"tBtn_Mute", ToolTip, "Mute", "消音"},
        {"pBtn_Up", ToolTip, "Quick", "再生速度を上げる"},
        {"pBtn_Down", ToolTip, "Slow", "再生速度を下げる"},
        // Placeholders and the rate's own text are never translated.
        {"lbl_LongitudeAndLatitude", Text, "N00.000000,E000.000000", "N00.000000,E000.000000"},
        {"lbl_Text", Text, "1.0x", "1.0x"},
};

const Shown DialogTexts[] = {
        {"lbl_settingTitle", Text, "Settings", "設定"},
        {"pBtn_Close", ToolTip, "Close", "閉じる"},
        {"lbl_language", Text, "Language", "言語"},
        {"cBox_Language", FirstItem, "(JP)日本語 ", "(JP)日本語 "},
        {"label_MapSize", Text, "Map size", "地図の大きさ"},
        {"cBox_Mapsize", FirstItem, "Big", "大"},
        {"cBox_Mapsize", ThirdItem, "Small", "小"},
        {"label_MapSource", Text, "Map source", "地図の提供元"},
        {"cBox_MapSource", FirstItem, "OpenStreetMap (online)", "OpenStreetMap (オンライン)"},
        {"pBtn_OK", Text, "Save", "保存する"},
        {"pBtn_Cancel", Text, "Cancel", "キャンセル"},
};

const char *const HeaderTexts[][2] = {{"File Name", "ファイル名"},
                                      {"Length", "長さ"},
                                      {"Date time", "日時"},
                                      {"Size", "サイズ"},
                                      {"Resolution", "解像度"}};

QString textOf(const QWidget *widget, Property property)
{
    switch (property) {
    case ToolTip:
        return widget->toolTip();
    case Text:
        if (auto *label = qobject_cast<const QLabel *>(widget))
            return label->text();
        return qobject_cast<const QAbstractButton *>(widget)->text();
    case FirstItem:
        return qobject_cast<const QComboBox *>(widget)->itemText(0);
    case ThirdItem:
        return qobject_cast<const QComboBox *>(widget)->itemText(2);
    }
    return QString();
}

// Every text of the table that differs from the language's, one line each.
template<std::size_t N>
QStringList mismatches(const QWidget &root, const Shown (&texts)[N], bool japanese)
{
    QStringList wrong;
    for (const Shown &shown : texts) {
        const auto *widget = root.findChild<QWidget *>(QLatin1String(shown.widget));
        const QString expected = QString::fromUtf8(japanese ? shown.japanese : shown.english);
        const QString given = widget ? textOf(widget, shown.property) : QStringLiteral("(none)");
        if (given != expected)
            wrong << QStringLiteral("%1: \"%2\", expected \"%3\"")
                             .arg(QLatin1String(shown.widget), given, expected);
    }
    return wrong;
}

QString settingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::DataLocation)
           + QStringLiteral("/configuration.ini");
}

QVariant stored(const char *key)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    return settings.value(QLatin1String(key));
}

void store(const char *key, const QVariant &value)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(QLatin1String(key), value);
    settings.sync();
}

QString mapPage(const MainWindows &window)
{
    return window.findChild<MapWebView *>(QStringLiteral("wgt_MapView"))->url().fileName();
}

} // namespace

class TestInterfaceLanguage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void switchingLanguageRetranslatesEveryWindow();
    void dialogOpensFromTitleBarAndApplies();
    void leavingWithoutChangesSendsNothing_data();
    void leavingWithoutChangesSendsNothing();
    void changingOnlyMapSizeReappliesLanguage();
    void storedSystemLanguageShowsResolved_data();
    void storedSystemLanguageShowsResolved();
    void unloadableCatalogueLeavesEnglish();
    void valueOutsideTheListIsKept();
    void densityFontsReachEveryControl();
    void speedUnitReachesEverySpeedShown();
    void mapSourceChosenAndSaved();
    void mapFileAskedForOnlyWhenPicked();

private:
    QTemporaryDir mDir;
};

void TestInterfaceLanguage::initTestCase()
{
    QVERIFY(mDir.isValid());
    QCoreApplication::setApplicationName(QStringLiteral("Velqor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tamrix"));
    Q_INIT_RESOURCE(velqor_translations);
    // The desktop's own file dialog could not be answered from here.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void TestInterfaceLanguage::init()
{
    PlaybackTest::isolateSettings(mDir.filePath("shots"));
}

void TestInterfaceLanguage::cleanup()
{
    QLocale::setDefault(QLocale::c());
    Configuration::instance()->setLanguage(1);
}

void TestInterfaceLanguage::switchingLanguageRetranslatesEveryWindow()
{
    Configuration *config = Configuration::instance();
    config->setLanguage(1);
    MainWindows window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Setting dialog(&window);
    QAbstractItemModel *playlist
            = window.findChild<QTableView *>(QStringLiteral("tbl_PlayListView"))->model();
    QTRY_COMPARE_WITH_TIMEOUT(mapPage(window), QStringLiteral("GoogleMapIndex_en.html"), Patience);

    for (const bool japanese : {true, false}) {
        config->setLanguage(japanese ? 0 : 1);
        const QStringList wrong = mismatches(window, WindowTexts, japanese)
                                  + mismatches(dialog, DialogTexts, japanese);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
        for (int section = 0; section < 5; ++section)
            QCOMPARE(playlist->headerData(section, Qt::Horizontal).toString(),
                     QString::fromUtf8(HeaderTexts[section][japanese ? 1 : 0]));
        // The size units are the program's once and for all, in English.
        QCOMPARE(PlaylistModel::formatSize(5 * 1024 * 1024, 0), QStringLiteral("5 MB"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Velqor"));
        QTRY_COMPARE_WITH_TIMEOUT(mapPage(window),
                                  japanese ? QStringLiteral("GoogleMapIndex_ja.html")
                                           : QStringLiteral("GoogleMapIndex_en.html"),
                                  Patience);
    }
}

// The title bar's button runs the dialog modally; this drives it from inside its loop, and a
// dialog that does not react within ten seconds is rejected so that the test fails, not hangs.
void TestInterfaceLanguage::dialogOpensFromTitleBarAndApplies()
{
    Configuration::instance()->setLanguage(0);
    MainWindows window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy sizeChanges(Configuration::instance(), &Configuration::mapSizeChanged);

    bool frameless = false;
    int ticks = 0;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<Setting *>(QApplication::activeModalWidget());
        if (!dialog || ++ticks > 200) {
            if (QApplication::activeModalWidget())
                QApplication::activeModalWidget()->close();
            return;
        }
        if (ticks < 10) // let it be painted for the picture
            return;
        frameless = dialog->windowFlags().testFlag(Qt::FramelessWindowHint);
        QDir().mkpath(QStringLiteral(VELQOR_SCREENSHOTS));
        QGuiApplication::primaryScreen()->grabWindow(0).save(
                QStringLiteral(VELQOR_SCREENSHOTS "/settings-dialog.png"));
        dialog->findChild<QComboBox *>(QStringLiteral("cBox_Mapsize"))->setCurrentIndex(2);
        dialog->findChild<QPushButton *>(QStringLiteral("pBtn_OK"))->click();
    });
    driver.start(50);
    auto *button = window.findChild<QPushButton *>(QStringLiteral("pBtn_Step"));
    QTest::mouseClick(button, Qt::LeftButton);
    driver.stop();

    QVERIFY(frameless);
    QCOMPARE(sizeChanges.count(), 1);
    QCOMPARE(stored("MapSize").toInt(), 2);
    QCOMPARE(window.findChild<MapWebView *>(QStringLiteral("wgt_MapView"))->size(),
             QSize(200, 150));
    QVERIFY(!button->isChecked());
}

void TestInterfaceLanguage::leavingWithoutChangesSendsNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("changeFirst");
    QTest::addColumn<int>("result");

    QTest::newRow("save unchanged") << "pBtn_OK" << false << int(QDialog::Accepted);
    QTest::newRow("cancel a change") << "pBtn_Cancel" << true << int(QDialog::Rejected);
    QTest::newRow("close a change") << "pBtn_Close" << true << int(QDialog::Rejected);
}

void TestInterfaceLanguage::leavingWithoutChangesSendsNothing()
{
    QFETCH(QString, button);
    QFETCH(bool, changeFirst);
    QFETCH(int, result);
    Configuration *config = Configuration::instance();
    QSignalSpy languages(config, &Configuration::updateLanguage);
    QSignalSpy sizes(config, &Configuration::mapSizeChanged);
    QSignalSpy sources(config, &Configuration::mapSourceChanged);

    Setting dialog;
    if (changeFirst) {
        dialog.findChild<QComboBox *>(QStringLiteral("cBox_Language"))->setCurrentIndex(1);
        dialog.findChild<QComboBox *>(QStringLiteral("cBox_Mapsize"))->setCurrentIndex(0);
    }
    dialog.findChild<QPushButton *>(button)->click();

    QCOMPARE(dialog.result(), result);
    QCOMPARE(languages.count(), 0);
    QCOMPARE(sizes.count(), 0);
    QCOMPARE(sources.count(), 0);
    QVERIFY(!stored("language").isValid());
    QVERIFY(!stored("MapSize").isValid());
}

void TestInterfaceLanguage::changingOnlyMapSizeReappliesLanguage()
{
    Configuration *config = Configuration::instance();
    config->setLanguage(1);
    QSignalSpy languages(config, &Configuration::updateLanguage);
    QSignalSpy sizes(config, &Configuration::mapSizeChanged);

    Setting dialog;
    dialog.findChild<QComboBox *>(QStringLiteral("cBox_Mapsize"))->setCurrentIndex(0);
    dialog.findChild<QPushButton *>(QStringLiteral("pBtn_OK"))->click();

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(languages.count(), 1);
    QCOMPARE(sizes.count(), 1);
    QCOMPARE(stored("language").toInt(), 1);
    QCOMPARE(stored("MapSize").toInt(), 0);
}

void TestInterfaceLanguage::storedSystemLanguageShowsResolved_data()
{
    QTest::addColumn<QLocale>("system");
    QTest::addColumn<int>("shown");

    QTest::newRow("Japanese system") << QLocale(QLocale::Japanese, QLocale::Japan) << 0;
    QTest::newRow("German system") << QLocale(QLocale::German, QLocale::Germany) << 1;
}

void TestInterfaceLanguage::storedSystemLanguageShowsResolved()
{
    QFETCH(QLocale, system);
    QFETCH(int, shown);
    QLocale::setDefault(system);
    store("language", 2);

    Setting dialog;
    auto *language = dialog.findChild<QComboBox *>(QStringLiteral("cBox_Language"));
    QCOMPARE(language->currentIndex(), shown);
    // Saving a change stores the language shown, no longer the system's.
    dialog.findChild<QComboBox *>(QStringLiteral("cBox_Mapsize"))->setCurrentIndex(2);
    dialog.findChild<QPushButton *>(QStringLiteral("pBtn_OK"))->click();
    QCOMPARE(stored("language").toInt(), shown);
    QCOMPARE(stored("MapSize").toInt(), 2);
}

void TestInterfaceLanguage::unloadableCatalogueLeavesEnglish()
{
    Configuration *config = Configuration::instance();
    config->setLanguage(1);
    MainWindows window;
    QSignalSpy languages(config, &Configuration::updateLanguage);
    QSignalSpy sizes(config, &Configuration::mapSizeChanged);

    Q_CLEANUP_RESOURCE(velqor_translations);
    Setting dialog;
    dialog.findChild<QComboBox *>(QStringLiteral("cBox_Language"))->setCurrentIndex(0);
    QTest::ignoreMessage(QtWarningMsg,
                         "cannot load the interface catalogue :/translations/Japanese.qm");
    dialog.findChild<QPushButton *>(QStringLiteral("pBtn_OK"))->click();
    Q_INIT_RESOURCE(velqor_translations);

    // The map size is stored and applied all the same, and the dialog closes as saved.
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(languages.count(), 0);
    QCOMPARE(sizes.count(), 1);
    QCOMPARE(stored("language").toInt(), 1);
    QCOMPARE(stored("MapSize").toInt(), 1);
    const QStringList wrong = mismatches(window, WindowTexts, false);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

// A hand-edited file may hold a value the boxes do not list; saving another change keeps it.
void TestInterfaceLanguage::valueOutsideTheListIsKept()
{
    store("language", 1);
    store("MapSize", 7);
    Setting dialog;
    QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("cBox_Mapsize"))->currentIndex(), -1);
    dialog.findChild<QComboBox *>(QStringLiteral("cBox_Language"))->setCurrentIndex(0);
    dialog.findChild<QPushButton *>(QStringLiteral("pBtn_OK"))->click();
    QCOMPARE(stored("language").toInt(), 0);
    QCOMPARE(stored("MapSize").toInt(), 7);
}

void TestInterfaceLanguage::densityFontsReachEveryControl()
{
    Setting dialog;
    const int base = QApplication::font().pointSize();
    auto *title = dialog.findChild<QLabel *>(QStringLiteral("lbl_settingTitle"));
    QCOMPARE(title->font().pointSize(), base + 1);

    dialog.setSystemFontSize(true);
    const QScreen *screen = dialog.screen();
    const WindowGeometry::FontStep step
            = WindowGeometry::dialogFontStep(screen->logicalDotsPerInch() / 96.0);
    for (const char *name : {"lbl_language", "label_MapSize", "label_MapSource", "cBox_Language",
                             "cBox_Mapsize", "cBox_MapSource", "pBtn_OK", "pBtn_Cancel"})
        QCOMPARE(dialog.findChild<QWidget *>(QLatin1String(name))->font().pointSize(),
                 step.pointSize);
    QCOMPARE(title->font().pointSize(),
             step.pointSize + WindowGeometry::dialogTitleFontIncrease(step.rate));
}

// The speed text beside the map, the control bar's and the speedometer's follow the unit saved in
// the dialog at once, and a language change keeps the unit of the placeholder.
void TestInterfaceLanguage::speedUnitReachesEverySpeedShown()
{
    Configuration *config = Configuration::instance();
    MainWindows window;
    auto *panel = window.findChild<ControlPanel *>(QStringLiteral("wgt_PlayCtrl"));
    QList<QPushButton *> texts = window.findChildren<QPushButton *>(QStringLiteral("pBtn_Speed"));
    QCOMPARE(texts.size(), 2); // beside the map and in the control bar
    auto *gauge = window.findChild<SpeedTray *>(QStringLiteral("wgt_Speed"));
    panel->setState(QMediaPlayer::PlayingState);
    GpsData sample;
    sample.speed = 100;
    window.onGpsDataChanged(-1, sample);

    const auto shown = [&] {
        QStringList all{gauge->text()};
        for (const QPushButton *text : texts)
            all << text->text();
        return all.join(QLatin1Char('|'));
    };
    QCOMPARE(shown(), QStringLiteral("100 km/h|100 km/h|100 km/h"));
    Setting dialog;
    dialog.findChild<QComboBox *>(QStringLiteral("cBox_SpeedUnit"))->setCurrentIndex(1);
    QSignalSpy sizes(config, &Configuration::mapSizeChanged);
    dialog.findChild<QPushButton *>(QStringLiteral("pBtn_OK"))->click();
    QCOMPARE(sizes.count(), 0); // no restart for the unit alone
    QCOMPARE(stored("speedUnit").toInt(), 1);
    QCOMPARE(shown(), QStringLiteral("62 mph|062 mph|062 mph"));
    QCOMPARE(gauge->angle(), 62 * 270 / SpeedTray::MaxSpeedMph - 135);

    config->setLanguage(0);
    QCOMPARE(texts.first()->text().right(4), QStringLiteral(" mph"));
    QCOMPARE(texts.last()->text().right(4), QStringLiteral(" mph"));
    config->setSpeedUnit(0);
    QCOMPARE(gauge->text().right(5), QStringLiteral(" km/h"));
}

// The file dialog runs modally inside the box's activation; this answers it from the event loop
// with the file named, or cancels it for an empty name. One that never shows ends the wait after
// ten seconds, so that the test fails instead of hanging. The answer tells whether one showed.
std::shared_ptr<bool> answerFileDialog(const QString &path, int patience = 200)
{
    auto *driver = new QTimer;
    int ticks = 0;
    auto shown = std::make_shared<bool>(false);
    QObject::connect(driver, &QTimer::timeout, [driver, path, ticks, patience, shown]() mutable {
        auto *files = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!files && ++ticks < patience)
            return;
        driver->deleteLater();
        driver->stop();
        *shown = files;
        if (!files || path.isEmpty()) {
            if (QApplication::activeModalWidget())
                QApplication::activeModalWidget()->close();
            return;
        }
        // Typed, as the folder's listing fills in only later.
        files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        static_cast<QDialog *>(files)->accept(); // protected in the file dialog
    });
    driver->start(50);
    return shown;
}

void TestInterfaceLanguage::mapSourceChosenAndSaved()
{
    const QString kept = mDir.filePath(QStringLiteral("kanto.mbtiles"));
    const QString chosen = mDir.filePath(QStringLiteral("tokyo.pmtiles"));
    QFile file(chosen);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    store("mapSource", kept);
    QSignalSpy changes(Configuration::instance(), &Configuration::mapSourceChanged);

    Setting dialog;
    auto *box = dialog.findChild<QComboBox *>(QStringLiteral("cBox_MapSource"));
    const auto items = [box] {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    };
    QCOMPARE(items(), (QStringList{"OpenStreetMap (online)", "kanto.mbtiles", "Map file..."}));
    QCOMPARE(box->currentIndex(), 1);
    QCOMPARE(box->itemData(1, Qt::ToolTipRole).toString(), QDir::toNativeSeparators(kept));

    // A cancelled file dialog goes back to the source selected before, here the online map.
    box->setCurrentIndex(0);
    emit box->activated(0);
    answerFileDialog(QString());
    box->setCurrentIndex(2);
    emit box->activated(2);
    QCOMPARE(box->currentIndex(), 0);
    QCOMPARE(box->count(), 3);

    answerFileDialog(chosen);
    box->setCurrentIndex(2);
    emit box->activated(2);
    QCOMPARE(items(), (QStringList{"OpenStreetMap (online)", "tokyo.pmtiles", "Map file..."}));
    QCOMPARE(box->currentIndex(), 1);
    // A language change keeps the file chosen but not yet saved.
    Configuration::instance()->setLanguage(0);
    QCOMPARE(items(),
             (QStringList{"OpenStreetMap (オンライン)", "tokyo.pmtiles", "地図ファイル..."}));
    QCOMPARE(box->currentIndex(), 1);
    QCOMPARE(changes.count(), 0);

    dialog.findChild<QPushButton *>(QStringLiteral("pBtn_OK"))->click();
    QCOMPARE(changes.count(), 1);
    QCOMPARE(stored("mapSource").toString(), chosen);

    Setting again;
    box = again.findChild<QComboBox *>(QStringLiteral("cBox_MapSource"));
    box->setCurrentIndex(0);
    emit box->activated(0);
    again.findChild<QPushButton *>(QStringLiteral("pBtn_OK"))->click();
    QCOMPARE(changes.count(), 2);
    QCOMPARE(stored("mapSource").toString(), QStringLiteral("online"));
}

// Keys, letters and the wheel on the closed box step over the entry that asks for a file; a
// pick of it asks, and the file picked is opened again on saving though it is the stored one
// (a card not plugged in when the viewer started).
void TestInterfaceLanguage::mapFileAskedForOnlyWhenPicked()
{
    const QString missing = mDir.filePath(QStringLiteral("card.mbtiles"));
    store("mapSource", missing);
    QSignalSpy changes(Configuration::instance(), &Configuration::mapSourceChanged);
    Setting dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *box = dialog.findChild<QComboBox *>(QStringLiteral("cBox_MapSource"));
    box->setFocus();

    const std::shared_ptr<bool> asked = answerFileDialog(QString(), 20);
    QTest::keyClick(box, Qt::Key_Down);
    QVERIFY(!*asked);
    QCOMPARE(box->currentIndex(), 1);
    // Type-ahead finds the entry by its first letter.
    QTest::keyClick(box, 'M');
    QVERIFY(!*asked);
    QCOMPARE(box->currentIndex(), 1);
    QWheelEvent wheel(QPointF(5, 5), QPointF(box->mapToGlobal(QPoint(5, 5))), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
    QCOMPARE(box->currentIndex(), 1);
    QTest::keyClick(box, Qt::Key_Up);
    QCOMPARE(box->currentIndex(), 0);
    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(box->currentIndex(), 0);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QTest::qWait(1100);
    QVERIFY(!*asked);

    // The card is plugged in now.
    QFile card(missing);
    QVERIFY(card.open(QIODevice::WriteOnly));
    card.close();
    const std::shared_ptr<bool> picked = answerFileDialog(missing);
    box->setCurrentIndex(2);
    emit box->activated(2);
    QVERIFY(*picked);
    QCOMPARE(box->currentIndex(), 1);
    dialog.findChild<QPushButton *>(QStringLiteral("pBtn_OK"))->click();
    QCOMPARE(changes.count(), 1);
    QCOMPARE(stored("mapSource").toString(), missing);
}

VELQOR_MAP_TEST_MAIN(TestInterfaceLanguage)
#include "tst_interfacelanguage.moc"

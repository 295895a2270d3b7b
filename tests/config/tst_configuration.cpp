// Configuration store: defaults, write-through round trips, language resolution and signals.
#include "config/configuration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

class TestConfiguration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void defaultsWithoutFile();
    void settersWriteThroughToTheFile();
    void wrongTypesConvert();
    void mapSizeSignalsEvenWhenUnchanged();
    void videoExportChoices_data();
    void videoExportChoices();
    void systemLanguageResolution_data();
    void systemLanguageResolution();
    void unknownLanguageIsKept();
    void missingCatalogueChangesNothing();
    void japaneseCatalogueInstalledAndRemoved();

private:
    QString playText() const { return QCoreApplication::translate("TestConfiguration", "Play"); }
    QVariant stored(const char *key) const
    {
        return QSettings(mFilePath, QSettings::IniFormat).value(key);
    }

    QString mFilePath;
};

void TestConfiguration::initTestCase()
{
    // Keeps the user's real settings out of reach.
    QStandardPaths::setTestModeEnabled(true);
    const QStringList dataDirs = QStandardPaths::standardLocations(QStandardPaths::DataLocation);
    QVERIFY(!dataDirs.isEmpty());
    mFilePath = dataDirs.first() + QStringLiteral("/configuration.ini");
    QFile::remove(mFilePath);
    QVERIFY(Configuration::instance() != nullptr);
}

void TestConfiguration::init()
{
    // Settings objects on one file share their state inside a process, so this empties the store.
    QSettings settings(mFilePath, QSettings::IniFormat);
    settings.clear();
    settings.sync();
    QFile::remove(mFilePath);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestConfiguration::cleanup()
{
    Configuration::instance()->setLanguage(1);
}

void TestConfiguration::defaultsWithoutFile()
{
    QVERIFY(!QFile::exists(mFilePath));
    Configuration *config = Configuration::instance();
    QCOMPARE(config->instance(), config);
    QCOMPARE(config->targetLanguage(), 0);
    QCOMPARE(config->mapType(), 1);
    QCOMPARE(config->mapSize(), 1);
    QCOMPARE(config->volume(), 30);
    QCOMPARE(config->isMute(), false);
    QCOMPARE(config->speedUnit(), 0);
    QCOMPARE(config->mapSource(), QStringLiteral("online"));
    const QString pictures = QStandardPaths::standardLocations(QStandardPaths::PicturesLocation)
                                     .value(0, QDir::homePath());
    QCOMPARE(config->screenshotSavePath(), pictures + "/" + QCoreApplication::applicationName());
    const QString movies = QStandardPaths::standardLocations(QStandardPaths::MoviesLocation)
                                   .value(0, QDir::homePath());
    QCOMPARE(config->videoFilePath(), movies);
    QVERIFY(!config->hasVideoFilePath());
    QCOMPARE(config->mainWindowsRect(), QRect(483, 166, 950, 628));
    QCOMPARE(config->mainWindowsIsMaximize(), false);
    QCOMPARE(config->mainWindowsScreenNumber(), 0);
}

void TestConfiguration::settersWriteThroughToTheFile()
{
    Configuration *config = Configuration::instance();
    config->setMapSize(2);
    config->setVolume(77);
    config->setMute(true);
    config->setVideoFilePath(QStringLiteral("/media/card/DCIM"));
    config->setMainWindowsRect(QRect(10, 20, 800, 600));
    config->setMainWindowsIsMaximize(true);
    config->setMainWindowsScreenNumber(2);
    QSignalSpy sourceChanges(config, &Configuration::mapSourceChanged);
    config->setMapSource(QStringLiteral("/media/maps/Kantō region.mbtiles"));
    config->sync();
    QCOMPARE(sourceChanges.count(), 1);

    QVERIFY(QFile::exists(mFilePath));
    QCOMPARE(config->mapSize(), 2);
    QCOMPARE(config->volume(), 77);
    QCOMPARE(config->isMute(), true);
    QCOMPARE(config->videoFilePath(), QStringLiteral("/media/card/DCIM"));
    QVERIFY(config->hasVideoFilePath());
    QCOMPARE(config->mainWindowsRect(), QRect(10, 20, 800, 600));
    QCOMPARE(config->mainWindowsIsMaximize(), true);
    QCOMPARE(config->mainWindowsScreenNumber(), 2);
    QCOMPARE(config->mapSource(), QStringLiteral("/media/maps/Kantō region.mbtiles"));

    // The keys live at the top level of the file (the toolkit's General section) under their
    // stored names.
    QFile file(mFilePath);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.startsWith(QLatin1String("[General]")));
    QCOMPARE(text.count('['), 1);
    for (const char *key : {"MapSize=2", "Volume=77", "Mute=true", "videoFilePath=/media/card/DCIM",
                            "mainwindowsRect=@Rect(10 20 800 600)", "mainwindowsIsMaximize=true",
                            "mainwindowsScreenNumber=2", "mapSource=/media/maps/Kant"})
        QVERIFY2(text.contains(QLatin1String(key)), key);
}

void TestConfiguration::wrongTypesConvert()
{
    QSettings settings(mFilePath, QSettings::IniFormat);
    settings.setValue("Volume", "loud");
    settings.setValue("mainwindowsRect", "wide");
    settings.setValue("ScreenshotSavePath", "/tmp/shots");
    settings.setValue("speedUnit", 1);
    Configuration *config = Configuration::instance();
    QCOMPARE(config->volume(), 0);
    QCOMPARE(config->mainWindowsRect(), QRect());
    QCOMPARE(config->screenshotSavePath(), QStringLiteral("/tmp/shots"));
    QCOMPARE(config->speedUnit(), 1);
}

void TestConfiguration::videoExportChoices_data()
{
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("none") << QStringList();
    QTest::newRow("one") << QStringList{"speed"};
    QTest::newRow("several") << QStringList{"time", "utc", "g", "map"};
}

void TestConfiguration::videoExportChoices()
{
    QFETCH(QStringList, parts);
    Configuration *config = Configuration::instance();
    const QStringList unset{"unset"};
    QCOMPARE(config->videoExportLayout(), QString());
    QCOMPARE(config->videoExportResolution(), QString());
    QCOMPARE(config->videoExportOverlay(unset), unset);

    config->setVideoExportLayout(QStringLiteral("pip"));
    config->setVideoExportResolution(QStringLiteral("720p"));
    config->setVideoExportOverlay(parts);
    config->sync();
    QCOMPARE(config->videoExportLayout(), QStringLiteral("pip"));
    QCOMPARE(config->videoExportResolution(), QStringLiteral("720p"));
    // No part at all is a choice too, not the fallback of a first run.
    QCOMPARE(config->videoExportOverlay(unset), parts);
    QCOMPARE(stored("videoExportLayout").toString(), QStringLiteral("pip"));
    QCOMPARE(stored("videoExportOverlay").toStringList(), parts);
}

void TestConfiguration::mapSizeSignalsEvenWhenUnchanged()
{
    Configuration *config = Configuration::instance();
    QSignalSpy spy(config, &Configuration::mapSizeChanged);
    config->setMapSize(0);
    config->setMapSize(0);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(stored("MapSize").toInt(), 0);
}

void TestConfiguration::systemLanguageResolution_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("expected");
    QTest::newRow("japanese") << QLocale(QLocale::Japanese, QLocale::Japan) << 0;
    QTest::newRow("german") << QLocale(QLocale::German, QLocale::Germany) << 1;
    QTest::newRow("english") << QLocale(QLocale::English, QLocale::UnitedKingdom) << 1;
}

void TestConfiguration::systemLanguageResolution()
{
    QFETCH(QLocale, locale);
    QFETCH(int, expected);
    Configuration *config = Configuration::instance();
    QSignalSpy spy(config, &Configuration::updateLanguage);
    config->setLanguage(2);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(stored("language").toInt(), 2);

    QLocale::setDefault(locale);
    QCOMPARE(config->targetLanguage(), expected);
    // The stored value stays 2 until the start-up applies the resolved one.
    QCOMPARE(stored("language").toInt(), 2);
}

void TestConfiguration::unknownLanguageIsKept()
{
    Configuration *config = Configuration::instance();
    QSignalSpy spy(config, &Configuration::updateLanguage);
    config->setLanguage(5);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(stored("language").toInt(), 5);
    QCOMPARE(config->targetLanguage(), 5);
    QCOMPARE(playText(), QStringLiteral("Play"));
}

void TestConfiguration::missingCatalogueChangesNothing()
{
    Q_CLEANUP_RESOURCE(testcatalogue);
    Configuration *config = Configuration::instance();
    config->setLanguage(1);
    QSignalSpy spy(config, &Configuration::updateLanguage);
    QTest::ignoreMessage(QtWarningMsg,
                         "cannot load the interface catalogue :/translations/Japanese.qm");
    config->setLanguage(0);
    Q_INIT_RESOURCE(testcatalogue);

    QCOMPARE(spy.count(), 0);
    QCOMPARE(stored("language").toInt(), 1);
    QCOMPARE(config->targetLanguage(), 1);
    QCOMPARE(playText(), QStringLiteral("Play"));

    // Applying Japanese again while it shows keeps it when the catalogue has gone meanwhile.
    config->setLanguage(0);
    Q_CLEANUP_RESOURCE(testcatalogue);
    QTest::ignoreMessage(QtWarningMsg,
                         "cannot load the interface catalogue :/translations/Japanese.qm");
    config->setLanguage(0);
    Q_INIT_RESOURCE(testcatalogue);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(playText(), QString::fromUtf8("再生"));
    config->setLanguage(1);
}

void TestConfiguration::japaneseCatalogueInstalledAndRemoved()
{
    Configuration *config = Configuration::instance();
    QSignalSpy spy(config, &Configuration::updateLanguage);

    // The signal must find the catalogue already in place so that listeners re-read their texts.
    QString textSeenBySignal;
    connect(config, &Configuration::updateLanguage, this,
            [&textSeenBySignal, this] { textSeenBySignal = playText(); });
    config->setLanguage(0);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(textSeenBySignal, QString::fromUtf8("再生"));
    QCOMPARE(stored("language").toInt(), 0);
    QCOMPARE(config->targetLanguage(), 0);

    // Applying Japanese again must not leave a second copy behind after switching away.
    config->setLanguage(0);
    config->setLanguage(1);
    disconnect(config, &Configuration::updateLanguage, this, nullptr);
    QCOMPARE(spy.count(), 3);
    QCOMPARE(playText(), QStringLiteral("Play"));
    QCOMPARE(stored("language").toInt(), 1);
}

QTEST_GUILESS_MAIN(TestConfiguration)
#include "tst_configuration.moc"

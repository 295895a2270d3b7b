// The whole window draws a drive's track on a map file, or on the world base map when the tile
// server cannot be reached, without a single request leaving the computer for the map file.
#include "app/mainwindows.h"

#include "config/configuration.h"
#include "map/mapwebview.h"
#include "map/webengineurlrequestinterceptor.h"
#include "mbtileswriter.h"
#include "parser/recordingparser.h"
#include "playbacktestutil.h"
#include "tests/map/mapschemetest.h"

#include <QBuffer>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRectF>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int Patience = 30000; // ms; parsing and a page load on a loaded two-core machine
constexpr int DeepestLevel = 12; // the page enlarges it up to the street zoom it shows a drive at
const QColor FileColour(255, 0, 255);
const QColor BaseLandColour(0xf2, 0xef, 0xe9); // the base map's land in maps/mapsources.js

// Every position of the drive's recordings, west to east and south to north.
QRectF driveArea(const QString &folder)
{
    QRectF area;
    QDirIterator files(folder, {"*F.MP4", "*F.AVI"}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        std::unique_ptr<ParserObject> parser = createRecordingParser(files.next());
        GpsData sample;
        for (int i = 0; parser && parser->readSample(i, sample); ++i) {
            if (sample.fixFlag)
                area |= QRectF(sample.longitude, sample.latitude, 1e-9, 1e-9);
        }
    }
    return area;
}

// One solid colour over the area (and a margin wider than the map view shows at street zoom),
// from the whole world down to the deepest level.
bool writeSolidMap(const QString &path, const QRectF &area)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(FileColour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const double margin = 0.05;
    MbTilesWriter writer(path);
    writer.setMetadata("name", "solid");
    writer.setMetadata("format", "png");
    writer.addArea(area.left() - margin, area.top() - margin, area.right() + margin,
                   area.bottom() + margin, 0, DeepestLevel, png);
    return writer.finish();
}

bool similar(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) <= 6 && qAbs(a.green() - b.green()) <= 6
           && qAbs(a.blue() - b.blue()) <= 6;
}

// Share of the pixels in the middle of the view, where the page centres the drive, that show
// the colour; the track, its marker and the controls take a few.
double shareOf(const QImage &image, const QColor &colour)
{
    const QRect middle(image.width() / 4, image.height() / 4, image.width() / 2,
                       image.height() / 2);
    int matching = 0;
    for (int y = middle.top(); y <= middle.bottom(); ++y)
        for (int x = middle.left(); x <= middle.right(); ++x)
            matching += similar(image.pixelColor(x, y), colour);
    return double(matching) / (middle.width() * middle.height());
}

int trackLength(MapWebView *map)
{
    auto length = std::make_shared<int>(-1);
    map->page()->runJavaScript(
            QStringLiteral("typeof mapState === 'function' ? mapState().track.length : 0"),
            [length](const QVariant &value) { *length = value.toInt(); });
    return QTest::qWaitFor([length] { return *length >= 0; }, 5000) ? *length : 0;
}

} // namespace

class TestOfflineMap : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drawsTheTrackWithoutTheNetwork_data();
    void drawsTheTrackWithoutTheNetwork();

private:
    QTemporaryDir mDir;
    QString mDrive;
    QString mMapFile;
};

void TestOfflineMap::initTestCase()
{
    QVERIFY(mDir.isValid());
    QCoreApplication::setApplicationName(QStringLiteral("Velqor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tamrix"));
    PlaybackTest::isolateSettings(mDir.filePath("shots"));
    mDrive = mDir.filePath("drive");
    QProcess demo;
    demo.setProcessChannelMode(QProcess::MergedChannels);
    demo.start(QStringLiteral(VELQOR_DEMO),
               {"--seconds", "3", "--clips", "2", "--size", "160x120", "--fps", "10", mDrive});
    QVERIFY(demo.waitForFinished(Patience * 4));
    QVERIFY2(demo.exitCode() == 0, demo.readAll().constData());
    const QRectF area = driveArea(mDrive);
    QVERIFY(!area.isEmpty());
    mMapFile = mDir.filePath("solid.mbtiles");
    QVERIFY(writeSolidMap(mMapFile, area));
}

void TestOfflineMap::drawsTheTrackWithoutTheNetwork_data()
{
    QTest::addColumn<bool>("mapFile");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("screenshot");
    QTest::newRow("map file") << true << FileColour << "offline-mapfile.png";
    QTest::newRow("network unplugged") << false << BaseLandColour << "offline-basemap.png";
}

void TestOfflineMap::drawsTheTrackWithoutTheNetwork()
{
    QFETCH(bool, mapFile);
    QFETCH(QColor, colour);
    QFETCH(QString, screenshot);
    PlaybackTest::isolateSettings(mDir.filePath("shots"));
    Configuration::instance()->setLanguage(1);
    Configuration::instance()->setMapSource(mapFile ? mMapFile
                                                    : QString(Configuration::OnlineMapSource));

    MainWindows window;
    auto *map = window.findChild<MapWebView *>(QStringLiteral("wgt_MapView"));
    QVERIFY(map);
    // A server that hangs up on every request: a port merely closed could be taken by another
    // test's server in the meantime.
    QTcpServer unplugged;
    if (!mapFile) {
        QVERIFY(unplugged.listen(QHostAddress::LocalHost));
        connect(&unplugged, &QTcpServer::newConnection, &unplugged, [&unplugged] {
            while (QTcpSocket *socket = unplugged.nextPendingConnection()) {
                socket->abort();
                socket->deleteLater();
            }
        });
        map->setOnlineTileUrl(
                QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(unplugged.serverPort()));
    }
    const int requestsBefore = MainWindows::requestInterceptor().networkRequestCount();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.openUrls({QUrl::fromLocalFile(mDrive)});

    QTRY_VERIFY_WITH_TIMEOUT(trackLength(map) > 0, Patience);
    double share = 0;
    QTRY_VERIFY2_WITH_TIMEOUT((share = shareOf(map->grab().toImage(), colour)) > 0.6,
                              qPrintable(QString::number(share)), Patience);
    QVERIFY(QDir().mkpath(QStringLiteral(VELQOR_SCREENSHOTS)));
    QVERIFY(window.grab().save(QStringLiteral(VELQOR_SCREENSHOTS "/") + screenshot));
    // Nothing of a map file leaves the computer; the unplugged tile server was asked, in vain.
    const int requests = MainWindows::requestInterceptor().networkRequestCount() - requestsBefore;
    QVERIFY2((requests > 0) != mapFile, qPrintable(QString::number(requests)));
}

VELQOR_MAP_TEST_MAIN(TestOfflineMap)

#include "tst_offlinemap.moc"

// The map view and its three pages in the real web engine, offline: the page contract, the centre
// across page loads, page choice by provider and language, the map source, what tile servers are
// told, pop-up links, and a screenshot.
#include "config/configuration.h"
#include "map/mapwebview.h"
#include "map/webengineurlrequestinterceptor.h"
#include "mbtileswriter.h"
#include "pagescript.h"
#include "tests/map/mapschemetest.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebEngineProfile>
#include <QtTest>

#include <limits>

#include <utility>

namespace {

// The web engine starts slowly under Xvfb on a busy machine.
const int kTimeout = 30000;

// Stands in for the desktop browser.
class LinkRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

// A tile server on the loopback interface that keeps the header lines of every request it is
// sent, and either answers each with an empty 404 or never answers at all.
class TileServer : public QTcpServer
{
public:
    explicit TileServer(bool answers)
        : mAnswers(answers)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        });
        listen(QHostAddress::LocalHost);
    }

    QString urlTemplate() const
    {
        return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(serverPort());
    }

    // Lower-case header names, one map for each complete request.
    QList<QMap<QByteArray, QByteArray>> requests;

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = mBuffers[socket];
        buffer += socket->readAll();
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        QMap<QByteArray, QByteArray> headers;
        for (const QByteArray &line : buffer.left(end).split('\n').mid(1)) {
            const int colon = line.indexOf(':');
            headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        requests.append(headers);
        buffer.remove(0, end + 4);
        if (mAnswers)
            socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    }

    const bool mAnswers;
    QHash<QTcpSocket *, QByteArray> mBuffers;
};

struct PageState
{
    QVariantList track;
    QVariantList current;
    QPointF center;
    bool centred = false;
    QVariantMap source;
    QString message;
};

PageState pageState(QWebEngineView &view)
{
    const QVariantMap map = evaluate(view.page(), QStringLiteral("mapState()")).toMap();
    const QVariantList center = map.value(QStringLiteral("center")).toList();
    return {map.value(QStringLiteral("track")).toList(),
            map.value(QStringLiteral("current")).toList(),
            QPointF(center.value(0).toDouble(), center.value(1).toDouble()),
            map.value(QStringLiteral("centred")).toBool(),
            map.value(QStringLiteral("source")).toMap(),
            map.value(QStringLiteral("message")).toString()};
}

QVariantList asList(const MapPoint &point)
{
    return {point.longitude, point.latitude, point.index};
}

// Leaflet centres to whole pixels; a pixel at street zoom is about 2e-5 degrees.
bool near(const QPointF &center, double longitude, double latitude)
{
    return qAbs(center.x() - longitude) < 1e-4 && qAbs(center.y() - latitude) < 1e-4;
}

bool waitForLoads(QSignalSpy &loads, int count)
{
    return QTest::qWaitFor([&] { return loads.count() >= count; }, kTimeout)
           && loads.count() == count;
}

// At the size the main window gives the map.
void showView(QWebEngineView &view)
{
    view.resize(800, 600);
    view.show();
}

QString pagesDir()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/maps/");
}

// A short drive through central Tokyo.
QList<MapPoint> drive()
{
    QList<MapPoint> points;
    for (int second = 0; second < 12; ++second)
        points.append({second, 139.7000 + 0.0004 * second, 35.6800 + 0.00002 * second * second});
    return points;
}

// Qt's own complaints about how the view handles addresses: each is a fault of the view.
QStringList urlWarnings;
QtMessageHandler previousHandler = nullptr;

void recordUrlWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("QUrl")))
        urlWarnings.append(message);
    previousHandler(type, context, message);
}

} // namespace

class TestMapWebView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void pageContract_data();
    void pageContract();
    void centreAcrossLoads();
    void driveLineOncePerDriveAndEventClicks();
    void drawingWhileThePageLoads();
    void wholeTrackAtOnce_data();
    void wholeTrackAtOnce();
    void trackBeforeTilesArrive();
    void reloadWhileLoading_data();
    void reloadWhileLoading();
    void tileServerManners();
    void mapFileThatCannotBeShown_data();
    void mapFileThatCannotBeShown();
    void mapFileReplacedOnDisk();
    void pageChoice();
    void missingPage();
    void popupLinks();
    void screenshot();

private:
    void setStoredLanguage(int language);
    void setStoredSource(const QString &source);

    QString mSettingsPath;
    WebEngineUrlRequestInterceptor mInterceptor;
};

void TestMapWebView::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    mSettingsPath = QStandardPaths::writableLocation(QStandardPaths::DataLocation)
                    + QStringLiteral("/configuration.ini");
    // Installed as the viewer installs it, so every page here loads through it.
    QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(&mInterceptor);
    QVERIFY(QFile::exists(pagesDir() + QStringLiteral("leaflet.js")));
    previousHandler = qInstallMessageHandler(recordUrlWarnings);
}

void TestMapWebView::init()
{
    setStoredLanguage(0);
    setStoredSource(QStringLiteral("online"));
}

void TestMapWebView::cleanup()
{
    QVERIFY2(urlWarnings.isEmpty(), qPrintable(std::exchange(urlWarnings, {}).join('\n')));
}

void TestMapWebView::setStoredLanguage(int language)
{
    // Settings objects on one file share their state in a process: this reaches the store.
    QSettings settings(mSettingsPath, QSettings::IniFormat);
    settings.setValue(QStringLiteral("language"), language);
}

void TestMapWebView::setStoredSource(const QString &source)
{
    QSettings settings(mSettingsPath, QSettings::IniFormat);
    settings.setValue(QStringLiteral("mapSource"), source);
}

void TestMapWebView::pageContract_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("provider");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("attribution");

    QTest::newRow("Japanese") << 0 << int(Google) << "GoogleMapIndex_ja.html"
                              << "地図"
                              << "地図データ © OpenStreetMap 貢献者";
    QTest::newRow("English") << 1 << int(Google) << "GoogleMapIndex_en.html"
                             << "Map"
                             << "Map data © OpenStreetMap contributors";
    QTest::newRow("Chinese") << 0 << int(Baidu) << "BaiduMapIndex.html"
                             << "地图"
                             << "地图数据 © OpenStreetMap 贡献者";
}

void TestMapWebView::pageContract()
{
    QFETCH(int, language);
    QFETCH(int, provider);
    QFETCH(QString, file);
    QFETCH(QString, title);
    QFETCH(QString, attribution);

    setStoredLanguage(language);
    MapWebView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    view.setMapType(static_cast<MapTypes>(provider));
    QVERIFY(waitForLoads(loads, 1));
    QCOMPARE(view.url().fileName(), file);
    QVERIFY(loads.last().first().toBool());

    PageState state = pageState(view);
    QVERIFY(state.centred);
    QVERIFY(near(state.center, 0, 0));

    const QList<MapPoint> points = drive();
    view.clearAll();
    QVariantList expectedTrack;
    for (const MapPoint &point : points) {
        view.addPoint(point);
        expectedTrack.append(QVariant(asList(point)));
        QCOMPARE(pageState(view).track, expectedTrack);
    }
    QVERIFY(pageState(view).current.isEmpty());

    view.setCurrentPoint(points.at(0));
    QCOMPARE(pageState(view).current, asList(points.at(0)));
    view.setCurrentPoint(points.at(7));
    QCOMPARE(pageState(view).current, asList(points.at(7)));
    view.setDefaultCenter();
    QVERIFY(near(pageState(view).center, points.at(7).longitude, points.at(7).latitude));

    // Drawn from local files alone: the marker image has loaded and the line has its path.
    QTRY_VERIFY_WITH_TIMEOUT(
            evaluate(view.page(),
                     QStringLiteral("(function () { var icon = document.querySelector("
                                    "'.leaflet-marker-icon'); return !!icon && icon.complete"
                                    " && icon.naturalWidth > 0; })()"))
                    .toBool(),
            kTimeout);
    QVERIFY(evaluate(view.page(),
                     QStringLiteral("document.querySelector('.leaflet-overlay-pane path')"
                                    ".getAttribute('d')"))
                    .toString()
                    .count(QLatin1Char('L'))
            >= 2);
    const QVariantList remote
            = evaluate(view.page(), QStringLiteral("performance.getEntriesByType('resource')"
                                                   ".map(function (e) { return e.name; })"
                                                   ".filter(function (n) { return "
                                                   "!n.startsWith('file:') && "
                                                   "!n.startsWith('velqor-map:') && "
                                                   "!n.startsWith('https://tile."
                                                   "openstreetmap.org/'); })"))
                      .toList();
    QVERIFY2(remote.isEmpty(), qPrintable(QVariant(remote).toStringList().join(' ')));

    QCOMPARE(evaluate(view.page(), QStringLiteral("document.title")).toString(), title);
    const QString shown
            = evaluate(view.page(), QStringLiteral("document.querySelector("
                                                   "'.leaflet-control-attribution').textContent"))
                      .toString();
    QVERIFY2(shown.contains(attribution), qPrintable(shown));

    view.clearAll();
    state = pageState(view);
    QVERIFY(state.track.isEmpty());
    QVERIFY(state.current.isEmpty());
}

void TestMapWebView::centreAcrossLoads()
{
    MapWebView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    QVERIFY(waitForLoads(loads, 1));

    view.setCurrentPoint({5, -0.5, 51.25});
    view.clearAll();
    evaluate(view.page(), QStringLiteral("setCenter(0, 0)"));
    QVERIFY(near(pageState(view).center, 0, 0));
    view.setDefaultCenter();
    QVERIFY(near(pageState(view).center, -0.5, 51.25));

    // A reload comes back on the last position, without the track or the marker.
    view.addPoint({5, -0.5, 51.25});
    view.setMapType(Baidu);
    QVERIFY(waitForLoads(loads, 2));
    const PageState state = pageState(view);
    QVERIFY(near(state.center, -0.5, 51.25));
    QVERIFY(state.track.isEmpty());
    QVERIFY(state.current.isEmpty());
}

void TestMapWebView::driveLineOncePerDriveAndEventClicks()
{
    MapWebView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    // Sent while the page loads, then again for each clip of the same drive.
    const QVector<QPointF> first{{139.70, 35.68}, {139.71, 35.69}, {139.72, 35.69}};
    view.setDriveTrack(first);
    QVERIFY(waitForLoads(loads, 1));
    const auto state = [&] { return evaluate(view.page(), "mapState()").toMap(); };
    const QVariantList firstLine{QVariantList{139.70, 35.68}, QVariantList{139.71, 35.69},
                                 QVariantList{139.72, 35.69}};
    QCOMPARE(state().value("drive").toList(), firstLine);
    for (int clip = 0; clip < 3; ++clip) {
        view.clearAll();
        view.setDriveTrack(first);
        view.addPoint({clip, 139.70, 35.68});
    }
    QCOMPARE(state().value("driveSets").toInt(), 1);
    QCOMPARE(state().value("drive").toList(), firstLine);
    const QVector<QPointF> second{{139.80, 35.60}, {139.81, 35.61}};
    view.setDriveTrack(second);
    QCOMPARE(state().value("driveSets").toInt(), 2);

    // The marker of a click is told by its place in the list, past one without a position.
    const double nowhere = std::numeric_limits<double>::quiet_NaN();
    view.setEvents({{139.80, 35.60, "#e8402a", "braking"},
                    {nowhere, nowhere, "#4cc85a", "no fix"},
                    {139.81, 35.61, "#c85aff", "impact"}});
    QCOMPARE(state().value("events").toList().size(), 2);
    QSignalSpy clicks(&view, &MapWebView::eventClicked);
    evaluate(view.page(), "document.querySelectorAll('.map-event')[1].dispatchEvent("
                          "new MouseEvent('click', {bubbles: true}))");
    QTRY_COMPARE_WITH_TIMEOUT(clicks.count(), 1, kTimeout);
    QCOMPARE(clicks.first().first().toInt(), 2);
    // Another script's console line of the same words is not a click.
    evaluate(view.page(), "console.log('velqor:event-click:0')");
    QTest::qWait(200);
    QCOMPARE(clicks.count(), 1);

    // A new page, such as after a change of language, gets the drive and its events again.
    view.setMapType(Baidu);
    QVERIFY(waitForLoads(loads, 2));
    QTRY_COMPARE_WITH_TIMEOUT(state().value("drive").toList().size(), 2, kTimeout);
    QCOMPARE(state().value("driveSets").toInt(), 1);
    QCOMPARE(state().value("events").toList().size(), 2);
    view.setEvents({});
    view.setDriveTrack({});
    QVERIFY(state().value("drive").toList().isEmpty());
    QVERIFY(state().value("events").toList().isEmpty());
}

void TestMapWebView::wholeTrackAtOnce_data()
{
    QTest::addColumn<bool>("pageLoaded");
    QTest::addColumn<int>("badPoint"); // index of a point without finite coordinates, or -1
    QTest::newRow("loaded page") << true << -1;
    QTest::newRow("page still loading") << false << -1;
    QTest::newRow("a point left out") << true << 4;
}

// A track handed over whole draws the same line as its points one by one.
void TestMapWebView::wholeTrackAtOnce()
{
    QFETCH(bool, pageLoaded);
    QFETCH(int, badPoint);
    MapWebView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    if (pageLoaded)
        QVERIFY(waitForLoads(loads, 1));
    QVector<MapPoint> points = drive().toVector();
    QVariantList expectedTrack;
    for (int i = 0; i < points.size(); ++i) {
        if (i == badPoint) {
            points[i].latitude = std::numeric_limits<double>::quiet_NaN();
            QTest::ignoreMessage(QtWarningMsg,
                                 "map point dropped, a coordinate is not a finite number");
        } else {
            expectedTrack.append(QVariant(asList(points.at(i))));
        }
    }
    view.addPoints(points);
    view.addPoints({}); // nothing to draw, nothing sent
    if (!pageLoaded)
        QVERIFY(waitForLoads(loads, 1));
    QCOMPARE(pageState(view).track, expectedTrack);
}

void TestMapWebView::drawingWhileThePageLoads()
{
    // A folder opened right after start-up draws its first track before the page is there.
    MapWebView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    const QList<MapPoint> points = drive();
    view.clearAll();
    QVariantList expectedTrack;
    for (const MapPoint &point : points.mid(0, 3)) {
        view.addPoint(point);
        expectedTrack.append(QVariant(asList(point)));
    }
    view.setCurrentPoint(points.at(2));
    QVERIFY(waitForLoads(loads, 1));
    const PageState state = pageState(view);
    QCOMPARE(state.track, expectedTrack);
    QCOMPARE(state.current, asList(points.at(2)));
}

// A tile server that takes the connection and never answers held the track back until the page
// load gave up on the tiles, half a minute later.
void TestMapWebView::trackBeforeTilesArrive()
{
    TileServer server(false);
    QVERIFY(server.isListening());
    MapWebView view;
    view.setOnlineTileUrl(server.urlTemplate());
    showView(view);
    const QList<MapPoint> points = drive();
    QVariantList expectedTrack;
    for (const MapPoint &point : points) {
        view.addPoint(point);
        expectedTrack.append(QVariant(asList(point)));
    }
    view.setCurrentPoint(points.last());

    QElapsedTimer clock;
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(pageState(view).track, expectedTrack, kTimeout);
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    const PageState state = pageState(view);
    QCOMPARE(state.current, asList(points.last()));
    QCOMPARE(state.source.value(QStringLiteral("kind")).toString(), QStringLiteral("online"));
    QCOMPARE(state.source.value(QStringLiteral("url")).toString(), server.urlTemplate());
    // The tiles were asked for and are still outstanding.
    QTRY_VERIFY_WITH_TIMEOUT(!server.requests.isEmpty(), kTimeout);
}

void TestMapWebView::reloadWhileLoading_data()
{
    QTest::addColumn<bool>("firstLoadDone");

    QTest::newRow("two loads back to back") << true;
    QTest::newRow("a load during the first") << false;
}

// A load that replaces one still running gets no start of its own from the engine: a late
// answer of the replaced page took its place, leaving a map without layers or track.
void TestMapWebView::reloadWhileLoading()
{
    QFETCH(bool, firstLoadDone);
    MapWebView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    if (firstLoadDone) {
        QVERIFY(waitForLoads(loads, 1));
        view.setMapType(Baidu);
        Configuration::instance()->setLanguage(1);
        view.setMapType(Google);
    } else {
        QTest::qWait(150);
        view.setMapType(Baidu);
    }
    QVariantList expectedTrack;
    for (const MapPoint &point : drive().mid(0, 3)) {
        view.addPoint(point);
        expectedTrack.append(QVariant(asList(point)));
    }
    QTRY_COMPARE_WITH_TIMEOUT(pageState(view).track, expectedTrack, kTimeout);
    QCOMPARE(pageState(view).source.value(QStringLiteral("kind")).toString(),
             QStringLiteral("online"));
}

void TestMapWebView::tileServerManners()
{
    TileServer server(true);
    QVERIFY(server.isListening());
    const int before = mInterceptor.networkRequestCount();
    MapWebView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    QVERIFY(waitForLoads(loads, 1));
    // An image as the map's tile layer fetches it, whatever the page does with its tiles.
    evaluate(view.page(), QStringLiteral("document.body.appendChild(new Image()).src = '%1'; true")
                                  .arg(server.urlTemplate().replace("{z}/{x}/{y}", "3/7/3")));
    QTRY_VERIFY_WITH_TIMEOUT(!server.requests.isEmpty(), kTimeout);
    const QMap<QByteArray, QByteArray> headers = server.requests.last();
    QVERIFY2(headers.value("user-agent").startsWith("Velqor/"), headers.value("user-agent"));
    QCOMPARE(headers.value("referer"), QByteArray("http://velqor.invalid/"));
    QVERIFY(!headers.value("cache-control").contains("no-cache"));
    QVERIFY(!headers.value("pragma").contains("no-cache"));
    QVERIFY(mInterceptor.networkRequestCount() > before);
}

void TestMapWebView::mapFileThatCannotBeShown_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");

    QTest::newRow("not a map") << "notes.mbtiles"
                               << "notes.mbtiles is not a map file.";
    QTest::newRow("missing") << "gone.pmtiles"
                             << "The map file gone.pmtiles was not found.";
}

// Offline with a file that gives no tiles: a notice names it, the map shows its background, and
// nothing leaves the computer; the choice survives a page load and gives way to the next one.
void TestMapWebView::mapFileThatCannotBeShown()
{
    QFETCH(QString, file);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    if (file.startsWith(QLatin1String("notes"))) {
        QFile notes(path);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("Buy milk.\n");
    }
    setStoredSource(path);
    const int before = mInterceptor.networkRequestCount();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("map file not opened"));
    MapWebView view;
    QSignalSpy starts(&view, &QWebEngineView::loadStarted);
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    QVERIFY(waitForLoads(loads, 1));
    QTRY_COMPARE_WITH_TIMEOUT(pageState(view).message, message, kTimeout);
    QVERIFY(pageState(view).source.value(QStringLiteral("kind")).isNull());

    view.setMapType(Baidu);
    QVERIFY(waitForLoads(loads, 2));
    QTRY_COMPARE_WITH_TIMEOUT(pageState(view).message, message, kTimeout);
    QCOMPARE(mInterceptor.networkRequestCount(), before);

    // Another source changes the layers of the page on show.
    Configuration::instance()->setMapSource(QStringLiteral("online"));
    QTRY_COMPARE_WITH_TIMEOUT(pageState(view).source.value(QStringLiteral("kind")).toString(),
                              QStringLiteral("online"), kTimeout);
    QCOMPARE(pageState(view).message, QString());
    QCOMPARE(starts.count(), 2);
}

// Chosen again, the file open keeps the tile addresses the page shows; one put in its place
// since is opened anew, under addresses of its own.
void TestMapWebView::mapFileReplacedOnDisk()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("region.mbtiles"));
    // As a download lands: written beside the file and moved over it once complete.
    const auto download = [&dir, &path] {
        const QString part = dir.filePath(QStringLiteral("region.part"));
        {
            MbTilesWriter writer(part);
            writer.addArea(139.0, 35.0, 140.0, 36.0, 0, 6, QByteArray("\x89PNG\r\n\x1a\n", 8));
            if (!writer.finish())
                return false;
        }
        QFile::remove(path);
        return QFile::rename(part, path);
    };
    QVERIFY(download());
    setStoredSource(path);
    MapWebView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    QVERIFY(waitForLoads(loads, 1));
    const auto shown
            = [&view] { return pageState(view).source.value(QStringLiteral("url")).toString(); };
    QTRY_VERIFY_WITH_TIMEOUT(shown().startsWith(QLatin1String("velqor-map://tiles/")), kTimeout);
    const QString first = shown();

    Configuration::instance()->setMapSource(path);
    QCOMPARE(shown(), first);
    QVERIFY(download());
    Configuration::instance()->setMapSource(path);
    QTRY_VERIFY_WITH_TIMEOUT(shown() != first, kTimeout);
    QVERIFY(shown().startsWith(QLatin1String("velqor-map://tiles/")));
}

void TestMapWebView::pageChoice()
{
    MapWebView view;
    QSignalSpy starts(&view, &QWebEngineView::loadStarted);
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    QVERIFY(waitForLoads(loads, 1));
    QCOMPARE(view.url().fileName(), QStringLiteral("GoogleMapIndex_ja.html"));

    Configuration::instance()->setLanguage(1);
    view.setMapType(Google);
    QVERIFY(waitForLoads(loads, 2));
    QCOMPARE(view.url().fileName(), QStringLiteral("GoogleMapIndex_en.html"));

    // The same language again, and an unknown provider, leave the page alone.
    view.setMapType(Google);
    view.setMapType(static_cast<MapTypes>(7));
    view.setMapType(Baidu);
    QVERIFY(waitForLoads(loads, 3));
    QCOMPARE(starts.count(), 3);
    QCOMPARE(view.url().fileName(), QStringLiteral("BaiduMapIndex.html"));
    view.setMapType(Baidu);
    QVERIFY(waitForLoads(loads, 4));

    // Back from the other provider in the language last shown.
    view.setMapType(Google);
    QVERIFY(waitForLoads(loads, 5));
    QCOMPARE(view.url().fileName(), QStringLiteral("GoogleMapIndex_en.html"));
}

void TestMapWebView::missingPage()
{
    const QString page = pagesDir() + QStringLiteral("BaiduMapIndex.html");
    QVERIFY(QFile::rename(page, page + QStringLiteral(".away")));
    MapWebView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    QVERIFY(waitForLoads(loads, 1));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("map page failed to load"));
    view.setMapType(Baidu);
    const bool loaded = waitForLoads(loads, 2);
    QFile::rename(page + QStringLiteral(".away"), page);
    QVERIFY(loaded);
    QVERIFY(!loads.last().first().toBool());
}

void TestMapWebView::popupLinks()
{
    LinkRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
    MapWebView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    QVERIFY(waitForLoads(loads, 1));

    // The page's own attribution link leaves through the hidden sink to the desktop browser.
    evaluate(view.page(), QStringLiteral("document.querySelector('.leaflet-control-attribution "
                                         "a[href^=\"https://leafletjs\"]').click()"));
    QTRY_COMPARE_WITH_TIMEOUT(browser.opened.size(), 1, kTimeout);
    QCOMPARE(browser.opened.at(0).host(), QStringLiteral("leafletjs.com"));
    // So does the map data's copyright link, on the provider's own site.
    const QString copyright = QStringLiteral(
            "document.querySelector('.leaflet-control-attribution a[href$=\"/copyright\"]')");
    QTRY_VERIFY_WITH_TIMEOUT(evaluate(view.page(), "!!" + copyright).toBool(), kTimeout);
    evaluate(view.page(), copyright + ".click()");
    QTRY_COMPARE_WITH_TIMEOUT(browser.opened.size(), 2, kTimeout);
    QCOMPARE(browser.opened.at(1), QUrl("https://www.openstreetmap.org/copyright"));

    evaluate(view.page(),
             QStringLiteral(
                     "window.open('https://maps.example.invalid/m?source=apiv3&rapsrc=apiv3')"));
    QTRY_COMPARE_WITH_TIMEOUT(browser.opened.size(), 3, kTimeout);
    QCOMPARE(browser.opened.at(2),
             QUrl("https://maps.example.invalid/m?source=apiv3&rapsrc=apiv3&hl=ja"));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not http or https"));
    QMetaObject::invokeMethod(&view, "onUrlChanged", Q_ARG(QUrl, QUrl("javascript:alert(1)")));
    QCOMPARE(browser.opened.size(), 3);

    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void TestMapWebView::screenshot()
{
    MapWebView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    showView(view);
    QVERIFY(waitForLoads(loads, 1));

    const QList<MapPoint> points = drive();
    view.clearAll();
    for (const MapPoint &point : points)
        view.addPoint(point);
    view.setCurrentPoint(points.at(6));
    view.setDefaultCenter();

    // The track's red must reach the screen; tiles stay blank offline.
    QImage shot;
    auto trackPixels = [&] {
        shot = view.grab().toImage();
        int count = 0;
        for (int y = 0; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2) {
                const QColor c = shot.pixelColor(x, y);
                count += c.red() > 190 && c.green() < 120 && c.blue() < 110;
            }
        return count;
    };
    QTRY_VERIFY_WITH_TIMEOUT(trackPixels() > 50, kTimeout);
    QVERIFY(QDir().mkpath(VELQOR_SCREENSHOT_DIR));
    QVERIFY(shot.save(QStringLiteral(VELQOR_SCREENSHOT_DIR "/map-page.png")));
}

VELQOR_MAP_TEST_MAIN(TestMapWebView)
#include "tst_mapwebview.moc"

// The map page's tile layers in the real web engine, fed by a stand-in server of the tile scheme.
#include "map/mapscript.h"
#include "pagescript.h"
#include "tests/map/mapschemetest.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTemporaryDir>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>
#include <QtTest>

namespace {

// The web engine starts slowly under Xvfb on a busy machine.
const int kTimeout = 30000;

QByteArray varint(quint64 value)
{
    QByteArray bytes;
    while (value >= 0x80) {
        bytes.append(char((value & 0x7f) | 0x80));
        value >>= 7;
    }
    bytes.append(char(value));
    return bytes;
}

QByteArray lengthDelimited(int field, const QByteArray &bytes)
{
    return varint(quint64(field) << 3 | 2) + varint(bytes.size()) + bytes;
}

QByteArray number(int field, quint64 value)
{
    return varint(quint64(field) << 3) + varint(value);
}

// A vector tile whose "countries" layer is one country covering the whole tile.
QByteArray landTile()
{
    // Move to (0, 0), lines to (4096, 0), (4096, 4096), (0, 4096) as zigzag deltas, close.
    QByteArray geometry;
    for (quint64 value : {9, 0, 0, 26, 8192, 0, 0, 8192, 8191, 0, 15})
        geometry += varint(value);
    const QByteArray feature = lengthDelimited(2, varint(0) + varint(0)) + number(3, 3)
                               + lengthDelimited(4, geometry);
    const QByteArray layer = number(15, 2) + lengthDelimited(1, "countries")
                             + lengthDelimited(2, feature) + lengthDelimited(3, "name")
                             + lengthDelimited(4, lengthDelimited(1, "Testland")) + number(5, 4096);
    return lengthDelimited(3, layer);
}

QByteArray redTile()
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(QColor(220, 30, 30));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

// Stands in for the viewer's tile server: "base" answers land everywhere, "raster" red tiles down
// to zoom 2, "stall" holds its request until released; everything else is missing.
class TileServer : public QWebEngineUrlSchemeHandler
{
public:
    QStringList requests;
    QPointer<QWebEngineUrlRequestJob> stalled;

    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        const QUrl url = job->requestUrl();
        requests.append(url.host() + url.path());
        const int zoom = url.path().section(QLatin1Char('/'), -3, -3).toInt();
        if (url.host() == QLatin1String("stall"))
            stalled = job;
        else if (url.host() == QLatin1String("base"))
            reply(job, "application/x-protobuf", landTile());
        else if (url.host() == QLatin1String("raster") && zoom <= 2)
            reply(job, "image/png", redTile());
        else
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    }

    static void reply(QWebEngineUrlRequestJob *job, const QByteArray &type, const QByteArray &bytes)
    {
        auto *buffer = new QBuffer(job);
        buffer->setData(bytes);
        job->reply(type, buffer);
    }

    QStringList requestsTo(const QString &host) const
    {
        return requests.filter(QRegularExpression(QLatin1Char('^') + host + QLatin1Char('/')));
    }
};

} // namespace

class TestMapPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sourceWaitsForTheLoad();
    void fileAttribution_data();
    void fileAttribution();
    void message();
    void replacedSources();
    void drawing_data();
    void drawing();
    void withoutRenderer();

private:
    // Opens the English page in a fresh view; script runs as the document is created.
    void open(QWebEngineView &view, const QString &script = QString());

    TileServer mServer;
    QWebEngineView mView;
};

namespace {

QVariantMap sourceState(QWebEnginePage *page)
{
    return evaluate(page, QStringLiteral("mapState().source")).toMap();
}

const char kBase[] = R"("base": {"url": "velqor-map://base/{z}/{x}/{y}", "maxZoom": 5})";

QString rasterSpec(const QString &base, const QString &attribution = QString())
{
    return QStringLiteral(
                   R"({%1, "layer": {"kind": "raster", "url": "velqor-map://raster/{z}/{x}/{y}",
                          "minZoom": 0, "maxZoom": 2, "bounds": null, "attribution": %2}})")
            .arg(base,
                 QString::fromUtf8(
                         QJsonDocument(QJsonArray{attribution}).toJson(QJsonDocument::Compact))
                         .mid(1)
                         .chopped(1));
}

bool similar(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) <= 4 && qAbs(a.green() - b.green()) <= 4
           && qAbs(a.blue() - b.blue()) <= 4;
}

} // namespace

void TestMapPage::initTestCase()
{
    QWebEngineProfile::defaultProfile()->installUrlSchemeHandler("velqor-map", &mServer);
    open(mView);
}

void TestMapPage::open(QWebEngineView &view, const QString &script)
{
    if (!script.isEmpty()) {
        QWebEngineScript early;
        early.setInjectionPoint(QWebEngineScript::DocumentCreation);
        early.setWorldId(QWebEngineScript::MainWorld);
        early.setSourceCode(script);
        view.page()->scripts().insert(early);
    }
    view.resize(800, 600);
    view.show();
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    view.load(QUrl::fromLocalFile(QCoreApplication::applicationDirPath()
                                  + QStringLiteral("/maps/GoogleMapIndex_en.html")));
    if (script.isEmpty())
        QVERIFY(loads.wait(kTimeout));
}

void TestMapPage::sourceWaitsForTheLoad()
{
    mServer.requests.clear();
    QWebEngineView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    // A picture that never arrives holds the page's load while the viewer sends two sources.
    open(view,
         QStringLiteral("document.addEventListener('DOMContentLoaded', function () {"
                        "  var picture = document.createElement('img');"
                        "  picture.src = 'velqor-map://stall/0/0/0';"
                        "  document.body.appendChild(picture);"
                        "  mapSetSource({%1, layer: {kind: 'online',"
                        "                url: 'velqor-map://online/{z}/{x}/{y}', maxZoom: 19}});"
                        "  mapSetSource(%2);"
                        "});")
                 .arg(QLatin1String(kBase), rasterSpec(QStringLiteral(R"("base": null)"))));
    QTRY_VERIFY_WITH_TIMEOUT(mServer.stalled, kTimeout);
    QCOMPARE(loads.count(), 0);
    const QVariantMap waiting = sourceState(view.page());
    QCOMPARE(waiting.value(QStringLiteral("base")).toBool(), false);
    QVERIFY(waiting.value(QStringLiteral("kind")).isNull());
    QCOMPARE(mServer.requests, QStringList{QStringLiteral("stall/0/0/0")});

    TileServer::reply(mServer.stalled, "image/png", redTile());
    QVERIFY(loads.wait(kTimeout));
    QTRY_VERIFY_WITH_TIMEOUT(!mServer.requestsTo(QStringLiteral("raster")).isEmpty(), kTimeout);
    const QVariantMap loaded = sourceState(view.page());
    QCOMPARE(loaded.value(QStringLiteral("base")).toBool(), false);
    QCOMPARE(loaded.value(QStringLiteral("kind")).toString(), QStringLiteral("raster"));
    QCOMPARE(loaded.value(QStringLiteral("url")).toString(),
             QStringLiteral("velqor-map://raster/{z}/{x}/{y}"));
    // Only the last source reached the server.
    QVERIFY(mServer.requestsTo(QStringLiteral("base")).isEmpty());
    QVERIFY(mServer.requestsTo(QStringLiteral("online")).isEmpty());
}

void TestMapPage::fileAttribution_data()
{
    QTest::addColumn<QString>("attribution");
    QTest::addColumn<QString>("shown");

    QTest::newRow("web link")
            << R"(<a href="https://example.org/a?b=1&amp;c=2" title="x">© Example</a>)"
            << R"(<a href="https://example.org/a?b=1&amp;c=2" target="_blank" )"
               R"(rel="noopener">© Example</a>)";
    QTest::newRow("script, image and scripted link")
            << R"(<img src="x" onerror="document.title='hacked'">Tiles )"
               R"(<script>document.title='hacked'</script>)"
               R"(<a href="javascript:document.title='hacked'">by us</a>)"
            << "Tiles by us";
    QTest::newRow("other markup keeps its text")
            << R"(<b onclick="document.title='hacked'">Bold</b> &lt;b&gt; <a href="ftp://x.org">ftp</a>)"
               R"(<a>bare</a><iframe src="https://example.org"></iframe>)"
            << "Bold &lt;b&gt; ftpbare";
    QTest::newRow("not markup") << "Tiles & data < 2024"
                                << "Tiles &amp; data &lt; 2024";
    QTest::newRow("empty") << ""
                           << "";
}

void TestMapPage::fileAttribution()
{
    QFETCH(QString, attribution);
    QFETCH(QString, shown);

    evaluate(mView.page(),
             QStringLiteral("document.title = 'Map'; mapSetSource(%1)")
                     .arg(rasterSpec(QStringLiteral(R"("base": null)"), attribution)));
    // Leaflet writes its prefix, then " | " and the layers' attributions.
    const QString control
            = evaluate(mView.page(), QStringLiteral("document.querySelector("
                                                    "'.leaflet-control-attribution').innerHTML"))
                      .toString();
    QCOMPARE(control.section(QStringLiteral(" | "), 1), shown);
    QTest::qWait(200);
    QCOMPARE(evaluate(mView.page(), QStringLiteral("document.title")).toString(),
             QStringLiteral("Map"));
}

void TestMapPage::message()
{
    const QString notice = QStringLiteral("document.querySelector('.map-notice')");
    evaluate(mView.page(), QStringLiteral("mapShowMessage('Map file <b>broken</b>')"));
    QCOMPARE(evaluate(mView.page(), QStringLiteral("mapState().message")).toString(),
             QStringLiteral("Map file <b>broken</b>"));
    QCOMPARE(evaluate(mView.page(), notice + QStringLiteral(".textContent")).toString(),
             QStringLiteral("Map file <b>broken</b>"));
    QCOMPARE(evaluate(mView.page(), notice + QStringLiteral(".offsetHeight > 0")).toBool(), true);

    evaluate(mView.page(), QStringLiteral("mapShowMessage('')"));
    QCOMPARE(evaluate(mView.page(), notice + QStringLiteral(".offsetHeight")).toInt(), 0);
    QCOMPARE(evaluate(mView.page(), QStringLiteral("mapState().message")).toString(), QString());

    // A click puts it away.
    evaluate(mView.page(), QStringLiteral("mapShowMessage('Offline')"));
    evaluate(mView.page(), notice + QStringLiteral(".click()"));
    QCOMPARE(evaluate(mView.page(), notice + QStringLiteral(".offsetHeight")).toInt(), 0);
    QCOMPARE(evaluate(mView.page(), QStringLiteral("mapState().message")).toString(), QString());
}

void TestMapPage::replacedSources()
{
    struct Step
    {
        QString spec;
        int layers;
        bool base;
        QString kind;
    };
    const QList<Step> steps = {
            {QStringLiteral(
                     R"({%1, "layer": {"kind": "vector", "url": "velqor-map://tiles/1/{z}/{x}/{y}",
                             "minZoom": 0, "maxZoom": 14, "bounds": [130, 30, 140, 40],
                             "attribution": "", "layers": ["water", "roads"]}})")
                     .arg(QLatin1String(kBase)),
             2, true, QStringLiteral("vector")},
            {rasterSpec(QLatin1String(kBase)), 2, true, QStringLiteral("raster")},
            {QStringLiteral(R"({"base": null, "layer": {"kind": "online",
                             "url": "velqor-map://online/{z}/{x}/{y}", "maxZoom": 19}})"),
             1, false, QStringLiteral("online")},
            {QStringLiteral(R"({"base": null, "layer": {"kind": "unknown", "url": "x"}})"), 0,
             false, QString()},
            {QStringLiteral(R"({%1, "layer": null})").arg(QLatin1String(kBase)), 1, true,
             QString()},
            {QStringLiteral("null"), 0, false, QString()},
    };
    for (const Step &step : steps) {
        evaluate(mView.page(), QStringLiteral("mapSetSource(%1)").arg(step.spec));
        const QVariantMap state = sourceState(mView.page());
        QCOMPARE(state.value(QStringLiteral("base")).toBool(), step.base);
        QCOMPARE(state.value(QStringLiteral("kind")).toString(), step.kind);
        QCOMPARE(evaluate(mView.page(),
                          QStringLiteral(
                                  "document.querySelectorAll('.leaflet-tile-pane > *').length"))
                         .toInt(),
                 step.layers);
    }
}

void TestMapPage::drawing_data()
{
    QTest::addColumn<QString>("spec");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("no tiles: sea")
            << R"({"base": null, "layer": null})" << QColor(0xaa, 0xd3, 0xdf);
    QTest::newRow("world map, enlarged: land")
            << QStringLiteral(R"({%1, "layer": null})").arg(QLatin1String(kBase))
            << QColor(0xf2, 0xef, 0xe9);
    QTest::newRow("raster, enlarged over the world map")
            << rasterSpec(QLatin1String(kBase)) << QColor(220, 30, 30);
}

void TestMapPage::drawing()
{
    QFETCH(QString, spec);
    QFETCH(QColor, colour);

    mServer.requests.clear();
    // At street zoom, far deeper than any tile served here.
    evaluate(mView.page(), QStringLiteral("mapSetSource(%1); setCenter(139.7, 35.68)").arg(spec));
    QColor shown;
    QTRY_VERIFY2_WITH_TIMEOUT(similar(shown = mView.grab().toImage().pixelColor(600, 300), colour),
                              qPrintable(shown.name()), kTimeout);
    for (const QString &request : mServer.requestsTo(QStringLiteral("raster")))
        QVERIFY2(request.section(QLatin1Char('/'), -3, -3).toInt() <= 2, qPrintable(request));
}

// The page copied without the vector renderer, into a folder whose name the engine escapes
// otherwise than QUrl: the online map, the track and the view's readiness question still work.
void TestMapPage::withoutRenderer()
{
    QTemporaryDir dir;
    const QString pages = dir.filePath(QStringLiteral("map pages ^ 地図"));
    const QString from = QCoreApplication::applicationDirPath() + QStringLiteral("/maps");
    QDirIterator files(from, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        const QString to = pages + file.mid(from.size());
        QVERIFY(QDir().mkpath(QFileInfo(to).absolutePath()));
        if (!file.endsWith(QLatin1String("protomaps-leaflet.js")))
            QVERIFY(QFile::copy(file, to));
    }
    const QUrl page = QUrl::fromLocalFile(pages + QStringLiteral("/GoogleMapIndex_en.html"));
    QWebEngineView view;
    QSignalSpy loads(&view, &QWebEngineView::loadFinished);
    view.load(page);
    QVERIFY(loads.wait(kTimeout));

    QCOMPARE(evaluate(view.page(), MapScript::adoptPage(4, QUrl(QStringLiteral("file:///x.html"))))
                     .toBool(),
             false);
    QCOMPARE(evaluate(view.page(), MapScript::adoptPage(4, page)).toBool(), true);
    QCOMPARE(evaluate(view.page(), MapScript::adoptPage(5, page)).toBool(), false);

    evaluate(view.page(), QStringLiteral("mapSetSource({%1, layer: {kind: 'online',"
                                         " url: 'velqor-map://online/{z}/{x}/{y}', maxZoom: 19}});"
                                         " mapAddPoint(139.7, 35.68, 1);")
                                  .arg(QLatin1String(kBase)));
    const QVariantMap state = evaluate(view.page(), QStringLiteral("mapState()")).toMap();
    QCOMPARE(state.value(QStringLiteral("source")).toMap(),
             (QVariantMap{{"base", false},
                          {"kind", "online"},
                          {"url", "velqor-map://online/{z}/{x}/{y}"}}));
    QCOMPARE(state.value(QStringLiteral("track")).toList().size(), 1);
}

VELQOR_MAP_TEST_MAIN(TestMapPage)

#include "tst_mappage.moc"

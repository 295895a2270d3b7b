// Map view: page choice by provider and language, map source, statements, pop-up links.
#include "mapwebview.h"

#include "config/configuration.h"
#include "maplinks.h"
#include "maplog.h"
#include "mapscript.h"
#include "mapwebpage.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <utility>

namespace {

const int kOnlineMaxZoom = 19;
// How often and how long the view asks a loading page whether its functions exist: a page that
// has not defined them in 20 s gets what was held when its load finishes.
const int kReadyPollInterval = 50; // ms
const int kReadyPolls = 400;

// Tile servers ask their users to name themselves and to keep what they fetched; the cache
// lives in the profile's disk storage, which the default profile has.
void prepareProfile(QWebEngineProfile *profile)
{
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral(VELQOR_VERSION);
    profile->setHttpUserAgent(QStringLiteral("Velqor/") + version);
    profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    profile->setHttpCacheMaximumSize(200 * 1024 * 1024);
}

// The engine reports an address in its own way (which characters it escapes, "./" segments):
// a local page is the same file by its cleaned path, any other the same address once normalised.
bool samePage(const QUrl &a, const QUrl &b)
{
    if (a.isLocalFile() || b.isLocalFile())
        return a.isLocalFile() && b.isLocalFile()
               && QDir::cleanPath(a.toLocalFile()) == QDir::cleanPath(b.toLocalFile());
    return a.adjusted(QUrl::NormalizePathSegments) == b.adjusted(QUrl::NormalizePathSegments);
}

} // namespace

MapWebView::MapWebView(QWidget *parent)
    : QWebEngineView(parent)
{
    qRegisterMetaType<MapPoint>();
    // Before anything reaches the page: the view's settings and loads are the page's.
    auto *mapPage = new MapWebPage(this);
    setPage(mapPage);
    connect(mapPage, &MapWebPage::eventClicked, this, &MapWebView::eventClicked);
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    prepareProfile(page()->profile());
    mOnlineTileUrl = QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    Configuration *config = Configuration::instance();
    openMapSource();
    connect(config, &Configuration::mapSourceChanged, this, &MapWebView::openMapSource);
    connect(this, &QWebEngineView::loadStarted, this, &MapWebView::onLoadStarted);
    setMapType(static_cast<MapTypes>(config->mapType()));
    connect(this, &QWebEngineView::loadFinished, this, &MapWebView::mapLoadingFinish);
    mPendingCenter.clear();
    setAttribute(Qt::WA_DeleteOnClose);

    // Links of schemes the engine does not know would otherwise go to the desktop on a click,
    // past the filter that lets only web addresses out.
    page()->settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
    mPopupSink = new QWebEngineView(this);
    mPopupSink->page()->settings()->setUnknownUrlSchemePolicy(
            QWebEngineSettings::DisallowUnknownUrlSchemes);
    mPopupSink->hide();
    // Nobody sees or hears the sink, so a page that lands there must not play sound either.
    mPopupSink->page()->setAudioMuted(true);
    connect(mPopupSink, &QWebEngineView::urlChanged, this, &MapWebView::onUrlChanged);
}

void MapWebView::setOnlineTileUrl(const QString &urlTemplate)
{
    mOnlineTileUrl = urlTemplate;
    if (mSourcePath.isEmpty())
        sendSource();
}

void MapWebView::setMapType(MapTypes type)
{
    switch (type) {
    case Baidu:
        // Forgetting the Google language makes a later switch back load the Google page again.
        mLoadedLanguage = 2;
        loadPage(QStringLiteral("BaiduMapIndex.html"));
        break;
    case Google: {
        const int language = Configuration::instance()->targetLanguage();
        if (language == mLoadedLanguage)
            return;
        mLoadedLanguage = language;
        loadPage(language == 0 ? QStringLiteral("GoogleMapIndex_ja.html")
                               : QStringLiteral("GoogleMapIndex_en.html"));
        break;
    }
    }
}

void MapWebView::addPoint(MapPoint point)
{
    runStatement(MapScript::addPoint(point));
}

void MapWebView::addPoints(const QVector<MapPoint> &points)
{
    QString script;
    for (const MapPoint &point : points) {
        const QString statement = MapScript::addPoint(point);
        if (statement.isEmpty())
            runStatement(statement); // tells of the point left out
        script += statement;
    }
    if (!script.isEmpty())
        runStatement(script);
}

void MapWebView::setCurrentPoint(MapPoint point)
{
    if (runStatement(MapScript::setCurrentPoint(point)))
        mPendingCenter = MapScript::setCenter(point.longitude, point.latitude);
}

void MapWebView::clearAll()
{
    runStatement(MapScript::clearAll());
}

void MapWebView::setDriveTrack(const QVector<QPointF> &track)
{
    runKept(&mDriveStatement, MapScript::setDriveTrack(track));
}

void MapWebView::setEvents(const QVector<MapEvent> &events)
{
    runKept(&mEventsStatement, MapScript::setEvents(events));
}

void MapWebView::runKept(QString *kept, const QString &statement)
{
    if (statement == *kept)
        return;
    *kept = statement;
    // A loading page gets it when it is adopted.
    if (!mLoading)
        page()->runJavaScript(statement);
}

void MapWebView::setDefaultCenter()
{
    runStatement(mPendingCenter.isEmpty() ? MapScript::setCenter(0.0, 0.0) : mPendingCenter);
}

void MapWebView::mapLoadingFinish(bool ok)
{
    qDebug() << "mapLoadingFinish";
    // A page replaced by a later request is no longer of interest, whatever its outcome.
    if (mLoading && !mRequestedUrl.isEmpty() && !samePage(url(), mRequestedUrl))
        return;
    if (!ok)
        qCWarning(lcMap) << "map page failed to load:" << url().toString();
    // A page whose functions never showed (a failed load) still gets what was held, as before.
    if (mLoading) {
        page()->runJavaScript(MapScript::adoptPage(*mLoadNumber, mRequestedUrl));
        adoptPage();
    } else {
        resendSourceIfLost();
        setDefaultCenter();
    }
}

QWebEngineView *MapWebView::createWindow(QWebEnginePage::WebWindowType type)
{
    qDebug() << "type:" << type;
    qDebug() << "url:" << url().toString();
    return mPopupSink;
}

void MapWebView::setWheelZoomValid()
{
    mWheelZoomValid = true;
}

void MapWebView::onUrlChanged(QUrl url)
{
    // The sink is emptied after each decision (below), which reports a change of its own.
    if (url == QUrl(QStringLiteral("about:blank")))
        return;
    qDebug() << "goto :" << url.toString();
    // A page left running in the hidden sink could change its address again and again, and open
    // the browser each time; one window the page asked for is one decision.
    mPopupSink->setUrl(QUrl(QStringLiteral("about:blank")));
    const MapLinks::Decision decision
            = MapLinks::decide(url, Configuration::instance()->targetLanguage());
    switch (decision.verdict) {
    case MapLinks::Verdict::Open:
        QDesktopServices::openUrl(decision.url);
        break;
    case MapLinks::Verdict::Refuse:
        qCWarning(lcMap) << "map link not opened, its scheme is not http or https:"
                         << decision.url.scheme();
        break;
    case MapLinks::Verdict::Ignore:
        break;
    }
}

// Loads the view asks for are counted when asked for: the engine reports their start later, and
// not at all for one that replaces a load still running. This one the page started itself.
void MapWebView::onLoadStarted()
{
    if (mLoading)
        return;
    ++*mLoadNumber;
    mLoading = true;
    mRequestedUrl.clear();
    askWhetherPageIsReady(kReadyPolls);
}

void MapWebView::askWhetherPageIsReady(int pollsLeft)
{
    const std::weak_ptr<int> current = mLoadNumber;
    const int load = *mLoadNumber;
    const QString question = MapScript::adoptPage(load, mRequestedUrl);
    page()->runJavaScript(question, [this, current, load, pollsLeft](const QVariant &ready) {
        const std::shared_ptr<int> now = current.lock();
        if (!now || *now != load || !mLoading)
            return;
        if (ready.toBool())
            adoptPage();
        else if (pollsLeft > 1)
            QTimer::singleShot(kReadyPollInterval, this, [this, load, pollsLeft] {
                // A load started in between has its own questions going.
                if (*mLoadNumber == load)
                    askWhetherPageIsReady(pollsLeft - 1);
            });
    });
}

void MapWebView::adoptPage()
{
    mLoading = false;
    sendSource();
    setDefaultCenter();
    for (const QString *kept : {&mDriveStatement, &mEventsStatement}) {
        if (!kept->isEmpty())
            page()->runJavaScript(*kept);
    }
    const QStringList waiting = std::exchange(mWaitingStatements, {});
    for (const QString &statement : waiting)
        page()->runJavaScript(statement);
}

void MapWebView::openMapSource()
{
    const QString source = Configuration::instance()->mapSource();
    MapTileSchemeHandler *tiles = MapTileSchemeHandler::forProfile(page()->profile());
    if (source == QLatin1String(Configuration::OnlineMapSource) || source.isEmpty()) {
        mSourcePath.clear();
        mOpened = {};
        tiles->closeFile();
    } else {
        mSourcePath = source;
        mOpened = tiles->openFile(source);
        if (mOpened.error != TileSourceError::None)
            qCWarning(lcMap) << "map file not opened:" << source << mOpened.detail;
    }
    sendSource();
}

// A page still loading gets the source when it is adopted; a page on show gets it at once, and
// a later call replaces the layers of the earlier one.
void MapWebView::sendSource()
{
    if (mLoading)
        return;
    page()->runJavaScript(MapScript::setSource(sourceObject()));
    page()->runJavaScript(MapScript::showMessage(sourceMessage()));
}

// Adoption may have gone to a document that another of the same address replaced, which starts
// without layers. Sent again only then, as sending rebuilds the layers and refetches their tiles.
void MapWebView::resendSourceIfLost()
{
    const std::weak_ptr<int> current = mLoadNumber;
    const int load = *mLoadNumber;
    page()->runJavaScript(MapScript::shownSource(), [this, current, load](const QVariant &shown) {
        const std::shared_ptr<int> now = current.lock();
        if (!now || *now != load || mLoading)
            return;
        const QJsonObject wanted = sourceObject();
        const QJsonObject layer = wanted.value(QLatin1String("layer")).toObject();
        const QJsonObject expected{{"base", !wanted.value(QLatin1String("base")).isNull()},
                                   {"kind", layer.isEmpty() ? QJsonValue() : layer.value("kind")},
                                   {"url", layer.isEmpty() ? QJsonValue() : layer.value("url")}};
        const QByteArray text = shown.toString().toUtf8();
        if (!text.isEmpty() && QJsonDocument::fromJson(text).object() != expected)
            sendSource();
    });
}

QJsonObject MapWebView::sourceObject() const
{
    const MapTileSchemeHandler *tiles = MapTileSchemeHandler::forProfile(page()->profile());
    QJsonValue base;
    if (tiles->hasBase())
        base = QJsonObject{{"url", MapTileSchemeHandler::baseUrlTemplate()},
                           {"maxZoom", tiles->baseInfo().maxZoom}};
    // Without a layer the page shows its plain background over the base map, and nothing of the
    // map leaves the computer.
    QJsonValue layer;
    if (mSourcePath.isEmpty()) {
        layer = QJsonObject{
                {"kind", "online"}, {"url", mOnlineTileUrl}, {"maxZoom", kOnlineMaxZoom}};
    } else if (mOpened.error == TileSourceError::None) {
        const TileSourceInfo &info = mOpened.info;
        const QJsonValue bounds
                = info.hasBounds
                          ? QJsonValue(QJsonArray{info.west, info.south, info.east, info.north})
                          : QJsonValue();
        layer = QJsonObject{{"kind", info.isVector() ? "vector" : "raster"},
                            {"url", mOpened.urlTemplate},
                            {"minZoom", info.minZoom},
                            {"maxZoom", info.maxZoom},
                            {"bounds", bounds},
                            {"attribution", info.attribution},
                            {"layers", QJsonArray::fromStringList(info.vectorLayers)}};
    }
    return {{"base", base}, {"layer", layer}};
}

QString MapWebView::sourceMessage() const
{
    const QString name = QFileInfo(mSourcePath).fileName();
    switch (mOpened.error) {
    case TileSourceError::None:
        break;
    case TileSourceError::NotFound:
        return tr("The map file %1 was not found.").arg(name);
    case TileSourceError::NotAMap:
        return tr("%1 is not a map file.").arg(name);
    case TileSourceError::Unsupported:
        return tr("The map file %1 is of a kind that cannot be shown.").arg(name);
    case TileSourceError::TimedOut:
        return tr("The map file %1 did not answer in time: its disk is too slow, or the file is "
                  "damaged.")
                .arg(name);
    }
    return QString();
}

void MapWebView::loadPage(const QString &fileName)
{
    const QString path
            = QCoreApplication::applicationDirPath() + QStringLiteral("/maps/") + fileName;
    // What was waiting for the previous page belongs to it; a new page starts empty.
    mWaitingStatements.clear();
    mLoading = true;
    ++*mLoadNumber;
    mRequestedUrl = QUrl::fromLocalFile(path);
    page()->load(mRequestedUrl);
    askWhetherPageIsReady(kReadyPolls);
}

bool MapWebView::runStatement(const QString &statement)
{
    if (statement.isEmpty()) {
        qCWarning(lcMap) << "map point dropped, a coordinate is not a finite number";
        return false;
    }
    if (mLoading)
        mWaitingStatements.append(statement);
    else
        page()->runJavaScript(statement);
    return true;
}

// Map view: page choice by provider and language, statements for the page, pop-up links.
#include "mapwebview.h"

#include "config/configuration.h"
#include "maplinks.h"
#include "maplog.h"
#include "mapscript.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QWebEngineSettings>

#include <utility>

MapWebView::MapWebView(QWidget *parent)
    : QWebEngineView(parent)
{
    qRegisterMetaType<MapPoint>();
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setMapType(static_cast<MapTypes>(Configuration::instance()->mapType()));
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

void MapWebView::setCurrentPoint(MapPoint point)
{
    if (runStatement(MapScript::setCurrentPoint(point)))
        mPendingCenter = MapScript::setCenter(point.longitude, point.latitude);
}

void MapWebView::clearAll()
{
    runStatement(MapScript::clearAll());
}

void MapWebView::setDefaultCenter()
{
    runStatement(mPendingCenter.isEmpty() ? MapScript::setCenter(0.0, 0.0) : mPendingCenter);
}

void MapWebView::mapLoadingFinish(bool ok)
{
    qDebug() << "mapLoadingFinish";
    if (!ok)
        qCWarning(lcMap) << "map page failed to load:" << url().toString();
    mLoading = false;
    setDefaultCenter();
    const QStringList waiting = std::exchange(mWaitingStatements, {});
    for (const QString &statement : waiting)
        page()->runJavaScript(statement);
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

void MapWebView::loadPage(const QString &fileName)
{
    const QString path
            = QCoreApplication::applicationDirPath() + QStringLiteral("/maps/") + fileName;
    // What was waiting for the previous page belongs to it; a new page starts empty.
    mWaitingStatements.clear();
    mLoading = true;
    page()->load(QUrl::fromLocalFile(path));
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

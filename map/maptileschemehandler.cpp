// Stand-in for the tile handler until the tile store exists: no base map, and no file opens.
#include "maptileschemehandler.h"

#include <QFileInfo>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

QByteArray MapTileSchemeHandler::scheme()
{
    return QByteArrayLiteral("velqor-map");
}

void MapTileSchemeHandler::registerScheme()
{
    QWebEngineUrlScheme mapScheme(scheme());
    mapScheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    mapScheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme
                       | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(mapScheme);
}

MapTileSchemeHandler *MapTileSchemeHandler::forProfile(QWebEngineProfile *profile)
{
    if (auto *installed = profile->urlSchemeHandler(scheme()))
        return static_cast<MapTileSchemeHandler *>(
                const_cast<QWebEngineUrlSchemeHandler *>(installed));
    auto *handler = new MapTileSchemeHandler;
    handler->setParent(profile);
    profile->installUrlSchemeHandler(scheme(), handler);
    return handler;
}

MapTileSchemeHandler::Opened MapTileSchemeHandler::openFile(const QString &path)
{
    Opened opened;
    opened.error = QFileInfo(path).isFile() ? TileSourceError::NotAMap : TileSourceError::NotFound;
    return opened;
}

void MapTileSchemeHandler::closeFile() { }

bool MapTileSchemeHandler::hasBase() const
{
    return false;
}

const TileSourceInfo &MapTileSchemeHandler::baseInfo() const
{
    static const TileSourceInfo none;
    return none;
}

QString MapTileSchemeHandler::baseUrlTemplate()
{
    return QStringLiteral("velqor-map://base/{z}/{x}/{y}");
}

void MapTileSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
}

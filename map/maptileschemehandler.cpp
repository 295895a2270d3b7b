// Tile requests of the map page answered from the base map or the user's map file.
#include "maptileschemehandler.h"

#include "maplog.h"

#include <maptiles/tileurl.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include <sys/stat.h>

namespace {

// A file put in the place of the one open (a new download, a card taken out and put back,
// whose file system numbers its files anew when mounted) is another file under the same path;
// the handle open on the old one would go on serving it, or nothing.
std::array<qint64, 5> fileIdentity(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return {qint64(status.st_dev), qint64(status.st_ino), qint64(status.st_size),
            qint64(status.st_mtim.tv_sec), qint64(status.st_mtim.tv_nsec)};
}

} // namespace

MapTileSchemeHandler::MapTileSchemeHandler(QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
{ }

QByteArray MapTileSchemeHandler::scheme()
{
    return QByteArray(TileUrlScheme);
}

void MapTileSchemeHandler::registerScheme()
{
    QWebEngineUrlScheme tiles(scheme());
    tiles.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    tiles.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme
                   | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(tiles);
}

MapTileSchemeHandler *MapTileSchemeHandler::forProfile(QWebEngineProfile *profile)
{
    auto *handler = qobject_cast<MapTileSchemeHandler *>(
            const_cast<QWebEngineUrlSchemeHandler *>(profile->urlSchemeHandler(scheme())));
    if (!handler) {
        handler = new MapTileSchemeHandler(profile);
        profile->installUrlSchemeHandler(scheme(), handler);
    }
    return handler;
}

MapTileSchemeHandler::Opened MapTileSchemeHandler::openFile(const QString &path)
{
    Opened opened;
    // The map views of a profile share this handler: another view opening the file already
    // open must not end the generation the first one's page is showing.
    const FileIdentity identity = fileIdentity(path);
    if (!mFile || path != mFilePath || identity != mFileIdentity) {
        closeFile();
        ++mGeneration;
        mFile = TileSource::open(path, &opened.error, &opened.detail);
        mFilePath = path;
        mFileIdentity = identity;
        // The view tells the user and writes the warning, naming the source it was asked for.
        if (!mFile)
            return opened;
    }
    opened.info = mFile->info();
    opened.urlTemplate = fileTileUrlTemplate(mGeneration);
    return opened;
}

void MapTileSchemeHandler::closeFile()
{
    mFile.reset();
}

TileSource *MapTileSchemeHandler::base() const
{
    if (!mBaseTried) {
        mBaseTried = true;
        const QString path
                = QCoreApplication::applicationDirPath() + QStringLiteral("/maps/world.mbtiles");
        TileSourceError error = TileSourceError::None;
        QString detail;
        mBase = TileSource::open(path, &error, &detail);
        // Once: every base tile request after this fails without a word.
        if (!mBase)
            qCWarning(lcMap) << "Base map not opened:" << detail;
    }
    return mBase.get();
}

bool MapTileSchemeHandler::hasBase() const
{
    return base() != nullptr;
}

const TileSourceInfo &MapTileSchemeHandler::baseInfo() const
{
    static const TileSourceInfo none;
    const TileSource *source = base();
    return source ? source->info() : none;
}

QString MapTileSchemeHandler::baseUrlTemplate()
{
    return baseTileUrlTemplate();
}

void MapTileSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    TileUrl url;
    if (!parseTileUrl(job->requestUrl(), &url)) {
        job->fail(QWebEngineUrlRequestJob::UrlInvalid);
        return;
    }
    TileSource *source = nullptr;
    if (url.map == TileUrl::Map::Base)
        source = base();
    else if (url.generation == mGeneration)
        source = mFile.get();
    const QByteArray bytes = source ? source->tile(url.z, url.x, url.y) : QByteArray();
    if (bytes.isEmpty()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // The job owns the buffer, so it lives exactly as long as the engine reads from it.
    auto *buffer = new QBuffer(job);
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    job->reply(TileSource::contentType(source->info().format), buffer);
}

// MBTiles reader: metadata, zoom range and tiles through Qt's SQLite driver, read-only.
#include "mbtilessource.h"

#include "maptileslog.h"
#include "tileinflate.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <QVariant>

#include <sqlite3.h>

namespace {

// A file's views can be queries that never end (a recursive view) or that yield rows without
// end, so every statement runs against a clock. Time rather than a count of SQLite's steps:
// what the user feels is time, and the steps of an honest file's slowest statement (the zoom
// range taken from a large table without an index) grow with the file, while its time is
// bounded by the disk. Opening happens once a file and gets room for a disk that wakes up or a
// share far away. A tile found through the index takes a few dozen steps, never reaching a
// look at the clock however slow the disk, so its half second is only ever exceeded by a file
// made to stall the map (or one so slow that it is of no use anyway).
constexpr int OpenTimeMs = 10000;
constexpr int TileTimeMs = 500;
// Characters of a metadata value; longer ones are left out as if absent.
constexpr int MaxMetadataValue = 65536;
// How many of SQLite's steps pass between two looks at the clock.
constexpr int StepsPerCheck = 1000;

QString nextConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("velqor-mbtiles-%1").arg(counter.fetchAndAddRelaxed(1));
}

bool parseBounds(const QString &text, TileSourceInfo *info)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toDouble(&ok);
        if (!ok)
            return false;
    }
    return TileSource::setBounds(v[0], v[1], v[2], v[3], info);
}

bool parseZoom(const QString &text, int *zoom)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > TileSource::MaxZoom)
        return false;
    *zoom = value;
    return true;
}

} // namespace

MbTilesSource::MbTilesSource(const QString &connection, const QString &path)
    : mConnection(connection)
    , mPath(path)
{ }

MbTilesSource::~MbTilesSource()
{
    // The connection can only be removed once no query or handle of it is left.
    mTileQuery.reset();
    QSqlDatabase::database(mConnection, false).close();
    QSqlDatabase::removeDatabase(mConnection);
}

std::unique_ptr<MbTilesSource> MbTilesSource::open(const QString &path, TileSourceError *error,
                                                   QString *detail)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        *error = TileSourceError::Unsupported;
        *detail = QStringLiteral("the SQLite driver of Qt SQL is not installed");
        return nullptr;
    }
    std::unique_ptr<MbTilesSource> source(new MbTilesSource(nextConnectionName(), path));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), source->mConnection);
        // Immutable: SQLite neither locks the file nor writes -wal and -shm files beside it,
        // which the folder of a user's map may not allow (and should not get).
        db.setDatabaseName(
                QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)
                + QStringLiteral("?immutable=1"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        if (!db.open()) {
            *error = TileSourceError::NotFound;
            *detail = QStringLiteral("cannot open %1: %2").arg(path, db.lastError().text());
            return nullptr;
        }
    }
    if (!source->bindToDriver(error, detail) || !source->readInfo(error, detail)) {
        *detail = QStringLiteral("%1: %2").arg(path, *detail);
        return nullptr;
    }
    return source;
}

bool MbTilesSource::bindToDriver(TileSourceError *error, QString *detail)
{
    const QVariant handle = QSqlDatabase::database(mConnection, false).driver()->handle();
    sqlite3 *connection = nullptr;
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0)
        connection = *static_cast<sqlite3 *const *>(handle.constData());
    if (!connection) {
        *error = TileSourceError::Unsupported;
        *detail = QStringLiteral("the SQLite driver gives no connection to watch over");
        return false;
    }
    sqlite3_progress_handler(connection, StepsPerCheck, &MbTilesSource::progress, this);
    // A view can build a string or blob of any size in one step, which no progress check
    // interrupts: SQLite itself refuses any value longer than the largest tile.
    sqlite3_limit(connection, SQLITE_LIMIT_LENGTH, TileInflate::MaxOutput + 1024);
    allowTime(OpenTimeMs);
    return true;
}

void MbTilesSource::allowTime(int ms)
{
    mDeadline.setRemainingTime(ms);
    mInterrupted = false;
}

int MbTilesSource::progress(void *source)
{
    auto *self = static_cast<MbTilesSource *>(source);
    self->mInterrupted = self->mDeadline.hasExpired();
    return self->mInterrupted ? 1 : 0;
}

bool MbTilesSource::firstRow(QSqlQuery *query, const QString &statement, const QString &noRow,
                             TileSourceError *error, QString *detail) const
{
    if (query->exec(statement) && query->next())
        return true;
    if (!timedOut(error, detail))
        *detail = query->lastError().isValid() ? query->lastError().text() : noRow;
    return false;
}

bool MbTilesSource::timedOut(TileSourceError *error, QString *detail) const
{
    if (!mInterrupted)
        return false;
    // Not NotAMap: the file may be a good one on a disk too slow to answer.
    *error = TileSourceError::TimedOut;
    *detail = QStringLiteral("the file did not answer in time (%1 s): the disk is too slow or "
                             "the file is made to stall")
                      .arg(OpenTimeMs / 1000);
    return true;
}

bool MbTilesSource::readInfo(TileSourceError *error, QString *detail)
{
    QSqlDatabase db = QSqlDatabase::database(mConnection, false);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    *error = TileSourceError::NotAMap;
    // A damaged or foreign file opens fine; the first statement is where SQLite finds out.
    if (!firstRow(&query,
                  QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'tiles' AND type IN "
                                 "('table', 'view')"),
                  QStringLiteral("no tiles table"), error, detail))
        return false;

    // The metadata table is optional in practice; what it lacks is taken from the tiles. Only
    // the keys used are read, so that a view of endless rows costs nothing, and only values of
    // a size the page can take (real ones are a few kilobytes).
    QHash<QString, QString> metadata;
    if (query.exec(QStringLiteral("SELECT name, value FROM metadata WHERE name IN ('name', "
                                  "'attribution', 'json', 'bounds', 'format', 'minzoom', "
                                  "'maxzoom') AND length(value) <= %1 LIMIT 64")
                           .arg(MaxMetadataValue))) {
        while (query.next())
            metadata.insert(query.value(0).toString(), query.value(1).toString());
    }
    if (timedOut(error, detail))
        return false;

    mInfo.name = metadata.value(QStringLiteral("name"));
    mInfo.attribution = metadata.value(QStringLiteral("attribution"));
    const QJsonObject json
            = QJsonDocument::fromJson(metadata.value(QStringLiteral("json")).toUtf8()).object();
    mInfo.vectorLayers = vectorLayerIds(json);
    parseBounds(metadata.value(QStringLiteral("bounds")), &mInfo);

    const QString format = metadata.value(QStringLiteral("format")).trimmed().toLower();
    if (format == QLatin1String("png")) {
        mInfo.format = TileFormat::Png;
    } else if (format == QLatin1String("jpg") || format == QLatin1String("jpeg")) {
        mInfo.format = TileFormat::Jpeg;
    } else if (format == QLatin1String("webp")) {
        mInfo.format = TileFormat::Webp;
    } else if (format == QLatin1String("pbf")) {
        mInfo.format = TileFormat::Pbf;
    } else if (!format.isEmpty()) {
        *error = TileSourceError::Unsupported;
        *detail = QStringLiteral("tile format \"%1\"").arg(format);
        return false;
    } else {
        if (!firstRow(&query, QStringLiteral("SELECT tile_data FROM tiles LIMIT 1"),
                      QStringLiteral("no tiles and no format"), error, detail))
            return false;
        if (!sniffFormat(query.value(0).toByteArray(), &mInfo.format)) {
            *error = TileSourceError::Unsupported;
            *detail = QStringLiteral("tiles of an unknown format");
            return false;
        }
    }

    const bool hasMin = parseZoom(metadata.value(QStringLiteral("minzoom")), &mInfo.minZoom);
    const bool hasMax = parseZoom(metadata.value(QStringLiteral("maxzoom")), &mInfo.maxZoom);
    if (!hasMin || !hasMax || mInfo.minZoom > mInfo.maxZoom) {
        if (!firstRow(&query, QStringLiteral("SELECT MIN(zoom_level), MAX(zoom_level) FROM tiles"),
                      QStringLiteral("no zoom levels"), error, detail))
            return false;
        mInfo.minZoom = qBound(0, query.value(0).toInt(), int(MaxZoom));
        mInfo.maxZoom = qBound(mInfo.minZoom, query.value(1).toInt(), int(MaxZoom));
    }

    mTileQuery = std::make_unique<QSqlQuery>(db);
    mTileQuery->setForwardOnly(true);
    // A tile larger than any real one is not read at all: its length comes from the row's
    // header, its bytes would be loaded whole.
    if (!mTileQuery->prepare(QStringLiteral("SELECT tile_data FROM tiles WHERE zoom_level = ? "
                                            "AND tile_column = ? AND tile_row = ? AND "
                                            "length(tile_data) <= %1")
                                     .arg(TileInflate::MaxOutput))) {
        *detail = mTileQuery->lastError().text();
        return false;
    }
    *error = TileSourceError::None;
    return true;
}

QByteArray MbTilesSource::tile(int z, int x, int y)
{
    if (mStalled || !inGrid(z, x, y))
        return {};
    // Rows count from the south in MBTiles.
    const int row = int((qint64(1) << z) - 1 - y);
    mTileQuery->bindValue(0, z);
    mTileQuery->bindValue(1, x);
    mTileQuery->bindValue(2, row);
    allowTime(TileTimeMs);
    QByteArray stored;
    if (mTileQuery->exec() && mTileQuery->next())
        stored = mTileQuery->value(0).toByteArray();
    mTileQuery->finish();
    if (mInterrupted) {
        // A file whose tile ran out of time would hold the window for as long again at every
        // request, dozens of them for each move of the map: it gives no more tiles.
        mStalled = true;
        qCWarning(lcMapTiles) << "map file" << mPath << "gives no more tiles: one took over"
                              << TileTimeMs << "ms";
    }
    return decoded(stored);
}

QByteArray MbTilesSource::decoded(const QByteArray &stored) const
{
    if (!mInfo.isVector() || !TileInflate::isCompressed(stored))
        return stored;
    QByteArray raw;
    // A tile that does not inflate is as good as absent.
    TileInflate::inflate(stored, &raw);
    return raw;
}

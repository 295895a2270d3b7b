// Choice of the reader by a file's first bytes, and what both readers share.
#include "tilesource.h"

#include "mbtilessource.h"
#include "pmtilessource.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

TileSource::~TileSource() = default;

std::unique_ptr<TileSource> TileSource::open(const QString &path, TileSourceError *error,
                                             QString *detail)
{
    *error = TileSourceError::None;
    detail->clear();
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        *error = TileSourceError::NotFound;
        *detail = QStringLiteral("%1 is not a file").arg(path);
        return nullptr;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = TileSourceError::NotFound;
        *detail = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return nullptr;
    }
    const QByteArray head = file.read(16);
    file.close();
    if (head == QByteArray("SQLite format 3\0", 16))
        return MbTilesSource::open(path, error, detail);
    if (head.startsWith("PMTiles"))
        return PmTilesSource::open(path, error, detail);
    *error = TileSourceError::NotAMap;
    *detail = QStringLiteral("%1 is neither an MBTiles nor a PMTiles file").arg(path);
    return nullptr;
}

bool TileSource::inGrid(int z, int x, int y)
{
    if (z < 0 || z > MaxZoom)
        return false;
    const qint64 size = qint64(1) << z;
    return x >= 0 && y >= 0 && x < size && y < size;
}

bool TileSource::setBounds(double west, double south, double east, double north,
                           TileSourceInfo *info)
{
    if (west < -180 || east > 180 || west >= east || south < -90 || north > 90 || south >= north)
        return false;
    info->west = west;
    info->south = south;
    info->east = east;
    info->north = north;
    info->hasBounds = true;
    return true;
}

QByteArray TileSource::contentType(TileFormat format)
{
    switch (format) {
    case TileFormat::Png:
        return QByteArrayLiteral("image/png");
    case TileFormat::Jpeg:
        return QByteArrayLiteral("image/jpeg");
    case TileFormat::Webp:
        return QByteArrayLiteral("image/webp");
    case TileFormat::Pbf:
        break;
    }
    return QByteArrayLiteral("application/x-protobuf");
}

bool TileSource::sniffFormat(const QByteArray &bytes, TileFormat *format)
{
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        *format = TileFormat::Png;
    else if (bytes.startsWith("\xff\xd8\xff"))
        *format = TileFormat::Jpeg;
    else if (bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        *format = TileFormat::Webp;
    // Vector tiles arrive compressed, or raw with their first layer (field 3, length-delimited).
    else if (bytes.startsWith("\x1f\x8b") || bytes.startsWith('\x1a'))
        *format = TileFormat::Pbf;
    else
        return false;
    return true;
}

QStringList TileSource::vectorLayerIds(const QJsonObject &metadata)
{
    QStringList ids;
    const QJsonArray layers = metadata.value(QLatin1String("vector_layers")).toArray();
    for (const QJsonValue &layer : layers) {
        const QString id = layer.toObject().value(QLatin1String("id")).toString();
        if (!id.isEmpty())
            ids.append(id);
    }
    return ids;
}

// PMTiles reader: header checks, varint directories, Hilbert tile ids and a cache of leaves.
#include "pmtilessource.h"

#include "tileinflate.h"

#include <QJsonDocument>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr int HeaderSize = 127;
// Directories with leaves nest at most this deep; a deeper chain is a loop in a damaged file.
constexpr int MaxDirectoryDepth = 4;

enum Compression : quint8 { UnknownCompression = 0, NoCompression = 1, Gzip = 2 };

quint64 u64At(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint64>(bytes.constData() + at);
}

double degreesAt(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<qint32>(bytes.constData() + at) / 1e7;
}

bool readVarint(const QByteArray &bytes, int *pos, quint64 *value)
{
    quint64 result = 0;
    for (int shift = 0; shift < 64 && *pos < bytes.size(); shift += 7) {
        const auto byte = static_cast<quint8>(bytes[(*pos)++]);
        result |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80)) {
            *value = result;
            return true;
        }
    }
    return false;
}

} // namespace

std::unique_ptr<PmTilesSource> PmTilesSource::open(const QString &path, TileSourceError *error,
                                                   QString *detail)
{
    std::unique_ptr<PmTilesSource> source(new PmTilesSource);
    source->m_file.setFileName(path);
    if (!source->m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *error = TileSourceError::NotFound;
        *detail = QStringLiteral("cannot read %1: %2").arg(path, source->m_file.errorString());
        return nullptr;
    }
    if (!source->readHeader(error, detail)) {
        *detail = QStringLiteral("%1: %2").arg(path, *detail);
        return nullptr;
    }
    source->readMetadata();
    return source;
}

bool PmTilesSource::readHeader(TileSourceError *error, QString *detail)
{
    const QByteArray header = m_file.read(HeaderSize);
    *error = TileSourceError::NotAMap;
    if (header.size() < HeaderSize) {
        *detail = QStringLiteral("truncated header");
        return false;
    }
    if (!header.startsWith("PMTiles")) {
        *detail = QStringLiteral("not a PMTiles file");
        return false;
    }
    if (header[7] != 3) {
        *error = TileSourceError::Unsupported;
        *detail = QStringLiteral("PMTiles version %1").arg(int(quint8(header[7])));
        return false;
    }
    m_root = {u64At(header, 8), u64At(header, 16)};
    m_metadata = {u64At(header, 24), u64At(header, 32)};
    m_leaves = {u64At(header, 40), u64At(header, 48)};
    m_tiles = {u64At(header, 56), u64At(header, 64)};
    const auto fileSize = quint64(m_file.size());
    for (const Section &section : {m_root, m_metadata, m_leaves, m_tiles}) {
        if (section.offset > fileSize || section.length > fileSize - section.offset) {
            *detail = QStringLiteral("a section lies past the end of the file");
            return false;
        }
    }

    m_internalCompression = quint8(header[97]);
    m_tileCompression = quint8(header[98]);
    *error = TileSourceError::Unsupported;
    if (m_internalCompression != NoCompression && m_internalCompression != Gzip) {
        *detail = QStringLiteral("directory compression %1").arg(m_internalCompression);
        return false;
    }
    if (m_tileCompression > Gzip) {
        *detail = QStringLiteral("tile compression %1").arg(m_tileCompression);
        return false;
    }
    switch (quint8(header[99])) {
    case 1:
        m_info.format = TileFormat::Pbf;
        break;
    case 2:
        m_info.format = TileFormat::Png;
        break;
    case 3:
        m_info.format = TileFormat::Jpeg;
        break;
    case 4:
        m_info.format = TileFormat::Webp;
        break;
    default:
        *detail = QStringLiteral("tile type %1").arg(int(quint8(header[99])));
        return false;
    }

    m_info.minZoom = qMin(int(quint8(header[100])), int(MaxZoom));
    m_info.maxZoom = qBound(m_info.minZoom, int(quint8(header[101])), int(MaxZoom));
    const double west = degreesAt(header, 102), south = degreesAt(header, 106);
    const double east = degreesAt(header, 110), north = degreesAt(header, 114);
    if (west >= -180 && east <= 180 && west < east && south >= -90 && north <= 90
        && south < north) {
        m_info.hasBounds = true;
        m_info.west = west;
        m_info.south = south;
        m_info.east = east;
        m_info.north = north;
    }

    *error = TileSourceError::NotAMap;
    if (!readDirectory(m_root, 0, m_root.length, &m_rootDirectory)) {
        *detail = QStringLiteral("damaged root directory");
        return false;
    }
    *error = TileSourceError::None;
    return true;
}

void PmTilesSource::readMetadata()
{
    // The metadata only names and credits the map; a damaged one leaves the tiles usable.
    QByteArray stored, json;
    if (m_metadata.length == 0 || !read(m_metadata, 0, m_metadata.length, &stored)
        || !decompress(stored, m_internalCompression, &json))
        return;
    const QJsonObject metadata = QJsonDocument::fromJson(json).object();
    m_info.name = metadata.value(QLatin1String("name")).toString();
    m_info.attribution = metadata.value(QLatin1String("attribution")).toString();
    m_info.vectorLayers = vectorLayerIds(metadata);
}

bool PmTilesSource::read(const Section &section, quint64 offset, quint64 length, QByteArray *out)
{
    if (length > quint64(TileInflate::MaxOutput) || offset > section.length
        || length > section.length - offset)
        return false;
    if (!m_file.seek(qint64(section.offset + offset)))
        return false;
    *out = m_file.read(qint64(length));
    return quint64(out->size()) == length;
}

bool PmTilesSource::decompress(const QByteArray &stored, quint8 compression, QByteArray *out) const
{
    if (compression == Gzip
        || (compression == UnknownCompression && TileInflate::isCompressed(stored)))
        return TileInflate::inflate(stored, out);
    *out = stored;
    return true;
}

bool PmTilesSource::readDirectory(const Section &section, quint64 offset, quint64 length,
                                  Directory *out)
{
    QByteArray stored, bytes;
    return read(section, offset, length, &stored)
           && decompress(stored, m_internalCompression, &bytes) && parseDirectory(bytes, out);
}

bool PmTilesSource::parseDirectory(const QByteArray &bytes, Directory *out)
{
    int pos = 0;
    quint64 count = 0;
    // Every entry takes at least four bytes, which bounds the count before anything is allocated.
    if (!readVarint(bytes, &pos, &count) || count == 0 || count > quint64(bytes.size()) / 4)
        return false;
    Directory entries(static_cast<int>(count));
    quint64 value = 0;
    quint64 lastId = 0;
    for (Entry &entry : entries) {
        if (!readVarint(bytes, &pos, &value) || value > ~quint64(0) - lastId)
            return false;
        lastId += value;
        entry.tileId = lastId;
    }
    for (Entry &entry : entries) {
        if (!readVarint(bytes, &pos, &value) || value > 0xffffffffu)
            return false;
        entry.runLength = quint32(value);
    }
    for (Entry &entry : entries) {
        if (!readVarint(bytes, &pos, &value) || value == 0 || value > 0xffffffffu)
            return false;
        entry.length = quint32(value);
    }
    for (int i = 0; i < entries.size(); ++i) {
        if (!readVarint(bytes, &pos, &value))
            return false;
        // Zero: the data follows the previous entry's; otherwise the offset plus one.
        if (value == 0 && i > 0)
            entries[i].offset = entries[i - 1].offset + entries[i - 1].length;
        else if (value == 0)
            return false;
        else
            entries[i].offset = value - 1;
    }
    *out = entries;
    return true;
}

QByteArray PmTilesSource::tile(int z, int x, int y)
{
    if (!inGrid(z, x, y))
        return {};
    const quint64 id = tileId(z, x, y);
    const Directory *directory = &m_rootDirectory;
    for (int depth = 0; depth < MaxDirectoryDepth; ++depth) {
        auto next = std::upper_bound(directory->cbegin(), directory->cend(), id,
                                     [](quint64 id, const Entry &e) { return id < e.tileId; });
        if (next == directory->cbegin())
            return {};
        const Entry entry = *(next - 1);
        if (entry.runLength > 0) {
            QByteArray stored, bytes;
            if (id - entry.tileId >= entry.runLength
                || !read(m_tiles, entry.offset, entry.length, &stored)
                || !decompress(stored, m_tileCompression, &bytes))
                return {};
            return bytes;
        }
        directory = m_leafCache.object(entry.offset);
        if (!directory) {
            auto leaf = std::make_unique<Directory>();
            if (!readDirectory(m_leaves, entry.offset, entry.length, leaf.get()))
                return {};
            directory = leaf.get();
            m_leafCache.insert(entry.offset, leaf.release());
        }
    }
    return {};
}

quint64 PmTilesSource::tileId(int z, int x, int y)
{
    // Tiles of all shallower levels come first.
    quint64 id = ((quint64(1) << (2 * z)) - 1) / 3;
    qint64 tx = x, ty = y;
    for (int level = z - 1; level >= 0; --level) {
        const qint64 half = qint64(1) << level;
        const int rx = (tx & half) ? 1 : 0;
        const int ry = (ty & half) ? 1 : 0;
        id += quint64((3 * rx) ^ ry) << (2 * level);
        tx &= half - 1;
        ty &= half - 1;
        // The quadrant's sub-curve is turned so that it joins its neighbours.
        if (ry == 0) {
            if (rx == 1) {
                tx = half - 1 - tx;
                ty = half - 1 - ty;
            }
            std::swap(tx, ty);
        }
    }
    return id;
}

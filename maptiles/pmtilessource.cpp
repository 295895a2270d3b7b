// PMTiles reader: header checks, varint directories, Hilbert tile ids and a cache of leaves.
#include "pmtilessource.h"

#include "maptileslog.h"

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
    source->mFile.setFileName(path);
    if (!source->mFile.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *error = TileSourceError::NotFound;
        *detail = QStringLiteral("cannot read %1: %2").arg(path, source->mFile.errorString());
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
    const QByteArray header = mFile.read(HeaderSize);
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
    mRoot = {u64At(header, 8), u64At(header, 16)};
    mMetadata = {u64At(header, 24), u64At(header, 32)};
    mLeaves = {u64At(header, 40), u64At(header, 48)};
    mTiles = {u64At(header, 56), u64At(header, 64)};
    const auto fileSize = quint64(mFile.size());
    for (const Section &section : {mRoot, mMetadata, mLeaves, mTiles}) {
        if (section.offset > fileSize || section.length > fileSize - section.offset) {
            *detail = QStringLiteral("a section lies past the end of the file");
            return false;
        }
    }

    mInternalCompression = quint8(header[97]);
    mTileCompression = quint8(header[98]);
    *error = TileSourceError::Unsupported;
    if (mInternalCompression != NoCompression && mInternalCompression != Gzip) {
        *detail = QStringLiteral("directory compression %1").arg(mInternalCompression);
        return false;
    }
    if (mTileCompression > Gzip) {
        *detail = QStringLiteral("tile compression %1").arg(mTileCompression);
        return false;
    }
    switch (quint8(header[99])) {
    case 1:
        mInfo.format = TileFormat::Pbf;
        break;
    case 2:
        mInfo.format = TileFormat::Png;
        break;
    case 3:
        mInfo.format = TileFormat::Jpeg;
        break;
    case 4:
        mInfo.format = TileFormat::Webp;
        break;
    default:
        *detail = QStringLiteral("tile type %1").arg(int(quint8(header[99])));
        return false;
    }

    mInfo.minZoom = qMin(int(quint8(header[100])), int(MaxZoom));
    mInfo.maxZoom = qBound(mInfo.minZoom, int(quint8(header[101])), int(MaxZoom));
    setBounds(degreesAt(header, 102), degreesAt(header, 106), degreesAt(header, 110),
              degreesAt(header, 114), &mInfo);

    *error = TileSourceError::NotAMap;
    if (!readDirectory(mRoot, 0, mRoot.length, &mRootDirectory)) {
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
    if (mMetadata.length == 0 || !read(mMetadata, 0, mMetadata.length, &stored)
        || !decompress(stored, mInternalCompression, &json))
        return;
    const QJsonObject metadata = QJsonDocument::fromJson(json).object();
    mInfo.name = metadata.value(QLatin1String("name")).toString();
    mInfo.attribution = metadata.value(QLatin1String("attribution")).toString();
    mInfo.vectorLayers = vectorLayerIds(metadata);
}

bool PmTilesSource::read(const Section &section, quint64 offset, quint64 length, QByteArray *out)
{
    if (length > quint64(TileInflate::MaxOutput) || offset > section.length
        || length > section.length - offset)
        return false;
    if (!mFile.seek(qint64(section.offset + offset)))
        return false;
    *out = mFile.read(qint64(length));
    return quint64(out->size()) == length;
}

bool PmTilesSource::decompress(const QByteArray &stored, quint8 compression, QByteArray *out,
                               int limit) const
{
    if (compression == Gzip
        || (compression == UnknownCompression && TileInflate::isCompressed(stored)))
        return TileInflate::inflate(stored, out, limit);
    *out = stored;
    return true;
}

bool PmTilesSource::readDirectory(const Section &section, quint64 offset, quint64 length,
                                  Directory *out)
{
    QByteArray stored, bytes;
    return length <= quint64(MaxDirectoryBytes) && read(section, offset, length, &stored)
           && decompress(stored, mInternalCompression, &bytes, MaxDirectoryBytes)
           && parseDirectory(bytes, out);
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
    const Directory *directory = &mRootDirectory;
    for (int depth = 0; depth < MaxDirectoryDepth; ++depth) {
        auto next = std::upper_bound(directory->cbegin(), directory->cend(), id,
                                     [](quint64 id, const Entry &e) { return id < e.tileId; });
        if (next == directory->cbegin())
            return {};
        const Entry entry = *(next - 1);
        if (entry.runLength > 0) {
            QByteArray stored, bytes;
            if (id - entry.tileId >= entry.runLength
                || !read(mTiles, entry.offset, entry.length, &stored)
                || !decompress(stored, mTileCompression, &bytes))
                return {};
            return bytes;
        }
        directory = mLeafCache.object(entry.offset);
        if (!directory) {
            auto leaf = std::make_unique<Directory>();
            if (!readDirectory(mLeaves, entry.offset, entry.length, leaf.get())) {
                // Once: the map asks for the tiles below a leaf many times over.
                if (!mLeafRefused)
                    qCWarning(lcMapTiles)
                            << "map file" << mFile.fileName() << "has a leaf directory"
                            << "damaged or over" << MaxDirectoryBytes / (1024 * 1024)
                            << "MB inflated: its tiles are left out";
                mLeafRefused = true;
                return {};
            }
            directory = leaf.get();
            // Never refused, which would delete it at once: every entry takes at least four bytes.
            static_assert(MaxDirectoryBytes / 4 * sizeof(Entry) <= LeafCacheBytes, "leaf budget");
            mLeafCache.insert(entry.offset, leaf.release(), directory->size() * int(sizeof(Entry)));
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

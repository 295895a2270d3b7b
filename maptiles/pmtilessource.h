// PMTiles (version 3) reader: one file of a header, tile directories and tile data, read by offset.
#pragma once

#include "tileinflate.h"
#include "tilesource.h"

#include <QCache>
#include <QFile>
#include <QVector>

class PmTilesSource : public TileSource
{
public:
    static std::unique_ptr<PmTilesSource> open(const QString &path, TileSourceError *error,
                                               QString *detail);
    const TileSourceInfo &info() const override { return mInfo; }
    QByteArray tile(int z, int x, int y) override;

    // Position of a tile on the format's Hilbert curves, level after level; z/x/y in the grid.
    static quint64 tileId(int z, int x, int y);

    // A directory inflating past this is refused: the leaves of the largest real files come
    // to about a megabyte, and a parsed directory takes six times its inflated size.
    static constexpr int MaxDirectoryBytes = 4 * 1024 * 1024;
    // What the parsed leaf directories kept for later requests may take together.
    static constexpr int LeafCacheBytes = 32 * 1024 * 1024;
    int cachedLeafBytes() const { return mLeafCache.totalCost(); }

private:
    struct Entry
    {
        quint64 tileId = 0;
        quint64 offset = 0;
        quint32 length = 0;
        quint32 runLength = 0; // 0: the entry points at a leaf directory
    };
    using Directory = QVector<Entry>;
    struct Section
    {
        quint64 offset = 0;
        quint64 length = 0;
    };

    PmTilesSource() = default;
    bool readHeader(TileSourceError *error, QString *detail);
    void readMetadata();
    bool read(const Section &section, quint64 offset, quint64 length, QByteArray *out);
    bool decompress(const QByteArray &stored, quint8 compression, QByteArray *out,
                    int limit = TileInflate::MaxOutput) const;
    bool readDirectory(const Section &section, quint64 offset, quint64 length, Directory *out);
    static bool parseDirectory(const QByteArray &bytes, Directory *out);

    QFile mFile;
    TileSourceInfo mInfo;
    Section mRoot;
    Section mMetadata;
    Section mLeaves;
    Section mTiles;
    quint8 mInternalCompression = 0;
    quint8 mTileCompression = 0;
    Directory mRootDirectory;
    // Leaf directories by offset, each costing its bytes: a map view keeps asking for the same
    // few neighbourhoods.
    QCache<quint64, Directory> mLeafCache{LeafCacheBytes};
    bool mLeafRefused = false;
};

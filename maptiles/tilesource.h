// Map tile files (MBTiles, PMTiles) behind one interface: what the file holds and its tiles.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>

enum class TileFormat { Png, Jpeg, Webp, Pbf };

struct TileSourceInfo
{
    TileFormat format = TileFormat::Png;
    bool isVector() const { return format == TileFormat::Pbf; }
    int minZoom = 0;
    int maxZoom = 0; // deepest level that has tiles (from metadata or the tiles themselves)
    bool hasBounds = false; // west, south, east, north in degrees, when the file says
    double west = -180, south = -85.0511, east = 180, north = 85.0511;
    QString name;
    QString attribution; // as the file has it (may be HTML; the page sanitises it)
    QStringList vectorLayers; // ids of the vector layers, from the metadata json
};

enum class TileSourceError { None, NotFound, NotAMap, Unsupported, TimedOut };

class TileSource
{
public:
    virtual ~TileSource();
    // Opens an MBTiles (SQLite) or PMTiles (v3) file, chosen by its first bytes, not its name.
    static std::unique_ptr<TileSource> open(const QString &path, TileSourceError *error,
                                            QString *detail);
    virtual const TileSourceInfo &info() const = 0;
    // XYZ addressing; empty QByteArray when the tile is absent; raw (decompressed) bytes.
    virtual QByteArray tile(int z, int x, int y) = 0;

    // Deepest level any reader accepts: tile ids of PMTiles end at 31, and the grid sizes of
    // deeper levels would overflow.
    static constexpr int MaxZoom = 30;
    static bool inGrid(int z, int x, int y);
    // Takes the bounds a file gives (degrees) when they describe an area of the world; false,
    // leaving info as it was, for bounds out of range or crossed.
    static bool setBounds(double west, double south, double east, double north,
                          TileSourceInfo *info);
    static QByteArray contentType(TileFormat format);
    // The format a tile's first bytes show, or false when they show none of the four.
    static bool sniffFormat(const QByteArray &bytes, TileFormat *format);
    // The ids of the "vector_layers" entries of a metadata object.
    static QStringList vectorLayerIds(const QJsonObject &metadata);
};

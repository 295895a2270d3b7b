// Benchmark of map tile reads: random existing tiles from a ~100 MB MBTiles and PMTiles file.
#include "mbtileswriter.h"
#include "pmtileswriter.h"

#include <maptiles/pmtilessource.h>
#include <maptiles/tilesource.h>
#include <maptiles/tileurl.h>

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QVector>

#include <algorithm>
#include <cstdio>

namespace {

struct TileKey
{
    int z, x, y;
};

QVector<TileKey> tileSet(int count, QRandomGenerator *random)
{
    QVector<TileKey> keys;
    QSet<quint64> taken;
    // Every tile of the shallow levels, as a real map has them, then deeper ones scattered.
    for (int z = 0; z <= 5 && keys.size() < count; ++z) {
        for (int x = 0; x < (1 << z); ++x) {
            for (int y = 0; y < (1 << z); ++y)
                keys.append({z, x, y});
        }
    }
    for (const TileKey &key : keys)
        taken.insert(PmTilesSource::tileId(key.z, key.x, key.y));
    while (keys.size() < count) {
        const int z = random->bounded(6, 15);
        const TileKey key{z, random->bounded(1 << z), random->bounded(1 << z)};
        if (!taken.contains(PmTilesSource::tileId(key.z, key.x, key.y))) {
            taken.insert(PmTilesSource::tileId(key.z, key.x, key.y));
            keys.append(key);
        }
    }
    return keys;
}

// Incompressible bytes behind a JPEG marker, of photo-tile sizes around 20 KB.
QByteArray tileBytes(QRandomGenerator *random)
{
    QByteArray bytes(random->bounded(10 * 1024, 30 * 1024), Qt::Uninitialized);
    random->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    bytes.replace(0, 4, QByteArray("\xff\xd8\xff\xe0", 4));
    return bytes;
}

// Reads the whole file, so that timings measure the reader and not the first disk access.
void warmFile(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.read(1 << 20).isEmpty()) { }
    }
}

struct Figures
{
    double p50 = 0, p95 = 0, max = 0;
    int missing = 0;
};

template<typename Request>
Figures timeRequests(const QVector<TileKey> &keys, int count, Request request)
{
    QRandomGenerator random(7);
    QVector<double> ms;
    Figures figures;
    for (int i = 0; i < count; ++i) {
        const TileKey &key = keys[random.bounded(keys.size())];
        QElapsedTimer timer;
        timer.start();
        const qint64 size = request(key);
        ms.append(timer.nsecsElapsed() / 1e6);
        if (size == 0)
            ++figures.missing;
    }
    std::sort(ms.begin(), ms.end());
    figures.p50 = ms[ms.size() / 2];
    figures.p95 = ms[ms.size() * 95 / 100];
    figures.max = ms.last();
    return figures;
}

void print(const char *label, const Figures &figures)
{
    std::printf("%-28s p50 %.3f ms   p95 %.3f ms   max %.3f ms%s\n", label, figures.p50,
                figures.p95, figures.max,
                figures.missing ? qPrintable(QStringLiteral("   (%1 MISSING)").arg(figures.missing))
                                : "");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(
            "Writes the same ~100 MB of JPEG-sized tiles (levels 0 to 14) as an MBTiles and a "
            "PMTiles file, then times random requests of existing tiles: straight to the "
            "reader, and as the map's URL scheme serves them (address parsed, reply buffer).");
    options.addHelpOption();
    QCommandLineOption tilesOption(QStringLiteral("tiles"), QStringLiteral("Tiles in the files."),
                                   QStringLiteral("count"), QStringLiteral("5000"));
    QCommandLineOption requestsOption(QStringLiteral("requests"),
                                      QStringLiteral("Timed requests per reader and path."),
                                      QStringLiteral("count"), QStringLiteral("1000"));
    options.addOption(tilesOption);
    options.addOption(requestsOption);
    options.process(app);
    const int tileCount = qMax(1, options.value(tilesOption).toInt());
    const int requests = qMax(1, options.value(requestsOption).toInt());

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    QRandomGenerator random(2024);
    const QVector<TileKey> keys = tileSet(tileCount, &random);
    const QString mbPath = dir.filePath(QStringLiteral("bench.mbtiles"));
    const QString pmPath = dir.filePath(QStringLiteral("bench.pmtiles"));
    QElapsedTimer writing;
    writing.start();
    {
        MbTilesWriter mb(mbPath);
        mb.setMetadata(QStringLiteral("format"), QStringLiteral("jpg"));
        mb.setMetadata(QStringLiteral("minzoom"), QStringLiteral("0"));
        mb.setMetadata(QStringLiteral("maxzoom"), QStringLiteral("14"));
        PmTilesWriter::Options pmOptions;
        pmOptions.tileType = PmTilesWriter::Jpeg;
        pmOptions.maxZoom = 14;
        // Leaves as large writers make them, so that requests go through the leaf cache.
        pmOptions.leafSize = 512;
        PmTilesWriter pm(pmOptions);
        for (const TileKey &key : keys) {
            const QByteArray bytes = tileBytes(&random);
            mb.addTile(key.z, key.x, key.y, bytes);
            pm.addTile(PmTilesSource::tileId(key.z, key.x, key.y), bytes);
        }
        if (!mb.finish() || !pm.write(pmPath)) {
            std::fprintf(stderr, "cannot write the tile files\n");
            return 1;
        }
    }
    std::printf("%d tiles written in %.1f s: MBTiles %.1f MB, PMTiles %.1f MB\n", keys.size(),
                writing.elapsed() / 1000.0, QFileInfo(mbPath).size() / 1e6,
                QFileInfo(pmPath).size() / 1e6);

    for (const QString &path : {mbPath, pmPath}) {
        warmFile(path);
        TileSourceError error = TileSourceError::None;
        QString detail;
        std::unique_ptr<TileSource> source = TileSource::open(path, &error, &detail);
        if (!source) {
            std::fprintf(stderr, "%s\n", qPrintable(detail));
            return 1;
        }
        const QString kind = path == mbPath ? QStringLiteral("MBTiles") : QStringLiteral("PMTiles");
        // Warm-up: statement caches, the leaf cache, the allocator.
        timeRequests(keys, 200,
                     [&](const TileKey &key) { return source->tile(key.z, key.x, key.y).size(); });
        print(qPrintable(kind + QStringLiteral(" reader")),
              timeRequests(keys, requests, [&](const TileKey &key) {
                  return source->tile(key.z, key.x, key.y).size();
              }));
        const QString urlTemplate = fileTileUrlTemplate(1);
        print(qPrintable(kind + QStringLiteral(" via the URL")),
              timeRequests(keys, requests, [&](const TileKey &key) {
                  QString address = urlTemplate;
                  address.replace(QLatin1String("{z}"), QString::number(key.z))
                          .replace(QLatin1String("{x}"), QString::number(key.x))
                          .replace(QLatin1String("{y}"), QString::number(key.y));
                  TileUrl url;
                  if (!parseTileUrl(QUrl(address), &url))
                      return qint64(0);
                  QBuffer buffer;
                  buffer.setData(source->tile(url.z, url.x, url.y));
                  buffer.open(QIODevice::ReadOnly);
                  const QByteArray type = TileSource::contentType(source->info().format);
                  return type.isEmpty() ? 0 : buffer.size();
              }));
    }
    return 0;
}

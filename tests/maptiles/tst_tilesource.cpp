// Tests of the tile store: both readers on files written here, damaged files, and tile ids.
#include <maptiles/pmtilessource.h>
#include <maptiles/tileinflate.h>
#include <maptiles/tilesource.h>

#include "mbtileswriter.h"
#include "pmtileswriter.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

Q_DECLARE_METATYPE(TileFormat)
Q_DECLARE_METATYPE(TileSourceError)

namespace {

const QByteArray Png = QByteArray("\x89PNG\r\n\x1a\n", 8) + "png pixels";
const QByteArray Jpeg = QByteArray("\xff\xd8\xff\xe0", 4) + "jpeg pixels";
const QByteArray Webp = QByteArray("RIFF\x14\0\0\0WEBPVP8 ", 16) + "webp pixels";
// A vector tile: field 3 (a layer), 7 bytes long, holding field 1 (its name) "water".
const QByteArray Mvt = QByteArray("\x1a\x07\x0a\x05water", 9);

QByteArray zlibStream(const QByteArray &data)
{
    // qCompress puts the uncompressed size in front of the zlib stream.
    return qCompress(data).mid(4);
}

// A 64-bit header field of PMTiles.
QByteArray u64(quint64 value)
{
    QByteArray field(8, '\0');
    qToLittleEndian(value, field.data());
    return field;
}

using Metadata = QList<QPair<QString, QString>>;

} // namespace

class TestTileSource : public QObject
{
    Q_OBJECT

private slots:
    void rowFlip_data();
    void rowFlip();
    void mbtilesMetadata_data();
    void mbtilesMetadata();
    void formats_data();
    void formats();
    void vectorTiles_data();
    void vectorTiles();
    void damagedFiles_data();
    void damagedFiles();
    void hostileMbTiles_data();
    void hostileMbTiles();
    void oversizedValues_data();
    void oversizedValues();
    void pmtilesDirectories_data();
    void pmtilesDirectories();
    void pmtilesTruncatedData();
    void pmtilesLeafLoop();
    void pmtilesLeafBudget_data();
    void pmtilesLeafBudget();
    void tileIds_data();
    void tileIds();
    void twoFilesOpen();
    void mbtilesFolders_data();
    void mbtilesFolders();
    void gdalFile();

private:
    QString path(const QString &name) const { return mDir.filePath(name); }
    bool runSql(const QString &file, const QStringList &statements);
    static bool writeFile(const QString &file, const QByteArray &bytes);
    QByteArray pmtiles(const PmTilesWriter::Options &options,
                       const QMap<QString, QByteArray> &tiles) const;
    // Tile 0/0/0 alone, in a PMTiles file when options are given, otherwise in an MBTiles
    // file of that format (none when empty).
    bool writeOneTile(const QString &file, const PmTilesWriter::Options *options,
                      const QString &format, const QByteArray &stored) const;
    std::unique_ptr<TileSource> open(const QString &file) const;

    QTemporaryDir mDir;
};

bool TestTileSource::runSql(const QString &file, const QStringList &statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), file);
        db.setDatabaseName(file);
        ok = db.open();
        QSqlQuery query(db);
        for (const QString &statement : statements)
            ok = ok && query.exec(statement);
        db.close();
    }
    QSqlDatabase::removeDatabase(file);
    return ok;
}

bool TestTileSource::writeFile(const QString &file, const QByteArray &bytes)
{
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

// Tiles keyed "z/x/y".
QByteArray TestTileSource::pmtiles(const PmTilesWriter::Options &options,
                                   const QMap<QString, QByteArray> &tiles) const
{
    PmTilesWriter writer(options);
    for (auto it = tiles.cbegin(); it != tiles.cend(); ++it) {
        const QStringList zxy = it.key().split(QLatin1Char('/'));
        writer.addTile(PmTilesSource::tileId(zxy[0].toInt(), zxy[1].toInt(), zxy[2].toInt()),
                       it.value());
    }
    return writer.build();
}

bool TestTileSource::writeOneTile(const QString &file, const PmTilesWriter::Options *options,
                                  const QString &format, const QByteArray &stored) const
{
    if (options) {
        return writeFile(file, pmtiles(*options, {{"0/0/0", stored}}));
    }
    MbTilesWriter writer(file);
    if (!format.isEmpty())
        writer.setMetadata(QStringLiteral("format"), format);
    writer.addTile(0, 0, 0, stored);
    return writer.finish();
}

std::unique_ptr<TileSource> TestTileSource::open(const QString &file) const
{
    TileSourceError error = TileSourceError::None;
    QString detail;
    auto source = TileSource::open(file, &error, &detail);
    if (!source)
        qWarning("%s", qPrintable(detail));
    return source;
}

void TestTileSource::rowFlip_data()
{
    QTest::addColumn<int>("z");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("tmsRow");

    QTest::newRow("0/0/0") << 0 << 0 << 0 << 0;
    QTest::newRow("1/0/0") << 1 << 0 << 0 << 1;
    QTest::newRow("1/1/1") << 1 << 1 << 1 << 0;
    QTest::newRow("3/2/5") << 3 << 2 << 5 << 2;
    QTest::newRow("14/100/9000") << 14 << 100 << 9000 << 7383;
}

// Rows written by hand, so that the test does not share the reader's arithmetic.
void TestTileSource::rowFlip()
{
    QFETCH(int, z);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, tmsRow);
    const QString file = path(QStringLiteral("flip-%1.mbtiles").arg(z * 100000 + y));
    QVERIFY(runSql(file,
                   {"CREATE TABLE metadata (name TEXT, value TEXT)",
                    "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row "
                    "INTEGER, tile_data BLOB)",
                    "INSERT INTO metadata VALUES ('format', 'png')",
                    QStringLiteral("INSERT INTO tiles VALUES (%1, %2, %3, X'89504E470D0A1A0A01')")
                            .arg(z)
                            .arg(x)
                            .arg(tmsRow)}));
    auto source = open(file);
    QVERIFY(source);
    QCOMPARE(source->tile(z, x, y), QByteArray("\x89PNG\r\n\x1a\n\x01", 9));
    if (tmsRow != y)
        QVERIFY(source->tile(z, x, tmsRow).isEmpty());
    QVERIFY(source->tile(z, x + 1, y).isEmpty());
    QVERIFY(source->tile(z + 1, x, y).isEmpty());
}

void TestTileSource::mbtilesMetadata_data()
{
    QTest::addColumn<Metadata>("metadata");
    QTest::addColumn<int>("minZoom");
    QTest::addColumn<int>("maxZoom");
    QTest::addColumn<bool>("hasBounds");
    QTest::addColumn<QVector<double>>("bounds");
    QTest::addColumn<QString>("attribution");
    QTest::addColumn<QStringList>("layers");

    // Tiles are always on levels 2 and 5.
    const QVector<double> world{-180, -85.0511, 180, 85.0511};
    QTest::newRow("complete")
            << Metadata{{"name", "Alps"},
                        {"format", "pbf"},
                        {"bounds", "5.9,45.8,10.5,47.8"},
                        {"minzoom", "0"},
                        {"maxzoom", "14"},
                        {"attribution", "<a href=\"https://example.org\">Example</a>"},
                        {"json", R"({"vector_layers":[{"id":"water"},{"id":"roads"},{}]})"}}
            << 0 << 14 << true << QVector<double>{5.9, 45.8, 10.5, 47.8}
            << "<a href=\"https://example.org\">Example</a>" << QStringList{"water", "roads"};
    QTest::newRow("no bounds, no zooms") << Metadata{{"format", "png"}} << 2 << 5 << false << world
                                         << QString() << QStringList();
    QTest::newRow("only a minimum zoom") << Metadata{{"format", "png"}, {"minzoom", "1"}} << 2 << 5
                                         << false << world << QString() << QStringList();
    QTest::newRow("zooms crossed")
            << Metadata{{"format", "png"}, {"minzoom", "9"}, {"maxzoom", "3"}} << 2 << 5 << false
            << world << QString() << QStringList();
    QTest::newRow("zooms not numbers")
            << Metadata{{"format", "png"}, {"minzoom", "low"}, {"maxzoom", "high"}} << 2 << 5
            << false << world << QString() << QStringList();
    QTest::newRow("bounds of three numbers")
            << Metadata{{"format", "png"}, {"bounds", "1,2,3"}} << 2 << 5 << false << world
            << QString() << QStringList();
    QTest::newRow("bounds outside the world")
            << Metadata{{"format", "png"}, {"bounds", "-200,-10,10,10"}} << 2 << 5 << false << world
            << QString() << QStringList();
    QTest::newRow("bounds with blanks")
            << Metadata{{"format", "png"}, {"bounds", " -10 , -5 , 10 , 5 "}} << 2 << 5 << true
            << QVector<double>{-10, -5, 10, 5} << QString() << QStringList();
    QTest::newRow("json not json") << Metadata{{"format", "pbf"}, {"json", "{vector_layers"}} << 2
                                   << 5 << false << world << QString() << QStringList();
}

void TestTileSource::mbtilesMetadata()
{
    QFETCH(Metadata, metadata);
    const QString file = path(QStringLiteral("meta-%1.mbtiles").arg(QTest::currentDataTag()));
    {
        MbTilesWriter writer(file);
        for (const auto &pair : metadata)
            writer.setMetadata(pair.first, pair.second);
        writer.addTile(2, 1, 1, Png);
        writer.addTile(5, 3, 3, Png);
        QVERIFY(writer.finish());
    }
    auto source = open(file);
    QVERIFY(source);
    const TileSourceInfo &info = source->info();
    QTEST(info.minZoom, "minZoom");
    QTEST(info.maxZoom, "maxZoom");
    QTEST(info.hasBounds, "hasBounds");
    QFETCH(QVector<double>, bounds);
    QCOMPARE(QVector<double>({info.west, info.south, info.east, info.north}), bounds);
    QTEST(info.attribution, "attribution");
    QTEST(info.vectorLayers, "layers");
}

void TestTileSource::formats_data()
{
    QTest::addColumn<bool>("pmtiles");
    QTest::addColumn<QString>("declared"); // MBTiles metadata, or PMTiles tile type
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<TileSourceError>("error");
    QTest::addColumn<TileFormat>("format");
    QTest::addColumn<QByteArray>("contentType");

    const auto ok = TileSourceError::None;
    const auto unsupported = TileSourceError::Unsupported;
    struct Known
    {
        const char *declared;
        int tileType;
        QByteArray stored;
        TileFormat format;
        QByteArray contentType;
    };
    const Known known[] = {
            {"png", 2, Png, TileFormat::Png, "image/png"},
            {"jpg", 3, Jpeg, TileFormat::Jpeg, "image/jpeg"},
            {"webp", 4, Webp, TileFormat::Webp, "image/webp"},
            {"pbf", 1, Mvt, TileFormat::Pbf, "application/x-protobuf"},
    };
    for (const Known &k : known) {
        QTest::addRow("%s", k.declared)
                << false << k.declared << k.stored << ok << k.format << k.contentType;
        // Vector tiles compressed, as MBTiles files store them.
        QTest::addRow("%s by content", k.declared)
                << false << ""
                << (k.format == TileFormat::Pbf ? PmTilesWriter::gzip(k.stored) : k.stored) << ok
                << k.format << k.contentType;
        QTest::addRow("pm %s", k.declared) << true << QString::number(k.tileType) << k.stored << ok
                                           << k.format << k.contentType;
    }
    QTest::newRow("JPEG") << false << "JPEG" << Jpeg << ok << TileFormat::Jpeg
                          << QByteArray("image/jpeg");
    QTest::newRow("unknown name") << false << "tiff" << Png << unsupported << TileFormat::Png
                                  << QByteArray();
    QTest::newRow("unknown content") << false << "" << QByteArray("II*\0", 4) << unsupported
                                     << TileFormat::Png << QByteArray();
    QTest::newRow("pm avif") << true << "5" << Png << unsupported << TileFormat::Png
                             << QByteArray();
    QTest::newRow("pm unknown type")
            << true << "0" << Png << unsupported << TileFormat::Png << QByteArray();
}

void TestTileSource::formats()
{
    QFETCH(bool, pmtiles);
    QFETCH(QString, declared);
    QFETCH(QByteArray, stored);
    const QString file = path(QStringLiteral("format-%1").arg(QTest::currentDataTag()));
    PmTilesWriter::Options options;
    options.tileType = PmTilesWriter::TileType(declared.toInt());
    QVERIFY(writeOneTile(file, pmtiles ? &options : nullptr, declared, stored));
    TileSourceError error = TileSourceError::None;
    QString detail;
    auto source = TileSource::open(file, &error, &detail);
    QTEST(error, "error");
    if (error != TileSourceError::None) {
        QVERIFY(!source);
        QVERIFY(detail.contains(file));
        return;
    }
    QVERIFY(source);
    QTEST(source->info().format, "format");
    QTEST(TileSource::contentType(source->info().format), "contentType");
    QVERIFY(!source->tile(0, 0, 0).isEmpty());
}

void TestTileSource::vectorTiles_data()
{
    QTest::addColumn<bool>("pmtiles");
    QTest::addColumn<bool>("gzipTiles"); // the PMTiles header declares gzip tiles
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("served");

    const QByteArray zeros(20 * 1024 * 1024, '\0');
    const QByteArray gzipped = PmTilesWriter::gzip(Mvt);
    QTest::newRow("gzip") << false << false << gzipped << Mvt;
    QTest::newRow("zlib") << false << false << zlibStream(Mvt) << Mvt;
    QTest::newRow("raw") << false << false << Mvt << Mvt;
    QTest::newRow("cut gzip") << false << false << gzipped.left(gzipped.size() - 6) << QByteArray();
    QTest::newRow("gzip bomb") << false << false << PmTilesWriter::gzip(zeros) << QByteArray();
    QTest::newRow("pm gzip") << true << true << gzipped << Mvt;
    QTest::newRow("pm raw") << true << false << Mvt << Mvt;
    QTest::newRow("pm declared gzip, damaged")
            << true << true << QByteArray("\x1f\x8b\x08\0garbage", 11) << QByteArray();
    QTest::newRow("pm gzip bomb") << true << true << PmTilesWriter::gzip(zeros) << QByteArray();
    QTest::newRow("huge") << false << false << Mvt + zeros << QByteArray();
    QTest::newRow("pm huge") << true << false << Mvt + zeros << QByteArray();
}

void TestTileSource::vectorTiles()
{
    QFETCH(bool, pmtiles);
    QFETCH(bool, gzipTiles);
    QFETCH(QByteArray, stored);
    const QString file = path(QStringLiteral("vector-%1").arg(QTest::currentDataTag()));
    PmTilesWriter::Options options;
    options.tileType = PmTilesWriter::Mvt;
    options.tileCompression = gzipTiles ? PmTilesWriter::Gzip : PmTilesWriter::NoCompression;
    QVERIFY(writeOneTile(file, pmtiles ? &options : nullptr, QStringLiteral("pbf"), stored));
    auto source = open(file);
    QVERIFY(source);
    QTEST(source->tile(0, 0, 0), "served");
}

void TestTileSource::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TileSourceError>("error");

    const QString noTilesFile = path(QStringLiteral("no-tiles.sqlite"));
    QVERIFY(runSql(noTilesFile, {"CREATE TABLE metadata (name TEXT, value TEXT)",
                                 "CREATE TABLE images (tile_data BLOB)"}));
    QFile noTiles(noTilesFile);
    QVERIFY(noTiles.open(QIODevice::ReadOnly));

    PmTilesWriter::Options options;
    options.maxZoom = 1;
    const QByteArray good = pmtiles(options, {{"0/0/0", Png}, {"1/0/0", Png}});
    const auto patched = [&good](int at, const QByteArray &bytes) {
        return QByteArray(good).replace(at, bytes.size(), bytes);
    };
    const quint64 rootOffset = qFromLittleEndian<quint64>(good.constData() + 8);

    QByteArray random(4096, '\0');
    for (char &c : random)
        c = char(QRandomGenerator::global()->bounded(256));
    const auto notAMap = TileSourceError::NotAMap;
    const auto unsupported = TileSourceError::Unsupported;
    QTest::newRow("empty") << QByteArray() << notAMap;
    QTest::newRow("random") << random << notAMap;
    QTest::newRow("SQLite header, then noise")
            << QByteArray("SQLite format 3\0", 16) + random << notAMap;
    QTest::newRow("SQLite without tiles") << noTiles.readAll() << notAMap;
    QTest::newRow("PMTiles header cut") << good.left(100) << notAMap;
    QTest::newRow("PMTiles magic alone") << QByteArray("PMTiles") << notAMap;
    QTest::newRow("PMTiles version 2") << patched(7, "\x02") << unsupported;
    QTest::newRow("root past the end") << patched(8, u64(quint64(good.size()) + 1)) << notAMap;
    QTest::newRow("root longer than the file") << patched(16, u64(~quint64(0) - 4)) << notAMap;
    QTest::newRow("tile data past the end")
            << patched(56, u64(quint64(good.size()) * 2)) << notAMap;
    QTest::newRow("root of noise") << patched(int(rootOffset), QByteArray(8, '\xff')) << notAMap;
    QTest::newRow("directories in brotli") << patched(97, "\x03") << unsupported;
    QTest::newRow("tiles in zstd") << patched(98, "\x04") << unsupported;
    QTest::newRow("PMTiles of noise") << QByteArray("PMTiles\x03", 8) + random << notAMap;
}

void TestTileSource::damagedFiles()
{
    QFETCH(QByteArray, bytes);
    const QString file = path(QStringLiteral("damaged-%1").arg(QTest::currentDataTag()));
    QVERIFY(writeFile(file, bytes));
    TileSourceError error = TileSourceError::None;
    QString detail;
    QVERIFY(!TileSource::open(file, &error, &detail));
    QTEST(error, "error");
    QVERIFY2(detail.contains(file), qPrintable(detail));

    QVERIFY(!TileSource::open(path(QStringLiteral("absent.mbtiles")), &error, &detail));
    QCOMPARE(error, TileSourceError::NotFound);
}

void TestTileSource::hostileMbTiles_data()
{
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("stalls");

    const QString endless
            = QStringLiteral("WITH RECURSIVE c(n) AS (SELECT 0 UNION ALL SELECT n + 1 "
                             "FROM c) ");
    const QString tilesView = QStringLiteral("CREATE VIEW tiles AS ") + endless
                              + "SELECT n AS zoom_level, n AS tile_column, n AS tile_row, "
                                "X'89504E470D0A1A0A' AS tile_data FROM c WHERE n < 0";
    const QString metadata = QStringLiteral("CREATE TABLE metadata (name TEXT, value TEXT)");
    const QString zooms = QStringLiteral("INSERT INTO metadata VALUES ('format', 'png'), "
                                         "('minzoom', '0'), ('maxzoom', '3')");
    QTest::newRow("endless tiles view, zooms from the tiles")
            << QStringList{tilesView, metadata, "INSERT INTO metadata VALUES ('format', 'png')"}
            << false << false;
    // SQLite sees that no row of the view can match the tile asked for.
    QTest::newRow("endless tiles view, every tile asked for")
            << QStringList{tilesView, metadata, zooms} << true << false;
    QTest::newRow("endless tiles view of constant columns")
            << QStringList{QStringLiteral("CREATE VIEW tiles AS ") + endless
                                   + "SELECT 0 AS zoom_level, 0 AS tile_column, 0 AS tile_row, "
                                     "X'89504E470D0A1A0A' AS tile_data FROM c WHERE n < 0",
                           metadata, zooms}
            << true << true;
    QTest::newRow("endless metadata view")
            << QStringList{QStringLiteral("CREATE VIEW metadata AS ") + endless
                                   + "SELECT 'k' || n AS name, printf('%.200c', 'v') AS value "
                                     "FROM c",
                           "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, "
                           "tile_row INTEGER, tile_data BLOB)"}
            << false << false;
}

// Views that never end: opening fails within its time, as a timeout; a map's worth of tiles is
// absent, the first one that runs out of time stops the file.
void TestTileSource::hostileMbTiles()
{
    QFETCH(QStringList, statements);
    QFETCH(bool, opens);
    QFETCH(bool, stalls);
    const QString file = path(QStringLiteral("hostile-%1.mbtiles").arg(QTest::currentDataTag()));
    QVERIFY(runSql(file, statements));
    QElapsedTimer timer;
    timer.start();
    TileSourceError error = TileSourceError::None;
    QString detail;
    auto source = TileSource::open(file, &error, &detail);
    QCOMPARE(bool(source), opens);
    if (!source) {
        // Not "not a map": a good file on a disk too slow to answer ends the same way.
        QVERIFY2(error == TileSourceError::TimedOut && detail.contains("did not answer in time"),
                 qPrintable(detail));
        QVERIFY2(timer.elapsed() < 15000, qPrintable(QString::number(timer.elapsed())));
        return;
    }
    if (stalls)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("gives no more tiles"));
    timer.restart();
    // As many requests as one move of the map makes; each running out of time took 20 s.
    for (int i = 0; i < 40; ++i)
        QVERIFY(source->tile(0, 0, 0).isEmpty());
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

void TestTileSource::oversizedValues_data()
{
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<TileSourceError>("error");

    // Twice the largest value SQLite may now build: the reader without its limit holds it
    // several times over (some hundred MB), one of 900 MB took it past 5 GB.
    const QString huge = QString::number(2 * TileInflate::MaxOutput);
    const QString tiles = QStringLiteral("CREATE TABLE tiles (zoom_level INTEGER, tile_column "
                                         "INTEGER, tile_row INTEGER, tile_data BLOB)");
    const QString oneTile
            = QStringLiteral("INSERT INTO tiles VALUES (0, 0, 0, X'89504E470D0A1A0A')");
    QTest::newRow("metadata value built past the length limit")
            << QStringList{"CREATE VIEW metadata AS SELECT 'name' AS name, printf('%.*c', " + huge
                                   + ", 'v') AS value",
                           tiles, oneTile}
            << TileSourceError::None;
    QTest::newRow("metadata value of a megabyte")
            << QStringList{"CREATE TABLE metadata (name TEXT, value TEXT)",
                           "INSERT INTO metadata VALUES ('name', printf('%.*c', 1048576, 'v'))",
                           tiles, oneTile}
            << TileSourceError::None;
    QTest::newRow("first tile built past the length limit")
            << QStringList{"CREATE VIEW tiles AS SELECT 0 AS zoom_level, 0 AS tile_column, 0 AS "
                           "tile_row, zeroblob("
                           + huge + ") AS tile_data"}
            << TileSourceError::NotAMap;
}

// Values larger than any real map has, built by a view in one step or stored: left out, never
// loaded whole.
void TestTileSource::oversizedValues()
{
    QFETCH(QStringList, statements);
    QFETCH(TileSourceError, error);
    const QString file = path(QStringLiteral("oversized-%1.mbtiles").arg(QTest::currentDataTag()));
    QVERIFY(runSql(file, statements));
    TileSourceError opened = TileSourceError::None;
    QString detail;
    auto source = TileSource::open(file, &opened, &detail);
    QCOMPARE(opened, error);
    if (source) {
        QCOMPARE(source->info().name, QString());
        QCOMPARE(source->tile(0, 0, 0), Png.left(8));
    }
}

void TestTileSource::pmtilesDirectories_data()
{
    QTest::addColumn<int>("leafSize");
    QTest::addColumn<bool>("gzipDirectories");

    QTest::newRow("root only") << 0 << true;
    QTest::newRow("root only, uncompressed") << 0 << false;
    QTest::newRow("leaves of four") << 4 << true;
    QTest::newRow("leaves of one, uncompressed") << 1 << false;
}

// Every tile of levels 0 to 3, and on level 4 a run of equal tiles, as ocean tiles are stored.
void TestTileSource::pmtilesDirectories()
{
    QFETCH(int, leafSize);
    QFETCH(bool, gzipDirectories);
    PmTilesWriter::Options options;
    options.leafSize = leafSize;
    options.internalCompression
            = gzipDirectories ? PmTilesWriter::Gzip : PmTilesWriter::NoCompression;
    options.minZoom = 0;
    options.maxZoom = 4;
    options.west = -10.5;
    options.south = 35;
    options.east = 30.25;
    options.north = 60;
    options.metadata = R"({"name":"Europe","attribution":"&copy; Example",)"
                       R"("vector_layers":[{"id":"land"},{"id":"water"}]})";
    PmTilesWriter writer(options);
    for (int z = 0; z <= 3; ++z) {
        for (int x = 0; x < (1 << z); ++x) {
            for (int y = 0; y < (1 << z); ++y)
                writer.addTile(PmTilesSource::tileId(z, x, y),
                               Png + QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y).toLatin1());
        }
    }
    // The first tiles of level 4 (ids 85 to 94) along the curve.
    for (quint64 id = 85; id < 95; ++id)
        writer.addTile(id, Png + "sea");
    const QString file = path(QStringLiteral("dirs-%1.pmtiles").arg(QTest::currentDataTag()));
    QVERIFY(writer.write(file));

    auto source = open(file);
    QVERIFY(source);
    for (int z = 0; z <= 3; ++z) {
        for (int x = 0; x < (1 << z); ++x) {
            for (int y = 0; y < (1 << z); ++y)
                QCOMPARE(source->tile(z, x, y),
                         Png + QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y).toLatin1());
        }
    }
    // Along the curve (0,0) (1,0) (1,1) (0,1) (0,2) (0,3) (1,3) (1,2) (2,2) (2,3) | (3,3).
    QCOMPARE(source->tile(4, 0, 0), Png + "sea");
    QCOMPARE(source->tile(4, 1, 3), Png + "sea");
    QCOMPARE(source->tile(4, 2, 3), Png + "sea");
    QVERIFY(source->tile(4, 3, 3).isEmpty());
    QVERIFY(source->tile(4, 15, 15).isEmpty());
    QVERIFY(source->tile(5, 0, 0).isEmpty());
    QVERIFY(source->tile(3, 8, 0).isEmpty());
    QVERIFY(source->tile(-1, 0, 0).isEmpty());
    QVERIFY(source->tile(40, 0, 0).isEmpty());

    const TileSourceInfo &info = source->info();
    QCOMPARE(info.minZoom, 0);
    QCOMPARE(info.maxZoom, 4);
    QVERIFY(info.hasBounds);
    QCOMPARE(QVector<double>({info.west, info.south, info.east, info.north}),
             QVector<double>({-10.5, 35, 30.25, 60}));
    QCOMPARE(info.name, QStringLiteral("Europe"));
    QCOMPARE(info.attribution, QStringLiteral("&copy; Example"));
    QCOMPARE(info.vectorLayers, QStringList({"land", "water"}));
}

// A file cut short while open (a copy still in progress): its tiles are absent, nothing worse.
void TestTileSource::pmtilesTruncatedData()
{
    PmTilesWriter::Options options;
    options.leafSize = 2;
    const QByteArray bytes
            = pmtiles(options, {{"0/0/0", Png + "a"}, {"1/0/0", Png + "b"}, {"1/1/1", Png + "c"}});
    const QString file = path(QStringLiteral("cut.pmtiles"));
    QVERIFY(writeFile(file, bytes));
    auto source = open(file);
    QVERIFY(source);
    QCOMPARE(source->info().hasBounds, false);
    QVERIFY(QFile::resize(file, bytes.size() - 3));
    QCOMPARE(source->tile(0, 0, 0), Png + "a");
    QVERIFY(source->tile(1, 1, 1).isEmpty());
}

// A damaged file whose one directory is both the root and the leaf it points to.
void TestTileSource::pmtilesLeafLoop()
{
    PmTilesWriter::Options options;
    options.internalCompression = PmTilesWriter::NoCompression;
    QByteArray bytes = pmtiles(options, {{"0/0/0", Png}});
    const quint64 loopAt = quint64(bytes.size());
    // One entry: tile id 0, run 0 (a leaf), 5 bytes long, at offset 0 of the leaves.
    bytes += QByteArray("\x01\x00\x00\x05\x01", 5);
    bytes.replace(8, 16, u64(loopAt) + u64(5));
    bytes.replace(40, 16, u64(loopAt) + u64(5));
    const QString file = path(QStringLiteral("loop.pmtiles"));
    QVERIFY(writeFile(file, bytes));
    auto source = open(file);
    QVERIFY(source);
    QVERIFY(source->tile(0, 0, 0).isEmpty());
    QVERIFY(source->tile(5, 3, 3).isEmpty());
}

void TestTileSource::pmtilesLeafBudget_data()
{
    QTest::addColumn<int>("leaves");
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("found");

    // Four bytes an entry: consecutive ids, runs of one, one byte long, each after the one before.
    QTest::newRow("leaves just within the limit, more than the cache holds")
            << 8 << PmTilesSource::MaxDirectoryBytes / 4 - 100 << true;
    QTest::newRow("a leaf of 2 MB, twice the largest real ones") << 1 << 512 * 1024 << true;
    QTest::newRow("a leaf just past the limit")
            << 1 << PmTilesSource::MaxDirectoryBytes / 4 << false;
}

// Leaves as large as a directory may be: each parsed one counts by its size, the cache stays
// within its budget; a larger leaf is refused, its tiles are absent.
void TestTileSource::pmtilesLeafBudget()
{
    QFETCH(int, leaves);
    QFETCH(int, entries);
    QFETCH(bool, found);
    const auto varint = [](QByteArray *out, quint64 value) {
        for (; value >= 0x80; value >>= 7)
            out->append(char(0x80 | (value & 0x7f)));
        out->append(char(value));
    };
    QVector<quint64> starts;
    for (int i = 0; i < leaves; ++i)
        starts.append(PmTilesSource::tileId(12, i * 64, 0));
    std::sort(starts.begin(), starts.end());
    QByteArray root, leafSection;
    varint(&root, quint64(leaves));
    for (int i = 0; i < leaves; ++i)
        varint(&root, starts[i] - (i ? starts[i - 1] : 0));
    root += QByteArray(leaves, '\0'); // runs of zero: leaves
    QVector<quint64> lengths;
    for (int i = 0; i < leaves; ++i) {
        QByteArray leaf;
        varint(&leaf, quint64(entries));
        varint(&leaf, starts[i]);
        leaf += QByteArray(3 * entries, '\1') + QByteArray(entries - 1, '\0');
        const QByteArray stored = PmTilesWriter::gzip(leaf);
        lengths.append(quint64(stored.size()));
        leafSection += stored;
    }
    for (const quint64 length : lengths)
        varint(&root, length);
    // The first leaf at offset 0, every other one right after the one before.
    root += QByteArray(1, '\1') + QByteArray(leaves - 1, '\0');
    // The header of a small file, with its sections moved to the ones built here.
    QByteArray bytes = pmtiles({}, {{"0/0/0", Png}});
    const quint64 rootAt = quint64(bytes.size());
    const QByteArray gzRoot = PmTilesWriter::gzip(root);
    bytes += gzRoot + leafSection + QByteArray(entries, 'x');
    bytes.replace(8, 16, u64(rootAt) + u64(quint64(gzRoot.size())));
    bytes.replace(40, 32,
                  u64(rootAt + quint64(gzRoot.size())) + u64(quint64(leafSection.size()))
                          + u64(rootAt + quint64(gzRoot.size() + leafSection.size()))
                          + u64(quint64(entries)));
    const QString file = path(QStringLiteral("leaves-%1.pmtiles").arg(leaves));
    QVERIFY(writeFile(file, bytes));

    std::unique_ptr<TileSource> source = open(file);
    QVERIFY(source);
    auto *pm = static_cast<PmTilesSource *>(source.get());
    if (!found) // once, however often its tiles are asked for
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("leaf directory damaged or over 4 MB"));
    for (int i = 0; i < leaves; ++i) {
        QCOMPARE(!pm->tile(12, i * 64, 0).isEmpty(), found);
        QCOMPARE(!pm->tile(12, i * 64 + 1, 0).isEmpty(), found);
        QVERIFY(pm->cachedLeafBytes() <= PmTilesSource::LeafCacheBytes);
    }
    QVERIFY(pm->cachedLeafBytes() > PmTilesSource::LeafCacheBytes / 2 || leaves == 1);
}

void TestTileSource::tileIds_data()
{
    QTest::addColumn<int>("z");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<quint64>("id");

    QTest::newRow("0/0/0") << 0 << 0 << 0 << quint64(0);
    QTest::newRow("1/0/0") << 1 << 0 << 0 << quint64(1);
    QTest::newRow("1/0/1") << 1 << 0 << 1 << quint64(2);
    QTest::newRow("1/1/1") << 1 << 1 << 1 << quint64(3);
    QTest::newRow("1/1/0") << 1 << 1 << 0 << quint64(4);
    QTest::newRow("2/0/0") << 2 << 0 << 0 << quint64(5);
    // Level 2 traced by hand along the curve: (0,0) (1,0) (1,1) (0,1) (0,2) ... (2,2) ... (3,0).
    QTest::newRow("2/1/0") << 2 << 1 << 0 << quint64(6);
    QTest::newRow("2/0/2") << 2 << 0 << 2 << quint64(9);
    QTest::newRow("2/2/2") << 2 << 2 << 2 << quint64(13);
    QTest::newRow("2/3/0") << 2 << 3 << 0 << quint64(20);
    // The last tile of a level is the one before the next level's first.
    QTest::newRow("3/7/0") << 3 << 7 << 0 << quint64(84);
    QTest::newRow("30/last") << 30 << (1 << 30) - 1 << 0
                             << quint64((((quint64(1) << 62) - 1) / 3) - 1);
}

void TestTileSource::tileIds()
{
    QFETCH(int, z);
    QFETCH(int, x);
    QFETCH(int, y);
    QTEST(PmTilesSource::tileId(z, x, y), "id");
}

// Each MBTiles file has a connection of its own; closing one leaves the other readable.
void TestTileSource::twoFilesOpen()
{
    const QString first = path(QStringLiteral("first.mbtiles"));
    const QString second = path(QStringLiteral("second.mbtiles"));
    {
        MbTilesWriter a(first);
        a.addTile(0, 0, 0, Png + "first");
        QVERIFY(a.finish());
        MbTilesWriter b(second, MbTilesWriter::TilesView);
        b.addTile(0, 0, 0, Png + "second");
        QVERIFY(b.finish());
    }
    auto a = open(first);
    auto b = open(second);
    QVERIFY(a && b);
    QCOMPARE(a->tile(0, 0, 0), Png + "first");
    QCOMPARE(b->tile(0, 0, 0), Png + "second");
    a.reset();
    QCOMPARE(b->tile(0, 0, 0), Png + "second");
    QCOMPARE(open(first)->tile(0, 0, 0), Png + "first");
}

void TestTileSource::mbtilesFolders_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("wal");

    QTest::newRow("blanks") << "my maps/alps 2024.mbtiles" << false;
    QTest::newRow("URI characters") << "50% #1?/a=b&c;d.mbtiles" << false;
    QTest::newRow("not ASCII") << "Zürich/東京 карта.mbtiles" << false;
    QTest::newRow("written ahead") << "wal/map.mbtiles" << true;
}

// A map is read where the user keeps it, whatever its name, and nothing is written beside it;
// a file in write-ahead mode opens from a read-only folder too (as root, whom the folder's mode
// does not stop, only the absence of side files shows).
void TestTileSource::mbtilesFolders()
{
    QFETCH(QString, name);
    QFETCH(bool, wal);
    const QString file = path(name);
    const QString folder = QFileInfo(file).absolutePath();
    QVERIFY(QDir().mkpath(folder));
    {
        MbTilesWriter writer(file);
        writer.addTile(0, 0, 0, Png);
        QVERIFY(writer.finish());
    }
    if (wal)
        QVERIFY(runSql(file, {"PRAGMA journal_mode = WAL"}));
    const QStringList before = QDir(folder).entryList(QDir::Files);
    QFile::Permissions permissions = QFile::permissions(folder);
    if (wal)
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    auto source = open(file);
    const QByteArray tile = source ? source->tile(0, 0, 0) : QByteArray();
    const QStringList during = QDir(folder).entryList(QDir::Files);
    source.reset();
    QFile::setPermissions(folder, permissions);
    QCOMPARE(tile, Png);
    QCOMPARE(during, before);
}

// A file from a common GIS tool: a 2° by 2° raster of central Europe, made by the tool itself.
void TestTileSource::gdalFile()
{
    const QString create = QStandardPaths::findExecutable(QStringLiteral("gdal_create"));
    const QString translate = QStandardPaths::findExecutable(QStringLiteral("gdal_translate"));
    if (create.isEmpty() || translate.isEmpty())
        QSKIP("GDAL's command-line tools are not installed");
    const QString raster = path(QStringLiteral("gdal.tif"));
    const QString file = path(QStringLiteral("gdal.mbtiles"));
    const auto run = [](const QString &program, const QStringList &arguments) {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
               && process.exitCode() == 0;
    };
    QVERIFY(run(create, {"-of",       "GTiff",   "-outsize", "256", "256",   "-bands", "3",
                         "-burn",     "200",     "-burn",    "30",  "-burn", "30",     "-a_srs",
                         "EPSG:4326", "-a_ullr", "10",       "50",  "12",    "48",     raster}));
    QVERIFY(run(translate, {"-q", "-of", "MBTILES", raster, file}));

    auto source = open(file);
    QVERIFY(source);
    const TileSourceInfo &info = source->info();
    QCOMPARE(info.format, TileFormat::Png);
    QVERIFY(info.hasBounds);
    QVERIFY(qAbs(info.west - 10) < 0.01 && qAbs(info.east - 12) < 0.01);
    QVERIFY(qAbs(info.south - 48) < 0.01 && qAbs(info.north - 50) < 0.01);
    QVERIFY(info.minZoom <= 7 && info.maxZoom >= 7);
    // 10° E, 50° N lies in 7/67/43 (x = 190/360 of 128; y from the Mercator latitude).
    QVERIFY(source->tile(7, 67, 43).startsWith("\x89PNG"));
    QVERIFY(source->tile(7, 67, 128 - 1 - 43).isEmpty());
}

QTEST_GUILESS_MAIN(TestTileSource)
#include "tst_tilesource.moc"

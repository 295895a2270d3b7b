// Tests of the tile addresses: the two maps, generations, and what is refused as malformed.
#include <maptiles/tileurl.h>

#include <QtTest>

class TestTileUrl : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void templatesParse();
};

void TestTileUrl::parse_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("base");
    QTest::addColumn<quint64>("generation");
    QTest::addColumn<int>("z");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");

    QTest::newRow("base") << "velqor-map://base/3/2/5" << true << true << quint64(0) << 3 << 2 << 5;
    QTest::newRow("file") << "velqor-map://tiles/7/14/8000/5000" << true << false << quint64(7)
                          << 14 << 8000 << 5000;
    QTest::newRow("outside the grid still parses")
            << "velqor-map://base/1/9/9" << true << true << quint64(0) << 1 << 9 << 9;
    QTest::newRow("host in capitals")
            << "VELQOR-MAP://BASE/0/0/0" << true << true << quint64(0) << 0 << 0 << 0;
    QTest::newRow("other scheme") << "https://base/0/0/0" << false << false << quint64(0) << 0 << 0
                                  << 0;
    QTest::newRow("other host") << "velqor-map://world/0/0/0" << false << false << quint64(0) << 0
                                << 0 << 0;
    QTest::newRow("file without generation")
            << "velqor-map://tiles/0/0/0" << false << false << quint64(0) << 0 << 0 << 0;
    QTest::newRow("base with a generation")
            << "velqor-map://base/1/0/0/0" << false << false << quint64(0) << 0 << 0 << 0;
    QTest::newRow("extension") << "velqor-map://base/0/0/0.png" << false << false << quint64(0) << 0
                               << 0 << 0;
    QTest::newRow("negative") << "velqor-map://base/1/-1/0" << false << false << quint64(0) << 0
                              << 0 << 0;
    QTest::newRow("sign") << "velqor-map://base/1/+1/0" << false << false << quint64(0) << 0 << 0
                          << 0;
    QTest::newRow("empty part") << "velqor-map://base/1//0" << false << false << quint64(0) << 0
                                << 0 << 0;
    QTest::newRow("trailing slash")
            << "velqor-map://base/1/0/0/" << false << false << quint64(0) << 0 << 0 << 0;
    QTest::newRow("past int") << "velqor-map://base/1/2147483648/0" << false << false << quint64(0)
                              << 0 << 0 << 0;
    QTest::newRow("port") << "velqor-map://base:80/0/0/0" << false << false << quint64(0) << 0 << 0
                          << 0;
}

void TestTileUrl::parse()
{
    QFETCH(QString, url);
    QFETCH(bool, ok);
    TileUrl parsed;
    QCOMPARE(parseTileUrl(QUrl(url), &parsed), ok);
    if (!ok)
        return;
    QFETCH(bool, base);
    QFETCH(quint64, generation);
    QFETCH(int, z);
    QFETCH(int, x);
    QFETCH(int, y);
    QCOMPARE(parsed.map == TileUrl::Map::Base, base);
    QCOMPARE(parsed.generation, generation);
    QCOMPARE(parsed.z, z);
    QCOMPARE(parsed.x, x);
    QCOMPARE(parsed.y, y);
}

// The page fills the templates in; what it asks for must come back to the same map.
void TestTileUrl::templatesParse()
{
    const auto filled = [](QString url) {
        return QUrl(url.replace(QLatin1String("{z}"), QLatin1String("4"))
                            .replace(QLatin1String("{x}"), QLatin1String("3"))
                            .replace(QLatin1String("{y}"), QLatin1String("9")));
    };
    QCOMPARE(baseTileUrlTemplate(), QStringLiteral("velqor-map://base/{z}/{x}/{y}"));
    TileUrl parsed;
    QVERIFY(parseTileUrl(filled(baseTileUrlTemplate()), &parsed));
    QCOMPARE(parsed.map, TileUrl::Map::Base);
    QVERIFY(parseTileUrl(filled(fileTileUrlTemplate(12)), &parsed));
    QCOMPARE(parsed.map, TileUrl::Map::File);
    QCOMPARE(parsed.generation, quint64(12));
    QCOMPARE(parsed.z, 4);
    QCOMPARE(parsed.x, 3);
    QCOMPARE(parsed.y, 9);
}

QTEST_GUILESS_MAIN(TestTileUrl)
#include "tst_tileurl.moc"

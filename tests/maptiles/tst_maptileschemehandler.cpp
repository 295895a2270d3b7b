// Tests of the map's URL scheme handler: which file and generation each opening leaves.
#include "../map/mapschemetest.h"

#include "mbtileswriter.h"

#include <QTemporaryDir>
#include <QWebEngineProfile>

class TestMapTileSchemeHandler : public QObject
{
    Q_OBJECT

private slots:
    void generations();
};

// Every map view of a profile opens its file through the one handler; a second view opening
// the same file must leave the first view's tiles answered.
void TestMapTileSchemeHandler::generations()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.mbtiles"));
    const QString second = dir.filePath(QStringLiteral("second.mbtiles"));
    for (const QString &file : {first, second}) {
        MbTilesWriter writer(file);
        writer.addTile(0, 0, 0, QByteArray("\x89PNG\r\n\x1a\n", 8));
        QVERIFY(writer.finish());
    }
    QWebEngineProfile profile;
    MapTileSchemeHandler *handler = MapTileSchemeHandler::forProfile(&profile);
    QCOMPARE(MapTileSchemeHandler::forProfile(&profile), handler);

    const QStringList opened{
            handler->openFile(first).urlTemplate,
            handler->openFile(first).urlTemplate,
            handler->openFile(second).urlTemplate,
            handler->openFile(dir.filePath(QStringLiteral("absent.mbtiles"))).urlTemplate,
            handler->openFile(dir.filePath(QStringLiteral("absent.mbtiles"))).urlTemplate,
            handler->openFile(first).urlTemplate,
    };
    QCOMPARE(opened,
             QStringList({"velqor-map://tiles/1/{z}/{x}/{y}", "velqor-map://tiles/1/{z}/{x}/{y}",
                          "velqor-map://tiles/2/{z}/{x}/{y}", "", "",
                          "velqor-map://tiles/5/{z}/{x}/{y}"}));
}

VELQOR_MAP_TEST_MAIN(TestMapTileSchemeHandler)
#include "tst_maptileschemehandler.moc"

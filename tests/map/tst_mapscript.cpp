// Map statements and the pop-up link filter, without a web engine.
#include "map/maplinks.h"
#include "map/mapscript.h"

#include <QJsonObject>
#include <QLocale>
#include <QtTest>

#include <limits>

Q_DECLARE_METATYPE(MapLinks::Verdict)

class TestMapScript : public QObject
{
    Q_OBJECT

private slots:
    void statements_data();
    void statements();
    void links_data();
    void links();
    void textsAsJson();
    void driveAndEvents();
};

void TestMapScript::statements_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("statement");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("track point") << "add" << 139.6917 << 35.6895 << 12
                                 << "mapAddPoint(139.691700, 35.689500, 12);";
    QTest::newRow("current point") << "current" << 139.6917 << 35.6895 << 12
                                   << "mapSetCurrentPoint(139.691700, 35.689500, 12);";
    QTest::newRow("west and south")
            << "add" << -0.5 << -51.25 << 0 << "mapAddPoint(-0.500000, -51.250000, 0);";
    QTest::newRow("centre") << "center" << -0.5 << 51.25 << 0 << "setCenter(-0.500000, 51.250000);";
    QTest::newRow("no point yet") << "center" << 0.0 << 0.0 << 0
                                  << "setCenter(0.000000, 0.000000);";
    QTest::newRow("rounded to six decimals") << "add" << 139.12345678 << -35.99999999 << 7
                                             << "mapAddPoint(139.123457, -36.000000, 7);";
    QTest::newRow("no grouping") << "add" << 12345.5 << 1.0 << 2147483647
                                 << "mapAddPoint(12345.500000, 1.000000, 2147483647);";
    QTest::newRow("negative index")
            << "current" << 1.0 << 2.0 << -3 << "mapSetCurrentPoint(1.000000, 2.000000, -3);";
    QTest::newRow("clear") << "clear" << 0.0 << 0.0 << 0 << "mapClearAll();";
    QTest::newRow("nan longitude") << "add" << nan << 35.0 << 1 << QString();
    QTest::newRow("infinite latitude") << "current" << 139.0 << -inf << 1 << QString();
    QTest::newRow("nan centre") << "center" << 0.0 << nan << 0 << QString();
}

void TestMapScript::statements()
{
    QFETCH(QString, call);
    QFETCH(double, longitude);
    QFETCH(double, latitude);
    QFETCH(int, index);
    QFETCH(QString, statement);

    // A decimal comma or digit grouping of the user's locale must never reach the page.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const MapPoint point{index, longitude, latitude};
    QString built;
    if (call == QLatin1String("add"))
        built = MapScript::addPoint(point);
    else if (call == QLatin1String("current"))
        built = MapScript::setCurrentPoint(point);
    else if (call == QLatin1String("center"))
        built = MapScript::setCenter(longitude, latitude);
    else
        built = MapScript::clearAll();
    QLocale::setDefault(QLocale::c());
    QCOMPARE(built, statement);
}

void TestMapScript::links_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("language");
    QTest::addColumn<MapLinks::Verdict>("verdict");
    QTest::addColumn<QString>("opened");

    using V = MapLinks::Verdict;
    const QString apiLink
            = QStringLiteral("https://maps.example.com/maps?source=apiv3&rapsrc=apiv3");
    QTest::newRow("tile server") << "https://tile.openstreetmap.org/3/7/3.png" << 0 << V::Ignore
                                 << "";
    QTest::newRow("copyright page") << "https://www.openstreetmap.org/copyright" << 0 << V::Open
                                    << "https://www.openstreetmap.org/copyright";
    QTest::newRow("xxxxcc") << "https://example.com/xxxxcc/page" << 0 << V::Ignore << "";
    QTest::newRow("mapclient") << "https://maps.example.com/maps?ll=35.6,139.7&mapclient=apiv3" << 0
                               << V::Ignore << "";
    QTest::newRow("rapsrc alone") << "https://maps.example.com/maps?rapsrc=apiv3" << 0 << V::Ignore
                                  << "";
    QTest::newRow("language added, Japanese") << apiLink << 0 << V::Open << apiLink + "&hl=ja";
    QTest::newRow("language added, English") << apiLink << 1 << V::Open << apiLink + "&hl=en";
    QTest::newRow("unknown language is Japanese") << apiLink << 5 << V::Open << apiLink + "&hl=ja";
    QTest::newRow("language already there")
            << apiLink + "&hl=en" << 0 << V::Open << apiLink + "&hl=en";
    QTest::newRow("other site") << "https://leafletjs.com/" << 0 << V::Open
                                << "https://leafletjs.com/";
    QTest::newRow("tests are case-sensitive") << "http://example.com/?RAPSRC=APIV3" << 1 << V::Open
                                              << "http://example.com/?RAPSRC=APIV3";
    QTest::newRow("javascript") << "javascript:alert(document.cookie)" << 0 << V::Refuse << "";
    QTest::newRow("javascript with the api link")
            << "javascript:void(0)//?source=apiv3&rapsrc=apiv3" << 1 << V::Refuse << "";
    QTest::newRow("file") << "file:///etc/passwd" << 0 << V::Refuse << "";
    QTest::newRow("data") << "data:text/html,<script>alert(1)</script>" << 0 << V::Refuse << "";
    QTest::newRow("custom scheme") << "steam://run/1" << 0 << V::Refuse << "";
    QTest::newRow("web scheme without host") << "http:relative" << 0 << V::Refuse << "";
}

void TestMapScript::links()
{
    QFETCH(QString, url);
    QFETCH(int, language);
    QFETCH(MapLinks::Verdict, verdict);
    QFETCH(QString, opened);

    const MapLinks::Decision decision = MapLinks::decide(QUrl(url), language);
    QCOMPARE(decision.verdict, verdict);
    if (verdict == MapLinks::Verdict::Open)
        QCOMPARE(decision.url.toString(), opened);
}

// Paths and messages are the user's own text; none of them may end the statement early.
void TestMapScript::textsAsJson()
{
    QCOMPARE(MapScript::showMessage(QStringLiteral("\"x.mbtiles\");alert(1)//\n\\ 地図")),
             QStringLiteral("mapShowMessage(\"\\\"x.mbtiles\\\");alert(1)//\\n\\\\ 地図\");"));
    QCOMPARE(MapScript::showMessage(QString()), QStringLiteral("mapShowMessage(\"\");"));
    const QJsonObject source{{"base", QJsonValue()},
                             {"layer", QJsonObject{{"kind", "raster"},
                                                   {"url", "velqor-map://tiles/7/{z}/{x}/{y}"},
                                                   {"attribution", "<a href='x'>%1 \"c\"</a>"}}}};
    QCOMPARE(MapScript::setSource(source),
             QStringLiteral("mapSetSource({\"base\":null,\"layer\":{\"attribution\":"
                            "\"<a href='x'>%1 \\\"c\\\"</a>\",\"kind\":\"raster\","
                            "\"url\":\"velqor-map://tiles/7/{z}/{x}/{y}\"}});"));
}

void TestMapScript::driveAndEvents()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QCOMPARE(MapScript::setDriveTrack({{139.5, 35.25}, {nan, 35.0}, {-0.125, 51.5}}),
             QStringLiteral("mapSetDriveTrack([[139.5,35.25],[-0.125,51.5]]);"));
    QCOMPARE(MapScript::setDriveTrack({}), QStringLiteral("mapSetDriveTrack([]);"));
    // An event without a position keeps its place, so that a click names the right one; a
    // title cannot end the statement.
    const QString statement = MapScript::setEvents(
            {{nan, nan, "#e8402a", "no fix"}, {139.5, 35.25, "#c85aff", "Impact\"); alert(1"}});
    QCOMPARE(statement, QStringLiteral("mapSetEvents([{\"colour\":\"#c85aff\",\"index\":1,"
                                       "\"latitude\":35.25,\"longitude\":139.5,"
                                       "\"title\":\"Impact\\\"); alert(1\"}]);"));
}

QTEST_APPLESS_MAIN(TestMapScript)
#include "tst_mapscript.moc"

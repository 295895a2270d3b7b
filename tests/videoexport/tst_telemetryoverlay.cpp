// Tests of the telemetry overlay: where its panels go, what it shows for a second without a fix,
// how it moves between seconds, its speed text, and its mini-map's ground.
#include <maptiles/tilesource.h>
#include <videoexport/overlaytrack.h>
#include <videoexport/telemetryoverlay.h>

#include "mbtileswriter.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

namespace {

const QSize Hd(1280, 720);

GpsData sample(int second, bool fix, int speed = 50)
{
    GpsData data;
    data.index = second;
    const QByteArray time
            = QStringLiteral("20240315083%1").arg(second % 60, 3, 10, QLatin1Char('0')).toLatin1();
    std::memcpy(data.dateTime, time.constData(), 14);
    data.fixFlag = fix ? 1 : 0;
    if (fix) {
        data.latitudeRef = 'N';
        data.longitudeRef = 'E';
        data.latitude = 35.0 + second * 0.0004;
        data.longitude = 139.0 + second * 0.0006;
    }
    data.speed = speed;
    data.gsensorX = second * 0.1f;
    data.gsensorY = -second * 0.05f;
    data.gsensorZ = 1.0f;
    data.heading = 45;
    return data;
}

// Ten seconds driving north-east, without a fix at seconds 4 and 5.
OverlayClip drive()
{
    OverlayClip clip;
    for (int second = 0; second < 10; ++second)
        clip.samples << sample(second, second != 4 && second != 5, 40 + second);
    clip.to = 10;
    return clip;
}

OverlayOptions only(const QStringList &parts)
{
    OverlayOptions options;
    OverlayOptions::fromNames(parts, &options);
    return options;
}

QImage rendered(TelemetryOverlay &overlay, double seconds)
{
    QImage image(Hd, QImage::Format_ARGB32_Premultiplied);
    overlay.render(seconds, &image);
    return image;
}

// The centre of the marker's red pixels within rect; null when there are none.
QPointF markerCentre(const QImage &image, const QRect &rect)
{
    QPointF sum;
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.red() > 220 && colour.green() < 110 && colour.blue() < 90) {
                sum += QPointF(x, y);
                ++count;
            }
        }
    }
    return count ? sum / count : QPointF();
}

int pixelsLike(const QImage &image, const QRect &rect, const QColor &colour)
{
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            count += image.pixel(x, y) == colour.rgba();
    }
    return count;
}

QRect panelOf(const TelemetryOverlay &overlay)
{
    return overlay.panelRects().value(0);
}

} // namespace

class TestTelemetryOverlay : public QObject
{
    Q_OBJECT

private slots:
    void panels_data();
    void panels();
    void secondWithoutFix();
    void betweenSeconds();
    void speedText_data();
    void speedText();
    void utcLine_data();
    void utcLine();
    void miniMapGround_data();
    void miniMapGround();
};

void TestTelemetryOverlay::panels_data()
{
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QRect>("avoid");
    QTest::addColumn<int>("panelCount");

    const QStringList all = OverlayOptions::partNames();
    QTest::newRow("all, 720p") << all << Hd << QRect() << 6;
    QTest::newRow("all, 1080p, picture in picture")
            << all << QSize(1920, 1080) << QRect(1312, 32, 576, 432) << 6;
    QTest::newRow("all, small 4:3") << all << QSize(640, 480) << QRect() << 6;
    QTest::newRow("none") << QStringList() << Hd << QRect() << 0;
    QTest::newRow("time and utc share one panel")
            << QStringList{"time", "utc"} << Hd << QRect() << 1;
    QTest::newRow("map only") << QStringList{"map"} << Hd << QRect() << 1;
    QTest::newRow("coordinates and g") << QStringList{"coordinates", "g"} << Hd << QRect() << 2;
    // A picture in picture over the top left corner pushes the time below it.
    QTest::newRow("time under a view") << QStringList{"time"} << Hd << QRect(0, 0, 400, 300) << 1;
}

void TestTelemetryOverlay::panels()
{
    QFETCH(QStringList, parts);
    QFETCH(QSize, frame);
    QFETCH(QRect, avoid);

    TelemetryOverlay overlay(only(parts), frame, avoid);
    overlay.setClips({drive()});
    const QVector<QRect> rects = overlay.panelRects();
    QTEST(int(rects.size()), "panelCount");
    const QRect whole(QPoint(0, 0), frame);
    for (int i = 0; i < rects.size(); ++i) {
        QVERIFY(whole.contains(rects.at(i)));
        QVERIFY(!rects.at(i).intersects(avoid));
        for (int j = i + 1; j < rects.size(); ++j)
            QVERIFY2(!rects.at(i).intersects(rects.at(j)), "panels overlap");
        // In the side-by-side layout of 720 lines the pictures leave bands of 180 lines.
        if (frame == Hd && avoid.isNull())
            QVERIFY(rects.at(i).bottom() < 180 || rects.at(i).top() >= 540);
    }

    // An image that held something else is cleared; one that the overlay painted keeps only
    // the panels.
    QImage image(frame, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    for (double seconds : {0.0, 2.5, 4.5}) {
        overlay.render(seconds, &image);
        for (int y = 0; y < frame.height(); ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x) {
                bool inPanel = false;
                for (const QRect &rect : rects)
                    inPanel = inPanel || rect.contains(x, y);
                if (qAlpha(line[x]) != (inPanel ? 255 : 0))
                    QFAIL(qPrintable(QStringLiteral("alpha %1 at %2,%3 (%4)")
                                             .arg(qAlpha(line[x]))
                                             .arg(x)
                                             .arg(y)
                                             .arg(inPanel ? "panel" : "outside")));
            }
        }
    }
}

void TestTelemetryOverlay::secondWithoutFix()
{
    TelemetryOverlay map(only({"map"}), Hd);
    map.setClips({drive()});
    const QRect mapRect = panelOf(map);
    const QImage lastFix = rendered(map, 3.0).copy(mapRect);
    QVERIFY(!markerCentre(lastFix, lastFix.rect()).isNull());
    // Neither towards the missing fix nor during it does the marker move; it moves on with the
    // next fix.
    for (double seconds : {3.5, 4.0, 4.5, 5.0, 5.9})
        QCOMPARE(rendered(map, seconds).copy(mapRect), lastFix);
    QVERIFY(rendered(map, 6.0).copy(mapRect) != lastFix);

    TelemetryOverlay coordinates(only({"coordinates"}), Hd);
    coordinates.setClips({drive()});
    TelemetryOverlay withoutSamples(only({"coordinates"}), Hd);
    const QRect rect = panelOf(coordinates);
    const QImage noFix = rendered(withoutSamples, 0).copy(rect);
    QCOMPARE(rendered(coordinates, 4.2).copy(rect), noFix);
    QCOMPARE(rendered(coordinates, 5.0).copy(rect), noFix);
    QVERIFY(rendered(coordinates, 3.0).copy(rect) != noFix);

    // The first seconds of a drive have no fix yet: no marker anywhere, least of all at 0, 0.
    OverlayClip late = drive();
    for (int second = 0; second < 3; ++second)
        late.samples[second] = sample(second, false);
    map.setClips({late});
    QVERIFY(markerCentre(rendered(map, 1.5), mapRect).isNull());
    QVERIFY(!markerCentre(rendered(map, 3.0), mapRect).isNull());
}

void TestTelemetryOverlay::betweenSeconds()
{
    OverlayTrack track;
    track.setClips({drive()});
    QPointF two, three, half;
    QVERIFY(track.position(2.0, &two));
    QVERIFY(track.position(3.0, &three));
    QVERIFY(track.position(2.5, &half));
    QVERIFY((half - (two + three) / 2).manhattanLength() < 1e-12);
    std::array<double, 3> g;
    QVERIFY(track.gForce(2.5, &g));
    QCOMPARE(g[0], (double(0.2f) + double(0.3f)) / 2);
    QCOMPARE(g[1], (double(-0.1f) + double(-0.15f)) / 2);
    QCOMPARE(g[2], 1.0);
    // The G meter's line has a corner at each second inside its window.
    const auto lines = track.gLines(0.5, 3.5);
    QCOMPARE(lines[0].size(), 1);
    const auto x = [](int second) { return double(sample(second, true).gsensorX); };
    QCOMPARE(lines[0].first(),
             QPolygonF(
                     {{0.5, x(1) / 2}, {1, x(1)}, {2, x(2)}, {3, x(3)}, {3.5, (x(3) + x(4)) / 2}}));

    // The drawn marker lies halfway between the two seconds' markers.
    TelemetryOverlay overlay(only({"map"}), Hd);
    overlay.setClips({drive()});
    const QRect rect = panelOf(overlay);
    const QPointF at2 = markerCentre(rendered(overlay, 2.0), rect);
    const QPointF at3 = markerCentre(rendered(overlay, 3.0), rect);
    const QPointF at25 = markerCentre(rendered(overlay, 2.5), rect);
    QVERIFY((at3 - at2).manhattanLength() > 4);
    QVERIFY2((at25 - (at2 + at3) / 2).manhattanLength() < 1.0, "marker not halfway");
}

void TestTelemetryOverlay::speedText_data()
{
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");

    const QStringList speed{"speed"};
    // The pieces: seconds 2 to 5 of the drive, then seconds 0 to 3 of one at 100 km/h.
    QTest::newRow("first piece starts at its second 2")
            << speed << int(SpeedUnit::Kmh) << 0.0 << "42 km/h";
    QTest::newRow("the second shown until the next")
            << speed << int(SpeedUnit::Kmh) << 2.99 << "44 km/h";
    QTest::newRow("second piece") << speed << int(SpeedUnit::Kmh) << 3.0 << "100 km/h";
    QTest::newRow("mph") << speed << int(SpeedUnit::Mph) << 3.5 << "62 mph";
    QTest::newRow("the end shows the last second")
            << speed << int(SpeedUnit::Mph) << 6.0 << "62 mph";
    QTest::newRow("speed off") << QStringList{"time"} << int(SpeedUnit::Kmh) << 1.0 << QString();
}

void TestTelemetryOverlay::speedText()
{
    QFETCH(QStringList, parts);
    QFETCH(int, unit);
    QFETCH(double, seconds);

    OverlayOptions options = only(parts);
    options.unit = SpeedUnit::Unit(unit);
    TelemetryOverlay overlay(options, Hd);
    OverlayClip first = drive();
    first.from = 2;
    first.to = 5;
    OverlayClip second;
    for (int s = 0; s < 3; ++s)
        second.samples << sample(s, true, 100);
    second.to = 3;
    overlay.setClips({first, second});
    QCOMPARE(overlay.duration(), 6.0);
    QTEST(overlay.speedText(seconds), "text");
}

void TestTelemetryOverlay::utcLine_data()
{
    QTest::addColumn<QString>("clock");
    QTest::addColumn<int>("hoursAhead"); // of the readings against UTC
    QTest::addColumn<bool>("shown");

    QTest::newRow("on UTC") << "+00:00" << 0 << true;
    QTest::newRow("an hour east") << "+01:00" << 1 << true;
    QTest::newRow("unzoned: no line") << "none" << 0 << false;
}

// The UTC line reads the camera's clock as set, whatever this computer's zone: readings an hour
// ahead on a clock an hour east show the same UTC as plain UTC readings.
void TestTelemetryOverlay::utcLine()
{
    QFETCH(QString, clock);
    QFETCH(int, hoursAhead);
    QFETCH(bool, shown);
    CameraClock camera = CameraClock::unzoned();
    QVERIFY(CameraClock::fromText(clock, &camera));

    const auto utcPanel = [](const CameraClock &clock, int hoursAhead) {
        TelemetryOverlay overlay(only({"utc"}), Hd);
        overlay.setClock(clock);
        OverlayClip clip = drive();
        for (GpsData &data : clip.samples)
            data.dateTime[9] = char(data.dateTime[9] + hoursAhead);
        overlay.setClips({clip});
        return rendered(overlay, 1.0).copy(panelOf(overlay));
    };
    const QImage panel = utcPanel(camera, hoursAhead);
    const QImage onUtc = utcPanel(CameraClock::fixedOffset(0), 0);
    QCOMPARE(panel == onUtc, shown);
    QCOMPARE(pixelsLike(panel, panel.rect(), QColor(18, 20, 24)) == panel.width() * panel.height(),
             !shown);
}

void TestTelemetryOverlay::miniMapGround_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("tilesShown");

    QTest::newRow("raster tiles") << "png" << true;
    QTest::newRow("vector tiles: the plain ground") << "pbf" << false;
    QTest::newRow("no map file") << QString() << false;
}

void TestTelemetryOverlay::miniMapGround()
{
    QFETCH(QString, format);
    QFETCH(bool, tilesShown);

    const QColor tileColour(200, 40, 200);
    QImage tileImage(256, 256, QImage::Format_RGB32);
    tileImage.fill(tileColour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    tileImage.save(&buffer, "PNG");

    QTemporaryDir dir;
    std::unique_ptr<TileSource> tiles;
    if (!format.isEmpty()) {
        const QString path = dir.filePath(QStringLiteral("map.mbtiles"));
        {
            MbTilesWriter writer(path);
            writer.setMetadata(QStringLiteral("format"), format);
            writer.setMetadata(
                    QStringLiteral("attribution"),
                    QStringLiteral("<a href=\"https://example.org\">&copy; Test map</a>"));
            writer.addArea(138.99, 34.99, 139.02, 35.01, 12, 16,
                           format == QLatin1String("png") ? png : QByteArray("\x1a\x00", 2));
            QVERIFY(writer.finish());
        }
        TileSourceError error;
        QString detail;
        tiles = TileSource::open(path, &error, &detail);
        QVERIFY2(tiles, qPrintable(detail));
    }

    TelemetryOverlay overlay(only({"map"}), Hd, QRect(), tiles.get());
    overlay.setClips({drive()});
    const QRect rect = panelOf(overlay);
    const QImage image = rendered(overlay, 1.0);
    const int tilePixels = pixelsLike(image, rect, tileColour);
    if (tilesShown)
        QVERIFY2(tilePixels > rect.width() * rect.height() / 2,
                 qPrintable(QString::number(tilePixels)));
    else
        QCOMPARE(tilePixels, 0);
    // The track is drawn over any ground.
    QVERIFY(pixelsLike(image, rect, QColor(60, 150, 255)) > 20);
    // Tiles come with their credit on a dark strip along the bottom edge.
    const QRect strip(rect.left(), rect.bottom() - 2, rect.width(), 1);
    QCOMPARE(pixelsLike(image, strip, QColor(18, 20, 24)) > rect.width() / 2, tilesShown);
}

QTEST_MAIN(TestTelemetryOverlay)
#include "tst_telemetryoverlay.moc"

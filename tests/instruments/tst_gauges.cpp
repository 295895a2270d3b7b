// Tests of the speed and direction gauges: angle rules, dial layout and where the needles point.
#include "instruments/directiontray.h"
#include "instruments/speedtray.h"
#include "videoexport/dial.h"

#include <QtMath>
#include <QtTest>

namespace {

constexpr int Side = 400;

// The colour at a distance from the widget centre along a direction (degrees clockwise from
// straight up), moved sideways to the right of that direction by the given offset.
QColor colourAt(const QImage &image, qreal degrees, qreal distance, qreal rightOffset)
{
    const qreal radians = qDegreesToRadians(degrees);
    const QPointF along(std::sin(radians), -std::cos(radians));
    const QPointF right(std::cos(radians), std::sin(radians));
    const QPointF point = QPointF(Side / 2.0, Side / 2.0) + along * distance + right * rightOffset;
    return image.pixelColor(point.toPoint());
}

bool isNear(const QColor &actual, const QColor &expected)
{
    const int tolerance = 16;
    return qAbs(actual.red() - expected.red()) <= tolerance
           && qAbs(actual.green() - expected.green()) <= tolerance
           && qAbs(actual.blue() - expected.blue()) <= tolerance;
}

QByteArray describe(const QColor &actual, const QColor &expected)
{
    return QStringLiteral("got %1, expected %2").arg(actual.name(), expected.name()).toLatin1();
}

QImage paintedAt(QWidget &widget)
{
    widget.resize(Side, Side);
    return widget.grab().toImage();
}

const QColor Shade(78, 18, 18);
const QColor DarkRed(Qt::darkRed);

} // namespace

class TestGauges : public QObject
{
    Q_OBJECT

private slots:
    void speedAngle_data();
    void speedAngle();
    void speedOutsideTheScaleIsIgnored_data();
    void speedOutsideTheScaleIsIgnored();
    void dialSquare_data();
    void dialSquare();
    void speedTextLayout_data();
    void speedTextLayout();
    void speedNeedlePoints_data();
    void speedNeedlePoints();
    void compassNeedlePoints_data();
    void compassNeedlePoints();
    void dialImagesAreBuiltIn();
};

void TestGauges::speedAngle_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("angle");

    QTest::newRow("0") << 0 << -135;
    QTest::newRow("20") << 20 << -111;
    QTest::newRow("50") << 50 << -74;
    QTest::newRow("100") << 100 << -13;
    QTest::newRow("110 straight up") << 110 << 0;
    QTest::newRow("200") << 200 << 110;
    QTest::newRow("220 end of scale") << 220 << 135;
}

void TestGauges::speedAngle()
{
    QFETCH(int, speed);
    QFETCH(int, angle);

    SpeedTray tray;
    tray.setSpeed(speed);
    QCOMPARE(tray.speed(), speed);
    QCOMPARE(tray.angle(), angle);
}

void TestGauges::speedOutsideTheScaleIsIgnored_data()
{
    QTest::addColumn<int>("speed");

    QTest::newRow("221") << 221;
    QTest::newRow("-1") << -1;
    QTest::newRow("int min") << std::numeric_limits<int>::min();
    QTest::newRow("int max") << std::numeric_limits<int>::max();
}

void TestGauges::speedOutsideTheScaleIsIgnored()
{
    QFETCH(int, speed);

    SpeedTray tray;
    tray.setSpeed(50);
    tray.setSpeed(speed);
    QCOMPARE(tray.speed(), 50);
    QCOMPARE(tray.angle(), -74);
}

void TestGauges::dialSquare_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("square");

    QTest::newRow("wide") << QSize(300, 160) << QRect(70, 0, 160, 160);
    QTest::newRow("tall") << QSize(160, 300) << QRect(0, 70, 160, 160);
    QTest::newRow("odd margin truncated") << QSize(161, 300) << QRect(0, 69, 161, 161);
    QTest::newRow("square") << QSize(200, 200) << QRect(0, 0, 200, 200);
}

void TestGauges::dialSquare()
{
    QFETCH(QSize, size);
    QFETCH(QRect, square);

    QCOMPARE(::dialSquare(size), square);
}

void TestGauges::speedTextLayout_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<int>("pointSize");

    QTest::newRow("300x160") << QSize(300, 160) << QRectF(100, 121.6, 100, 13) << 9;
    QTest::newRow("200x200 small font") << QSize(200, 200) << QRectF(67, 152, 66, 16) << 9;
    QTest::newRow("201x201 large font") << QSize(201, 201) << QRectF(66.5, 152.76, 67, 16) << 12;
    QTest::newRow("tall") << QSize(160, 300) << QRectF(53.5, 191.6, 53, 25) << 9;
}

void TestGauges::speedTextLayout()
{
    QFETCH(QSize, size);
    QFETCH(QRectF, rect);
    QFETCH(int, pointSize);

    QCOMPARE(SpeedTray::textRect(size), rect);
    QCOMPARE(SpeedTray::textPointSize(size), pointSize);
}

void TestGauges::speedNeedlePoints_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<qreal>("direction");

    QTest::newRow("0 lower left") << 0 << -135.0;
    QTest::newRow("50") << 50 << -74.0;
    QTest::newRow("110 up") << 110 << 0.0;
    QTest::newRow("220 lower right") << 220 << 135.0;
}

void TestGauges::speedNeedlePoints()
{
    QFETCH(int, speed);
    QFETCH(qreal, direction);

    SpeedTray tray;
    tray.setSpeed(speed);
    const QImage image = paintedAt(tray);
    // Needle 0.3 of the side long; sampled well outside the hub, inside each half.
    const QColor left = colourAt(image, direction, 70, -2);
    const QColor right = colourAt(image, direction, 70, 2);
    QVERIFY2(isNear(left, Shade), describe(left, Shade));
    QVERIFY2(isNear(right, DarkRed), describe(right, DarkRed));
    const QColor behind = colourAt(image, direction + 180, 70, 2);
    QVERIFY2(!isNear(behind, DarkRed), describe(behind, QColor(Qt::transparent)));
}

void TestGauges::compassNeedlePoints_data()
{
    QTest::addColumn<int>("heading");
    QTest::addColumn<qreal>("direction");

    QTest::newRow("north") << 0 << 0.0;
    QTest::newRow("east") << 90 << 90.0;
    QTest::newRow("-90 west") << -90 << 270.0;
    QTest::newRow("south") << 180 << 180.0;
    QTest::newRow("450 wraps to east") << 450 << 90.0;
}

void TestGauges::compassNeedlePoints()
{
    QFETCH(int, heading);
    QFETCH(qreal, direction);

    DirectionTray tray;
    tray.setDirection(heading);
    QCOMPARE(tray.direction(), heading);
    const QImage image = paintedAt(tray);
    // Needle 0.24 of the side each way from the centre.
    const struct
    {
        qreal direction;
        qreal offset;
        QColor colour;
    } samples[] = {{direction, -2.5, DarkRed},
                   {direction, 2.5, Shade},
                   {direction + 180, 2.5, QColor(240, 240, 240)},
                   {direction + 180, -2.5, QColor(190, 190, 190)}};
    for (const auto &sample : samples) {
        const QColor actual = colourAt(image, sample.direction, 50, sample.offset);
        QVERIFY2(isNear(actual, sample.colour), describe(actual, sample.colour));
    }
}

void TestGauges::dialImagesAreBuiltIn()
{
    // Creating a gauge registers the image resources of the widget library.
    SpeedTray tray;
    QCOMPARE(QPixmap(QStringLiteral(":/image/speed.png")).size(), QSize(250, 250));
    QCOMPARE(QPixmap(QStringLiteral(":/image/direction.png")).size(), QSize(500, 500));
}

QTEST_MAIN(TestGauges)
#include "tst_gauges.moc"

// Tests of the G-sensor chart: axis ranges, scale widening, scrolling and the cursor.
#include "instruments/gyrochartview.h"

#include <QAreaSeries>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <QtTest>

#include <limits>

QT_CHARTS_USE_NAMESPACE

namespace {

struct Sample
{
    float x;
    float y;
    float z;
};

// The chart as the main window sees it: its three axis series, the cursor and the two axes.
struct Chart
{
    Chart()
    {
        const QList<QAbstractSeries *> all = view.chart()->series();
        for (QAbstractSeries *series : all)
            lines << static_cast<QLineSeries *>(series);
        horizontal = static_cast<QValueAxis *>(view.chart()->axes(Qt::Horizontal).value(0));
        vertical = static_cast<QValueAxis *>(view.chart()->axes(Qt::Vertical).value(0));
    }

    QLineSeries *cursor() const { return lines.at(3); }
    QPair<qreal, qreal> xRange() const { return {horizontal->min(), horizontal->max()}; }
    QPair<qreal, qreal> yRange() const { return {vertical->min(), vertical->max()}; }

    void append(int count)
    {
        for (int i = 0; i < count; ++i)
            view.appendSample(0.1f * (i % 7), -0.2f, 1.0f);
    }

    GyroChartView view;
    QList<QLineSeries *> lines;
    QValueAxis *horizontal = nullptr;
    QValueAxis *vertical = nullptr;
};

using Range = QPair<qreal, qreal>;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Infinity = std::numeric_limits<float>::infinity();

} // namespace

Q_DECLARE_METATYPE(QVector<Sample>)

class TestGyroChartView : public QObject
{
    Q_OBJECT

private slots:
    void startsEmptyWithTheLegendOfTheThreeAxes();
    void clearEmptiesAndResetsTheRanges();
    void sampleCountSetsTheHorizontalRange_data();
    void sampleCountSetsTheHorizontalRange();
    void verticalRangeWidensInSteps_data();
    void verticalRangeWidensInSteps();
    void scrollsOnceFull();
    void scrollingKeepsLinesWithGaps();
    void appendedSamplesAreDrawn();
    void cursorSpansTheRangeOfItsLastMove();
    void eventMarksSpanTheRangeAndGoWithClear();
    void clicksAreOnlyLogged();
};

void TestGyroChartView::startsEmptyWithTheLegendOfTheThreeAxes()
{
    Chart chart;
    QCOMPARE(chart.lines.size(), 4);
    QStringList legend;
    for (QLegendMarker *marker : chart.view.chart()->legend()->markers()) {
        if (marker->isVisible())
            legend << marker->label();
    }
    QCOMPARE(legend, (QStringList{"X ", "Y ", "Z "}));
    QCOMPARE(chart.xRange(), Range(0, 6000));
    QCOMPARE(chart.yRange(), Range(-2, 2));
    QVERIFY(!chart.horizontal->isVisible());
}

void TestGyroChartView::clearEmptiesAndResetsTheRanges()
{
    Chart chart;
    chart.view.setSampleCount(20);
    chart.view.appendSample(0.5f, 7.0f, -1.0f);
    chart.append(19);
    chart.view.setCursorPosition(3);

    chart.view.clearSeries();
    for (QLineSeries *line : chart.lines)
        QCOMPARE(line->count(), 0);
    QCOMPARE(chart.xRange(), Range(0, 6000));
    QCOMPARE(chart.yRange(), Range(-2, 2));

    // The next recording starts at the left edge, one step per sample, with the small scale.
    chart.view.appendSample(0.5f, -1.2f, 1.0f);
    chart.view.appendSample(0.25f, 0.0f, -0.75f);
    QCOMPARE(chart.lines.at(0)->pointsVector(), (QVector<QPointF>{{0, 0.5}, {1, 0.25}}));
    QCOMPARE(chart.lines.at(1)->pointsVector(), (QVector<QPointF>{{0, -1.2f}, {1, 0}}));
    QCOMPARE(chart.lines.at(2)->pointsVector(), (QVector<QPointF>{{0, 1}, {1, -0.75}}));
    QCOMPARE(chart.yRange(), Range(-2, 2));
}

void TestGyroChartView::sampleCountSetsTheHorizontalRange_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<Range>("range");

    QTest::newRow("300") << 300 << Range(0, 299);
    QTest::newRow("2") << 2 << Range(0, 1);
    QTest::newRow("1 still has a width") << 1 << Range(0, 1);
    QTest::newRow("0") << 0 << Range(0, 1);
    QTest::newRow("6002") << 6002 << Range(0, 6001);
}

void TestGyroChartView::sampleCountSetsTheHorizontalRange()
{
    QFETCH(int, count);
    QFETCH(Range, range);

    Chart chart;
    chart.view.setSampleCount(count);
    QCOMPARE(chart.xRange(), range);
    QCOMPARE(chart.yRange(), Range(-2, 2));
}

void TestGyroChartView::verticalRangeWidensInSteps_data()
{
    QTest::addColumn<QVector<Sample>>("samples");
    QTest::addColumn<int>("range");

    QTest::newRow("within") << QVector<Sample>{{0.5f, -1.2f, 1.99f}} << 2;
    QTest::newRow("reaching 2 widens") << QVector<Sample>{{0.5f, -1.2f, 2.0f}} << 4;
    QTest::newRow("5.3 in one call") << QVector<Sample>{{0, 0, 5.3f}} << 6;
    QTest::newRow("negative") << QVector<Sample>{{-5.3f, 0, 0}} << 6;
    QTest::newRow("exactly 4") << QVector<Sample>{{0, 4.0f, 0}} << 6;
    QTest::newRow("never shrinks") << QVector<Sample>{{0, 0, 5.3f}, {0.1f, 0.1f, 0.1f}} << 6;
    QTest::newRow("grows again") << QVector<Sample>{{0, 0, 2.5f}, {0, 9.0f, 0}} << 10;
    QTest::newRow("NaN alone") << QVector<Sample>{{NaN, NaN, NaN}} << 2;
    QTest::newRow("NaN beside a large value") << QVector<Sample>{{NaN, 0, 3.0f}} << 4;
    // Absurd values widen to a ceiling instead of counting up forever or overflowing.
    QTest::newRow("infinity") << QVector<Sample>{{0, -Infinity, 3.0f}} << 4;
    QTest::newRow("huge") << QVector<Sample>{{0, 0, 3e30f}} << 1000000;
    QTest::newRow("just below the ceiling") << QVector<Sample>{{0, 0, 999998.5f}} << 1000000;
}

void TestGyroChartView::verticalRangeWidensInSteps()
{
    QFETCH(QVector<Sample>, samples);
    QFETCH(int, range);

    Chart chart;
    for (const Sample &sample : samples)
        chart.view.appendSample(sample.x, sample.y, sample.z);
    QCOMPARE(chart.yRange(), Range(-range, range));
}

void TestGyroChartView::scrollsOnceFull()
{
    Chart chart;
    chart.view.setSampleCount(6003);
    chart.append(6001);
    for (int axis = 0; axis < 3; ++axis) {
        QCOMPARE(chart.lines.at(axis)->count(), 6001);
        QCOMPARE(chart.lines.at(axis)->at(0).x(), 0.0);
    }
    QTest::qWait(1);
    QCOMPARE(chart.xRange(), Range(0, 6002));

    chart.view.setCursorPosition(10);
    chart.append(1);
    for (int axis = 0; axis < 3; ++axis) {
        QCOMPARE(chart.lines.at(axis)->count(), 6001);
        QCOMPARE(chart.lines.at(axis)->at(0).x(), 1.0);
        QCOMPARE(chart.lines.at(axis)->at(6000).x(), 6001.0);
    }
    QTRY_COMPARE(chart.xRange(), Range(1, 6001));
    // The cursor is not part of the scrolled data.
    QCOMPARE(chart.cursor()->count(), 2);

    chart.append(2);
    QCOMPARE(chart.lines.at(0)->at(0).x(), 3.0);
    QTRY_COMPARE(chart.xRange(), Range(3, 6003));

    // A scroll still on its way must not undo the ranges of a clear or of a new sample count.
    chart.append(1);
    chart.view.clearSeries();
    QTest::qWait(1);
    QCOMPARE(chart.xRange(), Range(0, 6000));
    chart.append(6002);
    chart.view.setSampleCount(50);
    QTest::qWait(1);
    QCOMPARE(chart.xRange(), Range(0, 49));
}

void TestGyroChartView::scrollingKeepsLinesWithGaps()
{
    // X has no drawable value at all and Y only every other one, so their lines are shorter
    // than the window when the chart starts to scroll.
    Chart chart;
    for (int i = 0; i < 6003; ++i)
        chart.view.appendSample(NaN, i % 2 == 0 ? 0.5f : Infinity, 1.0f);
    QCOMPARE(chart.lines.at(0)->count(), 0);
    QCOMPARE(chart.lines.at(1)->count(), 3001);
    QCOMPARE(chart.lines.at(1)->at(0).x(), 2.0);
    QCOMPARE(chart.lines.at(2)->count(), 6001);
    QCOMPARE(chart.lines.at(2)->at(0).x(), 2.0);
    QTRY_COMPARE(chart.xRange(), Range(2, 6002));
}

void TestGyroChartView::appendedSamplesAreDrawn()
{
    Chart chart;
    chart.view.setStyleSheet(QStringLiteral("background-color: rgb(44, 44, 52);"));
    chart.view.resize(400, 160);
    chart.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart.view));
    chart.view.setSampleCount(100);
    for (int i = 0; i < 100; ++i)
        chart.view.appendSample(1.5f, NaN, NaN);

    const auto redPixels = [&chart] {
        const QImage image = chart.view.grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor colour = image.pixelColor(x, y);
                count += colour.red() > 160 && colour.green() < 80 && colour.blue() < 80;
            }
        }
        return count;
    };
    // The line spans the width of the plot once the view has had its turn to draw.
    QTRY_VERIFY(redPixels() > 250);
}

void TestGyroChartView::cursorSpansTheRangeOfItsLastMove()
{
    Chart chart;
    chart.view.appendSample(0.5f, -1.2f, 2.0f);
    chart.view.setCursorPosition(42);
    QCOMPARE(chart.cursor()->pointsVector(), (QVector<QPointF>{{42, -4}, {42, 4}}));

    // A wider scale reaches the cursor with its next move only.
    chart.view.appendSample(0, 0, 7.0f);
    QCOMPARE(chart.cursor()->pointsVector(), (QVector<QPointF>{{42, -4}, {42, 4}}));
    chart.view.setCursorPosition(43);
    QCOMPARE(chart.cursor()->pointsVector(), (QVector<QPointF>{{43, -8}, {43, 8}}));
}

void TestGyroChartView::eventMarksSpanTheRangeAndGoWithClear()
{
    Chart chart;
    const auto marks = [&] {
        QList<QAreaSeries *> areas;
        for (QAbstractSeries *series : chart.view.chart()->series()) {
            if (auto *area = qobject_cast<QAreaSeries *>(series))
                areas << area;
        }
        return areas;
    };
    chart.view.setEventMarks({30, 7}, {Qt::red});
    chart.view.setEventMarks({3, 10}, {QColor(232, 64, 42)});
    QCOMPARE(marks().size(), 2);
    QCOMPARE(chart.view.eventMarks(), (QVector<int>{3, 10}));
    QCOMPARE(marks().at(0)->upperSeries()->pointsVector(), (QVector<QPointF>{{2.5, 2}, {3.5, 2}}));
    QCOMPARE(marks().at(0)->lowerSeries()->pointsVector(),
             (QVector<QPointF>{{2.5, -2}, {3.5, -2}}));
    QCOMPARE(marks().at(0)->pen().color(), QColor(232, 64, 42));
    // A mark without a colour of its own is neutral; no mark shows in the legend.
    QCOMPARE(marks().at(1)->pen().color(), QColor(220, 220, 220));
    for (QAreaSeries *mark : marks())
        QVERIFY(!chart.view.chart()->legend()->markers(mark).first()->isVisible());

    // The marks follow the scale as it widens with the samples.
    chart.view.appendSample(0, 0, 5.0f);
    QTRY_COMPARE(marks().at(1)->upperSeries()->pointsVector(),
                 (QVector<QPointF>{{9.5, 6}, {10.5, 6}}));

    chart.view.clearSeries();
    QVERIFY(marks().isEmpty());
    QVERIFY(chart.view.eventMarks().isEmpty());
}

void TestGyroChartView::clicksAreOnlyLogged()
{
    // The test environment turns debug output off.
    QLoggingCategory *log = QLoggingCategory::defaultCategory();
    const bool debugWasEnabled = log->isDebugEnabled();
    log->setEnabled(QtDebugMsg, true);
    Chart chart;
    chart.view.resize(400, 160);
    chart.view.setRubberBand(QChartView::RectangleRubberBand);
    chart.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart.view));

    QTest::ignoreMessage(QtDebugMsg, " GyroChartView::mousePressEvent recv");
    QTest::ignoreMessage(QtDebugMsg, " GyroChartView::mouseDoubleClickEvent recv");
    // A drag would zoom into the rectangle if the view's own handling saw the press.
    QTest::mousePress(chart.view.viewport(), Qt::LeftButton, {}, QPoint(100, 40));
    QTest::mouseMove(chart.view.viewport(), QPoint(300, 120));
    QTest::mouseRelease(chart.view.viewport(), Qt::LeftButton, {}, QPoint(300, 120));
    QTest::mouseDClick(chart.view.viewport(), Qt::LeftButton, {}, QPoint(200, 80));
    QCOMPARE(chart.xRange(), Range(0, 6000));
    QCOMPARE(chart.yRange(), Range(-2, 2));
    log->setEnabled(QtDebugMsg, debugWasEnabled);
}

QTEST_MAIN(TestGyroChartView)
#include "tst_gyrochartview.moc"

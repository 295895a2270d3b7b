// Strip chart of the three G-sensor axes of a recording, with a cursor at the playback second.
#include "gyrochartview.h"
#include "videoexport/gsensoraxes.h"

#include <QAreaSeries>
#include <QDebug>
#include <QGraphicsLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QSignalBlocker>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

QT_CHARTS_USE_NAMESPACE

namespace {

constexpr int StartRange = 2;
constexpr int RangeStep = 2;
// A damaged sample must not stretch the scale beyond any meaning or past the integer range.
constexpr int MaxRange = 1000000;

// The smallest range of the form range + k steps (k >= 1) that is strictly above every component
// reaching the current one. NaN and infinite components cannot be drawn and do not count.
int widenedRange(int range, float x, float y, float z)
{
    double largest = 0.0;
    for (float value : {x, y, z}) {
        if (std::isfinite(value))
            largest = std::max(largest, std::fabs(double(value)));
    }
    if (largest < range)
        return range;
    if (largest >= MaxRange)
        return MaxRange;
    const int steps = int(std::floor((largest - range) / RangeStep)) + 1;
    return range + steps * RangeStep;
}

QFont calibri(int pixelSize)
{
    QFont font(QStringLiteral("Calibri"));
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace

GyroChartView::GyroChartView(QWidget *parent)
    : QChartView(parent)
    , mSeriesX(new QLineSeries)
    , mSeriesY(new QLineSeries)
    , mSeriesZ(new QLineSeries)
    , mCursor(new QLineSeries)
    , mAxisX(new QValueAxis)
    , mAxisY(new QValueAxis)
{
    auto *chart = new QChart;
    // The legend font is set before the theme, which keeps a font that differs from its own.
    chart->legend()->setFont(calibri(10));
    chart->setTheme(QChart::ChartThemeDark);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->layout()->setContentsMargins(0, 0, 0, 0);

    // Colours after the theme, which would otherwise replace them.
    QLineSeries *const axes[GSensorAxes::Count] = {mSeriesX, mSeriesY, mSeriesZ};
    for (int axis = 0; axis < GSensorAxes::Count; ++axis) {
        axes[axis]->setName(QLatin1String(GSensorAxes::Names[axis]) + QLatin1Char(' '));
        axes[axis]->setColor(GSensorAxes::Colours[axis]);
    }
    QPen cursorPen;
    cursorPen.setWidth(3);
    cursorPen.setBrush(Qt::darkCyan);
    mCursor->setPen(cursorPen);
    mCursor->setName(QStringLiteral("C "));
    mCursor->setPointsVisible(true);

    for (QLineSeries *series : {mSeriesX, mSeriesY, mSeriesZ, mCursor})
        chart->addSeries(series);
    // The legend explains the colours of the axes; the cursor needs no entry.
    for (QLegendMarker *marker : chart->legend()->markers(mCursor))
        marker->setVisible(false);

    mAxisX->setRange(0, MaxSamples);
    mAxisX->setVisible(false);
    mAxisY->setLabelFormat(QStringLiteral("%dG"));
    mAxisY->setLineVisible(false);
    mAxisY->setGridLinePen(QPen(Qt::black, 1, Qt::SolidLine));
    mAxisY->setTickCount(5);
    mAxisY->setRange(-StartRange, StartRange);
    mAxisY->setLabelsFont(calibri(12));
    chart->addAxis(mAxisX, Qt::AlignBottom);
    chart->addAxis(mAxisY, Qt::AlignLeft);
    for (QLineSeries *series : {mSeriesX, mSeriesY, mSeriesZ, mCursor}) {
        series->attachAxis(mAxisX);
        series->attachAxis(mAxisY);
    }

    setRenderHint(QPainter::Antialiasing);
    setChart(chart);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    // The view's own dark background shows through.
    chart->setBackgroundVisible(false);
}

void GyroChartView::clearSeries()
{
    setEventMarks({});
    for (QLineSeries *series : {mSeriesX, mSeriesY, mSeriesZ, mCursor})
        series->clear();
    mSampleCount = 0;
    mNextX = 0;
    mYRange = StartRange;
    mPendingScrollLeft.reset();
    mAxisX->setRange(0, MaxSamples);
    mAxisY->setRange(-StartRange, StartRange);
}

void GyroChartView::setSampleCount(int count)
{
    mPendingScrollLeft.reset();
    // At least one sample wide: an empty range leaves the chart nowhere to draw a single sample.
    mAxisX->setRange(0, std::max(count - 1, 1));
}

void GyroChartView::appendSample(float x, float y, float z)
{
    const bool full = mSampleCount > MaxSamples;
    const int left = mSampleCount - MaxSamples;
    const struct
    {
        QLineSeries *series;
        float value;
    } points[] = {{mSeriesX, x}, {mSeriesY, y}, {mSeriesZ, z}};
    for (const auto &point : points) {
        // Drawn by redrawLines(), once for all the samples appended in one go.
        const QSignalBlocker quiet(point.series);
        // A line may lack the points of values it could not draw, so it loses its oldest point
        // only when that point leaves the window.
        if (full && point.series->count() > 0 && point.series->at(0).x() < left)
            point.series->remove(0);
        if (std::isfinite(point.value))
            point.series->append(mNextX, point.value);
    }
    ++mNextX;
    // Each change of the range also makes the chart rebuild every line, so the window scrolls
    // with the redraw too.
    if (full)
        mPendingScrollLeft = left;
    if (!mRedrawPending) {
        mRedrawPending = true;
        QTimer::singleShot(0, this, &GyroChartView::redrawLines);
    }

    mYRange = widenedRange(mYRange, x, y, z);
    mAxisY->setRange(-mYRange, mYRange);
    ++mSampleCount;
}

void GyroChartView::redrawLines()
{
    mRedrawPending = false;
    if (mPendingScrollLeft) {
        mAxisX->setRange(*mPendingScrollLeft, *mPendingScrollLeft + MaxSamples);
        mPendingScrollLeft.reset();
    }
    for (QLineSeries *series : {mSeriesX, mSeriesY, mSeriesZ})
        series->replace(series->pointsVector());
    placeMarks();
}

void GyroChartView::setEventMarks(const QVector<int> &seconds, const QVector<QColor> &colours)
{
    for (QAreaSeries *mark : qAsConst(mMarks)) {
        chart()->removeSeries(mark);
        delete mark;
    }
    mMarks.clear();
    mMarkSeconds = seconds;
    for (int i = 0; i < seconds.size(); ++i) {
        // A band one second wide, translucent so that the lines show through.
        QColor colour = colours.value(i, QColor(220, 220, 220));
        auto *mark = new QAreaSeries;
        mark->setUpperSeries(new QLineSeries(mark));
        mark->setLowerSeries(new QLineSeries(mark));
        mark->setPen(QPen(colour, 1));
        colour.setAlpha(110);
        mark->setBrush(colour);
        chart()->addSeries(mark);
        mark->attachAxis(mAxisX);
        mark->attachAxis(mAxisY);
        for (QLegendMarker *marker : chart()->legend()->markers(mark))
            marker->setVisible(false);
        mMarks.append(mark);
    }
    placeMarks();
}

void GyroChartView::placeMarks()
{
    for (int i = 0; i < mMarks.size(); ++i) {
        const qreal left = mMarkSeconds.at(i) - 0.5;
        const qreal right = mMarkSeconds.at(i) + 0.5;
        mMarks.at(i)->upperSeries()->replace(
                QVector<QPointF>{{left, qreal(mYRange)}, {right, qreal(mYRange)}});
        mMarks.at(i)->lowerSeries()->replace(
                QVector<QPointF>{{left, qreal(-mYRange)}, {right, qreal(-mYRange)}});
    }
}

void GyroChartView::setCursorPosition(int second)
{
    mCursor->clear();
    mCursor->append(second, -mYRange);
    mCursor->append(second, mYRange);
    update();
}

void GyroChartView::mousePressEvent(QMouseEvent *event)
{
    Q_UNUSED(event)
    qDebug() << " GyroChartView::mousePressEvent recv";
}

void GyroChartView::mouseDoubleClickEvent(QMouseEvent *event)
{
    Q_UNUSED(event)
    qDebug() << " GyroChartView::mouseDoubleClickEvent recv";
}

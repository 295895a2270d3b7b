// Strip chart of the three G-sensor axes of a recording, with a cursor at the playback second.
#pragma once

#include <QChartView>
#include <QColor>
#include <QVector>

#include <optional>

QT_CHARTS_BEGIN_NAMESPACE
class QAreaSeries;
class QLineSeries;
class QValueAxis;
QT_CHARTS_END_NAMESPACE

class GyroChartView : public QtCharts::QChartView
{
    Q_OBJECT

public:
    explicit GyroChartView(QWidget *parent = nullptr);

    // The chart keeps up to MaxSamples + 1 samples; older ones scroll out.
    static constexpr int MaxSamples = 6000;

    // Empties the chart and returns both axes to their start ranges.
    void clearSeries();
    // Spreads the given number of samples (at least two) over the whole width.
    void setSampleCount(int count);
    // Appends one sample, in g, after the previous one; the vertical scale widens in 2 g steps
    // until it holds the sample and does not shrink before the next clearSeries(). A value that
    // is not a finite number leaves a gap in its line. Beyond MaxSamples + 1 samples the oldest
    // drops out and the window scrolls by one sample, on the screen and in the horizontal axis
    // once control returns to the event loop.
    void appendSample(float x, float y, float z);
    // Draws the cursor at the given second over the current vertical range.
    void setCursorPosition(int second);
    // Marks moments of the recording (seconds) as bands across the chart, each in its colour
    // (a neutral one where none is given); they replace earlier marks and go with clearSeries().
    void setEventMarks(const QVector<int> &seconds, const QVector<QColor> &colours = {});
    QVector<int> eventMarks() const { return mMarkSeconds; }

protected:
    // Clicks on the chart are only logged: the chart is a display, not a control.
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    // Qt Charts rebuilds every line for each point appended and for each change of the visible
    // range, which made filling the chart with a long recording take seconds to minutes.
    // Samples are added to the series silently, and the lines are rebuilt and the window
    // scrolled once, when control returns to the event loop.
    void redrawLines();
    // Stretches the marks over the current vertical range.
    void placeMarks();

    QtCharts::QLineSeries *mSeriesX;
    QtCharts::QLineSeries *mSeriesY;
    QtCharts::QLineSeries *mSeriesZ;
    QtCharts::QLineSeries *mCursor;
    QtCharts::QValueAxis *mAxisX;
    QtCharts::QValueAxis *mAxisY;
    int mSampleCount = 0;
    int mNextX = 0;
    int mYRange = 2;
    bool mRedrawPending = false;
    std::optional<int> mPendingScrollLeft;
    QVector<int> mMarkSeconds;
    QVector<QtCharts::QAreaSeries *> mMarks;
};

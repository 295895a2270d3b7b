// Which of a recording's samples the chart and the map track are drawn from.
#pragma once

#include <QVector>

struct TrackSampling
{
    int sampleCount = 0; // the chart's length
    QVector<int> indexes; // the samples drawn, in order
};

// A list with a sample per video frame is thinned to one per second of duration; any other list
// is drawn whole.
TrackSampling trackSampling(int listSize, int duration, float frameRate);

// Which of a recording's samples the chart and the map track are drawn from.
#include "tracksampling.h"

TrackSampling trackSampling(int listSize, int duration, float frameRate)
{
    TrackSampling sampling;
    if (frameRate > 0 && float(listSize) >= float(duration - 1) * frameRate) {
        sampling.sampleCount = duration;
        for (int i = 0; i < duration; ++i) {
            const float index = float(i) * frameRate;
            if (index >= float(listSize))
                break;
            sampling.indexes.append(int(index));
        }
        return sampling;
    }
    sampling.sampleCount = listSize;
    sampling.indexes.reserve(listSize);
    for (int i = 0; i < listSize; ++i)
        sampling.indexes.append(i);
    return sampling;
}

// A recording's samples fitted to one per second of its video, as the viewer serves them.
#pragma once

#include "gpsdata.h"

#include <QtGlobal>

// A damaged header can claim a length of years; padding is limited to one day of seconds so that
// such a file cannot exhaust the memory. Samples actually read are never dropped by this limit.
constexpr int MaxPaddedSeconds = 24 * 3600 + 1;

// Entry s becomes second s of a video of duration whole seconds: samples past its end are
// dropped and a short list is padded with its last sample, so that every second of the picture
// has one. An empty list has nothing to pad with, and a negative length is no length at all.
// A template for the viewer's QList, which its signals carry, and the exports' QVector alike.
template<typename List>
void fitSamplesToDuration(List &samples, int duration)
{
    if (samples.isEmpty() || duration < 0)
        return;
    const qint64 wanted = qint64(duration) + 1;
    if (samples.size() > wanted) {
        samples.erase(samples.begin() + int(wanted), samples.end());
        return;
    }
    const int target = int(qMin<qint64>(wanted, MaxPaddedSeconds));
    const GpsData last = samples.last();
    samples.reserve(target);
    while (samples.size() < target)
        samples.append(last);
}

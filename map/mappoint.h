// One point of a recording's track, as the map view takes it.
#pragma once

#include <QMetaType>
#include <QtGlobal>

struct MapPoint
{
    // The second of the recording the sample belongs to; the page receives it unchanged.
    qint32 index = 0;
    double longitude = 0.0;
    double latitude = 0.0;
};

Q_DECLARE_METATYPE(MapPoint)

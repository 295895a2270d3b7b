// One point of a recording's track, as the map view takes it.
#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

struct MapPoint
{
    // The second of the recording the sample belongs to; the page receives it unchanged.
    qint32 index = 0;
    double longitude = 0.0;
    double latitude = 0.0;
};

Q_DECLARE_METATYPE(MapPoint)

// A moment of the drive shown as a marker on the map; a click on it is reported by its index.
struct MapEvent
{
    double longitude = 0.0;
    double latitude = 0.0;
    QString colour; // "#rrggbb"
    QString title; // plain text shown on hover
};

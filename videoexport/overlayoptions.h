// Which parts of the telemetry an exported video shows, and in which speed unit.
#pragma once

#include "export/speedunit.h"

#include <QString>
#include <QStringList>

struct OverlayOptions
{
    bool dateTime = true; // the camera's date and time
    bool utc = true; // and the UTC time beside it, where the camera's zone is known
    bool speed = true;
    bool coordinates = true;
    bool heading = true;
    bool gMeter = true; // the three G-sensor axes with a short trailing history
    bool miniMap = true; // the track with the position
    SpeedUnit::Unit unit = SpeedUnit::Kmh;

    bool any() const;
    // The part names the command line takes ("time,utc,speed,coordinates,heading,g,map"), in
    // that order; fromNames sets exactly the named parts and fails on an unknown name.
    static QStringList partNames();
    QStringList names() const;
    static bool fromNames(const QStringList &names, OverlayOptions *options);
};

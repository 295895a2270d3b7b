// A drive of three clips (60, 30 and 110 s, rows 3, 4 and 7) with one event in each: shared by
// the timeline and events list tests.
#pragma once

#include "playlist/playlistdrives.h"

inline DrivingEvent drivingEvent(DrivingEvent::Type type, int peak, double peakG, int speed,
                                 const char *cameraTime)
{
    DrivingEvent event;
    event.type = type;
    event.start = std::max(peak - 1, 0);
    event.peak = peak;
    event.end = peak + 1;
    event.peakG = peakG;
    event.speed = speed;
    event.cameraTime = cameraTime;
    return event;
}

inline PlaylistDrives::Drive threeClipDrive()
{
    PlaylistDrives::Drive drive;
    PlaylistDrives::Clip first;
    first.rowId = 3;
    first.seconds = 60;
    first.offset = 0;
    first.events = {drivingEvent(DrivingEvent::Braking, 2, 0.52, 43, "20240315073005")};
    PlaylistDrives::Clip second;
    second.rowId = 4;
    second.seconds = 30;
    second.offset = 60;
    DrivingEvent impact = drivingEvent(DrivingEvent::Impact, 3, 2.71, 12, "20240315073106");
    impact.severity = DrivingEvent::Major;
    second.events = {impact};
    PlaylistDrives::Clip third;
    third.rowId = 7;
    third.seconds = 110;
    third.offset = 90;
    third.events = {drivingEvent(DrivingEvent::Cornering, 50, 0.41, 37, "")};
    drive.clips = {first, second, third};
    drive.summary.seconds = 200;
    drive.summary.metres = 2345.0;
    drive.summary.averageKmh = 42.2;
    drive.summary.topKmh = 71;
    return drive;
}

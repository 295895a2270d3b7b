// How drives and their events read and look in the viewer: names, colours and summaries.
#pragma once

#include "export/drives.h"
#include "export/drivingevent.h"
#include "export/speedunit.h"

#include <QColor>
#include <QString>

namespace DriveTexts {

// One colour per kind of event, shared by the timeline, the chart, the map and the list.
QColor colour(DrivingEvent::Type type);
// "Harsh braking", "Major impact"...
QString name(const DrivingEvent &event);
// "1:02:03" for a drive or an hour-long clip, "02:03" below an hour.
QString duration(qint64 seconds);
// The camera's clock at the event's peak, "2024/03/15 07:30:05"; empty when unreadable.
QString cameraTime(const DrivingEvent &event);
// "0.52 g"
QString peakG(const DrivingEvent &event);
// Length, distance, average and top speed on one line, in the user's unit.
QString summary(const DriveSummary &summary, SpeedUnit::Unit unit);
// Name, time, peak and speed on one line.
QString describe(const DrivingEvent &event, SpeedUnit::Unit unit);

} // namespace DriveTexts

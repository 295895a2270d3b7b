// One moment of a recording worth a look: a harsh manoeuvre or an impact.
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

struct DrivingEvent
{
    enum Type { Braking, Acceleration, Cornering, Impact };
    enum Severity { NoSeverity, Minor, Major }; // impacts only

    Type type = Braking;
    Severity severity = NoSeverity;
    int start = 0, peak = 0, end = 0; // sample indexes = seconds into the recording
    double peakG = 0.0; // magnitude at the peak along the event's direction, g (> 0)
    int speed = 0; // km/h at the peak
    bool hasPosition = false;
    double latitude = 0.0, longitude = 0.0;
    QByteArray cameraTime; // the peak sample's "yyyyMMddhhmmss" (empty when unreadable)

    static QString typeName(Type type); // "braking" "acceleration" "cornering" "impact"
    static QString severityName(Severity severity); // "" "minor" "major"
};

Q_DECLARE_METATYPE(DrivingEvent)

// One second of telemetry as decoded from a recording's 312-byte sample record.
#pragma once

#include <QList>
#include <QMetaType>

// A plain, fixed-layout record: it is copied bytewise across threads, and a default one is all
// zero, which consumers read as "a second without data".
struct GpsData
{
    qint32 index = 0;
    char dateTime[15] = {};
    char auxText[16] = {};
    quint8 fixFlag = 0;
    char latitudeRef = 0;
    double latitude = 0.0;
    char longitudeRef = 0;
    double longitude = 0.0;
    qint32 auxValue = 0;
    qint32 speed = 0;
    float gsensorX = 0.0f;
    float gsensorY = 0.0f;
    float gsensorZ = 0.0f;
    double heading = 0.0;
};

Q_DECLARE_METATYPE(GpsData)
Q_DECLARE_METATYPE(QList<GpsData>)

// The information of one recording as a whole, produced once per file by a container parser.
#pragma once

#include <QDateTime>
#include <QMetaType>

struct VideoInfo
{
    qint32 width = 0;
    qint32 height = 0;
    qint32 duration = 0; // whole seconds
    float frameRate = 0.0f;
    QDateTime creationTime; // local time; null when unknown
    qint32 videoCodec = 0; // 1 H.264, 2 H.265, 0 unknown
};

Q_DECLARE_METATYPE(VideoInfo)

// Registers the record types under the names the queued signals use; calling it again is harmless.
void registerRecordMetaTypes();

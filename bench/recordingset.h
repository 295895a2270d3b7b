// Folders of generated recordings for the archive benchmark, written once and reused later.
#pragma once

#include <QStringList>

#include <optional>

struct RecordingSet
{
    static constexpr int PlaceCount = 7; // every telemetry storage place

    QString folder;
    QStringList files; // in name order, the order a folder argument lists them
    qint64 bytes = 0;
    bool reused = false;

    // count recordings of the given length in folder, the storage places taking turns, written
    // now or taken as they are when an earlier call finished writing the same set. A folder that
    // holds anything else is neither written into nor used; error then tells why.
    static std::optional<RecordingSet> prepare(const QString &folder, int count, int seconds,
                                               QString *error);
};

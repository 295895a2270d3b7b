// One recording as the extractor reports it: file information, storage place and raw samples.
#pragma once

#include "parser/gpsdata.h"
#include "parser/parserobject.h"
#include "parser/videoinfo.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

struct ExtractedRecording
{
    QString file; // the path as the user gave it
    VideoInfo info;
    ParserObject::SampleSource source = ParserObject::None;
    QVector<GpsData> samples;

    // Why a file did not load, for the outputs that tell it to programs.
    enum Failure { NotFound, Unreachable, Directory, NotRegular, Unreadable, Cancelled };
    // "not-found", "unreachable" (there, but out of reach for now: a folder it may not search, a
    // share that failed), "directory", "not-regular", "unreadable", "cancelled".
    static QByteArray failureCode(Failure failure);

    // Parses the file and reads every sample the parser yields. Returns false with a short
    // reason in problem, and its kind in failure when given, when the file cannot be opened as a
    // recording, or when cancelled, asked between two samples, says so: a long recording takes
    // seconds to read.
    bool load(const QString &path, QString *problem,
              const std::function<bool()> &cancelled = std::function<bool()>(),
              Failure *failure = nullptr);
};

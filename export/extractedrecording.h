// One recording as the extractor reports it: file information, storage place and raw samples.
#pragma once

#include "parser/gpsdata.h"
#include "parser/parserobject.h"
#include "parser/videoinfo.h"

#include <QString>
#include <QVector>

#include <functional>

struct ExtractedRecording
{
    QString file; // the path as the user gave it
    VideoInfo info;
    ParserObject::SampleSource source = ParserObject::None;
    QVector<GpsData> samples;

    // Parses the file and reads every sample the parser yields. Returns false with a short
    // reason in problem when the file cannot be opened as a recording, or when cancelled, asked
    // between two samples, says so: a long recording takes seconds to read.
    bool load(const QString &path, QString *problem,
              const std::function<bool()> &cancelled = std::function<bool()>());
};

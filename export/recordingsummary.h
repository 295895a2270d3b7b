// One record per recording for an archive's index: where and when it was, how far and how fast.
#pragma once

#include "cameraclock.h"
#include "documentframe.h"
#include "jsonwriter.h"
#include "trackwriter.h"

#include "parser/parserobject.h"

#include <QByteArray>
#include <QString>

struct ExtractedRecording;

struct RecordingSummary
{
    QString file; // as given
    ParserObject::SampleSource source = ParserObject::None;
    int samples = 0; // as many as the json format lists
    // The camera's own texts (yyyyMMddhhmmss) of the first and the last sample with a readable
    // time, and those samples' UTC times as the json format writes them; empty for none.
    QByteArray firstCameraTime;
    QByteArray lastCameraTime;
    QByteArray firstUtcTime;
    QByteArray lastUtcTime;
    // The recording as a drive of one clip, so that the receiver's glitches count as the
    // viewer counts them.
    double metres = 0.0;
    int topKmh = 0;
    double averageKmh = 0.0;
    // The bounds of the fixes with a position, in degrees.
    bool hasBox = false;
    double west = 0.0;
    double south = 0.0;
    double east = 0.0;
    double north = 0.0;

    static RecordingSummary of(const ExtractedRecording &recording, const CameraClock &clock);

    // Json, JsonLines and Csv; no other format holds summaries.
    static bool hasFormat(TrackWriter::Format format);
    // How the records of a format that holds summaries join into a document: json an indented
    // array, jsonl an object a line, csv a header row then a row each.
    static DocumentFrame frame(TrackWriter::Format format);
    // The record in such a format, to go into its frame; a command may render it in a worker
    // thread and write it later.
    QByteArray text(TrackWriter::Format format) const;

private:
    QByteArray jsonText(JsonWriter::Layout layout) const;
    QByteArray csvText() const;
};

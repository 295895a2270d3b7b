// CSV output: a header row, then one row per sample of every file.
#pragma once

#include "recordingwriter.h"

class CsvWriter : public RecordingWriter
{
public:
    explicit CsvWriter(QIODevice *device);

    void add(const ExtractedRecording &recording) override;
    void finish() override;

private:
    void writeRow(const QStringList &cells);
};

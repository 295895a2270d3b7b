// JSON output: one array of file objects, written when the last recording is in.
#pragma once

#include "recordingwriter.h"

#include <QJsonArray>

class JsonWriter : public RecordingWriter
{
public:
    using RecordingWriter::RecordingWriter;

    void add(const ExtractedRecording &recording) override;
    void finish() override;

private:
    QJsonArray mFiles;
};

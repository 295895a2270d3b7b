// GPX 1.1 output: one track per file with the positioned samples as track points.
#pragma once

#include "recordingwriter.h"

#include <QXmlStreamWriter>

class GpxWriter : public RecordingWriter
{
public:
    explicit GpxWriter(QIODevice *device);

    void add(const ExtractedRecording &recording) override;
    void finish() override;

private:
    QXmlStreamWriter mXml;
};

// CSV output: a header row, then one row per sample of every part of every track.
#pragma once

#include "trackwriter.h"

class CsvWriter : public TrackWriter
{
public:
    CsvWriter(QIODevice *device, const CameraClock &clock);

protected:
    void addPart(const ExtractedRecording &part) override;
    void endDocument() override { }
};

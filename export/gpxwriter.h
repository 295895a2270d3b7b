// GPX 1.1 output: a track per track, a track segment per segment, positioned samples as points.
#pragma once

#include "trackwriter.h"
#include "xmlout.h"

class GpxWriter : public TrackWriter
{
public:
    GpxWriter(QIODevice *device, const CameraClock &clock);

protected:
    void beginTrack(const Track &track) override;
    void beginSegment() override;
    void addPart(const ExtractedRecording &part) override;
    void endSegment() override;
    void endTrack() override;
    void endDocument() override;

private:
    XmlOut mXml;
};

// KML 2.2 output: a placemark per track whose gx:Track holds the positioned samples; a track of
// several segments gets a gx:MultiTrack with one gx:Track per segment.
#pragma once

#include "trackwriter.h"
#include "xmlout.h"

#include <QVector>

class KmlWriter : public TrackWriter
{
public:
    KmlWriter(QIODevice *device, const CameraClock &clock);

protected:
    void beginTrack(const Track &track) override;
    void addPart(const ExtractedRecording &part) override;
    void endSegment() override;
    void endTrack() override;
    void endDocument() override;

private:
    XmlOut mXml;
    bool mMultiTrack = false;
    // The positioned samples of the segment being written, with their times.
    QVector<QByteArray> mWhens;
    QVector<const GpsData *> mPoints;
};

// KML 2.2 output: one placemark per file whose gx:Track holds the positioned samples.
#pragma once

#include "recordingwriter.h"

#include <QXmlStreamWriter>

class KmlWriter : public RecordingWriter
{
public:
    explicit KmlWriter(QIODevice *device);

    void add(const ExtractedRecording &recording) override;
    void finish() override;

private:
    QXmlStreamWriter mXml;
};

// Common interface of the output formats: tracks go in one by one, the document ends once.
#pragma once

#include "cameraclock.h"
#include "speedunit.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QIODevice;
struct ExtractedRecording;
struct Track;

class TrackWriter
{
public:
    // New formats go last, so that the values and the names list keep their places.
    enum Format { Json, Csv, Gpx, Kml, GeoJson, JsonLines, Ass };

    // The formats' names as the command line takes them, in the order of Format; each is also
    // the usual file name extension.
    static QStringList formatNames();
    // The format of a name of formatNames(); false for another name.
    static bool formatFromName(const QString &name, Format *format);
    // unit: the speed unit of the formats written for people to read (ass); the others keep
    // the recordings' km/h.
    static std::unique_ptr<TrackWriter> create(Format format, QIODevice *device,
                                               const CameraClock &clock,
                                               SpeedUnit::Unit unit = SpeedUnit::Kmh);

    virtual ~TrackWriter() = default;
    TrackWriter(const TrackWriter &) = delete;
    TrackWriter &operator=(const TrackWriter &) = delete;

    // Writes a track part by part. After each part partWritten is told its sample count, and
    // the track is left unfinished when it returns false. Returns false when stopped so or
    // when the device did not take all the text; the writer is then done with, and neither
    // further tracks nor finish() are to follow.
    bool add(const Track &track, const std::function<bool(int samples)> &partWritten = {});
    // Ends the document; false when the device did not take all the text.
    bool finish();

protected:
    TrackWriter(QIODevice *device, const CameraClock &clock)
        : mClock(clock)
        , mDevice(device)
    { }

    virtual void beginTrack(const Track &) { }
    virtual void beginSegment() { }
    virtual void addPart(const ExtractedRecording &part) = 0;
    virtual void endSegment() { }
    virtual void endTrack() { }
    virtual void endDocument() = 0;

    // The UTF-8 text written so far that the device has not yet been given.
    QByteArray mText;
    // Runs from each segment's start through its parts: the times follow the readings.
    CameraClock mClock;

private:
    bool flush();

    QIODevice *mDevice;
};

// JSON output: one array of file objects, one object for each part of every track.
#pragma once

#include "fieldformat.h"
#include "trackwriter.h"

#include <QVector>

class JsonWriter : public TrackWriter
{
public:
    JsonWriter(QIODevice *device, const CameraClock &clock);

protected:
    void addPart(const ExtractedRecording &part) override;
    void endDocument() override;

private:
    // An object's members in key order, each as its line's start: indent, key and colon.
    struct Members
    {
        QVector<int> order;
        QVector<QByteArray> starts; // by field
    };
    static Members members(const QVector<QByteArray> &names, int indent);
    void writeObject(const Members &members, const QVector<FieldFormat::Value> &values, int indent);

    const Members mInfo;
    const Members mSample;
    bool mEmpty = true;
};

// JSON output: one array of file objects, one object for each part of every track; or JSON
// Lines, the same objects compact, one a line.
#pragma once

#include "documentframe.h"
#include "fieldformat.h"
#include "trackwriter.h"

#include <QVector>

class JsonWriter : public TrackWriter
{
public:
    // Indented as QJsonDocument indents an array of objects, or an object a line, compact.
    enum Layout { Indented, Lines };

    JsonWriter(QIODevice *device, const CameraClock &clock, Layout layout = Indented);

    // The frame of a document of objects in the layout, file objects or other records.
    static DocumentFrame frame(Layout layout);
    // A recording as a track of its own in the layout, for the frame: the text that the writer
    // gives it, rendered apart so that a command can do so in a worker thread.
    static QByteArray record(Layout layout, const ExtractedRecording &recording, CameraClock clock);
    // The line that stands for a recording that could not be read in JSON Lines:
    // {"file":...,"error":{"code":...,"message":...}} and its line break.
    static QByteArray errorLine(const QString &file, const QByteArray &code,
                                const QString &message);

    // What opens and closes a record of the frame, an object at indent 4 in Indented; in Lines
    // the close ends the line.
    static QByteArray recordStart(Layout layout);
    static QByteArray recordEnd(Layout layout);
    // What comes before a member of an object at indent: the line break, the indent of its
    // members, the quoted name and the colon.
    static QByteArray memberStart(Layout layout, const QByteArray &name, int indent);
    // The line break and indent of a line at indent; nothing in Lines.
    static QByteArray lineBreak(Layout layout, int indent);

protected:
    void addPart(const ExtractedRecording &part) override;
    void endDocument() override;

private:
    struct Style;
    static const Style &style(Layout layout);
    static void appendPart(QByteArray &out, const Style &style, const ExtractedRecording &part,
                           CameraClock &clock);

    const Style &mStyle;
    const DocumentFrame mFrame;
    bool mEmpty = true;
};

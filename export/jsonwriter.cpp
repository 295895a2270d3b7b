// The document is written as QJsonDocument writes it, indented or compact, keys in its sorted
// order, without building a QJsonObject for every sample: those cost more than parsing the
// recording.
#include "jsonwriter.h"

#include "extractedrecording.h"

#include <algorithm>
#include <numeric>

namespace {

// An object's members in key order, each with its start, and the object's closing text.
struct Members
{
    Members(JsonWriter::Layout layout, const QVector<QByteArray> &names, int indent)
        : order(names.size())
        , end(JsonWriter::lineBreak(layout, indent) + '}')
    {
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](int a, int b) { return names[a] < names[b]; });
        for (const QByteArray &name : names)
            starts.append(JsonWriter::memberStart(layout, name, indent));
    }

    QVector<int> order;
    QVector<QByteArray> starts; // by field
    QByteArray end;
};

void appendObject(QByteArray &out, const Members &members,
                  const QVector<FieldFormat::Value> &values)
{
    out += '{';
    for (int i = 0; i < members.order.size(); ++i) {
        const int field = members.order.at(i);
        if (i > 0)
            out += ',';
        out += members.starts.at(field);
        FieldFormat::appendJsonValue(out, values.at(field));
    }
    out += members.end;
}

} // namespace

// The texts between a file object's values, made once for each layout.
struct JsonWriter::Style
{
    explicit Style(Layout layout)
        : info(layout, FieldFormat::infoFieldNames(), 8)
        , sample(layout, FieldFormat::sampleFieldNames(), 12)
        , file(recordStart(layout) + memberStart(layout, "file", 4))
        , infoStart(',' + memberStart(layout, "info", 4))
        , samplesStart(',' + memberStart(layout, "samples", 4) + '[')
        , sampleStart(lineBreak(layout, 12))
        , samplesEnd(lineBreak(layout, 8) + ']')
        , source(',' + memberStart(layout, "source", 4))
        , end(recordEnd(layout))
    { }

    const Members info;
    const Members sample;
    const QByteArray file;
    const QByteArray infoStart;
    const QByteArray samplesStart;
    const QByteArray sampleStart;
    const QByteArray samplesEnd;
    const QByteArray source;
    const QByteArray end;
};

JsonWriter::JsonWriter(QIODevice *device, const CameraClock &clock, Layout layout)
    : TrackWriter(device, clock)
    , mStyle(style(layout))
    , mFrame(frame(layout))
{
    mText += mFrame.begin;
}

DocumentFrame JsonWriter::frame(Layout layout)
{
    if (layout == Lines)
        return {};
    return {"[", ",", "\n]\n"};
}

QByteArray JsonWriter::record(Layout layout, const ExtractedRecording &recording, CameraClock clock)
{
    // As a track of its own: the clock starts a run, as TrackWriter::add has it do.
    clock.startRun();
    QByteArray text;
    appendPart(text, style(layout), recording, clock);
    return text;
}

QByteArray JsonWriter::errorLine(const QString &file, const QByteArray &code,
                                 const QString &message)
{
    QByteArray line = "{\"file\":";
    FieldFormat::appendJsonString(line, file.toUtf8());
    line += ",\"error\":{\"code\":";
    FieldFormat::appendJsonString(line, code);
    line += ",\"message\":";
    FieldFormat::appendJsonString(line, message.toUtf8());
    line += "}}\n";
    return line;
}

QByteArray JsonWriter::recordStart(Layout layout)
{
    return lineBreak(layout, 4) + '{';
}

QByteArray JsonWriter::recordEnd(Layout layout)
{
    return layout == Lines ? QByteArray("}\n") : lineBreak(layout, 4) + '}';
}

QByteArray JsonWriter::memberStart(Layout layout, const QByteArray &name, int indent)
{
    return lineBreak(layout, indent + 4) + '"' + name + (layout == Lines ? "\":" : "\": ");
}

QByteArray JsonWriter::lineBreak(Layout layout, int indent)
{
    return layout == Lines ? QByteArray() : '\n' + QByteArray(indent, ' ');
}

void JsonWriter::addPart(const ExtractedRecording &part)
{
    if (!mEmpty)
        mText += mFrame.separator;
    mEmpty = false;
    appendPart(mText, mStyle, part, mClock);
}

void JsonWriter::endDocument()
{
    mText += mFrame.end;
}

const JsonWriter::Style &JsonWriter::style(Layout layout)
{
    static const Style indented(Indented);
    static const Style lines(Lines);
    return layout == Lines ? lines : indented;
}

void JsonWriter::appendPart(QByteArray &out, const Style &style, const ExtractedRecording &part,
                            CameraClock &clock)
{
    out.reserve(out.size() + part.samples.size() * 600); // about 590 bytes a sample, indented
    out += style.file;
    FieldFormat::appendJsonString(out, part.file.toUtf8());
    out += style.infoStart;
    appendObject(out, style.info, FieldFormat::infoValues(part.info));
    out += style.samplesStart;
    for (int i = 0; i < part.samples.size(); ++i) {
        if (i > 0)
            out += ',';
        out += style.sampleStart;
        appendObject(out, style.sample, FieldFormat::sampleValues(part.samples.at(i), clock));
    }
    out += style.samplesEnd;
    out += style.source;
    FieldFormat::appendJsonString(out, FieldFormat::sourceName(part.source));
    out += style.end;
}

// The document is written as QJsonDocument indents it, keys in its sorted order, without
// building a QJsonObject for every sample: those cost more than parsing the recording.
#include "jsonwriter.h"

#include "extractedrecording.h"

#include <algorithm>
#include <numeric>

JsonWriter::JsonWriter(QIODevice *device, const CameraClock &clock)
    : TrackWriter(device, clock)
    , mInfo(members(FieldFormat::infoFieldNames(), 8))
    , mSample(members(FieldFormat::sampleFieldNames(), 12))
{
    mText += "[\n";
}

JsonWriter::Members JsonWriter::members(const QVector<QByteArray> &names, int indent)
{
    Members result;
    result.order.resize(names.size());
    std::iota(result.order.begin(), result.order.end(), 0);
    std::sort(result.order.begin(), result.order.end(),
              [&](int a, int b) { return names[a] < names[b]; });
    for (const QByteArray &name : names)
        result.starts.append(QByteArray(indent + 4, ' ') + '"' + name + "\": ");
    return result;
}

void JsonWriter::addPart(const ExtractedRecording &part)
{
    mText.reserve(mText.size() + part.samples.size() * 600); // about 590 bytes a sample
    mText += mEmpty ? "    {\n        \"file\": " : ",\n    {\n        \"file\": ";
    mEmpty = false;
    FieldFormat::appendJsonString(mText, part.file.toUtf8());
    mText += ",\n        \"info\": ";
    writeObject(mInfo, FieldFormat::infoValues(part.info), 8);
    mText += ",\n        \"samples\": [\n";
    for (int i = 0; i < part.samples.size(); ++i) {
        mText += "            ";
        writeObject(mSample, FieldFormat::sampleValues(part.samples.at(i), mClock), 12);
        mText += i + 1 < part.samples.size() ? ",\n" : "\n";
    }
    mText += "        ],\n        \"source\": ";
    FieldFormat::appendJsonString(mText, FieldFormat::sourceName(part.source));
    mText += "\n    }";
}

void JsonWriter::endDocument()
{
    mText += mEmpty ? "]\n" : "\n]\n";
}

void JsonWriter::writeObject(const Members &members, const QVector<FieldFormat::Value> &values,
                             int indent)
{
    mText += "{\n";
    for (int i = 0; i < members.order.size(); ++i) {
        const int field = members.order.at(i);
        mText += members.starts.at(field);
        FieldFormat::appendJsonValue(mText, values.at(field));
        mText += i + 1 < members.order.size() ? ",\n" : "\n";
    }
    mText.append(indent, ' ');
    mText += '}';
}

// Builds each file's object from the shared field list and prints the document at the end.
#include "jsonwriter.h"

#include "extractedrecording.h"
#include "fieldformat.h"

#include <QIODevice>
#include <QJsonDocument>

void JsonWriter::add(const ExtractedRecording &recording)
{
    QJsonArray samples;
    for (const GpsData &sample : recording.samples) {
        QJsonObject object;
        for (const auto &field : FieldFormat::sampleFields(sample))
            object.insert(field.first, field.second);
        samples.append(object);
    }
    mFiles.append(QJsonObject{
            {QStringLiteral("file"), recording.file},
            {QStringLiteral("info"), FieldFormat::infoObject(recording.info)},
            {QStringLiteral("source"), FieldFormat::sourceName(recording.source)},
            {QStringLiteral("samples"), samples},
    });
}

void JsonWriter::finish()
{
    mDevice->write(QJsonDocument(mFiles).toJson(QJsonDocument::Indented));
}

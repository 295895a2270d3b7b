// Rows follow RFC 4180: CRLF line ends, and a cell with a comma, quote or line break is quoted.
#include "csvwriter.h"

#include "extractedrecording.h"
#include "fieldformat.h"

CsvWriter::CsvWriter(QIODevice *device, const CameraClock &clock)
    : TrackWriter(device, clock)
{
    mText += "file";
    for (const QByteArray &name : FieldFormat::sampleFieldNames())
        mText += ',' + name;
    mText += "\r\n";
}

void CsvWriter::addPart(const ExtractedRecording &part)
{
    const QByteArray file = part.file.toUtf8();
    mText.reserve(mText.size() + part.samples.size() * (file.size() + 150));
    for (const GpsData &sample : part.samples) {
        writeCell(file);
        for (const FieldFormat::Value &value : FieldFormat::sampleValues(sample, mClock)) {
            mText += ',';
            if (value.type == FieldFormat::Value::Number)
                FieldFormat::appendNumber(mText, value.number);
            else
                writeCell(value.text);
        }
        mText += "\r\n";
    }
}

void CsvWriter::writeCell(const QByteArray &text)
{
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n')
        && !text.contains('\r')) {
        mText += text;
        return;
    }
    QByteArray quoted = text;
    quoted.replace('"', "\"\"");
    mText += '"' + quoted + '"';
}

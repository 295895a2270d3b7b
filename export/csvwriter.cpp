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
        FieldFormat::appendCsvCell(mText, file);
        for (const FieldFormat::Value &value : FieldFormat::sampleValues(sample, mClock)) {
            mText += ',';
            FieldFormat::appendCsvValue(mText, value);
        }
        mText += "\r\n";
    }
}

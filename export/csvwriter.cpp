// Rows follow RFC 4180: CRLF line ends, and a cell with a comma, quote or line break is quoted.
#include "csvwriter.h"

#include "extractedrecording.h"
#include "fieldformat.h"

#include <QIODevice>

static QString csvCell(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

CsvWriter::CsvWriter(QIODevice *device)
    : RecordingWriter(device)
{
    writeRow(QStringList(QStringLiteral("file")) + FieldFormat::sampleFieldNames());
}

void CsvWriter::add(const ExtractedRecording &recording)
{
    for (const GpsData &sample : recording.samples) {
        QStringList cells(recording.file);
        for (const auto &field : FieldFormat::sampleFields(sample)) {
            cells.append(field.second.isString() ? field.second.toString()
                                                 : FieldFormat::numberText(field.second));
        }
        writeRow(cells);
    }
}

void CsvWriter::finish() { }

void CsvWriter::writeRow(const QStringList &cells)
{
    QStringList line;
    line.reserve(cells.size());
    for (const QString &cell : cells)
        line.append(csvCell(cell));
    mDevice->write(line.join(QLatin1Char(',')).toUtf8() + "\r\n");
}

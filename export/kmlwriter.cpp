// A gx:Track lists all its times first and then all its coordinates, pairing them by position.
#include "kmlwriter.h"

#include "extractedrecording.h"
#include "fieldformat.h"

static const QString KmlNamespace = QStringLiteral("http://www.opengis.net/kml/2.2");
static const QString ExtNamespace = QStringLiteral("http://www.google.com/kml/ext/2.2");

KmlWriter::KmlWriter(QIODevice *device)
    : RecordingWriter(device)
    , mXml(device)
{
    mXml.setAutoFormatting(true);
    mXml.writeStartDocument();
    mXml.writeDefaultNamespace(KmlNamespace);
    mXml.writeNamespace(ExtNamespace, QStringLiteral("gx"));
    mXml.writeStartElement(KmlNamespace, QStringLiteral("kml"));
    mXml.writeStartElement(KmlNamespace, QStringLiteral("Document"));
}

void KmlWriter::add(const ExtractedRecording &recording)
{
    // Every coordinate needs its time, so a point whose stored time does not parse is left out.
    QStringList whens;
    QStringList coords;
    for (const GpsData &sample : recording.samples) {
        const QString time = FieldFormat::sampleTime(sample);
        if (!FieldFormat::isTrackPoint(sample) || time.isEmpty())
            continue;
        whens.append(time);
        coords.append(FieldFormat::decimalText(sample.longitude) + QLatin1Char(' ')
                      + FieldFormat::decimalText(sample.latitude) + QLatin1String(" 0"));
    }

    mXml.writeStartElement(KmlNamespace, QStringLiteral("Placemark"));
    mXml.writeTextElement(KmlNamespace, QStringLiteral("name"),
                          FieldFormat::xmlText(recording.file));
    mXml.writeStartElement(ExtNamespace, QStringLiteral("Track"));
    for (const QString &when : qAsConst(whens))
        mXml.writeTextElement(KmlNamespace, QStringLiteral("when"), when);
    for (const QString &coord : qAsConst(coords))
        mXml.writeTextElement(ExtNamespace, QStringLiteral("coord"), coord);
    mXml.writeEndElement(); // gx:Track
    mXml.writeEndElement(); // Placemark
}

void KmlWriter::finish()
{
    mXml.writeEndDocument();
}

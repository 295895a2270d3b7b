// RIFF walk of AVI files: main header information, then the "GPSL" block or the audio chunks.
#include "aviparser.h"

#include <QtEndian>

#include <climits>

AVIParser::AVIParser(const QString &fileName, QObject *parent)
    : ParserObject(fileName, parent)
{
    parse();
}

AVIParser::AVIParser(const QByteArray &contents, QObject *parent)
    : ParserObject(contents, parent)
{
    parse();
}

void AVIParser::parse()
{
    if (readFourCC(0) != "RIFF" || readU32LE(4) == 0 || readFourCC(8) != "AVI ")
        return;
    findMainHeader();
    if (!findGpsList())
        findAudioChunks();
}

void AVIParser::findMainHeader()
{
    qint64 position = 12;
    // Rounds of 12 bytes that do not start with "LIST" lead nowhere, so the search skips them.
    while ((position = findFourCC(position, "LIST", 12)) >= 0) {
        const quint32 size = readU32LE(position + 4);
        const QByteArray type = readFourCC(position + 8);
        position += 12;
        if (size == 0 || type != "hdrl")
            continue;
        const QByteArray headerId = readFourCC(position);
        const quint32 headerSize = readU32LE(position + 4);
        position += 8;
        if (headerId != "avih" || headerSize == 0)
            continue;
        // A header shorter than the fields it should hold reads as zeros past its end.
        uchar header[56] = {};
        readAt(position, reinterpret_cast<char *>(header), qMin<qint64>(headerSize, 56));
        const quint64 microsecondsPerFrame = qFromLittleEndian<quint32>(header);
        const quint64 totalFrames = qFromLittleEndian<quint32>(header + 16);
        mWidth = qint32(qFromLittleEndian<quint32>(header + 32));
        mHeight = qint32(qFromLittleEndian<quint32>(header + 36));
        mDuration = int(qMin<quint64>(microsecondsPerFrame * totalFrames / 1000000, INT_MAX));
        break;
    }
}

bool AVIParser::findGpsList()
{
    const quint32 tail = readU32BE(fileSize() - 4);
    if (tail >= fileSize() || readFourCC(tail) != "GPSL")
        return false;
    mSampleCount = readU32BE(qint64(tail) + 4);
    mSampleTableOffset = qint64(tail) + 8;
    mSampleSource = AviGpsList;
    limitSampleCount(mSampleTableOffset, RecordSize);
    return true;
}

void AVIParser::findAudioChunks()
{
    qint64 position = 12;
    quint32 listSize = 0;
    bool found = false;
    // Chunks start on even offsets, and a header list whose stream format is 18 bytes long puts
    // the movie list at 2 modulo 4, so every even offset is looked at.
    while ((position = findFourCC(position, "LIST", 2)) >= 0) {
        listSize = readU32LE(position + 4);
        found = readFourCC(position + 8) == "movi";
        position += 12;
        if (found)
            break;
    }
    // Offsets in the movie list are 32-bit; a list that starts beyond them cannot be addressed.
    if (!found || listSize <= 4 || position > 0xFFFFFFFF)
        return;
    const quint32 count = countAudioChunks(quint32(position), listSize);
    if (count == 0)
        return;
    mSampleSource = AviAudioChunk;
    mSampleCount = count;
    mSampleTableOffset = position;
}

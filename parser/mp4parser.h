// Parser of MP4 and MOV recordings: walks the box tree once for the file information and records.
#pragma once

#include "parserobject.h"

#include <cstring>

class Mp4Parser : public ParserObject
{
    Q_OBJECT

public:
    explicit Mp4Parser(const QString &fileName, QObject *parent = nullptr);
    explicit Mp4Parser(const QByteArray &contents, QObject *parent = nullptr);

private:
    void parse();
    struct BoxHeader
    {
        quint64 size = 0;
        qint64 payloadStart = 0;
        qint64 payloadSize = 0;
        char type[4] = {};
        bool valid = true; // false for a size that cannot hold its own header

        // Every name looked for has four characters and no NUL, so comparing the four bytes is
        // comparing the type's text up to its first NUL.
        bool is(const char *name) const { return std::memcmp(type, name, 4) == 0; }
    };
    struct MediaState
    {
        int handlerKind = 0;
        QByteArray handlerName;
        qint64 chunkTableOffset = 0;
        quint32 chunkCount = 0;
    };

    BoxHeader readBoxHeader(qint64 position);
    void walkMovie(const BoxHeader &moov);
    void walkTrack(const BoxHeader &trak);
    int walkMedia(const BoxHeader &mdia);
    void walkSampleTable(const BoxHeader &stbl, MediaState &media);
    void readMovieHeader(qint64 payload);
    void readHandler(const BoxHeader &hdlr, MediaState &media);
    void readSampleSizes(qint64 payload);
    void chooseSampleSource(const MediaState &media);

    // Visits the children of a box (or of the whole file for the top level) in order; the
    // visitor returns the position where the walk goes on.
    template<typename Visitor>
    void walkChildren(qint64 begin, qint64 length, Visitor visit);

    int mCodecOfEntry = 0;
    float mFrameRateOfTable = 0.0f;
    quint32 mMovieTimescale = 0;
    quint32 mMovieDuration = 0;
};

// Box walk of MP4 and MOV files: the main video track's information and the telemetry's place.
#include "mp4parser.h"

#include <QDebug>

#include <cstring>
#include <limits>

namespace {

enum HandlerKind { NoHandler = 0, Video = 1, Sound = 2, Text = 3, Meta = 4, Other = 5 };

// Names longer than this are not handler names a camera writes; the cap keeps a damaged size
// from allocating without bound.
constexpr qint64 MaxHandlerName = 64 * 1024;

// Where a sound track's first chunk may carry the telemetry marker, tried in this order.
constexpr quint32 MarkerCandidates[] = {0x10004, 0x20004, 0x40004};

int clampToInt(double value)
{
    if (!(value >= 0)) // also catches NaN
        return 0;
    return value >= std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : int(value);
}

int handlerKindOf(const QByteArray &type)
{
    static const char *const kinds[] = {"vide", "soun", "text", "meta"};
    for (int k = 0; k < 4; ++k) {
        if (qstricmp(type.constData(), kinds[k]) == 0)
            return k + 1;
    }
    return Other;
}

} // namespace

Mp4Parser::Mp4Parser(const QString &fileName, QObject *parent)
    : ParserObject(fileName, parent)
{
    parse();
}

Mp4Parser::Mp4Parser(const QByteArray &contents, QObject *parent)
    : ParserObject(contents, parent)
{
    parse();
}

void Mp4Parser::parse()
{
    walkChildren(0, fileSize(), [this](const BoxHeader &box) {
        if (box.is("moov")) {
            walkMovie(box);
        } else if (box.is("gps0")) {
            mSampleCount = quint32(qMin<qint64>(box.payloadSize / 311, 0xFFFFFFFF));
            mSampleTableOffset = box.payloadStart;
            mSampleSource = Gps0Box;
            limitSampleCount(mSampleTableOffset, 311);
        }
    });

    qDebug() << "fileName:" << mFile.fileName();
    qDebug() << "videoInfo:" << mWidth << mHeight << mDuration << mSampleCount;
    qDebug() << "videoDecode: " << mVideoCodec;
}

Mp4Parser::BoxHeader Mp4Parser::readBoxHeader(qint64 position)
{
    // The 64-bit size is read only where it is there: reading 16 bytes for every header would
    // step back 8 bytes behind an empty box, which the read-ahead takes for a jump.
    uchar bytes[16];
    readAt(position, reinterpret_cast<char *>(bytes), 8);
    BoxHeader box;
    const quint32 size = qFromBigEndian<quint32>(bytes);
    std::memcpy(box.type, bytes + 4, sizeof box.type);
    box.payloadStart = position + 8;
    if (size == 1) {
        readAt(position + 8, reinterpret_cast<char *>(bytes + 8), 8);
        box.size = qFromBigEndian<quint64>(bytes + 8);
        box.payloadStart = position + 16;
        box.valid = box.size >= 16;
        // Far beyond any file, but small enough that position arithmetic cannot overflow.
        box.payloadSize = qint64(qMin<quint64>(box.size - 16, quint64(1) << 62));
    } else {
        box.size = size;
        box.valid = size == 0 || size >= 8;
        box.payloadSize = qint64(size) - 8;
    }
    return box;
}

template<typename Visitor>
void Mp4Parser::walkChildren(qint64 begin, qint64 length, Visitor visit)
{
    qint64 position = begin;
    while (position - begin < length && position < fileSize()) {
        const BoxHeader box = readBoxHeader(position);
        // A size too small for its own header would move the walk backwards or keep it in
        // place; nothing after it in this box can be trusted.
        if (!box.valid)
            return;
        if (box.size == 0) {
            position += 8;
            continue;
        }
        visit(box);
        position = box.payloadStart + box.payloadSize;
    }
}

void Mp4Parser::walkMovie(const BoxHeader &moov)
{
    walkChildren(moov.payloadStart, moov.payloadSize, [this](const BoxHeader &box) {
        if (box.is("trak")) {
            walkTrack(box);
        } else if (box.is("mvhd")) {
            readMovieHeader(box.payloadStart);
        } else if (box.is("gps ")) {
            mSampleCount = readU32BE(box.payloadStart + 4);
            mSampleTableOffset = box.payloadStart + 8;
            mSampleSource = GpsBox;
            limitSampleCount(mSampleTableOffset, 8);
        }
    });
}

void Mp4Parser::readMovieHeader(qint64 payload)
{
    mMovieTimescale = readU32BE(payload + 12);
    mMovieDuration = readU32BE(payload + 16);
    mDuration = mMovieTimescale == 0
                        ? 0
                        : clampToInt(float(mMovieDuration) / float(mMovieTimescale) + 0.5);
}

void Mp4Parser::walkTrack(const BoxHeader &trak)
{
    int handlerKind = NoHandler;
    int trackWidth = 0;
    int trackHeight = 0;
    quint32 trackCreation = 0;
    walkChildren(trak.payloadStart, trak.payloadSize, [&](const BoxHeader &box) {
        if (box.is("mdia")) {
            handlerKind = walkMedia(box);
        } else if (box.is("tkhd")) {
            trackCreation = readU32BE(box.payloadStart + 4);
            trackWidth = int(readU32BE(box.payloadStart + 76) >> 16);
            trackHeight = int(readU32BE(box.payloadStart + 80) >> 16);
        }
    });

    // Among equally wide video tracks the first one stays the main track.
    if (handlerKind == Video && trackWidth > mWidth) {
        mWidth = trackWidth;
        mHeight = trackHeight;
        mVideoCodec = mCodecOfEntry;
        mFrameRate = mFrameRateOfTable;
        mCreationTime = QDateTime(QDate(1904, 1, 1), QTime(0, 0), Qt::LocalTime)
                                .addSecs(qint64(trackCreation));
    }
}

int Mp4Parser::walkMedia(const BoxHeader &mdia)
{
    MediaState media;
    walkChildren(mdia.payloadStart, mdia.payloadSize, [&](const BoxHeader &box) {
        if (box.is("hdlr")) {
            readHandler(box, media);
        } else if (box.is("minf")) {
            walkChildren(box.payloadStart, box.payloadSize, [&](const BoxHeader &child) {
                if (child.is("stbl"))
                    walkSampleTable(child, media);
            });
        }
    });
    chooseSampleSource(media);
    return media.handlerKind;
}

void Mp4Parser::readHandler(const BoxHeader &hdlr, MediaState &media)
{
    media.handlerKind = handlerKindOf(readFourCC(hdlr.payloadStart + 8));
    const qint64 nameLength = qBound<qint64>(0, hdlr.payloadSize - 24, MaxHandlerName);
    QByteArray name(int(nameLength), Qt::Uninitialized);
    readAt(hdlr.payloadStart + 24, name.data(), nameLength);
    media.handlerName
            = QByteArray(name.constData(), int(qstrnlen(name.constData(), uint(nameLength))));
}

void Mp4Parser::walkSampleTable(const BoxHeader &stbl, MediaState &media)
{
    walkChildren(stbl.payloadStart, stbl.payloadSize, [&](const BoxHeader &box) {
        if (box.is("stco")) {
            media.chunkCount = readU32BE(box.payloadStart + 4);
            media.chunkTableOffset = box.payloadStart + 8;
        } else if (box.is("stsd")) {
            // Version, flags and entry count are all zero as cameras write them, so they read as
            // a header of size 0 that the walk passes over before the sample entries.
            walkChildren(box.payloadStart, box.payloadSize, [this](const BoxHeader &entry) {
                if (entry.is("avc1"))
                    mCodecOfEntry = 1;
                else if (entry.is("hvc1"))
                    mCodecOfEntry = 2;
            });
        } else if (box.is("stsz")) {
            readSampleSizes(box.payloadStart);
        }
    });
}

void Mp4Parser::readSampleSizes(qint64 payload)
{
    const qint32 count = qint32(readU32BE(payload + 8));
    if (count <= 0)
        return;
    if (mMovieDuration == 0) {
        // No movie header yet (or a zero duration): there is no rate to compute.
        mFrameRateOfTable = 0.0f;
        return;
    }
    const float rate = float(double(count) * mMovieTimescale / mMovieDuration);
    mFrameRateOfTable = QString::number(rate, 'f', 1).toFloat();
}

void Mp4Parser::chooseSampleSource(const MediaState &media)
{
    const QString name = QString::fromLatin1(media.handlerName);
    SampleSource source = None;
    quint32 marker = 0;
    if (name.contains(QLatin1String("Ambarella EXT"), Qt::CaseInsensitive)) {
        source = ExtTrack;
    } else if (name.contains(QLatin1String("gps"), Qt::CaseInsensitive)
               && media.handlerKind == Meta) {
        source = GpsMetaTrack;
    } else if (media.handlerKind == Sound) {
        const quint32 firstChunk = readU32BE(media.chunkTableOffset);
        for (const quint32 candidate : MarkerCandidates) {
            char bytes[8];
            readAt(quint32(firstChunk + candidate), bytes, sizeof bytes);
            if (std::memcmp(bytes, "freeGPS", 7) == 0) {
                source = SoundTrack;
                marker = candidate;
                break;
            }
        }
    }
    if (source == None)
        return;
    mSampleSource = source;
    mMarkerOffset = marker;
    mSampleTableOffset = media.chunkTableOffset;
    mSampleCount = media.chunkCount;
    limitSampleCount(mSampleTableOffset, 4);
}

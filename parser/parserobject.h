// Common base of the container parsers: owns the file, the file information and the sample reader.
#pragma once

#include "gpsdata.h"
#include "videoinfo.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QVector>
#include <QtEndian>

#include <functional>

class ParserObject : public QObject
{
    Q_OBJECT

public:
    // Where the 312-byte sample records of a file are; the value 5 is not used.
    enum SampleSource : qint32 {
        None = 0,
        ExtTrack = 1,
        GpsBox = 2,
        SoundTrack = 3,
        Gps0Box = 4,
        GpsMetaTrack = 6,
        AviGpsList = 7,
        AviAudioChunk = 8,
    };
    Q_ENUM(SampleSource)

    static constexpr int RecordSize = 312;
    static constexpr quint8 ScrambleKey = 0x5C;

    explicit ParserObject(const QString &fileName, QObject *parent = nullptr);
    // Serves the recording from contents instead of a file, for callers that already hold its
    // bytes; contents is shared, not copied, so a raw-data array must outlive the parser.
    explicit ParserObject(const QByteArray &contents, QObject *parent = nullptr);
    ~ParserObject() override;

    bool isOpen() const { return mInMemory || mFile.isOpen(); }
    int width() const { return mWidth; }
    int height() const { return mHeight; }
    int duration() const { return mDuration; }
    float frameRate() const { return mFrameRate; }
    QDateTime creationTime() const { return mCreationTime; }
    int videoCodec() const { return mVideoCodec; }
    VideoInfo videoInfo() const;
    SampleSource sampleSource() const { return mSampleSource; }
    quint32 sampleCount() const { return mSampleCount; }
    // Bytes delivered by the file so far; lets benchmarks show that payloads are never read.
    qint64 bytesRead() const { return mBytesRead; }

    // Fills data with sample i (data is cleared first). Samples must be read in increasing order
    // for the heading to be right, since it is computed from the previously decoded position.
    bool readSample(int i, GpsData &data);

    // Rhumb-line course in degrees [0, 360] from the first position to the second.
    static double courseBetween(double lon1, double lat1, double lon2, double lat2);

protected:
    qint64 fileSize() const { return mFileSize; }

    // Positioned reads: whatever lies beyond the end of the file (or of a file that could not be
    // opened) reads as zero bytes, so callers never see a short read.
    void readAt(qint64 pos, char *buffer, qint64 length);
    template<typename T, bool BigEndian>
    T readNumber(qint64 pos)
    {
        uchar bytes[sizeof(T)];
        readAt(pos, reinterpret_cast<char *>(bytes), sizeof bytes);
        return BigEndian ? qFromBigEndian<T>(bytes) : qFromLittleEndian<T>(bytes);
    }
    quint32 readU32BE(qint64 pos) { return readNumber<quint32, true>(pos); }
    quint64 readU64BE(qint64 pos) { return readNumber<quint64, true>(pos); }
    quint32 readU32LE(qint64 pos) { return readNumber<quint32, false>(pos); }
    // Four characters as a type or chunk identifier, ending at the first NUL.
    QByteArray readFourCC(qint64 pos);
    // The first position from, from + step, from + 2 step, ... where the file holds the four
    // characters fourCC (which contain no NUL); -1 when there is none.
    qint64 findFourCC(qint64 from, const char *fourCC, qint64 step);

    // Limits mSampleCount to the items (table entries or records, stride bytes apart from
    // firstItem) whose first byte lies inside the file, so a damaged count cannot make a reader
    // run far past the data.
    void limitSampleCount(qint64 firstItem, qint64 stride);

    // Counts the "01wb" chunks of an AVI movie list that starts at start (right after its
    // "movi" type) and holds listSize bytes, remembering their positions for readSample.
    quint32 countAudioChunks(quint32 start, quint64 listSize);

    QFile mFile;
    SampleSource mSampleSource = None;
    int mWidth = 0;
    int mHeight = 0;
    int mVideoCodec = 0;
    int mDuration = 0;
    float mFrameRate = 0.0f;
    QDateTime mCreationTime;
    qint64 mSampleTableOffset = 0;
    quint32 mSampleCount = 0;
    quint32 mMarkerOffset = 0;

private:
    qint64 readFromFile(qint64 pos, char *buffer, qint64 length);
    // Walks movie-list chunks from start, counting "01wb" chunks, until listSize bytes are
    // consumed, maxAudioChunks were counted, the end of the file, or a chunk size that would
    // wrap the 32-bit position. nextPosition receives where the walk stopped.
    quint32 walkMovieList(quint32 start, quint64 listSize, quint32 maxAudioChunks,
                          quint32 *nextPosition, const std::function<void(quint32)> &onAudioChunk);
    bool locateRecord(quint32 i, qint64 *position);
    bool locateAudioChunkRecord(quint32 i, qint64 *position);
    void decodeSample(const char *record, GpsData &data);

    QByteArray mContents;
    bool mInMemory = false;
    qint64 mFileSize = 0;
    qint64 mBytesRead = 0;
    QByteArray mWindow;
    qint64 mWindowPos = 0;
    qint64 mLastReadEnd = 0;

    QVector<quint32> mAudioChunks;
    quint32 mAudioCursorPos = 0;
    quint32 mAudioCursorCount = 0;

    int mLastIndex = 0;
    double mLastLongitude = 0.0;
    double mLastLatitude = 0.0;
    double mLastHeading = 0.0;
};

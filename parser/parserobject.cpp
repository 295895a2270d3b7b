// Reading, unscrambling and decoding of the 312-byte telemetry records, shared by both containers.
#include "parserobject.h"

#include "fieldscan.h"

#include <QDebug>
#include <QFileInfo>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

constexpr qint64 ReadAheadBlock = 64 * 1024;
// A read that starts less than this after the end of the previous one counts as sequential.
constexpr qint64 NearStep = 512;
constexpr int MaxRememberedChunks = 1 << 20;

// An audio chunk carries its record this far after the chunk's identifier (8 bytes of chunk
// header, then 0xFFFA bytes of sound).
constexpr quint32 AudioChunkRecordOffset = 8 + 0xFFFA;

// Offsets of the fields inside an unscrambled record.
enum RecordField {
    DateTimeField = 8,
    AuxTextField = 22,
    FixFlagField = 37,
    LatitudeRefField = 38,
    LatitudeField = 39,
    LongitudeRefField = 47,
    LongitudeField = 48,
    AuxValueField = 57,
    SpeedField = 62,
    GsensorField = 173,
};

// "%2d%6d" for a latitude, "%3d%6d" for a longitude: degrees, then minutes times 10000.
double degreesFromField(const char *text, int degreeDigits)
{
    int degrees = 0;
    int minutes = 0;
    if (FieldScan::decimal(text, degreeDigits, &degrees))
        FieldScan::decimal(text, 6, &minutes);
    return degrees + minutes / 10000.0 / 60.0;
}

int intFromField(const char *text, int width)
{
    int value = 0;
    FieldScan::decimal(text, width, &value);
    return value;
}

float gsensorFromGroup(const char *group)
{
    const char sign = group[0];
    if (sign != '+' && sign != '-') {
        qDebug() << "gsensor data error";
        return 0.0f;
    }
    // "%1d%2d" of the rest of the group.
    const char *text = group + 1;
    int units = 0;
    int hundredths = 0;
    if (FieldScan::decimal(text, 1, &units))
        FieldScan::decimal(text, 2, &hundredths);
    const float value = units + hundredths / 100.0f;
    return sign == '-' ? -value : value;
}

// The first offset below last where bytes holds fourCC and skew + offset is a multiple of step;
// -1 when there is none. The four bytes at an offset below last must all be readable.
qint64 findOnStep(const char *bytes, qint64 last, const char *fourCC, qint64 skew, qint64 step)
{
    for (qint64 offset = 0; offset < last; ++offset) {
        const void *hit = std::memchr(bytes + offset, fourCC[0], size_t(last - offset));
        if (!hit)
            return -1;
        offset = static_cast<const char *>(hit) - bytes;
        if ((skew + offset) % step == 0 && std::memcmp(hit, fourCC, 4) == 0)
            return offset;
    }
    return -1;
}

} // namespace

ParserObject::ParserObject(const QString &fileName, QObject *parent)
    : QObject(parent)
    , mFile(fileName)
{
    // Unbuffered: every read is positioned and small, so a buffer would only read bytes (often
    // video payload) that are never looked at.
    // Only regular files: opening a named pipe would block the reader until someone writes.
    if (QFileInfo(fileName).isFile() && mFile.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        mFileSize = mFile.size();
    } else {
        qDebug() << "Mp4Parser open file error, file:" << fileName;
    }
}

ParserObject::ParserObject(const QByteArray &contents, QObject *parent)
    : QObject(parent)
    , mContents(contents)
    , mInMemory(true)
    , mFileSize(contents.size())
{ }

ParserObject::~ParserObject()
{
    if (mFile.isOpen())
        mFile.close();
}

VideoInfo ParserObject::videoInfo() const
{
    VideoInfo info;
    info.width = mWidth;
    info.height = mHeight;
    info.duration = mDuration;
    info.frameRate = mFrameRate;
    info.creationTime = mCreationTime;
    info.videoCodec = mVideoCodec;
    return info;
}

void ParserObject::readAt(qint64 pos, char *buffer, qint64 length)
{
    if (length <= 0)
        return;
    if (mInMemory) {
        // Already in memory: a read-ahead window would only copy the bytes twice.
        const qint64 inside = pos >= 0 && pos < mFileSize ? qMin(length, mFileSize - pos) : 0;
        if (inside > 0)
            std::memcpy(buffer, mContents.constData() + pos, size_t(inside));
        std::memset(buffer + inside, 0, size_t(length - inside));
        mBytesRead += inside;
        return;
    }
    std::memset(buffer, 0, size_t(length));
    if (pos < 0 || pos >= mFileSize)
        return;
    length = qMin(length, mFileSize - pos);
    const qint64 step = pos - mLastReadEnd;
    mLastReadEnd = pos + length;
    const auto inWindow
            = [&] { return pos >= mWindowPos && pos + length <= mWindowPos + mWindow.size(); };
    // Small reads that closely follow each other (a byte scan, a run of empty boxes in a damaged
    // file, packed records) are served from one large read; reads that jump, such as chunk
    // headers a frame apart, go to the file directly, so no video payload is read.
    if (!inWindow() && length < ReadAheadBlock && step >= 0 && step < NearStep) {
        mWindowPos = pos;
        mWindow.resize(int(qMin(ReadAheadBlock, mFileSize - pos)));
        mWindow.resize(int(qMax<qint64>(0, readFromFile(pos, mWindow.data(), mWindow.size()))));
        mBytesRead += mWindow.size();
    }
    if (inWindow()) {
        std::memcpy(buffer, mWindow.constData() + (pos - mWindowPos), size_t(length));
        return;
    }
    const qint64 got = readFromFile(pos, buffer, length);
    if (got > 0)
        mBytesRead += got;
}

qint64 ParserObject::readFromFile(qint64 pos, char *buffer, qint64 length)
{
#ifdef Q_OS_UNIX
    // One system call per read: a movie-list walk makes one small read per chunk, and a seek
    // followed by a read doubles its cost.
    qint64 total = 0;
    while (total < length) {
        const ssize_t got = ::pread(mFile.handle(), buffer + total, size_t(length - total),
                                    off_t(pos + total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += got;
    }
    return total;
#else
    return mFile.seek(pos) ? mFile.read(buffer, length) : 0;
#endif
}

QByteArray ParserObject::readFourCC(qint64 pos)
{
    char bytes[4];
    readAt(pos, bytes, sizeof bytes);
    return QByteArray(bytes, int(qstrnlen(bytes, sizeof bytes)));
}

qint64 ParserObject::findFourCC(qint64 from, const char *fourCC, qint64 step)
{
    if (from < 0 || from >= mFileSize)
        return -1;
    if (mInMemory) {
        const qint64 offset
                = findOnStep(mContents.constData() + from, mFileSize - from - 3, fourCC, 0, step);
        return offset < 0 ? -1 : from + offset;
    }
    // A damaged file can lack what is searched for; reading it a block at a time instead of
    // four bytes per step keeps such a scan from costing a read every few bytes. Blocks start
    // small and grow, as what is searched for usually lies near.
    qint64 block = 512;
    QByteArray bytes;
    for (qint64 start = from; start < mFileSize;
         start += block, block = qMin(block * 2, ReadAheadBlock)) {
        // Three bytes more, so that a match across the end of the block is seen whole.
        bytes.resize(int(qMin(block + 3, mFileSize - start)));
        readAt(start, bytes.data(), bytes.size());
        const qint64 offset = findOnStep(bytes.constData(), qMin<qint64>(block, bytes.size() - 3),
                                         fourCC, start - from, step);
        if (offset >= 0)
            return start + offset;
    }
    return -1;
}

void ParserObject::limitSampleCount(qint64 firstItem, qint64 stride)
{
    if (firstItem >= mFileSize) {
        mSampleCount = 0;
        return;
    }
    const qint64 fitting = (mFileSize - firstItem + stride - 1) / stride;
    if (fitting < qint64(mSampleCount))
        mSampleCount = quint32(fitting);
}

quint32 ParserObject::walkMovieList(quint32 start, quint64 listSize, quint32 maxAudioChunks,
                                    quint32 *nextPosition,
                                    const std::function<void(quint32)> &onAudioChunk)
{
    quint32 pos = start;
    quint64 consumed = 4; // the list's "movi" type
    quint32 count = 0;
    while (consumed < listSize && count < maxAudioChunks && qint64(pos) < mFileSize) {
        char header[8];
        readAt(pos, header, sizeof header);
        const bool audio = std::memcmp(header, "01wb", 4) == 0;
        quint64 size = qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(header + 4));
        if (audio) {
            ++count;
            onAudioChunk(pos);
        } else {
            size += size & 1; // other chunks are padded to an even length
        }
        const quint64 advance = 8 + size;
        if (pos + advance > 0xFFFFFFFFu) {
            // The next position would wrap the 32-bit offset back to the start of the file.
            pos = 0xFFFFFFFFu;
            break;
        }
        pos += quint32(advance);
        consumed += advance;
    }
    if (nextPosition)
        *nextPosition = pos;
    return count;
}

quint32 ParserObject::countAudioChunks(quint32 start, quint64 listSize)
{
    // Remember where the chunks are so that reading the samples costs no second walk; only a
    // damaged file of tiny chunks has more than this, and those are found again by walking.
    mAudioChunks.clear();
    return walkMovieList(start, listSize, 0xFFFFFFFFu, nullptr, [this](quint32 chunk) {
        if (mAudioChunks.size() < MaxRememberedChunks)
            mAudioChunks.append(chunk);
    });
}

bool ParserObject::locateAudioChunkRecord(quint32 i, qint64 *position)
{
    quint32 chunk = 0;
    if (i < quint32(mAudioChunks.size())) {
        chunk = mAudioChunks.at(int(i));
    } else {
        // Samples are read in order, so the walk resumes where the previous one stopped.
        if (i < mAudioCursorCount || mAudioCursorCount == 0) {
            mAudioCursorPos = quint32(mSampleTableOffset);
            mAudioCursorCount = 0;
        }
        const quint32 wanted = i + 1 - mAudioCursorCount;
        const quint32 found = walkMovieList(mAudioCursorPos, ~quint64(0), wanted, &mAudioCursorPos,
                                            [&chunk](quint32 c) { chunk = c; });
        mAudioCursorCount += found;
        if (found != wanted)
            return false;
    }
    *position = quint32(chunk + AudioChunkRecordOffset);
    return true;
}

bool ParserObject::locateRecord(quint32 i, qint64 *position)
{
    // Table entries are addressed in 64 bits, as the table itself may lie anywhere in the file;
    // the offsets stored in the entries are 32-bit and so are the sums formed with them.
    const qint64 table = mSampleTableOffset;
    switch (mSampleSource) {
    case ExtTrack:
        *position = quint32(readU32BE(table + 4 * qint64(i)) + 2);
        return true;
    case GpsBox:
        *position = quint32(readU32BE(table + 8 * qint64(i)) + 18);
        return true;
    case SoundTrack:
        *position = quint32(readU32BE(table + 4 * qint64(i)) + mMarkerOffset + 14);
        return true;
    case GpsMetaTrack:
        *position = readU32BE(table + 4 * qint64(i));
        return true;
    case Gps0Box:
        *position = table + 311 * qint64(i);
        return true;
    case AviGpsList:
        *position = table + RecordSize * qint64(i);
        return true;
    case AviAudioChunk:
        return locateAudioChunkRecord(i, position);
    case None:
        break;
    }
    return false;
}

bool ParserObject::readSample(int i, GpsData &data)
{
    data = GpsData();
    if (quint32(i) >= mSampleCount || mSampleSource == None)
        return false;
    qint64 position = 0;
    if (!locateRecord(quint32(i), &position))
        return false;
    data.index = i;

    // One spare NUL so that the text fields and the numbers stop inside the buffer.
    char record[RecordSize + 1];
    readAt(position, record, RecordSize);
    record[RecordSize] = 0;
    for (int k = 2; k < RecordSize; ++k)
        record[k] = char(record[k] ^ ScrambleKey);
    decodeSample(record, data);
    return true;
}

void ParserObject::decodeSample(const char *record, GpsData &data)
{
    std::memcpy(data.dateTime, record + DateTimeField, 14);
    data.dateTime[14] = 0;
    std::memcpy(data.auxText, record + AuxTextField, 15);
    data.auxText[15] = 0;
    data.fixFlag = quint8(record[FixFlagField]);
    data.latitudeRef = record[LatitudeRefField];
    data.latitude = degreesFromField(record + LatitudeField, 2);
    if (data.latitudeRef == 'S')
        data.latitude = -data.latitude;
    data.longitudeRef = record[LongitudeRefField];
    data.longitude = degreesFromField(record + LongitudeField, 3);
    if (data.longitudeRef == 'W')
        data.longitude = -data.longitude;
    data.auxValue = intFromField(record + AuxValueField, 5);
    data.speed = intFromField(record + SpeedField, 3);
    data.gsensorX = gsensorFromGroup(record + GsensorField);
    data.gsensorY = gsensorFromGroup(record + GsensorField + 4);
    data.gsensorZ = gsensorFromGroup(record + GsensorField + 8);

    if (data.index > mLastIndex && std::fabs(mLastLongitude - data.longitude) > 1e-5
        && std::fabs(mLastLatitude - data.latitude) > 1e-5) {
        mLastHeading = courseBetween(mLastLongitude, mLastLatitude, data.longitude, data.latitude);
    }
    data.heading = mLastHeading;
    mLastLatitude = data.latitude;
    mLastLongitude = data.longitude;
    mLastIndex = data.index;
}

double ParserObject::courseBetween(double lon1, double lat1, double lon2, double lat2)
{
    constexpr double DegreesToRadians = 0.017453292519943295;
    constexpr double RadiansToDegrees = 57.29577951308232;
    // Difference of meridional parts and of longitude, both in minutes of arc.
    const double m = 7915.70447
                     * (std::log10(std::tan((lat2 * 0.5 + 45) * DegreesToRadians))
                        - std::log10(std::tan((lat1 * 0.5 + 45) * DegreesToRadians)));
    const double d = (lon2 - lon1) * 60;
    const double h = std::fabs(std::atan(d / m)) * RadiansToDegrees;
    if (lon2 >= lon1)
        return lat2 >= lat1 ? h : 180 - h;
    return lat2 >= lat1 ? 360 - h : 180 + h;
}

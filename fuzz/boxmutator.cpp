// Structure-aware fuzzing mutations: edits one MP4 box or RIFF chunk and keeps the file consistent.
#include "boxmutator.h"

#include <QtEndian>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// Damaged inputs can nest boxes deeply and hold thousands of tiny ones; beyond these limits the
// rest of the file stays opaque bytes.
constexpr int MaxDepth = 12;
constexpr int MaxBoxes = 4096;
// A payload mutation edits at most this many bytes of a box: video payloads are large, and a
// local edit keeps the records behind it where the tables say they are.
constexpr int MaxWindow = 1024;
constexpr int MaxGrowth = 256;

const char *const Mp4Names[]
        = {"moov", "trak", "mdia", "minf", "stbl", "stco", "stsd", "stsz", "mvhd",
           "tkhd", "hdlr", "gps0", "gps ", "avc1", "hvc1", "mdat", "free", "ftyp"};
const char *const RiffNames[] = {"RIFF", "LIST", "avih", "01wb", "00dc", "JUNK", "idx1", "GPSL"};
const char *const FormNames[] = {"AVI ", "hdrl", "movi", "strl"};

template<typename T, int N>
constexpr int countOf(T (&)[N])
{
    return N;
}

} // namespace

BoxMutator::BoxMutator(Layout layout, ByteMutator mutateBytes)
    : mLayout(layout)
    , mMutateBytes(mutateBytes)
{ }

size_t BoxMutator::mutate(uint8_t *bytes, size_t size, size_t maxSize, unsigned seed)
{
    if (size > size_t(INT_MAX / 2) || maxSize > size_t(INT_MAX / 2))
        return 0;
    mRandom.seed(seed);
    QByteArray data(reinterpret_cast<const char *>(bytes), int(size));
    const QVector<Box> boxes = scan(data);
    if (boxes.isEmpty())
        return 0;
    const int index = int(mRandom() % unsigned(boxes.size()));
    const Box box = boxes.at(index);
    switch (mRandom() % 8) {
    case 0:
    case 1:
    case 2:
        if (!mutatePayload(data, boxes, index, maxSize))
            return 0;
        break;
    case 3:
        mutateSize(data, box);
        break;
    case 4:
        mutateType(data, box);
        break;
    case 5: {
        const QByteArray type = mLayout == Mp4Boxes ? nameFrom(Mp4Names, countOf(Mp4Names))
                                                    : nameFrom(RiffNames, countOf(RiffNames));
        QByteArray payload = randomBytes(int(mRandom() % 64));
        QByteArray field(4, Qt::Uninitialized);
        QByteArray header;
        if (mLayout == Mp4Boxes) {
            qToBigEndian<quint32>(quint32(8 + payload.size()), field.data());
            header = field + type;
        } else {
            if (type == "RIFF" || type == "LIST")
                payload.prepend(nameFrom(FormNames, countOf(FormNames)));
            qToLittleEndian<quint32>(quint32(payload.size()), field.data());
            header = type + field;
        }
        insertBox(data, boxes, header + payload);
        break;
    }
    case 6:
        // A copy of the box, possibly into another container: a second track, a moved table.
        insertBox(data, boxes, data.mid(box.start, box.next - box.start));
        break;
    default:
        splice(data, boxes, box.parent, box.start, box.next - box.start, QByteArray());
        break;
    }
    if (data.isEmpty() || size_t(data.size()) > maxSize)
        return 0;
    std::memcpy(bytes, data.constData(), size_t(data.size()));
    return size_t(data.size());
}

QVector<BoxMutator::Box> BoxMutator::scan(const QByteArray &data) const
{
    QVector<Box> boxes;
    scanRange(data, 0, data.size(), -1, 0, boxes);
    return boxes;
}

void BoxMutator::scanRange(const QByteArray &data, int begin, int end, int parent, int depth,
                           QVector<Box> &boxes) const
{
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    int position = begin;
    while (position + 8 <= end && boxes.size() < MaxBoxes) {
        Box box;
        box.start = position;
        box.parent = parent;
        box.payload = position + 8;
        const char *type = data.constData() + position + (mLayout == Mp4Boxes ? 4 : 0);
        if (mLayout == Mp4Boxes) {
            qint64 length = qFromBigEndian<quint32>(bytes + position);
            if (length == 1) {
                if (position + 16 > end)
                    return;
                length = qint64(qMin<quint64>(qFromBigEndian<quint64>(bytes + position + 8),
                                              quint64(INT_MAX)));
                box.payload = position + 16;
            }
            // Size 0 (to the end of the file) ends the scan. A box that leaves its parent is taken
            // as cut short, so that one damaged size does not hide everything inside it.
            if (length < box.payload - position)
                return;
            length = qMin<qint64>(length, end - position);
            box.end = position + int(length);
            box.next = box.end;
            // A sample description's version, flags and entry count precede its entries.
            box.children = box.payload + (std::memcmp(type, "stsd", 4) == 0 ? 8 : 0);
        } else {
            const qint64 length = qMin<qint64>(qFromLittleEndian<quint32>(bytes + position + 4),
                                               end - box.payload);
            box.end = box.payload + int(length);
            box.next = qMin(box.end + int(length & 1), end);
            box.children = box.payload + 4; // after the list's form type
        }
        box.container = depth < MaxDepth && isContainer(type) && box.children <= box.end;
        const int index = boxes.size();
        boxes.append(box);
        if (box.container)
            scanRange(data, box.children, box.end, index, depth + 1, boxes);
        position = box.next;
    }
}

bool BoxMutator::isContainer(const char *type) const
{
    static const char *const riff[] = {"RIFF", "LIST"};
    static const char *const mp4[] = {"moov", "trak", "mdia", "minf", "stbl", "stsd"};
    const auto any = [type](const char *const *names, int count) {
        return std::any_of(names, names + count,
                           [type](const char *name) { return std::memcmp(type, name, 4) == 0; });
    };
    return mLayout == RiffChunks ? any(riff, countOf(riff)) : any(mp4, countOf(mp4));
}

QByteArray BoxMutator::nameFrom(const char *const *names, int count)
{
    // Now and then a name that no parser knows.
    if (mRandom() % 8 == 0)
        return randomBytes(4);
    return QByteArray(names[mRandom() % unsigned(count)], 4);
}

QByteArray BoxMutator::randomBytes(int length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(mRandom());
    return bytes;
}

bool BoxMutator::mutatePayload(QByteArray &data, const QVector<Box> &boxes, int index,
                               size_t maxSize)
{
    // A byte edit anywhere in a container's children would change a size that no one rewrites:
    // the edit goes to a box inside it that holds no boxes.
    if (boxes.at(index).container) {
        QVector<int> leaves;
        for (int k = index + 1; k < boxes.size() && boxes.at(k).start < boxes.at(index).end; ++k) {
            if (!boxes.at(k).container)
                leaves.append(k);
        }
        if (leaves.isEmpty())
            return false;
        index = leaves.at(int(mRandom() % unsigned(leaves.size())));
    }
    const Box &box = boxes.at(index);
    const int payloadLength = box.end - box.payload;
    const int window = qMin(payloadLength, MaxWindow);
    const int offset
            = box.payload
              + (payloadLength > window ? int(mRandom() % unsigned(payloadLength - window + 1))
                                        : 0);
    const qint64 room = qint64(maxSize) - (data.size() - window);
    // The byte mutator needs the window itself to fit.
    if (room < qMax(window, 1))
        return false;
    QByteArray bytes;
    if (window == 0) {
        bytes = randomBytes(int(qMin<qint64>(room, 1 + mRandom() % 16)));
    } else {
        bytes = data.mid(offset, window);
        bytes.resize(int(qMin<qint64>(room, window + MaxGrowth)));
        bytes.truncate(int(mMutateBytes(reinterpret_cast<uint8_t *>(bytes.data()), size_t(window),
                                        size_t(bytes.size()))));
    }
    // An odd change would move a RIFF chunk's pad byte and with it every chunk behind.
    if (mLayout == RiffChunks && (bytes.size() - window) % 2 != 0) {
        if (bytes.isEmpty())
            bytes.append('\0');
        else
            bytes.chop(1);
    }
    splice(data, boxes, index, offset, window, bytes);
    return true;
}

void BoxMutator::mutateSize(QByteArray &data, const Box &box)
{
    const qint64 current = mLayout == Mp4Boxes ? box.end - box.start : box.end - box.payload;
    const qint64 values[] = {0,           1,           4,           7,
                             8,           9,           15,          16,
                             current - 1, current + 1, current + 8, current * 2,
                             0x7fffffff,  0xfffffff8,  0xffffffff,  qint64(mRandom())};
    writeSize(data, box, values[mRandom() % countOf(values)]);
}

void BoxMutator::mutateType(QByteArray &data, const Box &box)
{
    if (mLayout == Mp4Boxes) {
        data.replace(box.start + 4, 4, nameFrom(Mp4Names, countOf(Mp4Names)));
    } else if (box.container && mRandom() % 2) {
        data.replace(box.payload, 4, nameFrom(FormNames, countOf(FormNames)));
    } else {
        data.replace(box.start, 4, nameFrom(RiffNames, countOf(RiffNames)));
    }
}

void BoxMutator::insertBox(QByteArray &data, const QVector<Box> &boxes, const QByteArray &box)
{
    // Into the file's top level or any container, before one of its children or after the last.
    QVector<int> containers = {-1};
    for (int k = 0; k < boxes.size(); ++k) {
        if (boxes.at(k).container)
            containers.append(k);
    }
    const int parent = containers.at(int(mRandom() % unsigned(containers.size())));
    QVector<int> positions;
    int last = parent < 0 ? 0 : boxes.at(parent).children;
    for (const Box &child : boxes) {
        if (child.parent == parent) {
            positions.append(child.start);
            last = child.next;
        }
    }
    positions.append(parent < 0 ? last : boxes.at(parent).end);
    QByteArray bytes = box;
    if (mLayout == RiffChunks && bytes.size() % 2 != 0)
        bytes.append('\0');
    splice(data, boxes, parent, positions.at(int(mRandom() % unsigned(positions.size()))), 0,
           bytes);
}

void BoxMutator::splice(QByteArray &data, const QVector<Box> &boxes, int enclosing, int position,
                        int length, const QByteArray &bytes)
{
    const int delta = bytes.size() - length;
    const int oldSize = data.size();
    // The last four bytes of an AVI file may point at its telemetry block.
    qint64 tail = -1;
    if (mLayout == RiffChunks && oldSize >= 8 && position + length <= oldSize - 4)
        tail = qFromBigEndian<quint32>(data.constData() + oldSize - 4);
    data.replace(position, length, bytes);
    // The size fields of the enclosing boxes all lie before the edit.
    for (int k = enclosing; k >= 0; k = boxes.at(k).parent) {
        const Box &box = boxes.at(k);
        const qint64 size = mLayout == Mp4Boxes ? box.end - box.start : box.end - box.payload;
        writeSize(data, box, size + delta);
    }
    if (delta == 0)
        return;
    if (tail >= position + length && tail < oldSize && position < oldSize - 4)
        qToBigEndian<quint32>(quint32(tail + delta), data.data() + data.size() - 4);
    if (mLayout == Mp4Boxes)
        moveOffsets(data, position, length, delta);
}

void BoxMutator::writeSize(QByteArray &data, const Box &box, qint64 size)
{
    char *header = data.data() + box.start;
    if (mLayout == RiffChunks)
        qToLittleEndian<quint32>(quint32(size), header + 4);
    else if (box.payload - box.start == 16)
        qToBigEndian<quint64>(quint64(size), header + 8);
    else
        qToBigEndian<quint32>(quint32(size), header);
}

void BoxMutator::moveOffsets(QByteArray &data, int position, int length, int delta)
{
    // Chunk offset tables and telemetry entry tables address the file absolutely, as a muxer
    // would have rewritten them after the edit.
    for (const Box &box : scan(data)) {
        const char *type = data.constData() + box.start + 4;
        const int stride = std::memcmp(type, "stco", 4) == 0   ? 4
                           : std::memcmp(type, "gps ", 4) == 0 ? 8
                                                               : 0;
        if (stride == 0)
            continue;
        for (int entry = box.payload + 8; entry + 4 <= box.end; entry += stride) {
            char *field = data.data() + entry;
            const qint64 offset = qFromBigEndian<quint32>(field);
            if (offset >= position + length && offset + delta >= 0)
                qToBigEndian<quint32>(quint32(offset + delta), field);
        }
    }
}

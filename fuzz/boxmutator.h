// Structure-aware fuzzing mutations: edits one MP4 box or RIFF chunk and keeps the file consistent.
#pragma once

#include <QByteArray>
#include <QVector>

#include <cstddef>
#include <cstdint>
#include <random>

class BoxMutator
{
public:
    enum Layout { Mp4Boxes, RiffChunks };
    // Mutates size bytes in place, up to maxSize, and returns their new length.
    using ByteMutator = size_t (*)(uint8_t *data, size_t size, size_t maxSize);

    BoxMutator(Layout layout, ByteMutator mutateBytes);

    // Changes one box of data in place (its size, its type, its payload; or inserts, duplicates
    // or deletes one) and rewrites the sizes of the boxes around it and the chunk offsets behind
    // it. Returns the new size, or 0 when data holds no box or the result would not fit.
    size_t mutate(uint8_t *data, size_t size, size_t maxSize, unsigned seed);

private:
    struct Box
    {
        int start = 0;
        int payload = 0; // after the size and type fields
        int children = 0; // after a list's form type or a sample description's entry count
        int end = 0; // end of the payload as the size field states it, cut at the parent's end
        int next = 0; // where a sibling may begin: after a RIFF chunk's pad byte
        int parent = -1;
        bool container = false;
    };

    QVector<Box> scan(const QByteArray &data) const;
    void scanRange(const QByteArray &data, int begin, int end, int parent, int depth,
                   QVector<Box> &boxes) const;
    bool isContainer(const char *type) const;
    QByteArray nameFrom(const char *const *names, int count);
    QByteArray randomBytes(int length);

    bool mutatePayload(QByteArray &data, const QVector<Box> &boxes, int index, size_t maxSize);
    void mutateSize(QByteArray &data, const Box &box);
    void mutateType(QByteArray &data, const Box &box);
    void insertBox(QByteArray &data, const QVector<Box> &boxes, const QByteArray &box);

    // Replaces length bytes at position with bytes, growing or shrinking the box at enclosing
    // and its ancestors by the difference, and moves the offsets that pointed behind the edit.
    void splice(QByteArray &data, const QVector<Box> &boxes, int enclosing, int position,
                int length, const QByteArray &bytes);
    void writeSize(QByteArray &data, const Box &box, qint64 size);
    void moveOffsets(QByteArray &data, int position, int length, int delta);

    Layout mLayout;
    ByteMutator mMutateBytes;
    std::minstd_rand mRandom;
};

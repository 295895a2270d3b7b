// Structure-aware mutator: box edits keep sizes nested and reach into boxes that are cut short.
#include "boxmutator.h"

#include <QSet>
#include <QtEndian>
#include <QtTest>

#include <cstring>

Q_DECLARE_METATYPE(BoxMutator::Layout)

namespace {

// Stands in for the fuzzer's byte mutator: grows the window in its middle, where a container's
// window holds a child's payload, and tells which window lengths it was given.
bool byteMutatorCalled = false;
QSet<size_t> windowLengths;

size_t growInMiddle(uint8_t *data, size_t size, size_t maxSize)
{
    byteMutatorCalled = true;
    windowLengths.insert(size);
    const size_t grown = qMin(size + 20, maxSize);
    std::memmove(data + size / 2 + (grown - size), data + size / 2, size - size / 2);
    std::memset(data + size / 2, 0x55, grown - size);
    return grown;
}

QByteArray box(const char *type, const QByteArray &payload, qint64 extraSize = 0)
{
    QByteArray size(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(8 + payload.size() + extraSize), size.data());
    return size + QByteArray(type, 4) + payload;
}

QByteArray chunk(const char *type, const QByteArray &payload, qint64 extraSize = 0)
{
    QByteArray size(4, Qt::Uninitialized);
    qToLittleEndian<quint32>(quint32(payload.size() + extraSize), size.data());
    return QByteArray(type, 4) + size + payload + QByteArray(payload.size() % 2, '\0');
}

// A track whose leaf payloads are zero, so that a size read from them is never valid; the
// free box's payload is the only one 100 bytes long.
QByteArray movie(qint64 extraSize = 0)
{
    return box("moov",
               box("trak", box("tkhd", QByteArray(40, '\0')) + box("free", QByteArray(100, '\0'))),
               extraSize);
}

QByteArray aviFile(qint64 extraSize = 0)
{
    return chunk("RIFF",
                 "AVI " + chunk("LIST", "hdrl" + chunk("avih", QByteArray(56, '\0')))
                         + chunk("LIST", "movi" + chunk("00dc", QByteArray(100, '\0'))
                                                 + chunk("01wb", QByteArray(40, '\0'))),
                 extraSize);
}

// Whether the boxes in [begin, end) follow each other exactly and the containers' children
// exactly fill them.
bool nested(const QByteArray &data, int begin, int end, BoxMutator::Layout layout)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    const bool mp4 = layout == BoxMutator::Mp4Boxes;
    int position = begin;
    while (position < end) {
        if (end - position < 8)
            return false;
        const QByteArray type = data.mid(position + (mp4 ? 4 : 0), 4);
        const qint64 length = mp4 ? qint64(qFromBigEndian<quint32>(bytes + position)) - 8
                                  : qint64(qFromLittleEndian<quint32>(bytes + position + 4));
        const int payload = position + 8;
        if (length < 0 || length > end - payload)
            return false;
        const int children = mp4 ? payload : payload + 4;
        const bool container = type == "moov" || type == "trak" || type == "RIFF" || type == "LIST";
        if (container && !nested(data, children, payload + int(length), layout))
            return false;
        position = payload + int(length) + (mp4 ? 0 : int(length & 1));
    }
    return position == end;
}

} // namespace

class TestBoxMutator : public QObject
{
    Q_OBJECT

private slots:
    void payloadEditKeepsSizesNested_data();
    void payloadEditKeepsSizesNested();
    void boxCutShortIsStillEdited_data();
    void boxCutShortIsStillEdited();
};

void TestBoxMutator::payloadEditKeepsSizesNested_data()
{
    QTest::addColumn<BoxMutator::Layout>("layout");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("mp4") << BoxMutator::Mp4Boxes
                         << box("ftyp", "isom") + movie() + box("mdat", QByteArray(64, '\0'));
    QTest::newRow("avi") << BoxMutator::RiffChunks << aviFile();
}

void TestBoxMutator::payloadEditKeepsSizesNested()
{
    QFETCH(BoxMutator::Layout, layout);
    QFETCH(QByteArray, file);
    QVERIFY(nested(file, 0, file.size(), layout));
    BoxMutator mutator(layout, growInMiddle);
    int payloadEdits = 0;
    for (unsigned seed = 0; seed < 400; ++seed) {
        QByteArray data = file;
        data.resize(file.size() + 4096);
        byteMutatorCalled = false;
        const size_t size = mutator.mutate(reinterpret_cast<uint8_t *>(data.data()),
                                           size_t(file.size()), size_t(data.size()), seed);
        // Only payload edits hand bytes to the byte mutator; the others damage sizes on purpose.
        if (!byteMutatorCalled)
            continue;
        ++payloadEdits;
        QCOMPARE(size, size_t(file.size() + 20));
        data.truncate(int(size));
        QVERIFY2(nested(data, 0, data.size(), layout), qPrintable(QString::number(seed)));
    }
    QVERIFY(payloadEdits > 50);
}

void TestBoxMutator::boxCutShortIsStillEdited_data()
{
    QTest::addColumn<BoxMutator::Layout>("layout");
    QTest::addColumn<QByteArray>("file");
    // The only top-level box states more bytes than the file holds, as after a byte erased.
    QTest::newRow("mp4") << BoxMutator::Mp4Boxes << movie(16);
    QTest::newRow("avi") << BoxMutator::RiffChunks << aviFile(2);
}

void TestBoxMutator::boxCutShortIsStillEdited()
{
    QFETCH(BoxMutator::Layout, layout);
    QFETCH(QByteArray, file);
    BoxMutator mutator(layout, growInMiddle);
    windowLengths.clear();
    int mutated = 0;
    for (unsigned seed = 0; seed < 200; ++seed) {
        QByteArray data = file;
        data.resize(file.size() + 4096);
        if (mutator.mutate(reinterpret_cast<uint8_t *>(data.data()), size_t(file.size()),
                           size_t(data.size()), seed))
            ++mutated;
    }
    QVERIFY(mutated > 100);
    // The 100-byte leaf deep inside the damaged box was found and edited.
    QVERIFY(windowLengths.contains(100));
}

QTEST_GUILESS_MAIN(TestBoxMutator)
#include "tst_boxmutator.moc"

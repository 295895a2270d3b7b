// Tests of the decoder check: adapter and processor names to flags, and the playability rule.
#include "system/computeinfo.h"
#include "systemfixtures.h"

#include <QHash>
#include <QtTest>

namespace {

class FakeReader : public PlatformReader
{
public:
    QString processorName() const override { return processor; }
    QStringList adapterDescriptions(AdapterFamily family) const override
    {
        return adapters.value(int(family));
    }

    QString processor;
    QHash<int, QStringList> adapters;
};

} // namespace

class TestComputeInfo : public QObject
{
    Q_OBJECT

private slots:
    void adapterNames_data();
    void adapterNames();
    void familyTextsSkipBlankAndRepeatedNames();
    void processorLevel_data();
    void processorLevel();
    void playability_data();
    void playability();
    void backendDecides_data();
    void backendDecides();
    void instanceIsCreatedOnce();
};

void TestComputeInfo::adapterNames_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QStringList>("descriptions");
    QTest::addColumn<bool>("h265");
    QTest::addColumn<bool>("h264");
    QTest::addColumn<QStringList>("matchLines");

    const int intel = int(AdapterFamily::Intel);
    const int nvidia = int(AdapterFamily::Nvidia);
    const int amd = int(AdapterFamily::Amd);
    // A name containing a longer fragment still reports the first one of the list that it holds.
    QTest::newRow("UHD 620") << intel << QStringList{"Intel(R) UHD Graphics 620"} << true << true
                             << QStringList{"Intel dCard H265: HD Graphics 620",
                                            "Intel dCard H264: HD Graphics 620"};
    QTest::newRow("Iris 540") << intel << QStringList{"Intel(R) Iris Graphics 540"} << true << true
                              << QStringList{"Intel dCard H265: Iris Graphics 540",
                                             "Intel dCard H264: Iris Graphics"};
    QTest::newRow("GTX 1050 Ti") << nvidia << QStringList{"NVIDIA GeForce GTX 1050 Ti"} << true
                                 << true
                                 << QStringList{"NVIDIA dCard H265: GTX 1050",
                                                "NVIDIA dCard H264: GTX 1050"};
    // Every list is matched against the text of all makers: this name also holds another maker's
    // fragment "610M".
    QTest::newRow("HD 7610M") << amd << QStringList{"AMD Radeon HD 7610M"} << false << true
                              << QStringList{"AMD dCard H264: HD 7610M", "NVIDIA dCard H264: 610M"};
    QTest::newRow("RX 5700 XT") << amd << QStringList{"AMD Radeon RX 5700 XT"} << true << true
                                << QStringList{"AMD dCard H265: RX 5700",
                                               "AMD dCard H264: RX 5700"};
    QTest::newRow("unknown model")
            << nvidia << QStringList{"NVIDIA GeForce RTX 4090"} << false << false << QStringList();
    QTest::newRow("matching is case-sensitive")
            << intel << QStringList{"intel(r) uhd graphics 620"} << false << false << QStringList();
    QTest::newRow("no adapter") << intel << QStringList() << false << false << QStringList();
}

void TestComputeInfo::adapterNames()
{
    QFETCH(int, family);
    QFETCH(QStringList, descriptions);
    QFETCH(bool, h265);
    QFETCH(bool, h264);
    QFETCH(QStringList, matchLines);

    FakeReader reader;
    reader.adapters.insert(family, descriptions);
    LogCapture log;
    const ComputeInfo info(reader);
    QCOMPARE(info.isHDDecodeH265, h265);
    QCOMPARE(info.isHDDecodeH264, h264);
    const QStringList logged = log.lines().filter(QStringLiteral("dCard"));
    QCOMPARE(logged, matchLines);
}

void TestComputeInfo::familyTextsSkipBlankAndRepeatedNames()
{
    FakeReader reader;
    reader.adapters.insert(int(AdapterFamily::Amd), {"  AMD Radeon RX 580  ", "   ", QString()});
    reader.adapters.insert(int(AdapterFamily::Intel),
                           {QString(), "Intel(R) UHD Graphics 620", "Intel(R) UHD Graphics 620 ",
                            "UHD Graphics", "Intel(R) HD Graphics 4600"});
    LogCapture log;
    const ComputeInfo info(reader);

    // The families are joined in a fixed order whatever order they were read in, and a name
    // already contained in its family's text is not added again.
    const QString expected = QStringLiteral(
            "\nIntel(R) UHD Graphics 620\nIntel(R) HD Graphics 4600\nAMD Radeon RX 580");
    QString expectedLine;
    QDebug(&expectedLine) << "Card Info:" << expected;
    QVERIFY2(log.lines().contains(expectedLine.trimmed()), qPrintable(log.lines().join('|')));
}

void TestComputeInfo::processorLevel_data()
{
    QTest::addColumn<QString>("processor");
    QTest::addColumn<bool>("capable");

    QTest::newRow("Core i3") << "Intel(R) Core(TM) i3-7100U CPU @ 2.40GHz" << true;
    QTest::newRow("Core i9") << "Intel(R) Core(TM) i9-9900K CPU @ 3.60GHz" << true;
    QTest::newRow("Core 2 Duo") << "Intel(R) Core(TM)2 Duo CPU T7700 @ 2.40GHz" << false;
    QTest::newRow("Pentium Silver") << "Intel(R) Pentium(R) Silver N5000 CPU @ 1.10GHz" << false;
    QTest::newRow("Core M") << "Intel(R) Core(TM) m3-7Y30 CPU @ 1.00GHz" << false;
    QTest::newRow("class not a digit") << "Intel(R) Core(TM) iX-1000" << false;
    QTest::newRow("name ends at the class") << "Intel(R) Core(TM) i" << false;
    QTest::newRow("Ryzen") << "AMD Ryzen 5 3500U with Radeon Vega Mobile Gfx" << true;
    QTest::newRow("other maker") << "ARMv8 Processor rev 1 (v8l)" << false;
    QTest::newRow("lower case") << "intel(r) core(tm) i7-8550U" << false;
    QTest::newRow("unknown") << QString() << false;
}

void TestComputeInfo::processorLevel()
{
    QFETCH(QString, processor);
    QFETCH(bool, capable);

    FakeReader reader;
    reader.processor = processor;
    const ComputeInfo info(reader);
    QCOMPARE(info.mCpuLevelH, capable);
}

void TestComputeInfo::playability_data()
{
    QTest::addColumn<int>("codec");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("h265");
    QTest::addColumn<bool>("h264");
    QTest::addColumn<bool>("cpu");
    QTest::addColumn<bool>("playable");

    QTest::newRow("H.265 1440p anywhere") << 2 << 2560 << 1440 << false << false << false << true;
    QTest::newRow("H.265 4000000 pixels") << 2 << 2000 << 2000 << false << false << false << true;
    QTest::newRow("H.265 one pixel more") << 2 << 4000001 << 1 << false << false << false << false;
    QTest::newRow("H.265 2688x1520 unsupported")
            << 2 << 2688 << 1520 << false << true << true << false;
    QTest::newRow("H.265 2688x1520 supported")
            << 2 << 2688 << 1520 << true << false << true << true;
    QTest::newRow("H.265 4K without the processor")
            << 2 << 3840 << 2160 << true << true << false << false;
    QTest::newRow("H.264 4K supported") << 1 << 3840 << 2160 << false << true << true << true;
    QTest::newRow("H.264 4K with H.265 only")
            << 1 << 3840 << 2160 << true << false << true << false;
    QTest::newRow("unknown codec 8K") << 0 << 7680 << 4320 << false << false << false << true;
    // The product of a damaged file's frame size must not wrap into a small number.
    QTest::newRow("H.265 size past 32 bits")
            << 2 << 65536 << 65536 << false << false << false << false;
}

void TestComputeInfo::playability()
{
    QFETCH(int, codec);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, h265);
    QFETCH(bool, h264);
    QFETCH(bool, cpu);
    QFETCH(bool, playable);

    ComputeInfo info{FakeReader()};
    info.isHDDecodeH265 = h265;
    info.isHDDecodeH264 = h264;
    info.mCpuLevelH = cpu;
    QCOMPARE(info.canPlay(codec, width, height), playable);
}

void TestComputeInfo::backendDecides_data()
{
    QTest::addColumn<QByteArray>("decoders");
    QTest::addColumn<QString>("adapter");
    QTest::addColumn<QString>("processor");
    QTest::addColumn<int>("codec");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("playable");

    const QString listed = QStringLiteral("Intel(R) UHD Graphics 620");
    const QString unlisted = QStringLiteral("Alder Lake-P Integrated Graphics Controller");
    const QString coreI5 = QStringLiteral("Intel(R) Core(TM) i5-1235U");
    const QString pentium = QStringLiteral("Intel(R) Pentium(R) Silver N5000 CPU @ 1.10GHz");
    QTest::newRow("H.265 4K, unlisted adapter, decoder")
            << QByteArray("h264 h265") << unlisted << coreI5 << 2 << 3840 << 2160 << true;
    QTest::newRow("H.264 4K, software decoder on a weak processor")
            << QByteArray("h264 h265") << unlisted << pentium << 1 << 3840 << 2160 << true;
    QTest::newRow("H.265 4K, listed adapter, no decoder")
            << QByteArray() << listed << coreI5 << 2 << 3840 << 2160 << false;
    QTest::newRow("H.265 4K, H.264 decoder only")
            << QByteArray("h264") << listed << coreI5 << 2 << 3840 << 2160 << false;
    QTest::newRow("H.264 4K, H.265 decoder only")
            << QByteArray("h265") << listed << coreI5 << 1 << 3840 << 2160 << false;
    QTest::newRow("H.265 1440p without decoder")
            << QByteArray() << unlisted << pentium << 2 << 2560 << 1440 << true;
    QTest::newRow("H.265 4K, back end cannot be asked")
            << QByteArray("?") << unlisted << pentium << 2 << 3840 << 2160 << true;
    QTest::newRow("unknown codec 8K without decoder")
            << QByteArray() << unlisted << pentium << 0 << 7680 << 4320 << true;
}

void TestComputeInfo::backendDecides()
{
    QFETCH(QByteArray, decoders);
    QFETCH(QString, adapter);
    QFETCH(QString, processor);
    QFETCH(int, codec);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, playable);

    FakeReader reader;
    reader.processor = processor;
    reader.adapters.insert(int(AdapterFamily::Intel), {adapter});
    const FakeDecoders registry(decoders);
    LogCapture log;
    const ComputeInfo info(reader, &registry);
    QCOMPARE(info.canPlay(codec, width, height), playable);
    // The names no longer decide, so no list match may be reported as if they did.
    QCOMPARE(log.lines().filter(QStringLiteral("dCard")), QStringList());
}

void TestComputeInfo::instanceIsCreatedOnce()
{
    // Runs the detection on this machine's real names; whatever it finds, it is found once.
    ComputeInfo *info = ComputeInfo::instance();
    QVERIFY(info);
    QCOMPARE(ComputeInfo::instance(), info);
}

QTEST_GUILESS_MAIN(TestComputeInfo)
#include "tst_computeinfo.moc"

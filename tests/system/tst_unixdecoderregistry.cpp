// Tests of the Linux decoder registry: this computer's media framework, with and without its
// H.265 decoders ranked for automatic choice, and one that cannot start.
#include "system/computeinfo.h"
#include "system/decoderregistry_unix.h"

#include <QtTest>

namespace {

// A reader of a computer whose names match no adapter list and whose processor counts as weak.
class NamelessReader : public PlatformReader
{
public:
    QString processorName() const override { return QString(); }
    QStringList adapterDescriptions(AdapterFamily) const override { return QStringList(); }
};

} // namespace

class TestUnixDecoderRegistry : public QObject
{
    Q_OBJECT

private slots:
    void thisComputerDecodesBothCodecs();
    void h265DecodersRankedOut();
    void frameworkThatCannotStartRefusesNothing();
};

void TestUnixDecoderRegistry::thisComputerDecodesBothCodecs()
{
    // The build machine has the framework's software decoders installed.
    const UnixDecoderRegistry registry;
    QCOMPARE(registry.hasDecoder(VideoCodec::H264), std::optional<bool>(true));
    QCOMPARE(registry.hasDecoder(VideoCodec::H265), std::optional<bool>(true));

    const ComputeInfo info(NamelessReader(), &registry);
    QVERIFY(info.canPlay(1, 3840, 2160));
    QVERIFY(info.canPlay(2, 3840, 2160));
}

void TestUnixDecoderRegistry::h265DecodersRankedOut()
{
    // The parsers and muxers that take H.265 stay ranked for automatic choice, so this also
    // fails when elements other than video decoders are counted.
    if (!qEnvironmentVariableIsSet("GST_PLUGIN_FEATURE_RANK"))
        QSKIP("runs in a process of its own whose H.265 decoders are ranked out at start");
    const UnixDecoderRegistry registry;
    QCOMPARE(registry.hasDecoder(VideoCodec::H264), std::optional<bool>(true));
    QCOMPARE(registry.hasDecoder(VideoCodec::H265), std::optional<bool>(false));
}

void TestUnixDecoderRegistry::frameworkThatCannotStartRefusesNothing()
{
    int starts = 0;
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("media framework cannot start: no plugin directory"));
    const UnixDecoderRegistry registry([&starts](QString *reason) {
        ++starts;
        *reason = QStringLiteral("no plugin directory");
        return false;
    });
    QCOMPARE(registry.hasDecoder(VideoCodec::H264), std::nullopt);
    QCOMPARE(registry.hasDecoder(VideoCodec::H265), std::nullopt);

    const ComputeInfo info(NamelessReader(), &registry);
    QVERIFY(info.canPlay(2, 3840, 2160));
    QCOMPARE(starts, 1);
}

QTEST_GUILESS_MAIN(TestUnixDecoderRegistry)
#include "tst_unixdecoderregistry.moc"

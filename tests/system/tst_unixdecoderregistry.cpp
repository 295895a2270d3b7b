// Tests of the Linux decoder registry: this computer's media framework, with and without its
// H.265 decoders ranked for automatic choice, and one that cannot start.
#include "system/computeinfo.h"
#include "system/decoderregistry_unix.h"

#include <QtTest>

#include <gst/gst.h>

namespace {

// A reader of a computer whose names match no adapter list and whose processor counts as weak.
class NamelessReader : public PlatformReader
{
public:
    QString processorName() const override { return QString(); }
    QStringList adapterDescriptions(AdapterFamily) const override { return QStringList(); }
};

// An H.265 decoder as the framework lists it, under any name; it never decodes anything.
GType fakeH265DecoderType()
{
    static const GType type = g_type_register_static_simple(
            GST_TYPE_ELEMENT, "VelqorFakeH265Decoder", sizeof(GstElementClass),
            [](gpointer klass, gpointer) {
                static GstStaticPadTemplate sink = GST_STATIC_PAD_TEMPLATE(
                        "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-h265"));
                gst_element_class_add_static_pad_template(GST_ELEMENT_CLASS(klass), &sink);
                gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "H.265 decoder",
                                                      "Codec/Decoder/Video/Hardware",
                                                      "Decodes nothing", "Velqor tests");
            },
            sizeof(GstElement), nullptr, GTypeFlags(0));
    return type;
}

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

    // A vaapi decoder ranked first still leaves the codec to chance: the player may skip it.
    // The same decoder under another name counts.
    QVERIFY(gst_element_register(nullptr, "vaapifakeh265dec", GST_RANK_PRIMARY,
                                 fakeH265DecoderType()));
    QCOMPARE(registry.hasDecoder(VideoCodec::H265), std::optional<bool>(false));
    QVERIFY(gst_element_register(nullptr, "fakeh265dec", GST_RANK_PRIMARY, fakeH265DecoderType()));
    QCOMPARE(registry.hasDecoder(VideoCodec::H265), std::optional<bool>(true));
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

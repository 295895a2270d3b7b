// The video decoders of the media framework that plays the recordings on Linux, from its registry.
#include "decoderregistry_unix.h"
#include "systemlog.h"

#include <gst/gst.h>

UnixDecoderRegistry::UnixDecoderRegistry(const Start &start)
{
    QString reason;
    mStarted = start(&reason);
    if (!mStarted)
        qCWarning(lcSystem).noquote() << "the media framework cannot start:" << reason
                                      << "- large recordings are not refused, the player tries";
}

std::optional<bool> UnixDecoderRegistry::hasDecoder(VideoCodec codec) const
{
    if (!mStarted)
        return std::nullopt;
    // Only decoders ranked for automatic choice count: the player builds its pipeline from those
    // and never uses the others.
    GList *decoders = gst_element_factory_list_get_elements(
            GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO,
            GST_RANK_MARGINAL);
    GstCaps *stream
            = gst_caps_from_string(codec == VideoCodec::H265 ? "video/x-h265" : "video/x-h264");
    bool found = false;
    for (GList *item = decoders; item && !found; item = item->next) {
        GstElementFactory *factory = GST_ELEMENT_FACTORY(item->data);
        // The player skips vaapi decoders whenever its video sink cannot take their output, which
        // depends on the sink it plays into, not on this computer: they never make a codec safe.
        found = !g_str_has_prefix(gst_plugin_feature_get_name(factory), "vaapi")
                && gst_element_factory_can_sink_any_caps(factory, stream);
    }
    gst_caps_unref(stream);
    gst_plugin_feature_list_free(decoders);
    return found;
}

bool UnixDecoderRegistry::startFramework(QString *reason)
{
    struct Outcome
    {
        bool started;
        QString reason;
    };
    static const Outcome outcome = [] {
        GError *error = nullptr;
        if (gst_init_check(nullptr, nullptr, &error))
            return Outcome{true, QString()};
        Outcome failed{false, error ? QString::fromUtf8(error->message)
                                    : QStringLiteral("no reason given")};
        g_clear_error(&error);
        return failed;
    }();
    *reason = outcome.reason;
    return outcome.started;
}

std::unique_ptr<DecoderRegistry> createDecoderRegistry()
{
    return std::make_unique<UnixDecoderRegistry>();
}

// Media framework warm-up: the demuxers, parsers and decoders of the recordings, loaded early.
#include "backendwarmup.h"

#include <QThreadPool>

#ifndef Q_OS_WIN
#include <gst/gst.h>
#endif

namespace {

#ifndef Q_OS_WIN
// What the cameras write: MP4/MOV and AVI containers, H.264 or H.265 video, AAC sound.
constexpr const char *StreamCaps[] = {"video/quicktime", "video/x-msvideo", "video/x-h264",
                                      "video/x-h265", "audio/mpeg, mpegversion=(int)4"};

// Of each kind, the element the player's automatic pipeline picks first for a stream: the best
// ranked one that takes it.
void loadBestFor(GstElementFactoryListType kind, GstCaps *caps)
{
    GList *factories = gst_element_factory_list_get_elements(kind, GST_RANK_MARGINAL);
    factories = g_list_sort(factories, gst_plugin_feature_rank_compare_func);
    for (GList *item = factories; item; item = item->next) {
        GstElementFactory *factory = GST_ELEMENT_FACTORY(item->data);
        if (!gst_element_factory_can_sink_any_caps(factory, caps))
            continue;
        if (GstPluginFeature *loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory)))
            gst_object_unref(loaded);
        break;
    }
    gst_plugin_feature_list_free(factories);
}

void loadPlugins()
{
    if (!gst_init_check(nullptr, nullptr, nullptr))
        return;
    for (const char *text : StreamCaps) {
        GstCaps *caps = gst_caps_from_string(text);
        for (const GstElementFactoryListType kind :
             {GST_ELEMENT_FACTORY_TYPE_DEMUXER, GST_ELEMENT_FACTORY_TYPE_PARSER,
              GST_ELEMENT_FACTORY_TYPE_DECODER})
            loadBestFor(kind, caps);
        gst_caps_unref(caps);
    }
}
#endif

} // namespace

namespace BackendWarmUp {

void start()
{
#ifndef Q_OS_WIN
    static bool started = false;
    if (started)
        return;
    started = true;
    QThreadPool::globalInstance()->start(loadPlugins);
#endif
}

} // namespace BackendWarmUp

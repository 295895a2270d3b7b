// One video export: the recordings decoded, laid out and encoded by ffmpeg, with the telemetry
// overlay painted here and piped in.
#include "videoexporter.h"

VideoExporter::VideoExporter(const VideoExportRequest &request, QObject *parent)
    : QObject(parent)
    , mRequest(request)
{ }

VideoExporter::~VideoExporter() = default;

bool VideoExporter::run()
{
    mError = QStringLiteral("not built yet");
    return false;
}

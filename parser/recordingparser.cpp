// Chooses the container parser for a recording by its file name.
#include "recordingparser.h"

#include "aviparser.h"
#include "mp4parser.h"

std::unique_ptr<ParserObject> createRecordingParser(const QString &fileName)
{
    if (fileName.endsWith(QLatin1String(".AVI"), Qt::CaseInsensitive))
        return std::make_unique<AVIParser>(fileName);
    return std::make_unique<Mp4Parser>(fileName);
}

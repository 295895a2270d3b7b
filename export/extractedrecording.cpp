// Reads a recording with the parser its name calls for, the same choice the viewer makes.
#include "extractedrecording.h"

#include "parser/recordingparser.h"

#include <QFileInfo>

#include <limits>
#include <memory>

bool ExtractedRecording::load(const QString &path, QString *problem,
                              const std::function<bool()> &cancelled)
{
    file = path;
    // Only regular files are handed to a parser: opening a FIFO for reading would block until a
    // writer appears, and devices have no size to walk.
    const QFileInfo fileInfo(path);
    if (!fileInfo.exists()) {
        *problem = QStringLiteral("no such file");
        return false;
    }
    if (fileInfo.isDir()) {
        *problem = QStringLiteral("is a directory");
        return false;
    }
    if (!fileInfo.isFile()) {
        *problem = QStringLiteral("not a regular file");
        return false;
    }

    const std::unique_ptr<ParserObject> parser = createRecordingParser(path);
    if (!parser->isOpen()) {
        *problem = QStringLiteral("cannot be read");
        return false;
    }

    info = parser->videoInfo();
    source = parser->sampleSource();

    samples.clear();
    GpsData data;
    for (int i = 0; i < std::numeric_limits<int>::max() && parser->readSample(i, data); ++i) {
        if (cancelled && cancelled()) {
            samples.clear();
            *problem = QStringLiteral("cancelled");
            return false;
        }
        samples.append(data);
    }
    return true;
}

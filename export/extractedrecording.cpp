// Reads a recording with the parser its name calls for, the same choice the viewer makes.
#include "extractedrecording.h"

#include "parser/recordingparser.h"

#include <QFile>

#include <cerrno>
#include <limits>
#include <memory>

#include <sys/stat.h>

QByteArray ExtractedRecording::failureCode(Failure failure)
{
    switch (failure) {
    case NotFound:
        return QByteArrayLiteral("not-found");
    case Directory:
        return QByteArrayLiteral("directory");
    case NotRegular:
        return QByteArrayLiteral("not-regular");
    case Unreadable:
        return QByteArrayLiteral("unreadable");
    case Cancelled:
        break;
    }
    return QByteArrayLiteral("cancelled");
}

bool ExtractedRecording::load(const QString &path, QString *problem,
                              const std::function<bool()> &cancelled, Failure *failure)
{
    file = path;
    const auto fail = [&](Failure kind, const QString &reason) {
        *problem = reason;
        if (failure)
            *failure = kind;
        return false;
    };
    // Only regular files are handed to a parser: opening a FIFO for reading would block until a
    // writer appears, and devices have no size to walk.
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    if (::stat(name.constData(), &status) != 0) {
        // A file behind a folder it may not search, or a loop of links, is there all the same:
        // told missing, it would be taken for one a copy has not brought yet.
        if (errno == ENOENT || errno == ENOTDIR)
            return fail(NotFound, QStringLiteral("no such file"));
        return fail(Unreadable, qt_error_string(errno));
    }
    if (S_ISDIR(status.st_mode))
        return fail(Directory, QStringLiteral("is a directory"));
    if (!S_ISREG(status.st_mode))
        return fail(NotRegular, QStringLiteral("not a regular file"));

    const std::unique_ptr<ParserObject> parser = createRecordingParser(path);
    if (!parser->isOpen())
        return fail(Unreadable, QStringLiteral("cannot be read"));

    info = parser->videoInfo();
    source = parser->sampleSource();

    samples.clear();
    GpsData data;
    for (int i = 0; i < std::numeric_limits<int>::max() && parser->readSample(i, data); ++i) {
        if (cancelled && cancelled()) {
            samples.clear();
            return fail(Cancelled, QStringLiteral("cancelled"));
        }
        samples.append(data);
    }
    return true;
}

// The camera a recording's file name tells, the part its front and rear files share, and which
// names in a folder are recordings at all.
#include "recordingname.h"

namespace RecordingName {

namespace {
// Cameras write upper-case names, copies and other tools often lower-case ones.
const char *const Suffixes[] = {"mov", "mp4", "avi"};
} // namespace

bool isRecordingFile(const QString &fileName)
{
    if (fileName.startsWith(QLatin1Char('.')))
        return false;
    const QString suffix = fileName.section(QLatin1Char('.'), -1);
    for (const char *recording : Suffixes) {
        if (fileName.size() > suffix.size()
            && suffix.compare(QLatin1String(recording), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QStringList nameFilters()
{
    QStringList filters;
    for (const char *suffix : Suffixes)
        filters.append(QStringLiteral("*.") + QLatin1String(suffix));
    return filters;
}

// Cameras write the letter before the extension ("…_120000F.MP4"); the point keeps a letter
// elsewhere in the name from counting.
bool isFront(const QString &fileName)
{
    return fileName.contains(QLatin1String("F."), Qt::CaseInsensitive);
}

bool isRear(const QString &fileName)
{
    return fileName.contains(QLatin1String("R."), Qt::CaseInsensitive);
}

QString sharedBase(const QString &fileName)
{
    return fileName.size() >= 6 ? fileName.left(fileName.size() - 5) : fileName;
}

} // namespace RecordingName

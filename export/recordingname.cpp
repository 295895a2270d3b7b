// The camera a recording's file name tells, and the part its front and rear files share.
#include "recordingname.h"

namespace RecordingName {

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

// The camera a recording's file name tells, the part its front and rear files share, and which
// names in a folder are recordings at all.
#pragma once

#include <QString>
#include <QStringList>

namespace RecordingName {

// A folder's entry that the viewer and velqor-extract take for a recording: not hidden (no
// leading point) and ending in .mp4, .mov or .avi in any case.
bool isRecordingFile(const QString &fileName);
// The same suffixes as QDir name filters, which match regardless of case.
QStringList nameFilters();

// The front camera's file: "F." anywhere in the name, in either case.
bool isFront(const QString &fileName);
// The rear camera's file: "R." anywhere in the name, in either case.
bool isRear(const QString &fileName);
// The name less the camera letter, the point and a three-letter extension; a name too short to
// hold them is its own base.
QString sharedBase(const QString &fileName);

} // namespace RecordingName

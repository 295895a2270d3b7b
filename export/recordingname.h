// The camera a recording's file name tells, and the part its front and rear files share.
#pragma once

#include <QString>

namespace RecordingName {

// The front camera's file: "F." anywhere in the name, in either case.
bool isFront(const QString &fileName);
// The rear camera's file: "R." anywhere in the name, in either case.
bool isRear(const QString &fileName);
// The name less the camera letter, the point and a three-letter extension; a name too short to
// hold them is its own base.
QString sharedBase(const QString &fileName);

} // namespace RecordingName

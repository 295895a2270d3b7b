// The one typeface of the video overlay.
#pragma once

#include <QFont>

// A family every Debian desktop brings, so that exports look alike on every machine; pixels is
// rounded to a whole size of at least one.
QFont overlayFont(qreal pixels, bool bold = false);

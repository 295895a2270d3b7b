// The one typeface of the video overlay.
#include "overlayfont.h"

#include <algorithm>

QFont overlayFont(qreal pixels, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, qRound(pixels)));
    font.setBold(bold);
    return font;
}

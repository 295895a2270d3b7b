// A stretch of a drive's timeline cut into the pieces of each recording it covers.
#include "videostretch.h"

#include <QtGlobal>

namespace VideoStretch {

QVector<VideoClip> cut(const QVector<StretchClip> &clips, double from, double to)
{
    QVector<VideoClip> pieces;
    double start = 0;
    for (const StretchClip &clip : clips) {
        // A clip of no (or a damaged, negative) length takes no room on the timeline.
        const double end = start + qMax(0.0, clip.seconds);
        const double pieceFrom = qMax(from, start);
        const double pieceTo = qMin(to, end);
        // Strictly shorter: a stretch ending exactly where a clip starts takes nothing of it.
        if (pieceFrom < pieceTo)
            pieces.append({clip.front, clip.rear, pieceFrom - start, pieceTo - start});
        start = end;
    }
    return pieces;
}

} // namespace VideoStretch

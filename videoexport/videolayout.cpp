// Where the cameras' pictures go in an exported frame, and how big that frame is.
#include "videolayout.h"

#include <algorithm>
#include <cmath>

namespace {

// yuv420 halves the chroma planes, so every edge of the frame and of a view falls on an even
// pixel.
int evenBelow(int value)
{
    return value - (value & 1);
}

int evenNearest(double value)
{
    return int(std::lround(value / 2.0)) * 2;
}

// The largest rectangle of the picture's aspect that fits into area, centred; empty for a
// picture of unknown size.
QRect fitted(const QSize &picture, const QRect &area)
{
    if (picture.isEmpty() || area.isEmpty())
        return QRect();
    const double scale = std::min(double(area.width()) / picture.width(),
                                  double(area.height()) / picture.height());
    const int width = std::clamp(evenNearest(picture.width() * scale), 2, area.width());
    const int height = std::clamp(evenNearest(picture.height() * scale), 2, area.height());
    return QRect(area.x() + evenBelow((area.width() - width) / 2),
                 area.y() + evenBelow((area.height() - height) / 2), width, height);
}

} // namespace

QStringList VideoLayout::arrangementNames()
{
    return {QStringLiteral("front"), QStringLiteral("rear"), QStringLiteral("side-by-side"),
            QStringLiteral("pip")};
}

bool VideoLayout::arrangementFromName(const QString &name, Arrangement *arrangement)
{
    const int index = arrangementNames().indexOf(name);
    if (index < 0)
        return false;
    *arrangement = Arrangement(index);
    return true;
}

QStringList VideoLayout::resolutionNames()
{
    return {QStringLiteral("source"), QStringLiteral("1080p"), QStringLiteral("720p")};
}

bool VideoLayout::resolutionFromName(const QString &name, Resolution *resolution)
{
    const int index = resolutionNames().indexOf(name);
    if (index < 0)
        return false;
    *resolution = Resolution(index);
    return true;
}

VideoLayout::Geometry VideoLayout::geometry(Arrangement arrangement, Resolution resolution,
                                            const QSize &frontSize, const QSize &rearSize)
{
    QSize base;
    switch (resolution) {
    case SourceSize:
        base = !frontSize.isEmpty() ? frontSize : !rearSize.isEmpty() ? rearSize : QSize(1280, 720);
        base = QSize(std::max(2, evenBelow(base.width())), std::max(2, evenBelow(base.height())));
        break;
    case Hd1080:
        base = QSize(1920, 1080);
        break;
    case Hd720:
        base = QSize(1280, 720);
        break;
    }
    const QRect whole(QPoint(0, 0), base);

    Geometry geometry{base, QRect(), QRect()};
    switch (arrangement) {
    case Front:
        geometry.front = fitted(frontSize, whole);
        break;
    case Rear:
        geometry.rear = fitted(rearSize, whole);
        break;
    case SideBySide: {
        const int half = evenBelow(base.width() / 2);
        geometry.front = fitted(frontSize, QRect(0, 0, half, base.height()));
        geometry.rear = fitted(rearSize, QRect(half, 0, base.width() - half, base.height()));
        break;
    }
    case PictureInPicture:
        geometry.front = fitted(frontSize, whole);
        if (!rearSize.isEmpty()) {
            const int margin = evenNearest(base.height() * 0.03);
            const int width = std::max(2, evenNearest(base.width() * 0.3));
            const int height = std::max(
                    2, evenNearest(double(width) * rearSize.height() / rearSize.width()));
            geometry.rear = QRect(base.width() - margin - width, margin, width, height);
        }
        break;
    }
    return geometry;
}

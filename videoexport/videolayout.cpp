// Where the cameras' pictures go in an exported frame, and how big that frame is.
#include "videolayout.h"

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
    Q_UNUSED(arrangement)
    Q_UNUSED(resolution)
    Q_UNUSED(rearSize)
    return {frontSize, QRect(QPoint(0, 0), frontSize), QRect()};
}

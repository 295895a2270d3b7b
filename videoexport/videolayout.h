// Where the cameras' pictures go in an exported frame, and how big that frame is.
#pragma once

#include <QRect>
#include <QSize>
#include <QStringList>

class VideoLayout
{
public:
    enum Arrangement { Front, Rear, SideBySide, PictureInPicture };
    enum Resolution { SourceSize, Hd1080, Hd720 };

    // The names the command line and the configuration use: "front", "rear", "side-by-side",
    // "pip" and "source", "1080p", "720p", in enum order.
    static QStringList arrangementNames();
    static bool arrangementFromName(const QString &name, Arrangement *arrangement);
    static QStringList resolutionNames();
    static bool resolutionFromName(const QString &name, Resolution *resolution);

    struct Geometry
    {
        QSize frame; // even width and height
        QRect front; // empty when the front camera is not shown
        QRect rear; // empty when the rear camera is not shown
    };
    // frontSize and rearSize are the cameras' frame sizes; either may be empty when unknown or
    // absent (a drive without a rear camera).
    static Geometry geometry(Arrangement arrangement, Resolution resolution, const QSize &frontSize,
                             const QSize &rearSize);
};

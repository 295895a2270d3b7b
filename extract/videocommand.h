// velqor-extract --video: recordings laid end to end in time order, each with its rear camera's
// partner, encoded into one video with the telemetry painted over it.
#pragma once

#include "export/cameraclock.h"
#include "videoexport/overlayoptions.h"
#include "videoexport/videolayout.h"
#include "videoexport/videostretch.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <limits>

class VideoCommand
{
public:
    struct Settings
    {
        QString output;
        VideoLayout::Arrangement arrangement = VideoLayout::SideBySide;
        VideoLayout::Resolution resolution = VideoLayout::SourceSize;
        OverlayOptions overlay;
        QString mapFile;
        CameraClock clock = CameraClock::systemLocal(); // for the overlay's UTC line
        double from = 0; // seconds on the recordings' joined timeline
        double to = std::numeric_limits<double>::infinity();
        // Told why a recording could not be read.
        std::function<void(const QString &message)> report;
    };

    enum Outcome {
        Exported,
        NotAllRead, // a recording could not be read (reported); nothing was exported
        Refused, // the command line asks for something these recordings cannot give
        NotCreated, // the output's folder is missing or cannot take a file
        Failed,
        Cancelled, // by a signal, whose number signalNumber() tells
    };

    VideoCommand(const QStringList &files, const Settings &settings)
        : mFiles(files)
        , mSettings(settings)
    { }

    // Reads the recordings and exports them; message tells why when refused or failed.
    Outcome run(QString *message);
    int signalNumber() const { return mSignal; }

private:
    // The file written: through a symbolic link, its target.
    QString target() const;
    Outcome exportClips(const QVector<VideoClip> &clips, QString *message);

    const QStringList mFiles;
    const Settings mSettings;
    int mSignal = 0;
};

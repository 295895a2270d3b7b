// The choices of one video export: what to export, how it is laid out, what the overlay shows
// and where it goes.
#pragma once

#include "videoexport/videoexportrequest.h"

#include <QDialog>
#include <QSize>
#include <QStringList>
#include <QVector>

#include <functional>

class QCheckBox;

namespace Ui {
class VideoExportDialog;
}

class VideoExportDialog : public QDialog
{
    Q_OBJECT

public:
    enum Span { CurrentRecording, Stretch, WholeDrive };

    // What the window offers to export.
    struct Source
    {
        // The current recording's drive in time order, each clip with its length; the current
        // recording alone while the drives are not known.
        QVector<StretchClip> drive;
        int current = 0; // the current recording's index in drive
        double position = 0; // where playback is, in seconds from the drive's start
        // What "the whole drive" exports: the drive, or, while the drives are not known, the
        // selected recordings in time order.
        QVector<StretchClip> whole;
        bool wholeIsDrive = true;
        QSize frontSize; // the current recording's, empty when not known
    };

    // How far the stretch reaches around the current position by default.
    static constexpr int SecondsBefore = 10;
    static constexpr int SecondsAfter = 20;

    // Shows the configuration's last choices, or the defaults on a first run.
    explicit VideoExportDialog(const Source &source, QWidget *parent = nullptr);
    ~VideoExportDialog() override;

    // Asked for the output file when the user wants to choose it; returns the path, or empty
    // when the user gives up.
    void setOutputChooser(const std::function<QString()> &chooser);

    // The export as chosen: the pieces cut from the source, the layout, the overlay with the
    // configuration's speed unit and offline map, and the output.
    VideoExportRequest request() const;

    // Keeps the choices in the configuration for next time.
    void accept() override;

private:
    void chooseOutput();
    void updateButtons();
    double driveSeconds() const;
    // The overlay's check boxes in the order of OverlayOptions::partNames.
    QVector<QCheckBox *> partBoxes() const;

    Ui::VideoExportDialog *ui;
    const Source mSource;
    std::function<QString()> mChooser;
};

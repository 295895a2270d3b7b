// The choices of one video export, read from and kept in the configuration.
#include "videoexportdialog.h"
#include "ui_videoexportdialog.h"

#include "config/configuration.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTime>

#include <algorithm>

namespace {

// A time edit cannot go past a day; no drive of a dash camera does.
constexpr int LongestSeconds = 24 * 3600 - 1;

QTime timeOf(double seconds)
{
    return QTime(0, 0).addSecs(std::clamp(int(seconds), 0, LongestSeconds));
}

double secondsOf(const QTime &time)
{
    return QTime(0, 0).secsTo(time);
}

} // namespace

VideoExportDialog::VideoExportDialog(const Source &source, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::VideoExportDialog)
    , mSource(source)
{
    ui->setupUi(this);
    // The toolkit's own texts for the standard buttons are not in the viewer's catalogue.
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Export"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(ui->pBtn_Output, &QPushButton::clicked, this, &VideoExportDialog::chooseOutput);

    // The stretch lies on the drive's timeline, so that it can run into the recordings before
    // and after the current one.
    const double length = driveSeconds();
    for (QTimeEdit *edit : {ui->te_From, ui->te_To})
        edit->setTimeRange(timeOf(0), timeOf(length));
    ui->te_From->setTime(timeOf(std::max(source.position - SecondsBefore, 0.0)));
    ui->te_To->setTime(timeOf(std::min(source.position + SecondsAfter, length)));
    ui->lbl_DriveLength->setText(
            tr("of %1").arg(timeOf(length).toString(QStringLiteral("H:mm:ss"))));
    connect(ui->te_From, &QTimeEdit::timeChanged, this, &VideoExportDialog::updateButtons);
    connect(ui->te_To, &QTimeEdit::timeChanged, this, &VideoExportDialog::updateButtons);
    for (QRadioButton *button : {ui->rb_Current, ui->rb_Stretch, ui->rb_Drive})
        connect(button, &QRadioButton::toggled, this, &VideoExportDialog::updateButtons);
    if (!source.wholeIsDrive) {
        ui->rb_Stretch->setText(tr("A stretch of the recording, from"));
        ui->rb_Drive->setText(tr("The selected recordings"));
    }
    ui->rb_Drive->setEnabled(!source.whole.isEmpty());
    ui->rb_Current->setChecked(true);
    if (source.frontSize.isValid() && !source.frontSize.isEmpty())
        ui->cb_Resolution->setItemText(VideoLayout::SourceSize,
                                       tr("The front camera's (%1 × %2)")
                                               .arg(source.frontSize.width())
                                               .arg(source.frontSize.height()));

    // A name the configuration does not know (an older or hand-edited file) gives the default.
    const Configuration *config = Configuration::instance();
    VideoLayout::Arrangement arrangement = VideoLayout::SideBySide;
    VideoLayout::arrangementFromName(config->videoExportLayout(), &arrangement);
    ui->cb_Layout->setCurrentIndex(arrangement);
    VideoLayout::Resolution resolution = VideoLayout::SourceSize;
    VideoLayout::resolutionFromName(config->videoExportResolution(), &resolution);
    ui->cb_Resolution->setCurrentIndex(resolution);
    const QStringList parts = config->videoExportOverlay(OverlayOptions().names());
    const QVector<QCheckBox *> boxes = partBoxes();
    for (int i = 0; i < boxes.size(); ++i)
        boxes.at(i)->setChecked(parts.contains(OverlayOptions::partNames().at(i)));
    updateButtons();
}

VideoExportDialog::~VideoExportDialog()
{
    delete ui;
}

void VideoExportDialog::setOutputChooser(const std::function<QString()> &chooser)
{
    mChooser = chooser;
}

QVector<QCheckBox *> VideoExportDialog::partBoxes() const
{
    return {ui->chk_Time,    ui->chk_Utc,    ui->chk_Speed, ui->chk_Coordinates,
            ui->chk_Heading, ui->chk_GMeter, ui->chk_Map};
}

double VideoExportDialog::driveSeconds() const
{
    double seconds = 0;
    for (const StretchClip &clip : mSource.drive)
        seconds += clip.seconds;
    return seconds;
}

VideoExportRequest VideoExportDialog::request() const
{
    VideoExportRequest request;
    if (ui->rb_Stretch->isChecked()) {
        request.clips = VideoStretch::cut(mSource.drive, secondsOf(ui->te_From->time()),
                                          secondsOf(ui->te_To->time()));
    } else {
        // Whole recordings run to their ends, whatever length their headers gave.
        QVector<StretchClip> whole = mSource.whole;
        if (ui->rb_Current->isChecked())
            whole = mSource.drive.mid(mSource.current, 1);
        for (const StretchClip &clip : qAsConst(whole))
            request.clips.append({clip.front, clip.rear, 0, -1});
    }
    request.arrangement = VideoLayout::Arrangement(ui->cb_Layout->currentIndex());
    request.resolution = VideoLayout::Resolution(ui->cb_Resolution->currentIndex());
    QStringList parts;
    const QVector<QCheckBox *> boxes = partBoxes();
    for (int i = 0; i < boxes.size(); ++i) {
        if (boxes.at(i)->isChecked())
            parts << OverlayOptions::partNames().at(i);
    }
    OverlayOptions::fromNames(parts, &request.overlay);
    const Configuration *config = Configuration::instance();
    request.overlay.unit = SpeedUnit::fromStored(config->speedUnit());
    // Only a map file: an export never asks the network for tiles.
    const QString mapSource = config->mapSource();
    if (mapSource != QLatin1String(Configuration::OnlineMapSource))
        request.mapFile = mapSource;
    request.output = ui->le_Output->text();
    return request;
}

void VideoExportDialog::accept()
{
    const VideoExportRequest chosen = request();
    if (chosen.clips.isEmpty() || chosen.output.isEmpty())
        return;
    Configuration *config = Configuration::instance();
    config->setVideoExportLayout(VideoLayout::arrangementNames().at(chosen.arrangement));
    config->setVideoExportResolution(VideoLayout::resolutionNames().at(chosen.resolution));
    config->setVideoExportOverlay(chosen.overlay.names());
    QDialog::accept();
}

void VideoExportDialog::chooseOutput()
{
    if (!mChooser)
        return;
    const QString path = mChooser();
    if (path.isEmpty())
        return;
    ui->le_Output->setText(path);
    updateButtons();
}

void VideoExportDialog::updateButtons()
{
    const bool stretch = ui->rb_Stretch->isChecked();
    ui->te_From->setEnabled(stretch);
    ui->te_To->setEnabled(stretch);
    const bool something = !stretch || ui->te_From->time() < ui->te_To->time();
    ui->buttonBox->button(QDialogButtonBox::Ok)
            ->setEnabled(something && !ui->le_Output->text().isEmpty());
}

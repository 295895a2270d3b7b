// Playback control bar: turns user input into playback requests and mirrors the player's state.
#include "controlpanel.h"
#include "ui_controlpanel.h"

#include "config/configuration.h"

#include <QAudio>
#include <QDebug>
#include <QMouseEvent>
#include <QTime>

namespace {

// The seek slider's groove starts 6 pixels into the widget and is 22 pixels shorter than it.
constexpr int GrooveStart = 6;
constexpr int GrooveInset = 22;

QString clockText(int seconds, const QString &format)
{
    return QTime(seconds / 3600, seconds % 3600 / 60, seconds % 60).toString(format);
}

} // namespace

ControlPanel::ControlPanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ControlPanel)
{
    // The images live in a static library, whose unreferenced resource object the linker drops.
    Q_INIT_RESOURCE(velqor_images);
    ui->setupUi(this);
    ui->pBtn_Speed->hide();
    ui->hSlider_Seek->installEventFilter(this);
    const QList<QWidget *> texts{ui->lbl_GpsDateTime, ui->pBtn_Speed, ui->lbl_LongitudeAndLatitude,
                                 ui->lbl_PlayTime};
    for (QWidget *text : texts) {
        QFont font = text->font();
        font.setFamily(QStringLiteral("Calibri"));
        text->setFont(font);
    }
    mSpeedUnit = SpeedUnit::fromStored(Configuration::instance()->speedUnit());
    ui->wgt_DriveTimeline->setSpeedUnit(mSpeedUnit);
    setSpeed(0);

    connect(ui->btn_OpenFile, &QPushButton::clicked, this, &ControlPanel::openFile);
    connect(ui->btn_Export, &QPushButton::clicked, this, [this] {
        emit exportMenuRequested(ui->btn_Export->mapToGlobal(QPoint(0, ui->btn_Export->height())));
    });
    connect(ui->btn_Events, &QPushButton::clicked, this, &ControlPanel::showEvents);
    connect(ui->btn_ScreenShot, &QPushButton::clicked, this, &ControlPanel::screenshot);
    connect(ui->btn_Stop, &QPushButton::clicked, this, &ControlPanel::stop);
    connect(ui->btn_Next, &QPushButton::clicked, this, &ControlPanel::next);
    connect(ui->btn_Previous, &QPushButton::clicked, this, &ControlPanel::previous);
    connect(ui->btn_PlayOrPause, &QPushButton::clicked, this, &ControlPanel::playClicked);
    connect(ui->tBtn_Mute, &QToolButton::clicked, this, &ControlPanel::muteClicked);
    connect(ui->btn_Front, &QPushButton::clicked, this, &ControlPanel::frontView);
    connect(ui->btn_Rear, &QPushButton::clicked, this, &ControlPanel::rearView);
    connect(ui->btn_FrontRear, &QPushButton::clicked, this, &ControlPanel::frontRearView);
    connect(ui->hSlider_Volume, &QSlider::valueChanged, this,
            &ControlPanel::onVolumeSliderValueChanged);
    connect(ui->hSlider_Seek, &QSlider::sliderPressed, this, &ControlPanel::onSliderStatusProcess);
    connect(ui->hSlider_Seek, &QSlider::sliderReleased, this, &ControlPanel::onSliderStatusProcess);

    ui->fcbox_Rate->addItem(QStringLiteral("0.5x"), 0.5);
    ui->fcbox_Rate->addItem(QStringLiteral("1.0x"), 1.0);
    ui->fcbox_Rate->addItem(QStringLiteral("2.0x"), 2.0);
    ui->fcbox_Rate->setCurrentIndex(1);
    // Connected only now: the initial selection is the players' own rate and needs no request.
    connect(ui->fcbox_Rate, &FComboBox::activated, this, &ControlPanel::updateRate);
    connect(Configuration::instance(), &Configuration::updateLanguage, this,
            &ControlPanel::onUpdateLanguage);
    connect(Configuration::instance(), &Configuration::speedUnitChanged, this,
            &ControlPanel::onSpeedUnitChanged);

    ui->btn_ScreenShot->hide();
    ui->lbl_GpsDateTime->hide();
}

ControlPanel::~ControlPanel()
{
    qDebug() << "clsoe. vol:" << mLastVolume << ", mute:" << mMuted;
    delete ui;
}

int ControlPanel::volumeFromSliderValue(int sliderValue)
{
    return qRound(100
                  * QAudio::convertVolume(sliderValue / qreal(100), QAudio::LogarithmicVolumeScale,
                                          QAudio::LinearVolumeScale));
}

int ControlPanel::sliderValueFromVolume(int volume)
{
    return qRound(100
                  * QAudio::convertVolume(volume / qreal(100), QAudio::LinearVolumeScale,
                                          QAudio::LogarithmicVolumeScale));
}

int ControlPanel::volumeFromSlider() const
{
    return volumeFromSliderValue(ui->hSlider_Volume->value());
}

void ControlPanel::showVolume(int volume)
{
    ui->hSlider_Volume->setValue(sliderValueFromVolume(volume));
    qDebug() << "** setVolume:" << volume;
}

void ControlPanel::disableBtn(bool front, bool rear, bool frontRear)
{
    qDebug() << "disableBtn" << front << rear << frontRear;
    ui->btn_Front->setDisabled(front);
    ui->btn_Rear->setDisabled(rear);
    ui->btn_FrontRear->setDisabled(frontRear);
}

void ControlPanel::setPlayChecked(bool checked)
{
    ui->btn_PlayOrPause->setChecked(checked);
}

DriveTimeline *ControlPanel::driveTimeline() const
{
    return ui->wgt_DriveTimeline;
}

void ControlPanel::setExportEnabled(bool enabled)
{
    ui->btn_Export->setEnabled(enabled);
}

void ControlPanel::setDuration(int seconds)
{
    mDuration = seconds;
    ui->hSlider_Seek->setMaximum(seconds);
    // A new recording starts its own count: an earlier one's first report must not skip it.
    mFirstEmptyReport.invalidate();
}

void ControlPanel::setPosition(int seconds)
{
    if (!ui->hSlider_Seek->isSliderDown())
        ui->hSlider_Seek->setValue(seconds);

    if (seconds > 0 || mDuration != 0) {
        // The recording has started after all.
        mFirstEmptyReport.invalidate();
        const QString format
                = mDuration >= 3600 ? QStringLiteral("hh:mm:ss") : QStringLiteral("mm:ss");
        ui->lbl_PlayTime->setText(clockText(seconds, format) + QLatin1Char('/')
                                  + clockText(mDuration, format));
        if (seconds == mDuration && mDuration != 0)
            emit next();
        return;
    }

    ui->lbl_PlayTime->setText(QStringLiteral("00:00 / 00:00"));
    // Only reports while playing count, and only a second apart: a stopped player reports 0 too,
    // and a media back end may report the start of a recording several times before its length.
    if (mState != QMediaPlayer::PlayingState) {
        mFirstEmptyReport.invalidate();
    } else if (!mFirstEmptyReport.isValid()) {
        mFirstEmptyReport.start();
    } else if (mFirstEmptyReport.elapsed() >= NeverStartsMs) {
        mFirstEmptyReport.invalidate();
        emit next();
    }
}

void ControlPanel::step(int delta)
{
    const int target = ui->hSlider_Seek->value() + delta;
    if (mState != QMediaPlayer::StoppedState && target >= 0
        && target <= ui->hSlider_Seek->maximum())
        emit sliderMoved(target);
}

void ControlPanel::stopPlayback()
{
    emit stop();
    setPosition(0);
}

void ControlPanel::reset()
{
    ui->lbl_LongitudeAndLatitude->setText(tr("N00.000000,E000.000000"));
    setGpsDateTime(QDateTime::currentDateTime());
    setSpeed(0);
    setPosition(0);
}

void ControlPanel::setSpeed(int kmh)
{
    mSpeed = kmh;
    ui->pBtn_Speed->setText(SpeedUnit::text(kmh, mSpeedUnit, 3));
}

void ControlPanel::onSpeedUnitChanged()
{
    mSpeedUnit = SpeedUnit::fromStored(Configuration::instance()->speedUnit());
    ui->wgt_DriveTimeline->setSpeedUnit(mSpeedUnit);
    setSpeed(mSpeed);
}

void ControlPanel::setLatitudeLongitude(const QString &latitude, const QString &longitude)
{
    ui->lbl_LongitudeAndLatitude->setText(QStringLiteral("%1,%2").arg(latitude, longitude));
}

void ControlPanel::setGpsDateTime(const QDateTime &time)
{
    ui->lbl_GpsDateTime->setText(time.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
}

void ControlPanel::setState(QMediaPlayer::State state)
{
    if (state == mState)
        return;
    mState = state;
    ui->btn_Stop->setEnabled(state != QMediaPlayer::StoppedState);
    ui->btn_PlayOrPause->setChecked(state == QMediaPlayer::PlayingState);
    ui->btn_PlayOrPause->update();
}

void ControlPanel::setVolume(int volume)
{
    showVolume(volume);
}

void ControlPanel::setMuted(bool muted)
{
    if (muted != mMuted) {
        mMuted = muted;
        emit changeMuting(muted);
    }
    showVolume(mMuted ? 0 : mLastVolume);
    ui->tBtn_Mute->setChecked(mMuted);
    qDebug() << "** setMuted:" << mMuted;
}

void ControlPanel::setPlaybackRate(float rate)
{
    for (int i = 0; i < ui->fcbox_Rate->count(); ++i) {
        if (qFuzzyCompare(rate, ui->fcbox_Rate->itemData(i, Qt::UserRole).toFloat())) {
            ui->fcbox_Rate->setCurrentIndex(i);
            return;
        }
    }
}

void ControlPanel::playClicked()
{
    if (mState == QMediaPlayer::PlayingState)
        emit pause();
    else
        emit play();
}

void ControlPanel::onShowModeChanged(ShowMode mode)
{
    switch (mode) {
    case Front:
        ui->btn_Front->setChecked(true);
        break;
    case Rear:
        ui->btn_Rear->setChecked(true);
        break;
    default:
        ui->btn_FrontRear->setChecked(true);
        break;
    }
}

void ControlPanel::muteClicked()
{
    mMuted = !mMuted;
    qDebug() << "** muteClicked:" << mMuted;
    emit changeMuting(mMuted);
}

void ControlPanel::updateRate()
{
    emit changeRate(
            ui->fcbox_Rate->itemData(ui->fcbox_Rate->currentIndex(), Qt::UserRole).toDouble());
}

void ControlPanel::onVolumeSliderValueChanged()
{
    const int volume = volumeFromSlider();
    if (volume != 0) {
        mLastVolume = volume;
        if (mMuted) {
            mMuted = false;
            emit changeMuting(false);
        }
        // Snapping the slider to the volume's own position re-enters this slot at most once:
        // the rounded scales agree after one round trip.
        showVolume(mMuted ? 0 : mLastVolume);
        ui->tBtn_Mute->setChecked(mMuted);
        qDebug() << "** setMuted:" << mMuted;
    }
    qDebug() << "cur-volome" << mLastVolume;
    emit changeVolume(volumeFromSlider());
}

void ControlPanel::onUpdateLanguage()
{
    ui->retranslateUi(this);
    // The form's placeholder names km/h; in another unit it would contradict the setting.
    if (mSpeedUnit != SpeedUnit::Kmh)
        ui->pBtn_Speed->setText(SpeedUnit::text(0, mSpeedUnit, 3));
}

void ControlPanel::onSliderStatusProcess()
{
    emit sliderStatusChanged(ui->hSlider_Seek->isSliderDown(), ui->hSlider_Seek->sliderPosition());
}

int ControlPanel::seekValueAt(int x) const
{
    const QSlider *slider = ui->hSlider_Seek;
    const int groove = slider->width() - GrooveInset;
    // A slider too narrow to show a groove maps every click to its start.
    if (groove <= 0)
        return slider->minimum();
    return int(qint64(x - GrooveStart) * (slider->maximum() - slider->minimum()) / groove
               + slider->minimum());
}

bool ControlPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->hSlider_Seek) {
        if (event->type() == QEvent::MouseButtonPress) {
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
                ui->hSlider_Seek->setSliderDown(true);
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton) {
                const int value
                        = mState == QMediaPlayer::StoppedState ? 0 : seekValueAt(mouse->x());
                if (value != ui->hSlider_Seek->sliderPosition())
                    ui->hSlider_Seek->setValue(value);
                ui->hSlider_Seek->setSliderDown(false);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Strip under the seek slider: the whole drive's clips side by side, the position and the events.
#include "drivetimeline.h"

#include "drivetexts.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

// The strip lines up with the seek slider's groove above it, which is inset this far.
constexpr int Inset = 5;
// Marks reach a little above and below the clips so that they stay visible on any colour.
constexpr int MarkOverhang = 2;
// How close to a mark the pointer must be for its tool tip.
constexpr int MarkReach = 4;

const QColor ClipColour(10, 10, 10);
const QColor CurrentClipColour(58, 58, 70);
const QColor PlayedColour(38, 153, 238);
const QColor SeparatorColour(44, 44, 52); // the control bar's own background
const QColor PositionColour(255, 255, 255);

} // namespace

DriveTimeline::DriveTimeline(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QSize DriveTimeline::sizeHint() const
{
    return QSize(200, 14);
}

QSize DriveTimeline::minimumSizeHint() const
{
    return QSize(2 * Inset + 10, 14);
}

void DriveTimeline::setDrive(const PlaylistDrives::Drive &drive, int currentRowId)
{
    mDrive = drive;
    mRowId = currentRowId;
    mSecond = 0;
    update();
}

void DriveTimeline::clear()
{
    setDrive({}, -1);
}

void DriveTimeline::setPosition(int rowId, int second)
{
    if (rowId == mRowId && second == mSecond)
        return;
    mRowId = rowId;
    mSecond = second;
    update();
}

void DriveTimeline::setSpeedUnit(SpeedUnit::Unit unit)
{
    mUnit = unit;
}

int DriveTimeline::length() const
{
    int seconds = 0;
    for (const PlaylistDrives::Clip &clip : mDrive.clips)
        seconds = std::max(seconds, clip.offset + std::max(clip.seconds, 0));
    return seconds;
}

int DriveTimeline::driveSecond(const PlaylistDrives::Drive &drive, int rowId, int second)
{
    for (const PlaylistDrives::Clip &clip : drive.clips) {
        if (clip.rowId == rowId)
            return clip.offset + std::clamp(second, 0, std::max(clip.seconds, 0));
    }
    return -1;
}

bool DriveTimeline::momentOf(const PlaylistDrives::Drive &drive, int driveSecond, int *rowId,
                             int *second)
{
    // The last clip with a length that starts at or before the moment; a moment past the end
    // is the last second of the drive, one before it its first.
    const PlaylistDrives::Clip *found = nullptr;
    for (const PlaylistDrives::Clip &clip : drive.clips) {
        if (clip.seconds <= 0)
            continue;
        if (!found || clip.offset <= driveSecond)
            found = &clip;
        if (clip.offset > driveSecond)
            break;
    }
    if (!found)
        return false;
    *rowId = found->rowId;
    // The last second of a clip, not its end: the end starts the next recording.
    *second = std::clamp(driveSecond - found->offset, 0, found->seconds - 1);
    return true;
}

QRect DriveTimeline::stripRect() const
{
    return rect().adjusted(Inset, MarkOverhang + 1, -Inset, -MarkOverhang - 1);
}

bool DriveTimeline::momentAt(int x, int *rowId, int *second) const
{
    const QRect strip = stripRect();
    const int total = length();
    if (total <= 0 || strip.width() <= 0 || x < strip.left() || x > strip.right() + 1)
        return false;
    const int at = int(qint64(x - strip.left()) * total / strip.width());
    return momentOf(mDrive, at, rowId, second);
}

int DriveTimeline::xOf(int rowId, int second) const
{
    const int at = driveSecond(mDrive, rowId, second);
    const int total = length();
    if (at < 0 || total <= 0)
        return -1;
    const QRect strip = stripRect();
    return strip.left() + int(qint64(at) * strip.width() / total);
}

const DrivingEvent *DriveTimeline::eventNear(int x, int *rowId) const
{
    const DrivingEvent *nearest = nullptr;
    int best = MarkReach + 1;
    for (const PlaylistDrives::Clip &clip : mDrive.clips) {
        for (const DrivingEvent &event : clip.events) {
            const int distance = std::abs(xOf(clip.rowId, event.peak) - x);
            if (distance < best) {
                best = distance;
                nearest = &event;
                *rowId = clip.rowId;
            }
        }
    }
    return nearest;
}

QString DriveTimeline::toolTipAt(int x) const
{
    QString text = tr("Drive: %1").arg(DriveTexts::summary(mDrive.summary, mUnit));
    int rowId = -1;
    if (const DrivingEvent *event = eventNear(x, &rowId))
        text = DriveTexts::describe(*event, mUnit) + QLatin1Char('\n') + text;
    return text;
}

bool DriveTimeline::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (hasDrive())
            QToolTip::showText(help->globalPos(), toolTipAt(help->x()), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void DriveTimeline::mousePressEvent(QMouseEvent *event)
{
    int rowId = -1;
    int second = 0;
    if (event->button() == Qt::LeftButton && momentAt(event->x(), &rowId, &second)) {
        emit seekRequested(rowId, second);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void DriveTimeline::paintEvent(QPaintEvent *)
{
    if (!hasDrive())
        return;
    QPainter painter(this);
    const QRect strip = stripRect();
    const int total = length();
    const auto xAt = [&](int driveSecond) {
        return strip.left() + int(qint64(driveSecond) * strip.width() / total);
    };
    const int position = xOf(mRowId, mSecond);

    for (const PlaylistDrives::Clip &clip : mDrive.clips) {
        if (clip.seconds <= 0)
            continue;
        const int left = xAt(clip.offset);
        const int right = xAt(clip.offset + clip.seconds);
        const QRect body(left, strip.top(), std::max(right - left, 1), strip.height());
        painter.fillRect(body, clip.rowId == mRowId ? CurrentClipColour : ClipColour);
        // What has been played of the drive, as the seek slider shows it of the clip.
        if (position > left)
            painter.fillRect(QRect(left, strip.top() + 2, std::min(position, right) - left,
                                   strip.height() - 4),
                             PlayedColour);
        if (clip.offset > 0)
            painter.fillRect(QRect(left, strip.top(), 1, strip.height()), SeparatorColour);
    }
    for (const PlaylistDrives::Clip &clip : mDrive.clips) {
        for (const DrivingEvent &event : clip.events) {
            const int x = xOf(clip.rowId, event.peak);
            painter.fillRect(QRect(x - 1, 0, 3, height()), DriveTexts::colour(event.type));
        }
    }
    if (position >= 0)
        painter.fillRect(QRect(position - 1, strip.top() - 1, 2, strip.height() + 2),
                         PositionColour);
}

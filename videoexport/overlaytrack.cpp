// The overlay's timeline: which sample each moment shows, and what moves between seconds.
#include "overlaytrack.h"

#include "export/fieldformat.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

// Web Mercator stops short of the poles; positions beyond are drawn at its edge.
constexpr double MaxLatitude = 85.0511287798;

const QPointF NoPosition(qQNaN(), qQNaN());

bool isPosition(const QPointF &point)
{
    return !std::isnan(point.x());
}

float axisValue(const GpsData &sample, int axis)
{
    return axis == 0 ? sample.gsensorX : axis == 1 ? sample.gsensorY : sample.gsensorZ;
}

} // namespace

bool OverlayTrack::hasFix(const GpsData &sample)
{
    return FieldFormat::isTrackPoint(sample);
}

QPointF OverlayTrack::world(const GpsData &sample)
{
    const double latitude
            = qDegreesToRadians(std::clamp(sample.latitude, -MaxLatitude, MaxLatitude));
    return QPointF((sample.longitude + 180.0) / 360.0,
                   (1.0 - std::log(std::tan(latitude) + 1.0 / std::cos(latitude)) / M_PI) / 2.0);
}

void OverlayTrack::setClips(const QVector<OverlayClip> &clips, int framesPerSecond)
{
    mClips = clips;
    mPieces.clear();
    mLines.clear();
    mBounds = QRectF();
    mDuration = 0;
    mRate = std::max(0, framesPerSecond);
    qint64 frames = 0; // the pieces' frames so far, with a rate
    QPointF carried = NoPosition; // the last fix of the pieces before
    double carriedHeading = qQNaN();
    QPointF low, high; // corners of the box around the fixes
    bool anyFix = false;
    for (const OverlayClip &clip : clips) {
        Piece piece;
        piece.carried = carried;
        piece.carriedHeading = carriedHeading;
        piece.start = mDuration;
        // A piece without an end runs to its last sample.
        piece.end
                = clip.to >= clip.from ? clip.to : std::max(clip.from, double(clip.samples.size()));
        if (mRate > 0) {
            // Summed seconds drift from the frames' n / rate: a piece's first frame could then
            // read the piece before. Whole frames give every piece its exact first frame.
            const qint64 length
                    = clip.frames > 0
                              ? clip.frames
                              : std::max<qint64>(0, qRound64((piece.end - clip.from) * mRate));
            piece.startFrame = frames;
            piece.start = double(frames) / mRate;
            piece.end = clip.from + double(length) / mRate;
            frames += length;
            mDuration = double(frames) / mRate;
        } else {
            mDuration += piece.end - clip.from;
        }

        const int count = clip.samples.size();
        piece.fixes.resize(count);
        piece.lastFix.resize(count);
        piece.heading.resize(count);
        const int first = std::max(0, int(std::floor(clip.from)));
        const int last = std::min(count - 1, int(std::ceil(piece.end)) - 1);
        QPolygonF line;
        QPointF lastFix = carried;
        double lastHeading = carriedHeading;
        for (int s = 0; s < count; ++s) {
            const GpsData &sample = clip.samples.at(s);
            if (s > 0 && hasFix(sample) && hasFix(clip.samples.at(s - 1)))
                lastHeading = sample.heading;
            piece.heading[s] = lastHeading;
            piece.fixes[s] = hasFix(sample) ? world(sample) : NoPosition;
            if (isPosition(piece.fixes[s])) {
                lastFix = piece.fixes[s];
                if (s >= first && s <= last) {
                    line << lastFix;
                    // QRectF::united skips empty rectangles, which single points are.
                    if (!anyFix)
                        low = high = lastFix;
                    low = QPointF(std::min(low.x(), lastFix.x()), std::min(low.y(), lastFix.y()));
                    high = QPointF(std::max(high.x(), lastFix.x()),
                                   std::max(high.y(), lastFix.y()));
                    anyFix = true;
                }
            }
            piece.lastFix[s] = lastFix;
        }
        if (last >= 0 && last < count) {
            carried = piece.lastFix[last];
            carriedHeading = piece.heading[last];
        }
        if (!line.isEmpty())
            mLines << line;
        mPieces << piece;
    }
    if (anyFix)
        mBounds = QRectF(low, high);
}

OverlayTrack::Moment OverlayTrack::moment(double seconds) const
{
    Moment moment;
    if (mPieces.isEmpty())
        return moment;
    if (!std::isfinite(seconds))
        seconds = 0;
    // Pieces are few, and a frame asks once.
    int index = 0;
    while (index + 1 < mPieces.size() && seconds >= mPieces.at(index + 1).start)
        ++index;
    return momentIn(index, mClips.at(index).from + seconds - mPieces.at(index).start);
}

OverlayTrack::Moment OverlayTrack::frameMoment(qint64 frame) const
{
    if (mRate <= 0 || mPieces.isEmpty())
        return moment(0.0);
    int index = 0;
    while (index + 1 < mPieces.size() && frame >= mPieces.at(index + 1).startFrame)
        ++index;
    return momentIn(index,
                    mClips.at(index).from + double(frame - mPieces.at(index).startFrame) / mRate);
}

OverlayTrack::Moment OverlayTrack::momentIn(int index, double at) const
{
    Moment moment;
    const Piece &piece = mPieces.at(index);
    const OverlayClip &clip = mClips.at(index);
    moment.piece = index;
    moment.at = std::clamp(at, clip.from, piece.end);
    const int second = int(std::floor(moment.at));
    // The very end of a piece, on a whole second, still shows the second before it.
    const bool atEnd = moment.at >= piece.end && second == moment.at && second > clip.from;
    const int shown = atEnd ? second - 1 : second;
    moment.second = shown >= 0 && shown < clip.samples.size() ? shown : -1;
    return moment;
}

const GpsData *OverlayTrack::sample(const Moment &moment) const
{
    if (moment.piece < 0 || moment.second < 0)
        return nullptr;
    return &mClips.at(moment.piece).samples.at(moment.second);
}

bool OverlayTrack::gAt(int piece, double at, int axis, double *value) const
{
    const QVector<GpsData> &samples = mClips.at(piece).samples;
    const int second = int(std::floor(at));
    if (second < 0 || second >= samples.size())
        return false;
    const double here = axisValue(samples.at(second), axis);
    if (!std::isfinite(here))
        return false;
    const double next
            = second + 1 < samples.size() ? axisValue(samples.at(second + 1), axis) : here;
    *value = std::isfinite(next) ? here + (next - here) * (at - second) : here;
    return true;
}

bool OverlayTrack::gForce(const Moment &now, std::array<double, 3> *g) const
{
    if (now.piece < 0)
        return false;
    for (int axis = 0; axis < 3; ++axis) {
        if (!gAt(now.piece, now.at, axis, &(*g)[axis]))
            return false;
    }
    return true;
}

std::array<QVector<QPolygonF>, 3> OverlayTrack::gLines(double from, double to) const
{
    std::array<QVector<QPolygonF>, 3> lines;
    for (int index = 0; index < mPieces.size(); ++index) {
        const Piece &piece = mPieces.at(index);
        const double offset = mClips.at(index).from - piece.start; // recording minus overlay time
        const double begin = std::max(from, piece.start);
        const double end = std::min(to, piece.end - offset);
        if (begin > end)
            continue;
        QVector<double> times{begin};
        for (double second = std::floor(begin + offset) + 1; second < end + offset; ++second)
            times << second - offset;
        times << end;
        for (int axis = 0; axis < 3; ++axis) {
            QPolygonF line;
            for (double time : times) {
                double value;
                if (gAt(index, time + offset, axis, &value)) {
                    line << QPointF(time, value);
                } else if (!line.isEmpty()) {
                    lines[axis] << line;
                    line.clear();
                }
            }
            if (!line.isEmpty())
                lines[axis] << line;
        }
    }
    return lines;
}

bool OverlayTrack::heading(const Moment &now, double *degrees) const
{
    if (now.piece < 0)
        return false;
    const Piece &piece = mPieces.at(now.piece);
    if (now.second < 0)
        *degrees = piece.heading.isEmpty() ? piece.carriedHeading : piece.heading.last();
    else
        *degrees = piece.heading.at(now.second);
    return std::isfinite(*degrees);
}

bool OverlayTrack::position(const Moment &now, QPointF *world) const
{
    if (now.piece < 0)
        return false;
    const Piece &piece = mPieces.at(now.piece);
    if (now.second < 0) {
        // Video past the recording's samples, or a recording without any: the car stays where
        // they left it.
        *world = piece.lastFix.isEmpty() ? piece.carried : piece.lastFix.last();
        return isPosition(*world);
    }
    const QPointF here = piece.fixes.at(now.second);
    const bool nextFixed
            = now.second + 1 < piece.fixes.size() && isPosition(piece.fixes.at(now.second + 1));
    if (isPosition(here) && nextFixed) {
        *world = here + (piece.fixes.at(now.second + 1) - here) * (now.at - now.second);
        return true;
    }
    *world = piece.lastFix.at(now.second);
    return isPosition(*world);
}

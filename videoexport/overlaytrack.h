// The overlay's timeline: the pieces' samples end to end, which sample each moment shows, and the
// G forces and position between seconds.
#pragma once

#include "telemetryoverlay.h"

#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QVector>

#include <array>
#include <limits>

class OverlayTrack
{
public:
    // Where a moment of the overlay falls: a piece and the second of its recording. piece is -1
    // when there are no pieces, second is -1 when the recording has no sample for it.
    struct Moment
    {
        int piece = -1;
        int second = -1;
        double at = 0; // seconds into the recording
    };

    // With a frame rate, the pieces run for whole frames (OverlayClip::frames, else their
    // seconds rounded to frames), as the encoder cuts them; without, for their seconds.
    void setClips(const QVector<OverlayClip> &clips, int framesPerSecond = 0);
    const QVector<OverlayClip> &clips() const { return mClips; }
    double duration() const { return mDuration; }
    int framesPerSecond() const { return mRate; }

    // Moments before the start or past the end read as the first or the last.
    Moment moment(double seconds) const;
    // The moment of frame n, found by whole frames so that it falls in the piece whose picture
    // the frame shows; the start when the track has no rate.
    Moment frameMoment(qint64 frame) const;
    const GpsData *sample(const Moment &moment) const;

    // The three axes, each between its second and the next; false without a sample.
    bool gForce(double seconds, std::array<double, 3> *g) const
    {
        return gForce(moment(seconds), g);
    }
    bool gForce(const Moment &moment, std::array<double, 3> *g) const;
    // Each axis's line over [from, to] of the overlay's time as (seconds, G) points, with a corner
    // at every second; a line breaks where an axis has no value and between pieces.
    std::array<QVector<QPolygonF>, 3> gLines(double from, double to) const;

    // The position shown at that moment, in Web Mercator world units (0..1 across): between two
    // fixes it moves from one to the next; otherwise it stays at the last fix. False before any.
    bool position(double seconds, QPointF *world) const { return position(moment(seconds), world); }
    bool position(const Moment &moment, QPointF *world) const;
    // The pieces' fixed positions, one line per piece, and the box around them (null when no
    // fix at all).
    const QVector<QPolygonF> &lines() const { return mLines; }
    QRectF bounds() const { return mBounds; }

    // The heading shown at that moment, in degrees: the recording's own where it was worked out
    // from two fixes a second apart, else the last such one before (also from earlier pieces).
    // The first second of a recording and the second after a gap carry no heading of their own:
    // it is worked out from the position before, which was none or no fix. False before any.
    bool heading(const Moment &moment, double *degrees) const;

    static bool hasFix(const GpsData &sample);
    static QPointF world(const GpsData &sample);

private:
    struct Piece
    {
        double start = 0; // on the overlay's time
        double end = 0; // the recording's second the piece ends at
        qint64 startFrame = 0; // with a rate: the piece's first frame of the overlay
        QPointF carried; // the last fix of the pieces before, NaN before any
        QVector<QPointF> fixes; // per sample; NaN where there is no fix
        // Per sample: the position of the last fix at or before it, NaN before any
        QVector<QPointF> lastFix;
        double carriedHeading = std::numeric_limits<double>::quiet_NaN(); // of the pieces before
        QVector<double> heading; // per sample: the heading shown, NaN before any
    };
    bool gAt(int piece, double at, int axis, double *value) const;
    Moment momentIn(int piece, double at) const;

    QVector<OverlayClip> mClips;
    QVector<Piece> mPieces;
    double mDuration = 0;
    int mRate = 0;
    QVector<QPolygonF> mLines;
    QRectF mBounds;
};

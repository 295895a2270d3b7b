// Harsh braking, acceleration and cornering and impacts found in a drive's G-sensor and speed.
#pragma once

#include "drivingevent.h"

#include <parser/gpsdata.h>

#include <QVector>

// The rule, and every constant it uses.
//
// Input: one sample per second. A sample whose index does not grow is the parsing thread's
// padding copy of the one before and carries no data; a G reading below MinReadingG in magnitude
// is none either (gravity alone reads 1 g: the sensor failed or was not written), nor is one
// above MaxReadingG or not finite (beyond any dash camera's sensor range: a corrupt record).
// Speed and position count only where the fix flag is set and the position is not 0, 0, and
// not where the speed differs by more than MaxVehicleG's worth (about 35 km/h) from each
// neighbouring second's: that is the receiver's glitch, and the change of speed across it is
// taken over the two seconds either side.
//
// Mounting (once per drive). The camera's axes are unknown, so gravity and the forward axis are
// measured from the drive itself:
// - Gravity is the mean G vector over steady seconds: readings within GravityBandG of 1 g in
//   magnitude and, with a fix, speed changing by at most SteadyKmhPerSecond; the mean is taken
//   again over the readings within GravityOutlierG of the first mean. The sensor reads the
//   vehicle's acceleration plus gravity (a camera at rest on level ground reads about -1 g along
//   the axis that points up), so up is the opposite of that mean.
// - Forward is the horizontal direction whose G component follows the change of GPS speed per
//   second: over seconds with a fix, at least MinStraightKmh before and after, and a course that
//   turns by at most MaxStraightDegreesPerSecond, each horizontal component of the dynamic G
//   (reading less gravity) is regressed through the origin on that change, with the GPS lateral
//   (below) as a second regressor so that gentle bends do not lean the axis sideways; the two
//   slopes on the change of speed give the forward direction. Seconds whose horizontal G exceeds
//   what the GPS tells by RegressionOutlierG (potholes, collisions) are left out. Forward is known
//   with at least MinRegressionSeconds such seconds whose changes of speed add up to
//   MinRegressionExcitation (sum of squares, g squared) and a slope of at least
//   MinRegressionSlope. Left = up x forward (with the fixture's camera, x right, y forward, z up
//   reading -1 g: forward +y, left -x, up +z), unless the G along it goes against the GPS
//   lateral over seconds whose GPS lateral adds up to MinRegressionExcitation (sum of squares;
//   jolts and outliers left out as above): a sensor with mirrored axes.
//
// Per second, the dynamic G is the reading less the gravity vector: longitudinal along forward,
// lateral along left, vertical along up. The GPS gives the same two horizontal quantities where
// there is a fix: longitudinal from the change of speed over the second before, lateral from the
// speed and the turn of the course between consecutive positions (at least MinStraightKmh).
// Either one above MaxVehicleG in magnitude is no data (and such a second's turn is unknown): no
// car brakes, speeds up or corners that hard, so one of the fixes went wrong, and one bad reading
// must not spoil the mounting or the rule for the whole drive.
// - A hill tilts gravity into the longitudinal reading (a 10 % grade by about 0.1 g) and road
//   camber into the lateral one; they change slowly, so each is taken out as the median, over
//   BiasWindowSeconds either side, of the G component less its GPS counterpart (the component
//   itself where there is none).
// - A second whose vertical dynamic G reaches JoltG is a jolt of the road (pothole, speed bump):
//   its horizontal G, leaning a little into the jolt with any error of the mounting, tells
//   nothing, and the GPS's values stand in for it.
// - Harsh braking (negative) or acceleration (positive) is a second whose corrected longitudinal
//   G reaches HarshG while the GPS longitudinal, in that second or one next to it, reaches
//   HarshG x GpsAgreement with the same sign; harsh cornering likewise with the lateral G (either
//   side). Where the GPS has no counterpart (no fix, too slow), the G alone must reach
//   HarshNoFixG: HarshG plus the steepest grade a hill correction could have missed.
// - An impact is a second whose total dynamic G reaches ImpactMinorG (major from ImpactMajorG)
//   with at least ImpactHorizontalG of it horizontal, more than tyres can give, so that a jolt
//   of the road (pothole, speed bump: vertical) is none; with a fix the speed must also change by
//   ImpactKmh or more from the latest fix of the two seconds before, or come to a stop (at most
//   StopKmh), within ImpactWindowSeconds. Without a fix there, the horizontal part alone must
//   reach ImpactNoFixHorizontalG.
// - Seconds of one kind (and, for harsh manoeuvres, one sign) at most MergeGapSeconds apart form
//   one event: its start and end are the first and last such second, its peak the strongest.
//   Harsh seconds from the one before an impact to ImpactShadowSeconds after it belong to the
//   impact and are dropped. Events are sorted by peak.
//
// Without a known forward axis, the GPS longitudinal and lateral stand in for the G ones (so only
// with a fix, against HarshG); impacts need gravity alone. A mounting whose gravity is not known
// is measured on the recording at hand.
namespace EventDetector {

constexpr double MinReadingG = 0.3;
constexpr double MaxReadingG = 16.0;
constexpr double GravityBandG = 0.15;
constexpr double SteadyKmhPerSecond = 3.0;
constexpr double GravityOutlierG = 0.08;
constexpr double MinStraightKmh = 10.0;
constexpr double MaxStraightDegreesPerSecond = 3.0;
constexpr int MinRegressionSeconds = 15;
constexpr double MinRegressionExcitation = 0.05;
constexpr double MinRegressionSlope = 0.4;
constexpr double RegressionOutlierG = 0.25;
constexpr int BiasWindowSeconds = 10;
constexpr double HarshG = 0.38;
constexpr double MaxVehicleG = 1.0;
constexpr double GpsAgreement = 0.85;
constexpr double JoltG = 0.5;
constexpr double HarshNoFixG = 0.5;
constexpr double ImpactMinorG = 1.5;
constexpr double ImpactMajorG = 2.5;
constexpr double ImpactHorizontalG = 1.0;
constexpr double ImpactNoFixHorizontalG = 1.5;
constexpr double ImpactKmh = 7.0;
constexpr double StopKmh = 2.0;
constexpr int ImpactWindowSeconds = 3;
constexpr int MergeGapSeconds = 1;
constexpr int ImpactShadowSeconds = 3;

struct Mounting
{
    // Unit vectors in the sensor's axes.
    double forward[3] = {0.0, 1.0, 0.0};
    double left[3] = {-1.0, 0.0, 0.0};
    double up[3] = {0.0, 0.0, 1.0};
    bool known = false; // forward, left and up measured
    // Gravity alone measured (the vector the sensor reads at rest, g), which impacts need.
    bool gravityKnown = false;
    double gravity[3] = {0.0, 0.0, -1.0};
};

// Gravity and the forward axis from the drive's own readings (G against the change of GPS speed
// while driving straight); known is false when the drive gives too little to tell.
Mounting estimateMounting(const QVector<QVector<GpsData>> &clips);
// Events sorted by peak.
QVector<DrivingEvent> detect(const QVector<GpsData> &samples, const Mounting &mounting);
// Estimate once over the drive, then detect each clip: result[i] belongs to clips[i].
QVector<QVector<DrivingEvent>> detectDrive(const QVector<QVector<GpsData>> &clips);

} // namespace EventDetector

// Mounting estimate and event rule over per-second telemetry; the rule is told in the header.
#include "eventdetector.h"

#include <QDateTime>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>

namespace EventDetector {

namespace {

constexpr double StandardGravity = 9.80665;
constexpr double MetresPerDegree = 111320.0;

using Vector = std::array<double, 3>;

double dot(const Vector &a, const Vector &b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vector cross(const Vector &a, const Vector &b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vector scaled(const Vector &a, double factor)
{
    return {a[0] * factor, a[1] * factor, a[2] * factor};
}

Vector minus(const Vector &a, const Vector &b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

double norm(const Vector &a)
{
    return std::sqrt(dot(a, a));
}

Vector unit(const Vector &a)
{
    const double length = norm(a);
    return length > 0.0 ? scaled(a, 1.0 / length) : a;
}

Vector fromArray(const double (&a)[3])
{
    return {a[0], a[1], a[2]};
}

void toArray(const Vector &v, double (&a)[3])
{
    std::copy(v.begin(), v.end(), a);
}

bool known(double value)
{
    return !std::isnan(value);
}

// One second of a recording as the rule sees it; NaN marks what it does not tell.
struct Second
{
    bool reading = false; // a G reading
    bool fix = false;
    Vector g = {};
    double speed = qQNaN(); // km/h
    double latitude = 0.0, longitude = 0.0;
    double gpsLongitudinal = qQNaN(); // g, from the change of speed over the second before
    double turn = qQNaN(); // degrees per second, clockwise, of the course around this second
    double gpsLateral = qQNaN(); // g, to the left
};

// The course from a to b in degrees clockwise from north, NaN unless both move fast enough.
double courseBetween(const Second &a, const Second &b)
{
    if (!a.fix || !b.fix || a.speed < MinStraightKmh || b.speed < MinStraightKmh)
        return qQNaN();
    const double north = (b.latitude - a.latitude) * MetresPerDegree;
    const double east = (b.longitude - a.longitude) * MetresPerDegree
                        * std::cos(qDegreesToRadians(a.latitude));
    if (north == 0.0 && east == 0.0)
        return qQNaN();
    return qRadiansToDegrees(std::atan2(east, north));
}

QVector<Second> secondsOf(const QVector<GpsData> &samples)
{
    QVector<Second> seconds(samples.size());
    for (int i = 0; i < samples.size(); ++i) {
        const GpsData &sample = samples.at(i);
        if (i > 0 && sample.index <= samples.at(i - 1).index)
            continue; // a padding copy
        Second &second = seconds[i];
        second.g = {sample.gsensorX, sample.gsensorY, sample.gsensorZ};
        const double magnitude = norm(second.g);
        second.reading = magnitude >= MinReadingG && magnitude <= MaxReadingG; // false for NaN
        second.fix = sample.fixFlag != 0 && (sample.latitude != 0.0 || sample.longitude != 0.0);
        if (second.fix) {
            second.speed = sample.speed;
            second.latitude = sample.latitude;
            second.longitude = sample.longitude;
        }
    }
    // A speed that follows from neither neighbouring fix is the receiver's glitch, not the car's.
    const double maxStepKmh = MaxVehicleG * StandardGravity * 3.6;
    QVector<bool> glitch(seconds.size(), false);
    for (int i = 0; i < seconds.size(); ++i) {
        if (!seconds.at(i).fix)
            continue;
        bool judged = false, follows = false;
        for (int j : {i - 1, i + 1}) {
            if (j < 0 || j >= seconds.size() || !seconds.at(j).fix)
                continue;
            judged = true;
            follows = follows || qAbs(seconds.at(j).speed - seconds.at(i).speed) <= maxStepKmh;
        }
        glitch[i] = judged && !follows;
    }
    for (int i = 0; i < seconds.size(); ++i) {
        if (glitch.at(i))
            seconds[i] = Second{seconds.at(i).reading, false, seconds.at(i).g};
    }
    for (int i = 1; i < seconds.size(); ++i) {
        // Across a glitch the change of speed is still known, spread over the two seconds.
        const int before = i >= 2 && glitch.at(i - 1) ? i - 2 : i - 1;
        if (!seconds.at(i).fix || !seconds.at(before).fix)
            continue;
        const double change = (seconds.at(i).speed - seconds.at(before).speed) / (i - before) / 3.6
                              / StandardGravity;
        if (qAbs(change) <= MaxVehicleG)
            seconds[i].gpsLongitudinal = change;
    }
    for (int i = 1; i + 1 < seconds.size(); ++i) {
        const double before = courseBetween(seconds.at(i - 1), seconds.at(i));
        const double after = courseBetween(seconds.at(i), seconds.at(i + 1));
        if (!known(before) || !known(after))
            continue;
        double turn = after - before;
        turn -= 360.0 * std::round(turn / 360.0);
        Second &second = seconds[i];
        const double lateral = -second.speed / 3.6 * qDegreesToRadians(turn) / StandardGravity;
        if (qAbs(lateral) <= MaxVehicleG) {
            second.turn = turn;
            second.gpsLateral = lateral;
        }
    }
    return seconds;
}

bool steady(const QVector<Second> &seconds, int i)
{
    const Second &second = seconds.at(i);
    if (!second.reading || qAbs(norm(second.g) - 1.0) > GravityBandG)
        return false;
    return !known(second.gpsLongitudinal)
           || qAbs(second.gpsLongitudinal) * 3.6 * StandardGravity <= SteadyKmhPerSecond;
}

// Mean of the readings within limit of around (all of them when limit is negative).
bool meanReading(const QVector<QVector<Second>> &clips, const Vector &around, double limit,
                 Vector *mean)
{
    Vector sum = {};
    int count = 0;
    for (const QVector<Second> &seconds : clips) {
        for (int i = 0; i < seconds.size(); ++i) {
            if (!steady(seconds, i))
                continue;
            if (limit >= 0.0 && norm(minus(seconds.at(i).g, around)) > limit)
                continue;
            sum = {sum[0] + seconds.at(i).g[0], sum[1] + seconds.at(i).g[1],
                   sum[2] + seconds.at(i).g[2]};
            ++count;
        }
    }
    if (count == 0)
        return false;
    *mean = scaled(sum, 1.0 / count);
    return true;
}

Mounting mountingOf(const QVector<QVector<Second>> &clips)
{
    Mounting mounting;
    Vector gravity;
    if (!meanReading(clips, {}, -1.0, &gravity))
        return mounting;
    meanReading(clips, gravity, GravityOutlierG, &gravity);
    mounting.gravityKnown = true;
    toArray(gravity, mounting.gravity);
    const Vector up = unit(scaled(gravity, -1.0));
    toArray(up, mounting.up);

    // Two horizontal directions: the sensor axis least along up, made square to it, and the one
    // square to both.
    int axis = 0;
    for (int k = 1; k < 3; ++k) {
        if (qAbs(up[k]) < qAbs(up[axis]))
            axis = k;
    }
    Vector e1 = {};
    e1[axis] = 1.0;
    e1 = unit(minus(e1, scaled(up, dot(e1, up))));
    const Vector e2 = cross(up, e1);

    // Each horizontal component against the GPS's longitudinal and lateral at once, so that
    // bends taken while "straight" do not lean the forward axis sideways.
    double aa = 0.0, ab = 0.0, bb = 0.0, ha[2] = {}, hb[2] = {};
    int count = 0;
    for (const QVector<Second> &seconds : clips) {
        for (int i = 1; i < seconds.size(); ++i) {
            const Second &second = seconds.at(i);
            if (!second.reading || !known(second.gpsLongitudinal) || !known(second.turn)
                || qAbs(second.turn) > MaxStraightDegreesPerSecond
                || seconds.at(i - 1).speed < MinStraightKmh || second.speed < MinStraightKmh)
                continue;
            const Vector dynamic = minus(second.g, gravity);
            const double a = second.gpsLongitudinal, b = second.gpsLateral;
            const double h[2] = {dot(dynamic, e1), dot(dynamic, e2)};
            // A jolt (pothole, collision) is not the vehicle's own acceleration.
            if (std::hypot(h[0], h[1]) > std::hypot(a, b) + RegressionOutlierG)
                continue;
            aa += a * a;
            ab += a * b;
            bb += b * b;
            for (int k = 0; k < 2; ++k) {
                ha[k] += h[k] * a;
                hb[k] += h[k] * b;
            }
            ++count;
        }
    }
    if (count < MinRegressionSeconds || aa < MinRegressionExcitation)
        return mounting;
    // A drive without bends (or whose bends follow its speed) leaves the lateral regressor out.
    const double determinant = aa * bb - ab * ab;
    const bool both = determinant > 0.01 * aa * bb;
    const double slope1 = both ? (bb * ha[0] - ab * hb[0]) / determinant : ha[0] / aa;
    const double slope2 = both ? (bb * ha[1] - ab * hb[1]) / determinant : ha[1] / aa;
    if (std::hypot(slope1, slope2) < MinRegressionSlope)
        return mounting;
    const auto inPlane = [&e1, &e2](double x, double y) {
        return Vector{e1[0] * x + e2[0] * y, e1[1] * x + e2[1] * y, e1[2] * x + e2[2] * y};
    };
    const Vector forward = unit(inPlane(slope1, slope2));
    toArray(forward, mounting.forward);
    // Up x forward is left in right-handed axes; the G that follows the GPS's turns tells
    // whether the sensor's axes are mirrored.
    Vector left = cross(up, forward);
    double side = 0.0, turning = 0.0;
    for (const QVector<Second> &seconds : clips) {
        for (const Second &second : seconds) {
            if (!second.reading || !known(second.gpsLateral))
                continue;
            const Vector dynamic = minus(second.g, gravity);
            const double b = second.gpsLateral;
            if (qAbs(dot(dynamic, up)) >= JoltG
                || qAbs(dot(dynamic, left)) > qAbs(b) + RegressionOutlierG)
                continue;
            side += dot(dynamic, left) * b;
            turning += b * b;
        }
    }
    if (turning >= MinRegressionExcitation && side < 0.0)
        left = scaled(left, -1.0);
    toArray(left, mounting.left);
    mounting.known = true;
    return mounting;
}

double median(QVector<double> values)
{
    const auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// One horizontal G component per second, with its slowly changing offset (hill, camber) taken
// out: NaN where there is no reading.
QVector<double> corrected(const QVector<double> &component, const QVector<double> &gps)
{
    QVector<double> offsets(component.size(), qQNaN());
    for (int i = 0; i < component.size(); ++i) {
        if (known(component.at(i)))
            offsets[i] = component.at(i) - (known(gps.at(i)) ? gps.at(i) : 0.0);
    }
    QVector<double> result(component.size(), qQNaN());
    QVector<double> window;
    for (int i = 0; i < component.size(); ++i) {
        if (!known(component.at(i)))
            continue;
        window.clear();
        for (int j = qMax(0, i - BiasWindowSeconds);
             j <= qMin(component.size() - 1, i + BiasWindowSeconds); ++j) {
            if (known(offsets.at(j)))
                window.append(offsets.at(j));
        }
        result[i] = component.at(i) - median(window);
    }
    return result;
}

struct Trigger
{
    int second;
    double magnitude;
};

enum Channel { BrakingChannel, AccelerationChannel, LeftChannel, RightChannel, ImpactChannel };

// Whether the GPS, in this second or one next to it, agrees in sign and reaches the agreement
// level; checked tells whether it had anything to say.
bool gpsAgrees(const QVector<double> &gps, int i, double sign, bool *checked)
{
    *checked = false;
    for (int j = qMax(0, i - 1); j <= qMin(gps.size() - 1, i + 1); ++j) {
        if (!known(gps.at(j)))
            continue;
        *checked = true;
        if (gps.at(j) * sign >= HarshG * GpsAgreement)
            return true;
    }
    return false;
}

bool harsh(double value, const QVector<double> &gps, int i, bool measured)
{
    if (!known(value))
        return false;
    // Without a mounting the value is the GPS's own.
    if (!measured)
        return qAbs(value) >= HarshG;
    bool checked = false;
    const bool agrees = gpsAgrees(gps, i, value < 0 ? -1.0 : 1.0, &checked);
    return checked ? agrees && qAbs(value) >= HarshG : qAbs(value) >= HarshNoFixG;
}

bool impact(const QVector<Second> &seconds, int i, double horizontal)
{
    int before = -1;
    for (int j = i - 1; j >= qMax(0, i - 2) && before < 0; --j) {
        if (seconds.at(j).fix)
            before = j;
    }
    bool checked = false;
    for (int j = i; before >= 0 && j <= qMin(seconds.size() - 1, i + ImpactWindowSeconds); ++j) {
        if (!seconds.at(j).fix)
            continue;
        checked = true;
        if (qAbs(seconds.at(j).speed - seconds.at(before).speed) >= ImpactKmh
            || seconds.at(j).speed <= StopKmh)
            return true;
    }
    return !checked && horizontal >= ImpactNoFixHorizontalG;
}

DrivingEvent eventOf(const QVector<GpsData> &samples, const QVector<Trigger> &run,
                     DrivingEvent::Type type)
{
    DrivingEvent event;
    event.type = type;
    event.start = run.first().second;
    event.end = run.last().second;
    const Trigger peak
            = *std::max_element(run.begin(), run.end(), [](const auto &a, const auto &b) {
                  return a.magnitude < b.magnitude;
              });
    event.peak = peak.second;
    event.peakG = peak.magnitude;
    if (type == DrivingEvent::Impact)
        event.severity = peak.magnitude >= ImpactMajorG ? DrivingEvent::Major : DrivingEvent::Minor;
    const GpsData &sample = samples.at(peak.second);
    event.speed = sample.speed;
    event.hasPosition = sample.fixFlag != 0 && (sample.latitude != 0.0 || sample.longitude != 0.0);
    if (event.hasPosition) {
        event.latitude = sample.latitude;
        event.longitude = sample.longitude;
    }
    const QByteArray time(sample.dateTime, int(qstrnlen(sample.dateTime, sizeof sample.dateTime)));
    if (QDateTime::fromString(QString::fromLatin1(time), QStringLiteral("yyyyMMddhhmmss"))
                .isValid())
        event.cameraTime = time;
    return event;
}

// Triggers at most MergeGapSeconds apart as runs.
QVector<QVector<Trigger>> runsOf(const QVector<Trigger> &triggers)
{
    QVector<QVector<Trigger>> runs;
    for (const Trigger &trigger : triggers) {
        if (runs.isEmpty() || trigger.second - runs.last().last().second > MergeGapSeconds + 1)
            runs.append(QVector<Trigger>());
        runs.last().append(trigger);
    }
    return runs;
}

} // namespace

Mounting estimateMounting(const QVector<QVector<GpsData>> &clips)
{
    QVector<QVector<Second>> seconds;
    seconds.reserve(clips.size());
    for (const QVector<GpsData> &clip : clips)
        seconds.append(secondsOf(clip));
    return mountingOf(seconds);
}

QVector<DrivingEvent> detect(const QVector<GpsData> &samples, const Mounting &given)
{
    const QVector<Second> seconds = secondsOf(samples);
    // A mounting that tells nothing is measured on this recording alone.
    const Mounting mounting = given.gravityKnown ? given : mountingOf({seconds});
    const Vector gravity = fromArray(mounting.gravity);
    const Vector forward = fromArray(mounting.forward);
    const Vector left = fromArray(mounting.left);
    const Vector up = fromArray(mounting.up);

    const int n = seconds.size();
    QVector<double> longitudinal(n, qQNaN()), lateral(n, qQNaN());
    QVector<double> gpsLongitudinal(n), gpsLateral(n);
    QVector<int> jolts; // seconds whose horizontal G the road's jolt spoils
    for (int i = 0; i < n; ++i) {
        const Second &second = seconds.at(i);
        gpsLongitudinal[i] = second.gpsLongitudinal;
        gpsLateral[i] = second.gpsLateral;
        if (!mounting.known) {
            longitudinal[i] = second.gpsLongitudinal;
            lateral[i] = second.gpsLateral;
        } else if (second.reading) {
            const Vector dynamic = minus(second.g, gravity);
            if (qAbs(dot(dynamic, up)) >= JoltG) {
                jolts.append(i);
                continue;
            }
            longitudinal[i] = dot(dynamic, forward);
            lateral[i] = dot(dynamic, left);
        }
    }
    if (mounting.known) {
        longitudinal = corrected(longitudinal, gpsLongitudinal);
        lateral = corrected(lateral, gpsLateral);
        for (const int i : qAsConst(jolts)) {
            longitudinal[i] = gpsLongitudinal.at(i);
            lateral[i] = gpsLateral.at(i);
        }
    }

    QVector<Trigger> triggers[ImpactChannel + 1];
    for (int i = 0; i < n; ++i) {
        const Second &second = seconds.at(i);
        if (mounting.gravityKnown && second.reading) {
            const Vector dynamic = minus(second.g, gravity);
            const double total = norm(dynamic);
            const double horizontal = norm(minus(dynamic, scaled(up, dot(dynamic, up))));
            if (total >= ImpactMinorG && horizontal >= ImpactHorizontalG
                && impact(seconds, i, horizontal))
                triggers[ImpactChannel].append({i, total});
        }
        const double along = longitudinal.at(i);
        if (harsh(along, gpsLongitudinal, i, mounting.known))
            triggers[along < 0 ? BrakingChannel : AccelerationChannel].append({i, qAbs(along)});
        const double across = lateral.at(i);
        if (harsh(across, gpsLateral, i, mounting.known))
            triggers[across < 0 ? RightChannel : LeftChannel].append({i, qAbs(across)});
    }

    QVector<DrivingEvent> events;
    for (const QVector<Trigger> &run : runsOf(triggers[ImpactChannel]))
        events.append(eventOf(samples, run, DrivingEvent::Impact));
    const QVector<DrivingEvent> impacts = events;
    const auto shadowed = [&impacts](const Trigger &trigger) {
        return std::any_of(impacts.begin(), impacts.end(), [&trigger](const DrivingEvent &e) {
            return trigger.second >= e.start - 1 && trigger.second <= e.end + ImpactShadowSeconds;
        });
    };
    const DrivingEvent::Type types[] = {DrivingEvent::Braking, DrivingEvent::Acceleration,
                                        DrivingEvent::Cornering, DrivingEvent::Cornering};
    for (int channel = BrakingChannel; channel < ImpactChannel; ++channel) {
        QVector<Trigger> kept;
        std::copy_if(triggers[channel].begin(), triggers[channel].end(), std::back_inserter(kept),
                     [&](const Trigger &t) { return !shadowed(t); });
        for (const QVector<Trigger> &run : runsOf(kept))
            events.append(eventOf(samples, run, types[channel]));
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const DrivingEvent &a, const DrivingEvent &b) { return a.peak < b.peak; });
    return events;
}

QVector<QVector<DrivingEvent>> detectDrive(const QVector<QVector<GpsData>> &clips)
{
    const Mounting mounting = estimateMounting(clips);
    QVector<QVector<DrivingEvent>> result;
    result.reserve(clips.size());
    for (const QVector<GpsData> &clip : clips)
        result.append(detect(clip, mounting));
    return result;
}

} // namespace EventDetector

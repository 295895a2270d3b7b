// Recordings joined into drives: the one rule of what continues a drive, and a drive's figures.
#include "drives.h"

#include "cameraclock.h"
#include "extractedrecording.h"
#include "fieldformat.h"
#include "recordingname.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QtMath>

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace Drives {

namespace {

constexpr double EarthRadiusMetres = 6371008.8; // the mean radius

double greatCircleMetres(const GpsData &a, const GpsData &b)
{
    const double lat1 = qDegreesToRadians(a.latitude);
    const double lat2 = qDegreesToRadians(b.latitude);
    const double dLat = lat2 - lat1;
    const double dLon = qDegreesToRadians(b.longitude - a.longitude);
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2)
                     + std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * EarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
}

struct Fix
{
    const GpsData *sample;
    qint64 second; // on the clips laid end to end, a sample a second
};

// The samples that hold a position, in drive order; the parsing thread's padding copies (an
// index that does not grow) hold no reading of their own. A clip lasts its length where that is
// longer than its samples, so that a clip without telemetry still keeps its neighbours apart.
QVector<Fix> fixesOf(const QVector<QVector<GpsData>> &clipSamples,
                     const QVector<int> &clipSeconds = QVector<int>())
{
    QVector<Fix> fixes;
    qint64 offset = 0;
    for (int clip = 0; clip < clipSamples.size(); ++clip) {
        const QVector<GpsData> &samples = clipSamples.at(clip);
        for (int i = 0; i < samples.size(); ++i) {
            const GpsData &sample = samples.at(i);
            if (i > 0 && sample.index <= samples.at(i - 1).index)
                continue;
            if (FieldFormat::isTrackPoint(sample))
                fixes.append({&sample, offset + i});
        }
        offset += std::max(samples.size(), clipSeconds.value(clip));
    }
    return fixes;
}

bool speedFollows(const Fix &from, const Fix &to)
{
    return std::abs(to.sample->speed - from.sample->speed)
           <= MaxKmhPerSecond * double(to.second - from.second);
}

// A camera writes a front and a rear file side by side; the same name in another folder, such
// as another car's in a fleet's archive, is another recording.
QString pairKey(const QFileInfo &file)
{
    return QDir::cleanPath(file.path()) + QLatin1Char('/')
           + RecordingName::sharedBase(file.fileName());
}

} // namespace

bool continues(qint64 last, qint64 next)
{
    return std::llabs(next - last) <= GapSeconds;
}

DriveClip clipOf(const QVector<GpsData> &samples, int seconds, qint64 fallbackStart)
{
    DriveClip clip;
    clip.start = fallbackStart;
    for (int second = 0; second < samples.size(); ++second) {
        qint64 reading;
        if (CameraClock::reading(samples.at(second), &reading)) {
            clip.start = reading - second;
            break;
        }
    }
    clip.end = clip.start + std::max(0, seconds);
    return clip;
}

DriveClip clipOfRecording(const ExtractedRecording &recording)
{
    const int seconds = lengthOf(recording.info.duration, recording.samples.size());
    return clipOf(recording.samples, seconds,
                  fileStart(fileTime(QFileInfo(recording.file)), seconds));
}

QVector<bool> rearsOfListedFronts(const QStringList &files)
{
    QSet<QString> fronts;
    for (const QString &file : files) {
        const QFileInfo info(file);
        if (RecordingName::isFront(info.fileName()))
            fronts.insert(pairKey(info));
    }
    QVector<bool> rears;
    rears.reserve(files.size());
    for (const QString &file : files) {
        const QFileInfo info(file);
        rears.append(RecordingName::isRear(info.fileName()) && fronts.contains(pairKey(info)));
    }
    return rears;
}

QStringList withoutListedRears(const QStringList &files)
{
    const QVector<bool> rears = rearsOfListedFronts(files);
    QStringList result;
    for (int i = 0; i < files.size(); ++i) {
        if (!rears.at(i))
            result.append(files.at(i));
    }
    return result;
}

QString rearPartner(const QString &front)
{
    const QFileInfo info(front);
    if (!RecordingName::isFront(info.fileName()))
        return QString();
    const QString key = pairKey(info);
    const QStringList names = info.dir().entryList(RecordingName::nameFilters(),
                                                   QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &name : names) {
        const QFileInfo candidate(info.dir(), name);
        if (RecordingName::isRecordingFile(name) && RecordingName::isRear(name)
            && pairKey(candidate) == key)
            return candidate.filePath();
    }
    return QString();
}

qint64 clockSeconds(const QDateTime &localTime)
{
    return localTime.isValid() ? localTime.toSecsSinceEpoch() + localTime.offsetFromUtc() : 0;
}

qint64 fileTime(const QFileInfo &file)
{
    return clockSeconds(file.lastModified());
}

qint64 fileStart(qint64 fileTime, int seconds)
{
    return fileTime - std::max(0, seconds);
}

int lengthOf(int headerSeconds, int sampleCount)
{
    return headerSeconds > 0 ? headerSeconds : std::max(0, sampleCount);
}

QVector<QVector<int>> group(const QVector<DriveClip> &clips)
{
    QVector<int> order(clips.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&clips](int a, int b) { return clips.at(a).start < clips.at(b).start; });

    QVector<QVector<int>> drives;
    qint64 latestEnd = 0;
    for (int index : qAsConst(order)) {
        const DriveClip &clip = clips.at(index);
        if (drives.isEmpty() || (clip.start > latestEnd && !continues(latestEnd, clip.start))) {
            drives.append(QVector<int>());
            latestEnd = clip.end;
        }
        drives.last().append(index);
        latestEnd = std::max(latestEnd, clip.end);
    }
    return drives;
}

DriveSummary summarize(const QVector<QVector<GpsData>> &clipSamples,
                       const QVector<int> &clipSeconds)
{
    DriveSummary summary;
    for (int seconds : clipSeconds)
        summary.seconds += std::max(0, seconds);
    const QVector<Fix> fixes = fixesOf(clipSamples, clipSeconds);
    for (int k = 0; k < fixes.size(); ++k) {
        const Fix &fix = fixes.at(k);
        if (k > 0) {
            const Fix &before = fixes.at(k - 1);
            const double metres = greatCircleMetres(*before.sample, *fix.sample);
            if (metres <= MaxKmh / 3.6 * double(fix.second - before.second))
                summary.metres += metres;
        }
        const bool alone = fixes.size() == 1;
        if (alone || (k > 0 && speedFollows(fixes.at(k - 1), fix))
            || (k + 1 < fixes.size() && speedFollows(fix, fixes.at(k + 1))))
            summary.topKmh = std::max(summary.topKmh, int(fix.sample->speed));
    }
    if (summary.seconds > 0)
        summary.averageKmh = summary.metres / double(summary.seconds) * 3.6;
    return summary;
}

QVector<QPointF> track(const QVector<QVector<GpsData>> &clipSamples, int maxPoints)
{
    QVector<QPointF> all;
    for (const Fix &fix : fixesOf(clipSamples))
        all.append(QPointF(fix.sample->longitude, fix.sample->latitude));
    if (maxPoints < 2 || all.size() <= maxPoints)
        return maxPoints < 1 ? QVector<QPointF>() : all.mid(0, maxPoints);
    // Every stride-th point, and the last, whatever the stride leaves before it.
    const int stride = (all.size() - 1 + maxPoints - 2) / (maxPoints - 1);
    QVector<QPointF> thinned;
    thinned.reserve(maxPoints);
    for (int i = 0; i < all.size() - 1; i += stride)
        thinned.append(all.at(i));
    thinned.append(all.last());
    return thinned;
}

} // namespace Drives

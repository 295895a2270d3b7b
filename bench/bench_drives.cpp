// Benchmark of the playlist's drive work: 1,000 one-minute clips grouped, measured and searched
// for events, as the worker thread does it once their samples are in.
#include "labelleddrive.h"
#include "playlist/playlistdrives.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    constexpr int Clips = 1000;
    constexpr int Runs = 5;

    // A town drive with crossings and bumps, cut into minutes: one drive, the most work, as the
    // mounting is measured over all of it.
    Drive drive;
    drive.seconds = Clips * 60;
    drive.crossingEvery = 90;
    drive.bumpEvery = 47;
    const QVector<GpsData> all = decodedSamples(drive.records());
    QVector<PlaylistDrives::Row> rows;
    for (int clip = 0; clip < Clips; ++clip) {
        PlaylistDrives::Row row;
        row.rowId = clip;
        row.seconds = 60;
        row.samples = all.mid(clip * 60, 60);
        rows.append(row);
    }

    const std::atomic<bool> cancelled{false};
    QVector<qint64> times;
    PlaylistDrives::Result result;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        result = PlaylistDrives::compute(rows, cancelled);
        times.append(timer.nsecsElapsed());
    }
    std::sort(times.begin(), times.end());
    int events = 0;
    for (const PlaylistDrives::Drive &d : result.drives) {
        for (const PlaylistDrives::Clip &clip : d.clips)
            events += clip.events.size();
    }
    std::printf("clips %d, drives %d, events %d, track points %d\n", Clips,
                int(result.drives.size()), events,
                result.drives.isEmpty() ? 0 : int(result.drives.first().track.size()));
    std::printf("grouping, summary, track and events: median %.1f ms, best %.1f ms (%d runs)\n",
                times.at(Runs / 2) / 1e6, times.first() / 1e6, Runs);
    return 0;
}

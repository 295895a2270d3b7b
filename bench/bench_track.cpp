// Benchmark of drawing a one-hour recording's track: double-click to a drawn map, web engine
// memory.
#include "app/mainwindows.h"
#include "map/mapwebview.h"
#include "playlist/playlistmodel.h"
#include "recording.h"
#include "viewerbench.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

constexpr int Seconds = 3600;

int trackPoints(MapWebView *map)
{
    auto answer = std::make_shared<QVariant>();
    map->page()->runJavaScript(QStringLiteral("mapState().track.length"),
                               [answer](const QVariant &value) { *answer = value; });
    ViewerBench::spinUntil([answer] { return answer->isValid(); }, 5000);
    return answer->toInt();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ViewerBench::useFreshSettings();

    QTemporaryDir folder;
    Drive drive;
    drive.seconds = Seconds;
    Recording recording;
    recording.source = ParserObject::Gps0Box;
    recording.records = drive.records();
    const QString path = folder.filePath(QStringLiteral("20240101_120000_F.MP4"));
    if (!recording.write(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }

    MainWindows window;
    window.show();
    auto *map = window.findChild<MapWebView *>(QStringLiteral("wgt_MapView"));
    auto *table = window.findChild<QTableView *>(QStringLiteral("tbl_PlayListView"));
    // The page must be there before the clock starts, as it is long before a user's first click.
    bool loaded = false;
    QObject::connect(map, &QWebEngineView::loadFinished, [&loaded] { loaded = true; });
    ViewerBench::spinUntil([&loaded] { return loaded; }, 60000);

    // Listed without starting, then parsed, as a playlist row is long before it is chosen.
    auto *model = qobject_cast<PlaylistModel *>(table->model());
    bool isNew = false;
    model->addFile(QFileInfo(path), 0, &isNew);
    ViewerBench::spinUntil([model] { return model->duration(0) > 0; }, 30000);
    ViewerBench::spinUntil([] { return false; }, 1000);

    QElapsedTimer sinceClick;
    sinceClick.start();
    window.onTableDoubleClicked(model->index(0, 0));
    if (!ViewerBench::spinUntil([map] { return trackPoints(map) >= Seconds; }, 60000)) {
        std::fprintf(stderr, "the track was not drawn within 60 s (%d points)\n", trackPoints(map));
        return 1;
    }
    const qint64 drawnMs = sinceClick.elapsed();
    qint64 processes = 0;
    const qint64 engineKb = ViewerBench::webEngineKb(&processes);

    std::printf(
            "one-hour recording (%d samples): double-click to track drawn on the map: %lld ms\n",
            Seconds + 1, drawnMs);
    std::printf("web engine helper processes: %lld, resident memory together: %lld MiB\n",
                processes, engineKb / 1024);
    std::printf("viewer process resident memory: %lld MiB\n",
                ViewerBench::statusKb(QString::number(QCoreApplication::applicationPid()), "VmRSS")
                        / 1024);
    window.close();
    return 0;
}

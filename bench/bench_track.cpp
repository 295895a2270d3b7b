// Benchmark of drawing a one-hour recording's track, on the online map or a map file:
// double-click to a drawn map, network requests, web engine memory.
#include "app/mainwindows.h"
#include "config/configuration.h"
#include "map/maptileschemehandler.h"
#include "map/mapwebview.h"
#include "map/webengineurlrequestinterceptor.h"
#include "mbtileswriter.h"
#include "playlist/playlistmodel.h"
#include "recording.h"
#include "viewerbench.h"

#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
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

// One grey tile over everywhere an hour's drive from the start can reach, down to street level
// (the page enlarges the deepest level).
bool writeSolidMap(const QString &path, const Drive &drive)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(Qt::lightGray);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    MbTilesWriter writer(path);
    writer.setMetadata(QStringLiteral("format"), QStringLiteral("png"));
    const double reach = 1.5; // degrees; far more than an hour's driving
    writer.addArea(drive.longitude - reach, drive.latitude - reach, drive.longitude + reach,
                   drive.latitude + reach, 0, 12, png);
    return writer.finish();
}

} // namespace

int main(int argc, char *argv[])
{
    MapTileSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(
            QStringLiteral("Times drawing a one-hour recording's track on the map."));
    options.addHelpOption();
    const QCommandLineOption mapFileOption(
            QStringLiteral("map-file"),
            QStringLiteral("Show the map file instead of the online map; \"generate\" writes a "
                           "solid-colour one covering the drive."),
            QStringLiteral("file"));
    options.addOption(mapFileOption);
    options.process(app);
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

    QString mapFile = options.value(mapFileOption);
    if (mapFile == QLatin1String("generate")) {
        mapFile = folder.filePath(QStringLiteral("solid.mbtiles"));
        if (!writeSolidMap(mapFile, drive)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(mapFile));
            return 1;
        }
    }
    if (!mapFile.isEmpty())
        Configuration::instance()->setMapSource(QFileInfo(mapFile).absoluteFilePath());

    MainWindows window;
    const int requestsBefore = MainWindows::requestInterceptor().networkRequestCount();
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

    std::printf("one-hour recording (%d samples): double-click to track drawn on %s: %lld ms\n",
                Seconds + 1, mapFile.isEmpty() ? "the online map" : "an offline map", drawnMs);
    std::printf("network requests of the web engine: %d\n",
                MainWindows::requestInterceptor().networkRequestCount() - requestsBefore);
    std::printf("web engine helper processes: %lld, resident memory together: %lld MiB\n",
                processes, engineKb / 1024);
    std::printf("viewer process resident memory: %lld MiB\n",
                ViewerBench::statusKb(QString::number(QCoreApplication::applicationPid()), "VmRSS")
                        / 1024);
    window.close();
    return 0;
}

// Times exporting a whole drive folder from the viewer's window, as its "Export drive" does.
#include "app/mainwindows.h"
#include "playlist/playlistitem.h"
#include "playlist/playlistmodel.h"
#include "viewerbench.h"

#include <QApplication>
#include <QDir>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_windowexport DRIVE_FOLDER [KEEP_DIR]\n");
        return 64;
    }
    ViewerBench::useFreshSettings();
    // The exports are kept in KEEP_DIR for other programs to read, else thrown away.
    QTemporaryDir scratch;
    const QDir out(argc > 2 ? QString::fromLocal8Bit(argv[2]) : scratch.path());
    MainWindows window;
    auto *model = qobject_cast<PlaylistModel *>(
            window.findChild<QTableView *>(QStringLiteral("tbl_PlayListView"))->model());
    window.openUrls({QUrl::fromLocalFile(QDir(QString::fromLocal8Bit(argv[1])).absolutePath())});
    QStringList files;
    for (int row = 0; row < model->rowCount(); ++row)
        files << model->item(row)->url.toLocalFile();

    QTextStream print(stdout);
    for (const TrackWriter::Format format : {TrackWriter::Gpx, TrackWriter::GeoJson}) {
        const QString name = TrackWriter::formatNames().at(format);
        const QString path = out.filePath(QStringLiteral("drive.") + name);
        bool finished = false;
        bool written = false;
        const QMetaObject::Connection done
                = QObject::connect(&window, &MainWindows::exportFinished, [&](bool ok) {
                      finished = true;
                      written = ok;
                  });
        QElapsedTimer clock;
        clock.start();
        window.startExport({files, true, QStringLiteral("drive"), format, path});
        ViewerBench::spinUntil([&] { return finished; }, 60000);
        const qint64 ms = clock.elapsed();
        QObject::disconnect(done);
        print << name << ": " << files.size() << " rows exported as one drive in " << ms << " ms, "
              << (written ? QFileInfo(path).size() : -1) << " bytes" << Qt::endl;
    }
    return 0;
}

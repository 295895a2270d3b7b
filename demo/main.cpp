// velqor-demo: writes, once, a folder of realistic recordings of one drive for trying the viewer.
#include "demodrive.h"

#include <config/configuration.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>

namespace {

constexpr int UsageError = 64;

// The viewer's open-folder dialog starts at the stored folder; the demo's parent puts the demo
// one click away. A folder the user chose stays.
void storeParentPath(const QDir &dir, QTextStream &log)
{
    QCoreApplication::setApplicationName(QStringLiteral("Velqor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tamrix"));
    Configuration *configuration = Configuration::instance();
    if (configuration->hasVideoFilePath())
        return;
    const QString parent = QDir::cleanPath(dir.absoluteFilePath(QStringLiteral("..")));
    configuration->setVideoFilePath(parent);
    configuration->sync();
    log << "The viewer's open dialog now starts in " << parent << '.' << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velqor-demo"));
    // The libraries' debug lines belong in the viewer's log, not in this command's output.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
            "Writes, once, a demo drive: front and rear camera clips (MP4, then an AVI pair) "
            "with telemetry along one route. A folder that holds the whole drive is left as "
            "it is."));
    options.addHelpOption();
    const DemoOptions defaults;
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("Length of each clip (default 60)."),
                                           QStringLiteral("n"), QString::number(defaults.seconds));
    const QCommandLineOption clipsOption(
            QStringLiteral("clips"),
            QStringLiteral("MP4 clip pairs before the AVI pair (default 4)."), QStringLiteral("n"),
            QString::number(defaults.clips));
    const QCommandLineOption sizeOption(
            QStringLiteral("size"),
            QStringLiteral("Front camera frame size (default 1280x720); the rear camera has "
                           "half of it."),
            QStringLiteral("WxH"),
            QStringLiteral("%1x%2").arg(defaults.size.width()).arg(defaults.size.height()));
    const QCommandLineOption fpsOption(
            QStringLiteral("fps"), QStringLiteral("Frames per second (default 30)."),
            QStringLiteral("n"), QString::number(defaults.framesPerSecond));
    const QCommandLineOption storePathOption(
            QStringLiteral("store-path"),
            QStringLiteral("When the viewer has no stored folder yet, store the folder above "
                           "DIR, where its open dialog then starts."));
    options.addOptions({secondsOption, clipsOption, sizeOption, fpsOption, storePathOption});
    options.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("Folder of the drive."));
    options.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    DemoOptions demo;
    demo.seconds = options.value(secondsOption).toInt();
    demo.clips = options.value(clipsOption).toInt();
    demo.framesPerSecond = options.value(fpsOption).toInt();
    const QStringList size = options.value(sizeOption).split(QLatin1Char('x'));
    if (size.size() == 2)
        demo.size = QSize(size.at(0).toInt(), size.at(1).toInt());
    const auto within = [](int value, int low, int high) { return value >= low && value <= high; };
    const bool valid = options.positionalArguments().size() == 1 && size.size() == 2
                       && within(demo.seconds, 1, 3600) && within(demo.clips, 1, 100)
                       && within(demo.framesPerSecond, 1, 120)
                       && within(demo.size.width(), 32, 7680)
                       && within(demo.size.height(), 32, 4320) && demo.size.width() % 2 == 0
                       && demo.size.height() % 2 == 0;
    if (!valid) {
        err << "velqor-demo: a folder, and clips, seconds, fps and an even size within "
               "bounds are needed\n\n"
            << options.helpText();
        return UsageError;
    }

    const QDir dir(options.positionalArguments().constFirst());
    const QString error = writeDemoDrive(dir, demoFiles(demo), out);
    if (!error.isEmpty()) {
        err << "velqor-demo: " << error << Qt::endl;
        return 1;
    }
    if (options.isSet(storePathOption))
        storeParentPath(dir, out);
    return 0;
}

// Settings sandbox and back-end diagnosis for the playback tests.
#include "playbacktestutil.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace PlaybackTest {

void isolateSettings(const QString &screenshotDir)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString file = QStandardPaths::standardLocations(QStandardPaths::DataLocation).value(0)
                         + QStringLiteral("/configuration.ini");
    QSettings settings(file, QSettings::IniFormat);
    settings.clear();
    settings.setValue("ScreenshotSavePath", screenshotDir);
    settings.sync();
}

QString missingBackendReason(const QMediaPlayer &player)
{
    const QString reason = player.errorString();
    if (player.error() == QMediaPlayer::ServiceMissingError
        || reason.contains(QLatin1String("plugin"), Qt::CaseInsensitive)
        || reason.contains(QLatin1String("missing"), Qt::CaseInsensitive))
        return QStringLiteral("media back end incomplete: ") + reason;
    return QString();
}

} // namespace PlaybackTest

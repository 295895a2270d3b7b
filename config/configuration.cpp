// Settings kept in configuration.ini in the per-user data directory, and the Japanese catalogue.
#include "configuration.h"

#include "configlog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>

namespace {

const char kLanguageKey[] = "language";
const char kMapSizeKey[] = "MapSize";
const char kVolumeKey[] = "Volume";
const char kMuteKey[] = "Mute";
const char kSpeedUnitKey[] = "speedUnit";
const char kMapSourceKey[] = "mapSource";
const char kScreenshotPathKey[] = "ScreenshotSavePath";
const char kVideoPathKey[] = "videoFilePath";
const char kVideoLayoutKey[] = "videoExportLayout";
const char kVideoResolutionKey[] = "videoExportResolution";
const char kVideoOverlayKey[] = "videoExportOverlay";
const char kWindowRectKey[] = "mainwindowsRect";
const char kWindowMaximizedKey[] = "mainwindowsIsMaximize";
const char kWindowScreenKey[] = "mainwindowsScreenNumber";

const char kJapaneseCatalogue[] = ":/translations/Japanese.qm";

QString firstLocation(QStandardPaths::StandardLocation location, const QString &fallback)
{
    const QStringList locations = QStandardPaths::standardLocations(location);
    return locations.isEmpty() ? fallback : locations.first();
}

QString settingsFilePath()
{
    const QString dir
            = firstLocation(QStandardPaths::DataLocation, QCoreApplication::applicationDirPath());
    return dir + QStringLiteral("/configuration.ini");
}

} // namespace

Configuration *Configuration::instance()
{
    static Configuration *store = new Configuration;
    return store;
}

Configuration::Configuration()
    : mSettings(new QSettings(settingsFilePath(), QSettings::IniFormat, this))
{
    qDebug() << "configuration file" << mSettings->fileName();
}

int Configuration::targetLanguage() const
{
    int language = mSettings->value(kLanguageKey, 0).toInt();
    if (language == 2) {
        const QLocale locale;
        qDebug() << "system language" << QLocale::languageToString(locale.language())
                 << QLocale::countryToString(locale.country());
        language = locale.language() == QLocale::Japanese ? 0 : 1;
    }
    qDebug() << "targetLanguage" << language;
    return language;
}

void Configuration::setLanguage(int code)
{
    if (code != 0)
        QCoreApplication::removeTranslator(&mTranslator);
    if (code == 0) {
        // Loading empties the translator first, so an installed catalogue would be lost to a
        // failed reload while the stored language still says Japanese.
        QTranslator probe;
        if (!probe.load(QString::fromLatin1(kJapaneseCatalogue))) {
            qCWarning(lcConfig) << "cannot load the interface catalogue" << kJapaneseCatalogue;
            return;
        }
        mTranslator.load(QString::fromLatin1(kJapaneseCatalogue));
        // Installing twice would stack the same catalogue in the application's lookup list.
        QCoreApplication::removeTranslator(&mTranslator);
        QCoreApplication::installTranslator(&mTranslator);
    }
    mSettings->setValue(kLanguageKey, code);
    emit updateLanguage();
}

int Configuration::mapType() const
{
    return Google;
}

int Configuration::mapSize() const
{
    return mSettings->value(kMapSizeKey, 1).toInt();
}

void Configuration::setMapSize(int size)
{
    mSettings->setValue(kMapSizeKey, size);
    emit mapSizeChanged();
}

int Configuration::volume() const
{
    return mSettings->value(kVolumeKey, 30).toInt();
}

void Configuration::setVolume(int volume)
{
    mSettings->setValue(kVolumeKey, volume);
}

bool Configuration::isMute() const
{
    return mSettings->value(kMuteKey, false).toBool();
}

void Configuration::setMute(bool mute)
{
    mSettings->setValue(kMuteKey, mute);
}

int Configuration::speedUnit() const
{
    return mSettings->value(kSpeedUnitKey, 0).toInt();
}

void Configuration::setSpeedUnit(int unit)
{
    mSettings->setValue(kSpeedUnitKey, unit);
    emit speedUnitChanged();
}

QString Configuration::mapSource() const
{
    return mSettings->value(kMapSourceKey, QLatin1String(OnlineMapSource)).toString();
}

void Configuration::setMapSource(const QString &source)
{
    mSettings->setValue(kMapSourceKey, source);
    emit mapSourceChanged();
}

QString Configuration::screenshotSavePath() const
{
    const QString pictures = firstLocation(QStandardPaths::PicturesLocation, QDir::homePath());
    const QString fallback
            = QStringLiteral("%1/%2").arg(pictures, QCoreApplication::applicationName());
    return mSettings->value(kScreenshotPathKey, fallback).toString();
}

QString Configuration::videoFilePath() const
{
    const QString movies = firstLocation(QStandardPaths::MoviesLocation, QDir::homePath());
    return mSettings->value(kVideoPathKey, movies).toString();
}

bool Configuration::hasVideoFilePath() const
{
    return mSettings->contains(kVideoPathKey);
}

void Configuration::setVideoFilePath(const QString &path)
{
    mSettings->setValue(kVideoPathKey, path);
}

QString Configuration::videoExportLayout() const
{
    return mSettings->value(kVideoLayoutKey).toString();
}

void Configuration::setVideoExportLayout(const QString &layout)
{
    mSettings->setValue(kVideoLayoutKey, layout);
}

QString Configuration::videoExportResolution() const
{
    return mSettings->value(kVideoResolutionKey).toString();
}

void Configuration::setVideoExportResolution(const QString &resolution)
{
    mSettings->setValue(kVideoResolutionKey, resolution);
}

QStringList Configuration::videoExportOverlay(const QStringList &unset) const
{
    // An empty list is stored as an invalid value, read back as no parts: still a choice.
    if (!mSettings->contains(kVideoOverlayKey))
        return unset;
    return mSettings->value(kVideoOverlayKey).toStringList();
}

void Configuration::setVideoExportOverlay(const QStringList &parts)
{
    mSettings->setValue(kVideoOverlayKey, parts);
}

QRect Configuration::mainWindowsRect() const
{
    return mSettings->value(kWindowRectKey, QRect(483, 166, 950, 628)).toRect();
}

void Configuration::setMainWindowsRect(const QRect &rect)
{
    mSettings->setValue(kWindowRectKey, rect);
}

bool Configuration::mainWindowsIsMaximize() const
{
    return mSettings->value(kWindowMaximizedKey, false).toBool();
}

void Configuration::setMainWindowsIsMaximize(bool maximized)
{
    mSettings->setValue(kWindowMaximizedKey, maximized);
}

int Configuration::mainWindowsScreenNumber() const
{
    return mSettings->value(kWindowScreenKey, 0).toInt();
}

void Configuration::setMainWindowsScreenNumber(int screen)
{
    mSettings->setValue(kWindowScreenKey, screen);
}

void Configuration::sync()
{
    mSettings->sync();
}

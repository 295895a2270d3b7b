// Process-wide store of the user's persistent settings and owner of the interface language.
#pragma once

#include "maptypes.h"

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTranslator>

class QSettings;

class Configuration : public QObject
{
    Q_OBJECT

public:
    // Created on first use, after the application's name and organization are set, because the
    // file location derives from them; never destroyed before the process ends.
    static Configuration *instance();

    int targetLanguage() const;
    void setLanguage(int code);

    int mapType() const;

    int mapSize() const;
    void setMapSize(int size);

    int volume() const;
    void setVolume(int volume);
    bool isMute() const;
    void setMute(bool mute);

    int speedUnit() const;
    void setSpeedUnit(int unit);

    // Where the map's tiles come from: OnlineMapSource for the tile server, else a map file's
    // path.
    static constexpr const char *OnlineMapSource = "online";
    QString mapSource() const;
    void setMapSource(const QString &source);

    QString screenshotSavePath() const;

    QString videoFilePath() const;
    // Whether the user has chosen a folder yet; the path above falls back to a default otherwise.
    bool hasVideoFilePath() const;
    void setVideoFilePath(const QString &path);

    // The video export's last choices: the layout's and the resolution's names (empty until
    // chosen) and the overlay's part names (unset until chosen; an empty list is a choice).
    QString videoExportLayout() const;
    void setVideoExportLayout(const QString &layout);
    QString videoExportResolution() const;
    void setVideoExportResolution(const QString &resolution);
    QStringList videoExportOverlay(const QStringList &unset) const;
    void setVideoExportOverlay(const QStringList &parts);

    QRect mainWindowsRect() const;
    void setMainWindowsRect(const QRect &rect);
    bool mainWindowsIsMaximize() const;
    void setMainWindowsIsMaximize(bool maximized);
    int mainWindowsScreenNumber() const;
    void setMainWindowsScreenNumber(int screen);

    void sync();

signals:
    void updateLanguage();
    void mapsChanged(MapTypes map);
    void mapSizeChanged();
    void speedUnitChanged();
    void mapSourceChanged();

private:
    Configuration();

    QTranslator mTranslator;
    QSettings *mSettings;
};

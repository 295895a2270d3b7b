// Serves the tiles of the built-in base map and of the user's map file to the map pages.
#pragma once

#include "maptiles/tilesource.h"

#include <QByteArray>
#include <QString>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;
class QWebEngineUrlRequestJob;

class MapTileSchemeHandler : public QWebEngineUrlSchemeHandler
{
public:
    static QByteArray scheme(); // "velqor-map"
    static void registerScheme(); // call before QApplication is constructed
    // The handler of this profile, installed on first use (one per profile, owned by the profile).
    static MapTileSchemeHandler *forProfile(QWebEngineProfile *profile);
    struct Opened
    {
        TileSourceError error = TileSourceError::None;
        QString detail;
        TileSourceInfo info;
        QString urlTemplate;
    }; // urlTemplate = velqor-map://tiles/<gen>/{z}/{x}/{y}
    Opened openFile(const QString &path); // replaces the current file (closing it), new generation
    void closeFile(); // online: no file
    bool hasBase() const;
    const TileSourceInfo &baseInfo() const; // world.mbtiles, opened lazily
    static QString baseUrlTemplate(); // velqor-map://base/{z}/{x}/{y}
    void requestStarted(QWebEngineUrlRequestJob *job) override;
};

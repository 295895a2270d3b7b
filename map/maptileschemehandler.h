// Serves the offline map's tiles to the web page through the "velqor-map" URL scheme.
#pragma once

#include <maptiles/tilesource.h>

#include <QWebEngineUrlSchemeHandler>

#include <array>

class QWebEngineProfile;

class MapTileSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    static QByteArray scheme(); // "velqor-map"
    // Must run before the QApplication is constructed.
    static void registerScheme();
    // The handler of this profile, installed on first use (one per profile, owned by the profile).
    static MapTileSchemeHandler *forProfile(QWebEngineProfile *profile);

    struct Opened
    {
        TileSourceError error = TileSourceError::None;
        QString detail;
        TileSourceInfo info;
        QString urlTemplate; // velqor-map://tiles/<gen>/{z}/{x}/{y}; empty when the open failed
    };
    // Replaces the current file (closing it, also when the new one fails to open), under a new
    // generation, so that the page never mixes tiles of two files. The file already open is
    // kept, with its generation, unless it has changed on disk since.
    Opened openFile(const QString &path);
    // Online map: no file.
    void closeFile();
    // The built-in world map (world.mbtiles beside the program), opened on first use.
    bool hasBase() const;
    const TileSourceInfo &baseInfo() const;
    static QString baseUrlTemplate(); // velqor-map://base/{z}/{x}/{y}

    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    // Device, inode, size and modification time (seconds, nanoseconds); zeros for no file.
    using FileIdentity = std::array<qint64, 5>;

    explicit MapTileSchemeHandler(QObject *parent);
    TileSource *base() const;

    std::unique_ptr<TileSource> mFile;
    QString mFilePath;
    FileIdentity mFileIdentity = {};
    quint64 mGeneration = 0;
    mutable std::unique_ptr<TileSource> mBase;
    mutable bool mBaseTried = false;
};

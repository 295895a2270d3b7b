// Embedded web map that draws a recording's track and current position through page scripts.
#pragma once

#include "config/maptypes.h"
#include "mappoint.h"
#include "maptileschemehandler.h"

#include <QPointF>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVector>
#include <QWebEngineView>

#include <memory>

class QJsonObject;

class MapWebView : public QWebEngineView
{
    Q_OBJECT

public:
    explicit MapWebView(QWidget *parent = nullptr);

    // The tile server of the online map, "{z}/{x}/{y}" in the address standing for the tile.
    void setOnlineTileUrl(const QString &urlTemplate);

signals:
    // A click on the marker of the event at index in the last setEvents() list.
    void eventClicked(int index);

public slots:
    void setMapType(MapTypes type);
    void addPoint(MapPoint point);
    // The same as addPoint for each, in one script: a call per point costs the page's process a
    // round trip each, which for an hour's recording took most of half a second.
    void addPoints(const QVector<MapPoint> &points);
    void setCurrentPoint(MapPoint point);
    void clearAll();
    // The drive of the recording as a faint line, kept through clearAll() and page loads; the
    // same drive again is not sent again.
    void setDriveTrack(const QVector<QPointF> &track);
    // The drive's events as markers, kept like the drive's line; eventClicked() tells a click.
    void setEvents(const QVector<MapEvent> &events);
    void setDefaultCenter();
    void mapLoadingFinish(bool ok);

protected:
    QWebEngineView *createWindow(QWebEnginePage::WebWindowType type) override;

private slots:
    void setWheelZoomValid();
    void onUrlChanged(QUrl url);
    void onLoadStarted();
    void openMapSource();

private:
    void loadPage(const QString &fileName);
    bool runStatement(const QString &statement);
    // Runs a statement of what a page must show whenever it is adopted, unless it is already
    // shown.
    void runKept(QString *kept, const QString &statement);
    void askWhetherPageIsReady(int pollsLeft);
    void adoptPage();
    void sendSource();
    void resendSourceIfLost();
    QJsonObject sourceObject() const;
    QString sourceMessage() const;

    bool mWheelZoomValid = true;
    // Language code of the Google page on show; 2 while none is.
    int mLoadedLanguage = 2;
    // Run after every page load, so that a reloaded page comes back on the last position.
    QString mPendingCenter;
    // Statements issued while a page loads: the page has no functions to run them yet, and the
    // first recording's track is often drawn then. They run as soon as the page's functions
    // exist, which is long before a load that waits for map tiles finishes. True from the start,
    // as there is no page to run anything in before the first load.
    bool mLoading = true;
    QStringList mWaitingStatements;
    // The drive's line and markers as last sent; a new page gets them once it is adopted.
    QString mDriveStatement;
    QString mEventsStatement;
    // Counts page loads. The page answers later; an answer for an earlier load, or one that
    // arrives while the view is being destroyed (the pointer has expired), is dropped.
    std::shared_ptr<int> mLoadNumber = std::make_shared<int>(0);
    // The page the view last asked for; empty for a load the page started itself.
    QUrl mRequestedUrl;
    QString mOnlineTileUrl;
    // The map file of the configuration and how opening it went; empty for the online map.
    QString mSourcePath;
    MapTileSchemeHandler::Opened mOpened;
    // Takes every window a page opens, so that none shows inside the application.
    QWebEngineView *mPopupSink = nullptr;
};

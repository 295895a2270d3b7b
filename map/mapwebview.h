// Embedded web map that draws a recording's track and current position through page scripts.
#pragma once

#include "config/maptypes.h"
#include "mappoint.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEngineView>

class MapWebView : public QWebEngineView
{
    Q_OBJECT

public:
    explicit MapWebView(QWidget *parent = nullptr);

public slots:
    void setMapType(MapTypes type);
    void addPoint(MapPoint point);
    void setCurrentPoint(MapPoint point);
    void clearAll();
    void setDefaultCenter();
    void mapLoadingFinish(bool ok);

protected:
    QWebEngineView *createWindow(QWebEnginePage::WebWindowType type) override;

private slots:
    void setWheelZoomValid();
    void onUrlChanged(QUrl url);

private:
    void loadPage(const QString &fileName);
    bool runStatement(const QString &statement);

    bool mWheelZoomValid = true;
    // Language code of the Google page on show; 2 while none is.
    int mLoadedLanguage = 2;
    // Run after every page load, so that a reloaded page comes back on the last position.
    QString mPendingCenter;
    // Statements issued while a page loads: the page has no functions to run them yet, and the
    // first recording's track is often drawn then. They run once the load has finished.
    bool mLoading = false;
    QStringList mWaitingStatements;
    // Takes every window a page opens, so that none shows inside the application.
    QWebEngineView *mPopupSink = nullptr;
};

// The map's page: hears the clicks that the local map pages report on the script console.
#pragma once

#include <QWebEnginePage>

class MapWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit MapWebPage(QObject *parent = nullptr);

    // The console line by which a local page reports a click on event marker index.
    static QString eventClickMessage(int index);

signals:
    void eventClicked(int index);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceID) override;
};

// Hook on every network request of the embedded web engine; it lets each one through unchanged.
#pragma once

#include <QWebEngineUrlRequestInterceptor>

class WebEngineUrlRequestInterceptor : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT

public:
    explicit WebEngineUrlRequestInterceptor(QObject *parent = nullptr);

    // Called for every request, possibly on one of the web engine's own threads: it must return
    // at once and touch nothing of the application.
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};

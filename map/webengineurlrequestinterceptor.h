// Hook on every network request of the embedded web engine: tile requests name their origin.
#pragma once

#include <QWebEngineUrlRequestInterceptor>

#include <atomic>

class WebEngineUrlRequestInterceptor : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT

public:
    explicit WebEngineUrlRequestInterceptor(QObject *parent = nullptr);

    // Called for every request, possibly on one of the web engine's own threads: it must return
    // at once and touch nothing of the application.
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

    // Requests that went, or would have gone, to the network since construction.
    int networkRequestCount() const { return mNetworkRequests.load(std::memory_order_relaxed); }

private:
    std::atomic<int> mNetworkRequests{0};
};

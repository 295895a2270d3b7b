// Request hook of the web engine: counts network requests and names the viewer to tile servers.
#include "webengineurlrequestinterceptor.h"

namespace {

// Tile servers ask to be told which program fetches their tiles. The project has no web site,
// so it names itself by an address that can never resolve. The web engine cancels a request whose
// referrer its policy would not send, and the policy sends no https referrer to an http server,
// so the referrer takes the scheme of the request.
const char kRefererHost[] = "://velqor.invalid/";

} // namespace

WebEngineUrlRequestInterceptor::WebEngineUrlRequestInterceptor(QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent)
{ }

void WebEngineUrlRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QString scheme = info.requestUrl().scheme();
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
    if (web || scheme == QLatin1String("ws") || scheme == QLatin1String("wss")
        || scheme == QLatin1String("ftp"))
        mNetworkRequests.fetch_add(1, std::memory_order_relaxed);
    // The pages load their scripts and styles from local files and show only tiles from the
    // web, so a web image is a tile; pages opened for the desktop browser are left as they are.
    if (web && info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeImage)
        info.setHttpHeader(QByteArrayLiteral("Referer"), scheme.toLatin1() + kRefererHost);
}

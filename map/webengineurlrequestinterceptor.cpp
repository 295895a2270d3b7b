// Request hook of the web engine: the map's requests proceed as the page issued them.
#include "webengineurlrequestinterceptor.h"

WebEngineUrlRequestInterceptor::WebEngineUrlRequestInterceptor(QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent)
{ }

void WebEngineUrlRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    Q_UNUSED(info)
}

// Link filter of the map's pop-up windows: provider-internal links stay, one kind of link gets
// the interface language, and only web addresses reach the desktop browser.
#include "maplinks.h"

#include <QString>

namespace MapLinks {

const char kProviderSitePrefix[] = "https://tile.openstreetmap.org/";

namespace {

// file:, javascript:, data: or a custom scheme handed to the desktop would run a local program
// or script on the page's say-so.
bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
           && !url.host().isEmpty();
}

} // namespace

Decision decide(const QUrl &url, int language)
{
    const QString text = url.toString();
    if (text.contains(QLatin1String(kProviderSitePrefix)) || text.contains(QLatin1String("xxxxcc"))
        || text.contains(QLatin1String("mapclient=apiv3")))
        return {Verdict::Ignore, url};

    QUrl target = url;
    if (text.contains(QLatin1String("?source=apiv3&rapsrc=apiv3"))
        && !text.contains(QLatin1String("hl=ja")) && !text.contains(QLatin1String("hl=en"))) {
        const QLatin1String suffix(language == 1 ? "&hl=en" : "&hl=ja");
        target = QUrl(text + suffix, QUrl::TolerantMode);
    }
    if (text.contains(QLatin1String("?rapsrc=apiv3")))
        return {Verdict::Ignore, target};
    if (!isWebAddress(target))
        return {Verdict::Refuse, target};
    return {Verdict::Open, target};
}

} // namespace MapLinks

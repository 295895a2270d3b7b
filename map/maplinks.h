// Decides what becomes of a link that a map page opens in a new window.
#pragma once

#include <QUrl>

namespace MapLinks {

// The tile server: an address that is never handed to the desktop browser. The pages never
// link to it, so their attribution links (the provider's copyright page among them) open.
extern const char kProviderSitePrefix[];

enum class Verdict {
    Open, // hand the URL to the desktop browser
    Ignore, // a link that the map pages use internally
    Refuse, // not a web address, so no browser gets it
};

struct Decision
{
    Verdict verdict;
    QUrl url;
};

// language is the interface language code (1 English, anything else Japanese).
Decision decide(const QUrl &url, int language);

} // namespace MapLinks

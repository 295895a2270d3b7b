// The map's page: hears the clicks that the local map pages report on the script console.
#include "mapwebpage.h"

#include <QUrl>

namespace {

const QLatin1String EventClickPrefix("velqor:event-click:");

} // namespace

MapWebPage::MapWebPage(QObject *parent)
    : QWebEnginePage(parent)
{ }

QString MapWebPage::eventClickMessage(int index)
{
    return EventClickPrefix + QString::number(index);
}

void MapWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                          const QString &message, int lineNumber,
                                          const QString &sourceID)
{
    // Only the local pages' own script speaks for the user; a provider's script or a page
    // opened from elsewhere could write the same line.
    if (message.startsWith(EventClickPrefix) && QUrl(sourceID).isLocalFile()
        && QUrl(sourceID).fileName() == QLatin1String("mappage.js")) {
        bool ok = false;
        const int index = message.mid(EventClickPrefix.size()).toInt(&ok);
        if (ok && index >= 0)
            emit eventClicked(index);
        return;
    }
    QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}

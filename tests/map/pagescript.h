// Runs a statement in a web page and waits, bounded, for its value: shared by the map page tests.
#pragma once

#include <QVariant>
#include <QWebEnginePage>
#include <QtTest>

#include <memory>

// The web engine answers slowly under Xvfb on a busy machine.
inline QVariant evaluate(QWebEnginePage *page, const QString &script, int timeout = 30000)
{
    // Shared, so that an answer arriving after a timeout writes into live memory.
    auto answer = std::make_shared<std::pair<bool, QVariant>>(false, QVariant());
    page->runJavaScript(script, [answer](const QVariant &value) { *answer = {true, value}; });
    if (!QTest::qWaitFor([&] { return answer->first; }, timeout))
        qWarning("no answer from the page to: %s", qPrintable(script));
    return answer->second;
}

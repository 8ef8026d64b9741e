#pragma once

#include <QString>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>

// A script's value read in the application's world, which sees the page as the entry view and
// its stylesheets left it; "<no answer>" when the page gives none within the time.
inline QString pageValue(QWebEnginePage* page, const QString& script, int timeoutMs = 5000)
{
    const QString none = QStringLiteral("<no answer>");
    QString value = none;
    bool done = false;
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
        value = v.toString();
        done = true;
    });
    return QTest::qWaitFor([&] { return done; }, timeoutMs) ? value : none;
}

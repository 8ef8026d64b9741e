#pragma once

#include <QWebEngineUrlSchemeHandler>
#include <functional>

// Serves the entry view's page from memory, whatever its size, under the program's own URL
// scheme. The page is taken when the browser asks for it, so the latest one is always shown.
class EntrySchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
public:
    static const QByteArray Scheme;

    EntrySchemeHandler(std::function<QString()> page, QObject* parent);
    void requestStarted(QWebEngineUrlRequestJob* job) override;

    // Once, before the application object exists: the scheme counts as local content that may
    // link the stylesheet file.
    static void RegisterScheme();

private:
    std::function<QString()> m_page;
};

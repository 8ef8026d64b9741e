#pragma once

#include <QWebEnginePage>

// The entry view's page. While it shows an entry, only the program's own loads move it: no
// link, not even one the user clicks, no frame, refresh, redirect or form leaves the entry.
// Other pages (the welcome page) navigate as any web page does.
class EntryPage : public QWebEnginePage
{
    Q_OBJECT
public:
    EntryPage(QWebEngineProfile* profile, QObject* parent = nullptr);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
};

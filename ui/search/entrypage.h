#pragma once

#include <QWebEnginePage>

// The entry view's page. While it shows an entry, nothing but the user moves it elsewhere:
// the program's own loads and the user's link clicks go through; frames inside the entry,
// refreshes and redirects, and form submissions do not. Other pages (the welcome page, a
// page the user clicked to) navigate as any web page does.
class EntryPage : public QWebEnginePage
{
    Q_OBJECT
public:
    EntryPage(QWebEngineProfile* profile, QObject* parent = nullptr);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
};

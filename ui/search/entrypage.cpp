#include "ui/search/entrypage.h"

#include "ui/search/entryschemehandler.h"

EntryPage::EntryPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent)
{
}

bool EntryPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    const bool showingEntry = this->url().scheme() == QLatin1String(EntrySchemeHandler::Scheme);
    if (!showingEntry || type == NavigationTypeTyped) // the program's own load()
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    // Cross-references are not links yet, and anything else in an entry would leave it.
    return false;
}

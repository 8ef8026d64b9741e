#include "ui/search/cquorbelview.h"

#include "ui/search/displaystate.h"
#include "ui/search/entrypage.h"
#include "ui/search/entryschemehandler.h"
#include "ui/search/fileaccessguard.h"

#include <QChildEvent>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

CQuorbelView::CQuorbelView(const DisplayState* display, QWidget* parent)
    : QWebEngineView(parent), m_display(display), m_guard(nullptr)
{
    // An own profile keeps the entry scheme and the file guard away from any other page.
    auto* profile = new QWebEngineProfile(this);
    m_guard = new FileAccessGuard(profile);
    profile->setUrlRequestInterceptor(m_guard);
    profile->installUrlSchemeHandler(EntrySchemeHandler::Scheme,
                                     new EntrySchemeHandler([this] { return m_pageHtml; }, profile));
    auto* page = new EntryPage(profile, this);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    setPage(page);
    setContextMenuPolicy(Qt::NoContextMenu);
}

CQuorbelView::~CQuorbelView()
{
    // The page must go before its profile.
    delete page();
}

QString CQuorbelView::RewriteEntry(QString html, const QString& websiteBase)
{
    html.replace(QStringLiteral("/Search.aspx/"), websiteBase + QStringLiteral("/Search.aspx/"));
    html.replace(QStringLiteral("<a "), QStringLiteral("<span "));
    html.replace(QStringLiteral("</a>"), QStringLiteral("</span>"));
    return html;
}

QString CQuorbelView::BuildPage(const QString& stylesheetPath, const QString& body)
{
    return QStringLiteral("<HTML><head><link type=\"text/css\" rel=\"stylesheet\" href=\"") +
           QStringLiteral("file://") + stylesheetPath +
           QStringLiteral("\" /></head><BODY><div id=\"page\"><div id=\"results\"><div class=\"center\">"
                          "<ul class=\"left\"><li>") +
           body + QStringLiteral("</li></ul></div></div></div></BODY></HTML>");
}

void CQuorbelView::ShowEntry(QString html)
{
    if (!m_display || m_display->displayMode != ModeNormal)
        return;
    m_pageHtml = BuildPage(m_display->stylesheetPath, RewriteEntry(std::move(html), m_websiteBase));
    m_guard->setAllowedFile(m_display->stylesheetPath);
    page()->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    load(QUrl(QString::fromLatin1(EntrySchemeHandler::Scheme) + QStringLiteral(":/entry/") +
              QString::number(++m_serial)));
}

void CQuorbelView::OnInitialUpdate()
{
    if (!m_display || m_display->startPageUrl.isEmpty())
        return;
    // The welcome page is an ordinary web page from the network and may run its scripts.
    page()->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    load(QUrl(m_display->startPageUrl));
}

bool CQuorbelView::event(QEvent* event)
{
    if (event->type() == QEvent::ChildPolished) {
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            child->installEventFilter(this);
    } else if (event->type() == QEvent::FocusIn) {
        emit focusReceived();
    }
    return QWebEngineView::event(event);
}

bool CQuorbelView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn)
        emit focusReceived();
    return QWebEngineView::eventFilter(watched, event);
}

#include "ui/search/cquorbelview.h"

#include "ui/search/displaystate.h"
#include "ui/search/entrypage.h"
#include "ui/search/entryschemehandler.h"
#include "ui/search/fileaccessguard.h"

#include <QApplication>
#include <QChildEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWheelEvent>
#include <chrono>
#include <utility>

namespace {
// The renderer was chosen here, through the environment, which is left as it was once Qt
// Quick has read it.
bool rendererChosen = false;
} // namespace

namespace {
// The entry is put in by a script world of its own: the page's scripts stay off, and nobody
// else's script in the application's world sees its function.
constexpr quint32 entryWorld = QWebEngineScript::UserWorld;

// Parses the entry inertly (a template's content loads nothing and runs nothing), drops what
// would open a frame or act on the whole page once inserted, and puts the rest into the list
// item. Defined by every script the view runs, as the world may not have it yet.
const char* const entryFunction = R"js(
if (!window.showEntry) window.showEntry = html => {
  const item = document.querySelector('#results li');
  if (location.protocol !== 'verbolix-entry:' || !item)
    return false;
  const parsed = document.createElement('template');
  parsed.innerHTML = html;
  const refused = 'iframe, frame, frameset, object, embed, applet, portal, fencedframe, meta, base, link';
  for (const element of parsed.content.querySelectorAll(refused))
    element.remove();
  item.replaceChildren(parsed.content);
  window.scrollTo(0, 0);
  return true;
};
)js";

// Puts in the entry the template was served with, unless that was done already; true when it
// did.
const char* const servedEntry = R"js((() => {
  const item = document.querySelector('#results li');
  if (location.protocol !== 'verbolix-entry:' || !item || !item.hasAttribute('data-entry'))
    return false;
  const served = item.getAttribute('data-entry');
  item.removeAttribute('data-entry');
  return showEntry(served);
})())js";

// The cross-reference under a point of the view (in CSS pixels) as its address, or ''. Read
// in the entry's world, so the page's scripts stay off and its handlers never run.
const char* const crossReferenceAt = R"js(((x, y) => {
  if (location.protocol !== 'verbolix-entry:')
    return '';
  const hit = document.elementFromPoint(x, y);
  const reference = hit && hit.closest('#results li span[href*="/Search.aspx/"]');
  return reference ? reference.getAttribute('href') : '';
}))js";

// Moves the focus along the entry's cross-references: step 1 to the next after the focused
// one, -1 to the one before, round the ends; 0 to the first. They take the focus only while
// the keyboard walks them (tabindex -1: the browser's own Tab order stays as it was). True
// when there is one to take it.
const char* const focusCrossReference = R"js(((step) => {
  if (location.protocol !== 'verbolix-entry:')
    return false;
  const references = [...document.querySelectorAll('#results li span[href*="/Search.aspx/"]')];
  if (!references.length)
    return false;
  const at = references.indexOf(document.activeElement);
  const count = references.length;
  const next = step === 0 || at < 0 ? (step < 0 ? count - 1 : 0) : (at + step + count) % count;
  for (const reference of references)
    reference.setAttribute('tabindex', '-1');
  references[next].focus();
  return true;
}))js";

// The address of the cross-reference with the focus, or ''.
const char* const focusedCrossReference = R"js((() => {
  const focused = location.protocol === 'verbolix-entry:' ? document.activeElement : null;
  return focused && focused.matches('#results li span[href*="/Search.aspx/"]') ? focused.getAttribute('href') : '';
})())js";

// The walk is over: the references are no longer focusable and none keeps the focus ring.
const char* const endCrossReferenceWalk = R"js((() => {
  if (location.protocol !== 'verbolix-entry:')
    return false;
  for (const reference of document.querySelectorAll('#results li span[href*="/Search.aspx/"][tabindex]'))
    reference.removeAttribute('tabindex');
  if (document.activeElement && document.activeElement !== document.body)
    document.activeElement.blur();
  return true;
})())js";

// The background of a dark entry page, also shown before the page has drawn.
const QColor darkBackground(0x1e, 0x1f, 0x22);

// How long a frame may take before entryShown() is given anyway (nothing visible changed, or
// the browser draws nothing).
constexpr int frameWaitMs = 1000;
// A browser that draws nothing for this long after a frame has drawn its last.
constexpr int settleMs = 40;
// The longest the window's other changes wait for the entry's frame.
constexpr int holdLimitMs = 150;

// Without a dark stylesheet the page is the light one, byte for byte as it always was.
QString pageStart(const QString& stylesheetPath, const QString& darkStylesheetPath)
{
    const QString link = QStringLiteral("<link type=\"text/css\" rel=\"stylesheet\" href=\"file://");
    QString page = darkStylesheetPath.isEmpty() ? QStringLiteral("<HTML><head>")
                                                : QStringLiteral("<HTML class=\"dark\"><head>");
    page += link + stylesheetPath + QStringLiteral("\" />");
    if (!darkStylesheetPath.isEmpty())
        page += link + darkStylesheetPath + QStringLiteral("\" />");
    return page + QStringLiteral("</head><BODY><div id=\"page\"><div id=\"results\"><div class=\"center\">"
                                 "<ul class=\"left\">");
}

const QString pageEnd = QStringLiteral("</ul></div></div></div></BODY></HTML>");

// A JavaScript string literal holding text.
QString scriptString(const QString& text)
{
    QString literal;
    literal.reserve(text.size() + text.size() / 8 + 2);
    literal += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            literal += QLatin1String("\\\"");
            break;
        case '\\':
            literal += QLatin1String("\\\\");
            break;
        case '\n':
            literal += QLatin1String("\\n");
            break;
        case '\r':
            literal += QLatin1String("\\r");
            break;
        case 0x2028:
        case 0x2029:
            literal += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16);
            break;
        default:
            if (c.unicode() < 0x20)
                literal += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                literal += c;
        }
    }
    literal += QLatin1Char('"');
    return literal;
}
} // namespace

CQuorbelView::CQuorbelView(const DisplayState* display, QWidget* parent)
    : QWebEngineView(parent), m_display(display), m_guard(nullptr)
{
    // An own profile keeps the entry scheme and the file guard away from any other page.
    // Off the record it keeps nothing on disk; entries come from memory and need little cache.
    auto* profile = new QWebEngineProfile(this);
    profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile->setHttpCacheMaximumSize(4 * 1024 * 1024);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_guard = new FileAccessGuard(profile);
    profile->setUrlRequestInterceptor(m_guard);
    profile->installUrlSchemeHandler(EntrySchemeHandler::Scheme,
                                     new EntrySchemeHandler([this] { return servedPage(); }, profile));
    auto* page = new EntryPage(profile, this);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    QWebEngineScript script;
    script.setName(QStringLiteral("entry"));
    script.setSourceCode(QString::fromUtf8(entryFunction) + QString::fromUtf8(servedEntry));
    script.setWorldId(entryWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentReady);
    script.setRunsOnSubFrames(false);
    page->scripts().insert(script);
    setPage(page);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(page, &QWebEnginePage::loadFinished, this, &CQuorbelView::onLoadFinished);
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        if (m_framePending) {
            m_framePending = 0;
            emit entryShown();
        }
    });
    connect(page, &QWebEnginePage::renderProcessTerminated, this, [this] { m_state = PageState::None; });
}

CQuorbelView::~CQuorbelView()
{
    m_closing = true;
    releaseWindow();
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

QString CQuorbelView::BuildPage(const QString& stylesheetPath, const QString& body,
                                const QString& darkStylesheetPath)
{
    return pageStart(stylesheetPath, darkStylesheetPath) + QStringLiteral("<li>") + body +
           QStringLiteral("</li>") + pageEnd;
}

bool CQuorbelView::IsWelcomePageAddress(const QString& address)
{
    const QUrl url(address, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") && !url.host().isEmpty();
}

QString CQuorbelView::crossReferenceWord(const QString& href)
{
    static const QString marker = QStringLiteral("/Search.aspx/");
    const int at = href.indexOf(marker);
    if (at < 0)
        return {};
    QString word = href.mid(at + marker.size());
    if (const int end = word.indexOf(QLatin1Char('#')); end >= 0)
        word.truncate(end);
    return QUrl::fromPercentEncoding(word.toUtf8()).trimmed();
}

void CQuorbelView::activateCrossReferenceAt(QPointF point)
{
    if (m_state != PageState::Ready)
        return;
    const qreal zoom = zoomFactor() > 0 ? zoomFactor() : 1.0;
    const QString script = QString::fromUtf8(crossReferenceAt) +
                           QStringLiteral("(%1, %2)").arg(point.x() / zoom).arg(point.y() / zoom);
    const quint64 serial = m_serial;
    page()->runJavaScript(script, entryWorld, [this, serial](const QVariant& href) {
        // An entry that changed meanwhile was not what the user clicked.
        if (m_closing || serial != m_serial)
            return;
        const QString word = crossReferenceWord(href.toString());
        if (!word.isEmpty())
            emit crossReferenceActivated(word);
    });
}

QString CQuorbelView::darkStylesheet() const
{
    return m_display && m_display->dark ? m_display->darkStylesheetPath : QString();
}

void CQuorbelView::ColourSchemeChanged()
{
    // A light page stays on the browser's own white, as it always was.
    page()->setBackgroundColor(darkStylesheet().isEmpty() ? QColor(Qt::white) : darkBackground);
    if (m_state == PageState::None)
        return; // the welcome page, or nothing yet: the next template is built in the scheme
    if (!m_entryHtml.isEmpty())
        m_pageHtml = BuildPage(m_display->stylesheetPath, m_entryHtml, darkStylesheet());
    endCrossReferenceWalk(true); // the page it walked goes
    // The stylesheets are linked from the template, which is loaded anew with the entry in it.
    loadTemplate();
}

void CQuorbelView::WalkCrossReferences()
{
    if (m_state != PageState::Ready || !m_display || m_display->displayMode != ModeNormal)
        return;
    m_walking = true;
    // The browser shows the focus ring only in a page that has the keyboard focus.
    setFocus(Qt::ShortcutFocusReason);
    stepCrossReference(0);
}

void CQuorbelView::stepCrossReference(int step)
{
    const quint64 serial = m_serial;
    page()->runJavaScript(QString::fromUtf8(focusCrossReference) + QStringLiteral("(%1)").arg(step),
                          entryWorld, [this, serial](const QVariant& found) {
                              if (m_closing || !m_walking || serial != m_serial)
                                  return;
                              // An entry without cross-references has nothing to walk.
                              if (!found.toBool())
                                  endCrossReferenceWalk(true);
                          });
}

void CQuorbelView::activateFocusedCrossReference()
{
    const quint64 serial = m_serial;
    page()->runJavaScript(QString::fromUtf8(focusedCrossReference), entryWorld,
                          [this, serial](const QVariant& href) {
                              if (m_closing || !m_walking || serial != m_serial)
                                  return;
                              const QString word = crossReferenceWord(href.toString());
                              if (word.isEmpty())
                                  return;
                              endCrossReferenceWalk(true);
                              emit crossReferenceActivated(word);
                          });
}

void CQuorbelView::endCrossReferenceWalk(bool giveBackFocus)
{
    if (!m_walking)
        return;
    m_walking = false;
    page()->runJavaScript(QString::fromUtf8(::endCrossReferenceWalk), entryWorld);
    if (giveBackFocus)
        emit walkEnded();
}

// Tab and Shift+Tab walk the cross-references, Enter and Space look the focused one up (on
// their release, as the headword box does, so that no release is left for the box), Esc
// leaves the entry. Every other key is the browser's: the arrows scroll the entry.
bool CQuorbelView::walkKey(QKeyEvent* key)
{
    const bool press = key->type() == QEvent::KeyPress;
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (press)
            stepCrossReference(key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier) ? -1
                                                                                                       : 1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!press && !key->isAutoRepeat())
            activateFocusedCrossReference();
        return true;
    case Qt::Key_Escape:
        if (press)
            endCrossReferenceWalk(true);
        return true;
    default:
        return false;
    }
}

// The template as the browser gets it: the entry rides in an attribute, escaped, and the
// entry script puts it in.
QString CQuorbelView::servedPage()
{
    const QString stylesheet = m_display ? m_display->stylesheetPath : QString();
    return pageStart(stylesheet, darkStylesheet()) + QStringLiteral("<li data-entry=\"") +
           m_entryHtml.toHtmlEscaped() + QStringLiteral("\"></li>") + pageEnd;
}

void CQuorbelView::Preload()
{
    if (m_state == PageState::None)
        loadTemplate();
}

void CQuorbelView::loadTemplate()
{
    m_state = PageState::Loading;
    if (m_display)
        m_guard->setAllowedFiles({m_display->stylesheetPath, darkStylesheet()});
    page()->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    load(QUrl(QString::fromLatin1(EntrySchemeHandler::Scheme) + QStringLiteral(":/entry")));
}

void CQuorbelView::ChooseRenderer()
{
    // Through OpenGL, often a software one itself, each frame was drawn, read back and
    // copied: an entry took 55-60 ms to reach the screen instead of 17, and the process tree
    // held 40 MiB more. The browser sets Qt Quick's interface to OpenGL when it starts, so the
    // choice goes through the variable, which Qt Quick reads once, with its first window.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") && qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND")) {
        qputenv("QT_QUICK_BACKEND", "software");
        rendererChosen = true;
    }
}

void CQuorbelView::ShowEntry(QString html)
{
    if (!m_display || m_display->displayMode != ModeNormal)
        return;
    // The references walked belong to the entry going: the keys go back to the window (a
    // walk left on with the new entry kept them in a page where nothing had the focus).
    endCrossReferenceWalk(true);
    m_entryHtml = RewriteEntry(std::move(html), m_websiteBase);
    m_pageHtml = BuildPage(m_display->stylesheetPath, m_entryHtml, darkStylesheet());
    ++m_serial;
    switch (m_state) {
    case PageState::Ready:
        replaceEntry();
        break;
    case PageState::Loading: // the load's end puts the latest entry in
        break;
    case PageState::None:
        loadTemplate();
        break;
    }
}

void CQuorbelView::replaceEntry()
{
    const quint64 serial = m_serial;
    holdWindow();
    page()->runJavaScript(QString::fromUtf8(entryFunction) + QStringLiteral("showEntry(") +
                              scriptString(m_entryHtml) + QLatin1Char(')'),
                          entryWorld, [this, serial](const QVariant& done) {
                              if (m_closing || serial != m_serial)
                                  return; // a later entry is on its way
                              if (!done.toBool()) {
                                  // The document lost its entry script: load it afresh.
                                  releaseWindow();
                                  loadTemplate();
                                  return;
                              }
                              emit loadFinished(true);
                              awaitFrame(serial);
                          });
}

void CQuorbelView::onLoadFinished(bool ok)
{
    if (url().scheme() != QLatin1String(EntrySchemeHandler::Scheme)) {
        m_state = PageState::None;
        return;
    }
    if (!ok) {
        // Superseded or failed; a newer load reports for itself.
        if (m_state == PageState::Ready)
            m_state = PageState::None;
        return;
    }
    m_state = PageState::Ready;
    // The page's own script has put the served entry in as the document became ready; it
    // goes in once more from here, as any later one would. That also covers an entry given
    // while the template was on its way, and a document that started before the script
    // reached it; and its frame is then told apart from the template's first, blank ones.
    if (m_serial > 0 && m_display && m_display->displayMode == ModeNormal) {
        replaceEntry();
    }
}

void CQuorbelView::awaitFrame(quint64 serial)
{
    auto* surface = qobject_cast<QQuickWidget*>(focusProxy());
    if (!surface || !isVisible()) {
        releaseWindow();
        emit entryShown();
        return;
    }
    m_framePending = serial;
    m_frameRendered = false;
    connect(surface->quickWindow(), &QQuickWindow::afterRendering, this, &CQuorbelView::onFrameRendered,
            Qt::UniqueConnection);
    QTimer::singleShot(frameWaitMs, this, [this, serial] {
        if (m_framePending == serial) {
            m_framePending = 0;
            m_settle.stop();
            releaseWindow();
            emit entryShown();
        }
    });
}

void CQuorbelView::onFrameRendered()
{
    // Qt Quick has read it by its first frame: the programs this one starts (a web browser for
    // a link) keep their own.
    if (std::exchange(rendererChosen, false))
        qunsetenv("QT_QUICK_BACKEND");
    if (m_framePending) {
        m_frameRendered = true;
        releaseWindow();
        focusProxy()->update();
    }
}

void CQuorbelView::holdWindow()
{
    if (!m_drawWithEntry || !m_heldWidgets.isEmpty() || !isVisible())
        return;
    // Everything around the view, not the view nor the widgets holding it: a window whose
    // repaints are off while its browser surface delivers a frame never composes again.
    for (QWidget* inPath = this; inPath && !inPath->isWindow(); inPath = inPath->parentWidget()) {
        for (QObject* child : inPath->parentWidget()->children()) {
            auto* sibling = qobject_cast<QWidget*>(child);
            if (!sibling || sibling == inPath || sibling->isWindow() || !sibling->isVisible() ||
                !sibling->updatesEnabled())
                continue;
            sibling->setUpdatesEnabled(false);
            m_heldWidgets.append(sibling);
        }
    }
    if (!m_heldWidgets.isEmpty())
        QTimer::singleShot(holdLimitMs, this, &CQuorbelView::releaseWindow);
}

void CQuorbelView::releaseWindow()
{
    for (const QPointer<QWidget>& held : std::exchange(m_heldWidgets, {})) {
        if (held)
            held->setUpdatesEnabled(true);
    }
}

void CQuorbelView::OnInitialUpdate()
{
    if (!m_display || m_display->startPageUrl.isEmpty())
        return;
    if (IsWelcomePageAddress(m_display->startPageUrl)) {
        // The welcome page is an ordinary web page from the network and may run its scripts.
        m_state = PageState::None;
        page()->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
        load(QUrl(m_display->startPageUrl));
    }
}

bool CQuorbelView::event(QEvent* event)
{
    if (event->type() == QEvent::ChildPolished) {
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            child->installEventFilter(this);
    } else if (event->type() == QEvent::FocusIn) {
        if (!m_walking)
            emit focusReceived();
    } else if (event->type() == QEvent::Wheel && zoomByWheel(static_cast<QWheelEvent*>(event))) {
        return true;
    }
    return QWebEngineView::event(event);
}

bool CQuorbelView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (!m_walking)
            emit focusReceived();
    } else if (event->type() == QEvent::FocusOut && watched == focusProxy()) {
        // The user went elsewhere; a window that merely lost the activation comes back to it.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            endCrossReferenceWalk(false);
    } else if (m_walking && watched == focusProxy() &&
               (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        if (walkKey(static_cast<QKeyEvent*>(event)))
            return true;
    } else if (event->type() == QEvent::Wheel) {
        // The browser's surface gets the wheel; with Ctrl it sizes the entries, not the page.
        if (zoomByWheel(static_cast<QWheelEvent*>(event)))
            return true;
    } else if (watched == focusProxy() &&
               (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
                event->type() == QEvent::MouseButtonDblClick)) {
        // A click, not the end of a selection being dragged nor a double click's second one
        // (it selects a word), follows a cross-reference.
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            const QPoint at = mouse->position().toPoint();
            if (event->type() == QEvent::MouseButtonDblClick) {
                m_pressedAt = {-1, -1};
            } else if (event->type() == QEvent::MouseButtonPress) {
                m_pressedAt = at;
            } else {
                const bool click = m_pressedAt.x() >= 0 &&
                                   (at - m_pressedAt).manhattanLength() < QApplication::startDragDistance();
                m_pressedAt = {-1, -1};
                if (click)
                    activateCrossReferenceAt(mouse->position());
            }
        }
    } else if (event->type() == QEvent::Paint && m_frameRendered && watched == focusProxy()) {
        // The surface is painted with a frame of the browser. The first one after the entry
        // went in may still be an older one in flight; the entry's is the last before the
        // browser falls quiet.
        m_frameRendered = false;
        m_framePaintedAt = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
        m_settle.start();
    }
    return QWebEngineView::eventFilter(watched, event);
}

bool CQuorbelView::zoomByWheel(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        m_wheelRest = 0;
        return false;
    }
    // A notch is 120; a touchpad sends a little at a time, which adds up to steps.
    constexpr int notch = 120;
    m_wheelRest += event->angleDelta().y();
    const int steps = m_wheelRest / notch;
    m_wheelRest -= steps * notch;
    if (steps != 0)
        emit zoomStepRequested(steps);
    event->accept();
    return true;
}

#include "app/cmainframe.h"

#include "core/apiconfig.h"
#include "core/http/httpclient.h"
#include "ui/search/cinfinitelistview.h"
#include "app/clipboardmonitor.h"
#include "app/cmyoutlookbar.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/iskalnooknoinseznam.h"
#include "app/mycmfccaptionbar.h"
#include "app/mytoolbar.h"
#include "filters/editor/runfiltereditor.h"
#include "app/servermessages.h"
#include "core/settings.h"
#include "app/splashscreenex.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QUrl>
#include <QVBoxLayout>
#include <climits>

namespace {
// The maker's website, where the help pages are.
const QString makerWebsite = QStringLiteral("https://www.dravik.si");

// 1 minus a stored value, computed without overflow for any value the store may hold.
int oneMinus(int value)
{
    return int(qBound(qint64(INT_MIN), 1 - qint64(value), qint64(INT_MAX)));
}

// How long the window must keep its size before a resize counts as finished.
constexpr int resizeSettleMs = 300;

// The plain sentence for a transfer that did not get an answer of the service; empty when it
// did (a missing icon is an answer too).
QString noticeFor(const HttpClient::Outcome& outcome)
{
    using Failure = HttpResult::Failure;
    switch (outcome.failure) {
    case Failure::Network:
        return QStringLiteral("Slovarske storitve ni mogoče doseči. Preverite povezavo z internetom.");
    case Failure::Timeout:
        return QStringLiteral("Slovarska storitev se ni odzvala pravočasno. Poskusite znova.");
    case Failure::TooLarge:
        return QStringLiteral("Slovarska storitev je poslala prevelik odgovor.");
    case Failure::HttpStatus:
        if (outcome.status >= 500)
            return QStringLiteral("Slovarska storitev je javila napako (HTTP %1). Poskusite znova pozneje.")
                .arg(outcome.status);
        return {};
    case Failure::None:
        break;
    }
    return {};
}

bool serviceUnreached(const HttpClient::Outcome& outcome)
{
    return !noticeFor(outcome).isEmpty();
}

// Judges the requests a call made once it returns, whichever way it returns.
template <class Update>
class NoticeAfter
{
public:
    explicit NoticeAfter(Update update) : m_update(std::move(update)) {}
    ~NoticeAfter() { m_update(); }
    NoticeAfter(const NoticeAfter&) = delete;
    NoticeAfter& operator=(const NoticeAfter&) = delete;

private:
    Update m_update;
};

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    // Shown before any request blocks the thread; it goes by itself.
    if (qEnvironmentVariableIsEmpty("VERBOLIX_NO_SPLASH"))
        CSplashScreenEx::showStartupSplash();
    m_display.displayMode = ModeStarting;
    m_stylesheet = std::make_unique<StylesheetFile>();
    m_display.stylesheetPath = m_stylesheet->path();
    m_alwaysOnTop = Settings::Read(Setting::AlwaysOnTop);
    m_checkClipboard = Settings::Read(Setting::CheckClipboard);

    m_resizeSettle.setSingleShot(true);
    m_resizeSettle.setInterval(resizeSettleMs);
    connect(&m_resizeSettle, &QTimer::timeout, this, &CMainFrame::onResizeSettled);
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
}

QString CMainFrame::HelpUrl()
{
    return makerWebsite + QStringLiteral("/Verbolix-pomoc");
}

CInfiniteListView* CMainFrame::hitList() const
{
    return m_searchPane ? m_searchPane->hitList() : nullptr;
}

VnosnoOknoIztocnica* CMainFrame::headwordBox() const
{
    return m_searchPane ? m_searchPane->headwordBox() : nullptr;
}

int CMainFrame::Create()
{
    const NoticeAfter notice([this] { updateServiceNotice(); });
    m_display.displayMode = ModeStarting;
    m_api.ApiMessages();
    m_display.startPageUrl = m_api.m_message.welcome;
    if (m_display.startPageUrl.isEmpty())
        m_display.displayMode = ModeNormal;
    // The browser's start (its processes, the page template) overlaps the rest of the
    // start-up requests; the view goes into its place below. Started before the messages
    // request, it now and then cost that request its answer.
    m_view = new CQuorbelView(&m_display, this);
    m_view->hide();
    m_view->Preload();
    if (!ShowStartupMessages(m_api.m_message, this))
        return 1; // an upgrade taken or required

    QFile::remove(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tempFile")));

    setWindowTitle(QStringLiteral("Verbolix"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/verbolix.svg")));
    setMinimumSize(500, 300);
    resize(1000, 680);
    setContextMenuPolicy(Qt::NoContextMenu);

    // The entry view fills the client area under the caption bar.
    auto* client = new QWidget(this);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    m_view->setParent(client);
    m_view->show();
    m_view->setDrawWithEntry(true);
    m_view->setWebsiteBase(WebsiteUrl());
    m_view->setObjectName(QStringLiteral("entryView"));
    setCentralWidget(client);

    m_toolbar = new MyToolbar(QUrl(WebsiteUrl()).host(), this);
    m_toolbar->InitButtons();
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    connect(m_toolbar->filterCombo(), &QComboBox::activated, this, &CMainFrame::onFilterChosen);
    connect(m_toolbar->filterEditorAction(), &QAction::triggered, this, &CMainFrame::EditFilters);
    connect(m_toolbar->alwaysOnTopAction(), &QAction::triggered, this, &CMainFrame::ToggleAlwaysOnTop);
    connect(m_toolbar->clipboardAction(), &QAction::triggered, this, &CMainFrame::ToggleCheckClipboard);
    connect(m_toolbar->helpAction(), &QAction::triggered, this, &CMainFrame::OpenHelp);
    connect(m_toolbar->websiteAction(), &QAction::triggered, this, &CMainFrame::OpenWebsite);
    m_toolbar->alwaysOnTopAction()->setChecked(m_alwaysOnTop == 1);
    m_toolbar->clipboardAction()->setChecked(m_checkClipboard == 1);

    m_navigationPane = new CMyOutlookBar(this);
    m_searchPane = new IskalnoOknoInSeznam(m_navigationPane);
    m_navigationPane->addPage(m_searchPane, QStringLiteral("Seznam"));
    addDockWidget(Qt::LeftDockWidgetArea, m_navigationPane);
    resizeDocks({m_navigationPane}, {250}, Qt::Horizontal);

    m_captionBar = new MyCMFCCaptionBar(client);
    clientLayout->addWidget(m_captionBar);
    clientLayout->addWidget(m_view, 1);
    showCaption({}, {});

    CInfiniteListView* list = hitList();
    list->setHitSource(this);
    list->setDisplayState(&m_display);
    list->setObjectName(QStringLiteral("hitList"));
    headwordBox()->setObjectName(QStringLiteral("headwordBox"));
    connect(list, &CInfiniteListView::entryRequested, this, &CMainFrame::ShowEntryForHit);
    connect(headwordBox(), &VnosnoOknoIztocnica::searchRequested, this, [this](const QString& text) {
        m_display.displayMode = ModeNormal;
        if (m_dictionariesMissing) {
            // The service was away when the list was asked for: ask again; that searches the
            // box's text under the current filter.
            InitDictionariesAndFilters();
            return;
        }
        RunSearch(text);
    });
    connect(headwordBox(), &VnosnoOknoIztocnica::versionPageRequested, this, [this] {
        m_display.displayMode = ModeNormal;
        ShowVersionPage();
    });
    connect(m_searchPane, &IskalnoOknoInSeznam::clearRequested, this, [this] { ResetSearch({}); });
    connect(m_view, &CQuorbelView::focusReceived, this, [this] {
        QTimer::singleShot(0, headwordBox(), [box = headwordBox()] { box->setFocus(Qt::OtherFocusReason); });
    });
    // Keys that must be seen before any child sees them.
    qApp->installEventFilter(this);

    InitDictionariesAndFilters();
    applyAlwaysOnTop(m_alwaysOnTop == 1);
    m_clipboard = new ClipboardMonitor(nullptr, this);
    m_clipboard->setCheckClipboard(m_checkClipboard);
    connect(m_clipboard, &ClipboardMonitor::textCopied, this, &CMainFrame::SearchCopiedText);
    // What the clipboard holds already is searched once the window is up.
    QTimer::singleShot(0, m_clipboard, &ClipboardMonitor::checkNow);

    m_view->OnInitialUpdate();
    headwordBox()->setFocus(Qt::OtherFocusReason);
    m_created = true;
    return 0;
}

// ---- search glue

int CMainFrame::RunSearch(QString text)
{
    const NoticeAfter notice([this] { updateServiceNotice(); });
    m_lastQuery = text;
    const int n = m_api.NewSearch(text);
    CInfiniteListView* list = hitList();
    if (m_searchPane) {
        m_searchPane->ShowResultCount(n);
        m_searchPane->resultCount = n;
        list->SetHitCount(n);
    }
    if (n == 0) {
        if (list)
            list->viewport()->update();
        if (m_view)
            m_view->ShowEntry({});
        if (m_searchPane) {
            m_searchPane->ShowResultCount(0);
            m_searchPane->resultCount = 0;
            list->SetHitCount(0);
            list->SelectHit(0);
        }
        showCaption({}, {});
        return 0;
    }
    const int row = GoToHeadword();
    if (list)
        list->viewport()->update();
    return row;
}

int CMainFrame::GoToHeadword()
{
    const QString typed = GetQueryText() + QStringLiteral("*");
    const int i = m_api.GetHeadwordIndex(m_lastQuery, typed);
    if (!m_searchPane)
        return i;
    m_searchPane->headwordNotFound = i == -1 ? 1 : 0;
    m_searchPane->ShowResultCount(m_searchPane->resultCount);
    hitList()->SelectHit(i == -1 ? 0 : i);
    return i;
}

void CMainFrame::ShowEntryForHit(int row)
{
    const NoticeAfter notice([this] { updateServiceNotice(); });
    const QString html = m_api.GetEntryHtml(row, m_lastQuery);
    if (!m_view)
        return;
    const int d = m_api.GetDictionaryId(row, m_lastQuery);
    if (d >= 0) // no hit, no dictionary: nothing to fetch
        GetDictionaryIcon(m_ikone, d);
    m_view->ShowEntry(html);
    if (m_display.displayMode == ModeNormal)
        showCaption(m_api.GetDictionaryName(d) + QStringLiteral(" - ") + m_api.GetDictionaryAuthor(d),
                    QStringLiteral("Slovar tooltip"));
}

QString CMainFrame::GetHitHeadword(int row)
{
    // Rows page in as they are drawn: a page that cannot be fetched is told of too.
    const NoticeAfter notice([this] { updateServiceNotice(); });
    return m_api.GetHeadword(row, m_lastQuery);
}

int CMainFrame::GetHitImage(int row)
{
    return m_ikone.indexOf(m_api.GetDictionaryId(row, m_lastQuery));
}

int CMainFrame::ResetSearch(QString text)
{
    const NoticeAfter notice([this] { updateServiceNotice(); });
    m_lastQuery = text;
    const int n = m_api.NewSearch(text);
    m_searchPane->SetResultCount(n, true);
    hitList()->SelectHit(0);
    return n;
}

void CMainFrame::FillHitImageList(CInfiniteListView* list)
{
    for (const CSlovar& dictionary : std::as_const(m_api.m_slovarji)) {
        const int at = m_ikone.indexOf(dictionary.id);
        if (at >= 0)
            list->AddDictionaryIcon(m_ikone.at(at).bitmap);
    }
}

void CMainFrame::ShowVersionPage()
{
    if (!m_view)
        return;
    m_view->ShowEntry(QStringLiteral("Verzija:") + ProgramVersion() + QStringLiteral("<br/>Pot:") +
                      QCoreApplication::applicationFilePath().toHtmlEscaped());
}

QString CMainFrame::serviceNotice() const
{
    return m_captionBar ? m_captionBar->notice() : QString();
}

void CMainFrame::updateServiceNotice()
{
    const HttpClient::Outcome outcome = HttpClient::lastOutcome();
    if (outcome.transfers == m_transfersSeen || !m_captionBar)
        return; // nothing asked since: what is shown still holds
    m_transfersSeen = outcome.transfers;
    m_captionBar->SetNotice(noticeFor(outcome));
}

void CMainFrame::showCaption(const QString& text, const QString& tooltip)
{
    if (!m_captionBar)
        return;
    m_captionBar->SetButtonToolTip(tooltip);
    m_captionBar->SetText(text);
}

void CMainFrame::SearchCopiedText(const QString& text)
{
    VnosnoOknoIztocnica* box = headwordBox();
    box->setText(text);
    RunSearch(text);
    box->selectAll();
}

// ---- filters

void CMainFrame::InitDictionariesAndFilters()
{
    const int n = m_api.LoadDictionaries();
    m_dictionariesMissing = n == 0 && serviceUnreached(HttpClient::lastOutcome());
    QList<int> ids;
    for (int i = 0; i < n; ++i)
        ids.append(i < m_api.m_slovarji.size() ? m_api.m_slovarji.at(i).id : -1);
    // Downloads them in parallel; the calls below then find each in the cache.
    PreloadIcons(m_ikone, ids);
    for (const int id : std::as_const(ids))
        GetDictionaryIcon(m_ikone, id);
    FillHitImageList(hitList());
    if (m_toolbar)
        FillFilterCombo(0);
    const int position = Settings::Read(Setting::TrenutniFilter);
    SelectFilterComboItem(position);
    ApplyFilter(position);
}

void CMainFrame::FillFilterCombo(int id)
{
    if (!m_toolbar)
        return;
    QComboBox* combo = m_toolbar->filterCombo();
    combo->clear();
    int select = 0;
    for (int i = 0; i < m_api.m_sheme.size(); ++i) {
        combo->addItem(m_api.m_sheme.at(i).name);
        if (m_api.m_sheme.at(i).id == id)
            select = i;
    }
    combo->setCurrentIndex(combo->count() > 0 ? select : -1);
}

void CMainFrame::SelectFilterComboItem(int position)
{
    if (!m_toolbar)
        return;
    QComboBox* combo = m_toolbar->filterCombo();
    if (position >= 0 && position < combo->count())
        combo->setCurrentIndex(position);
}

void CMainFrame::ApplyFilter(int position)
{
    const CShema filter = m_api.GetFilter(position);
    if (filter.dictionaries == u",,") {
        EditFilters();
        return;
    }
    m_api.m_izbraniSlovarji.clear();
    for (int i = 0; i < m_api.m_slovarji.size(); ++i) {
        const QString id = QLatin1Char(',') + QString::number(m_api.m_slovarji.at(i).id) + QLatin1Char(',');
        if (position == 0 || filter.dictionaries.contains(id))
            m_api.m_izbraniSlovarji.append(m_api.GetDictionaryAt(i));
    }
    QString query = GetQueryText();
    if (query.isEmpty())
        query = QStringLiteral("*");
    RunSearch(query);
}

void CMainFrame::onFilterChosen(int)
{
    if (!m_toolbar)
        return;
    const int position = m_toolbar->filterCombo()->currentIndex();
    ApplyFilter(position);
    Settings::Write(Setting::TrenutniFilter, position);
}

void CMainFrame::ChooseFilterByKey(int key)
{
    const int position = key - Qt::Key_1;
    if (!m_toolbar || position < 0 || position >= m_toolbar->filterCombo()->count())
        return;
    ApplyFilter(position);
    SelectFilterComboItem(position);
    Settings::Write(Setting::TrenutniFilter, position);
}

void CMainFrame::EditFilters()
{
    // The editor runs modally with this window as its host, then the entry is blanked and the
    // box's text searched again.
    RunFilterEditor(*this, this);
}

QString CMainFrame::GetQueryText() const
{
    return m_searchPane ? m_searchPane->GetQueryText() : QString();
}

void CMainFrame::BlankEntryView()
{
    if (m_view)
        m_view->ShowEntry({});
}

void CMainFrame::ShowNewSearchResult(int count)
{
    updateServiceNotice(); // the editor's search
    // The editor searched for the box's text: that is now the query of the rows.
    m_lastQuery = GetQueryText();
    if (m_searchPane)
        m_searchPane->SetResultCount(count, true);
}

// ---- window commands

void CMainFrame::applyAlwaysOnTop(bool on)
{
    if (bool(windowFlags() & Qt::WindowStaysOnTopHint) == on)
        return;
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (wasVisible)
        show();
}

void CMainFrame::ToggleAlwaysOnTop()
{
    m_alwaysOnTop = oneMinus(m_alwaysOnTop);
    applyAlwaysOnTop(m_alwaysOnTop != 0);
    Settings::Write(Setting::AlwaysOnTop, m_alwaysOnTop);
    if (m_toolbar)
        m_toolbar->alwaysOnTopAction()->setChecked(m_alwaysOnTop == 1);
}

void CMainFrame::ToggleCheckClipboard()
{
    m_checkClipboard = oneMinus(m_checkClipboard);
    Settings::Write(Setting::CheckClipboard, m_checkClipboard);
    if (m_clipboard)
        m_clipboard->setCheckClipboard(m_checkClipboard);
    if (m_toolbar)
        m_toolbar->clipboardAction()->setChecked(m_checkClipboard == 1);
}

void CMainFrame::OpenHelp()
{
    QDesktopServices::openUrl(QUrl(HelpUrl()));
}

void CMainFrame::OpenWebsite()
{
    QDesktopServices::openUrl(QUrl(WebsiteUrl()));
}

// ---- keys, focus and size

void CMainFrame::moveFocusWithTab()
{
    CInfiniteListView* list = hitList();
    VnosnoOknoIztocnica* box = headwordBox();
    if (!list || !box)
        return;
    if (QApplication::focusWidget() == list) {
        box->clickSelectState = 3;
        box->setFocus(Qt::TabFocusReason);
    } else {
        list->setFocus(Qt::TabFocusReason);
    }
}

bool CMainFrame::handleKey(QKeyEvent* event, bool press)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;

    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        if (!press && !event->isAutoRepeat())
            moveFocusWithTab();
        return true;
    }
    if (!press)
        return false;
    if (ctrl && key == Qt::Key_O)
        return true;
    if (ctrl && key >= Qt::Key_1 && key <= Qt::Key_9) {
        ChooseFilterByKey(key);
        return true;
    }
    // Copy and cut belong to the entry view whenever it holds a selection.
    const bool copy = (ctrl && (key == Qt::Key_C || key == Qt::Key_Insert));
    const bool cut = (ctrl && key == Qt::Key_X) || (shift && key == Qt::Key_Delete);
    if ((copy || cut) && m_view && m_view->hasSelection()) {
        // The browser copies only from a focused page, and the focus lives in the box.
        QApplication::clipboard()->setText(m_view->selectedText());
        return true;
    }
    // Paste acts on the key's release in the headword box; undo and F1/F6 have no command.
    if ((ctrl && key == Qt::Key_V) || (shift && key == Qt::Key_Insert))
        return !qobject_cast<VnosnoOknoIztocnica*>(QApplication::focusWidget());
    if ((ctrl && key == Qt::Key_Z) || ((mods & Qt::AltModifier) && key == Qt::Key_Backspace) ||
        key == Qt::Key_F1 || key == Qt::Key_F6)
        return true;
    return false;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        if (handleKey(static_cast<QKeyEvent*>(event), type == QEvent::KeyPress))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!m_created || !event->oldSize().isValid())
        return;
    if (!m_resizeSettle.isActive())
        m_heightBeforeResize = event->oldSize().height();
    m_resizeSettle.start();
}

void CMainFrame::onResizeSettled()
{
    if (height() != m_heightBeforeResize && m_display.displayMode == ModeNormal)
        RunSearch(GetQueryText());
}

#include "app/cmainframe.h"

#include "app/aboutdialog.h"
#include "app/clipboardmonitor.h"
#include "app/cmyoutlookbar.h"
#include "app/desktopnotifier.h"
#include "app/mycmfccaptionbar.h"
#include "app/mytoolbar.h"
#include "app/quitsignals.h"
#include "app/servermessages.h"
#include "app/singleinstance.h"
#include "app/splashscreenex.h"
#include "app/userresizewatch.h"
#include "app/windowplacement.h"
#include "app/windowstacking.h"
#include "core/apiconfig.h"
#include "core/filters/dictionariestext.h"
#include "core/icons/iconcache.h"
#include "core/settings.h"
#include "filters/editor/runfiltereditor.h"
#include "ui/search/cinfinitelistview.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/darkpalette.h"
#include "ui/search/entryzoom.h"
#include "ui/search/hitlistmodel.h"
#include "ui/search/iskalnooknoinseznam.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <climits>
#include <utility>

namespace {
// After a page could not be fetched, rows drawn meanwhile wait this long before they ask
// again (an action of the user asks at once).
constexpr int pagingPauseMs = 2000;

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    // Shown at once, while the window is built; it goes by itself.
    if (qEnvironmentVariableIsEmpty("VERBOLIX_NO_SPLASH"))
        CSplashScreenEx::showStartupSplash();
    m_display.displayMode = ModeStarting;
    m_stylesheet = std::make_unique<StylesheetFile>();
    m_display.stylesheetPath = m_stylesheet->path();
    m_alwaysOnTop = Settings::Read(Setting::AlwaysOnTop);
    m_checkClipboard = Settings::Read(Setting::CheckClipboard);

    m_resizeWatch = new UserResizeWatch(this);
    connect(m_resizeWatch, &UserResizeWatch::userResizeFinished, this, &CMainFrame::onUserResized);
    // A copied word looked up behind other windows is told once its search has settled.
    connect(this, &CMainFrame::settled, this, [this] {
        if (!m_notifyWhenSettled.isEmpty())
            notifyLookUp(std::exchange(m_notifyWhenSettled, {}));
    });

    m_pagingPause.setSingleShot(true);
    m_pagingPause.setInterval(pagingPauseMs);
    connect(&m_pagingPause, &QTimer::timeout, this, [this] {
        CInfiniteListView* list = hitList();
        if (!list)
            return;
        // The entry still selected is asked again; the rows still missing ask as they are drawn.
        const int row = std::exchange(m_retryEntry, -1);
        if (row >= 0 && row == list->selectionMark())
            ShowEntryForHit(row);
        list->viewport()->update();
    });
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
    // Also when the program is ended by a signal, which closes no window.
    if (m_placement)
        m_placement->save();
}

QString CMainFrame::HelpUrl()
{
    return MakerWebsiteUrl() + QStringLiteral("/Verbolix-pomoc");
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
    m_display.displayMode = ModeStarting;

    setWindowTitle(QStringLiteral("Verbolix"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/verbolix.svg")));
    setMinimumSize(500, 300);
    setContextMenuPolicy(Qt::NoContextMenu);

    // The entry view fills the client area under the caption bar.
    auto* client = new QWidget(this);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    m_view = new CQuorbelView(&m_display, client);
    m_view->setDrawWithEntry(true);
    m_view->setWebsiteBase(WebsiteUrl());
    m_view->setObjectName(QStringLiteral("entryView"));
    m_view->setZoomPercent(EntryZoom::Clamp(Settings::Read(Setting::EntryZoomPercent)));
    connect(m_view, &CQuorbelView::zoomStepRequested, this, [this](int steps) {
        setEntryZoom(EntryZoom::Step(Settings::Read(Setting::EntryZoomPercent), steps));
    });
    setCentralWidget(client);

    m_toolbar = new MyToolbar(QUrl(WebsiteUrl()).host(), this);
    m_toolbar->InitButtons();
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    connect(m_toolbar->filterCombo(), &QComboBox::activated, this, &CMainFrame::onFilterChosen);
    connect(m_toolbar->filterEditorAction(), &QAction::triggered, this, &CMainFrame::EditFilters);
    connect(m_toolbar->alwaysOnTopAction(), &QAction::triggered, this, &CMainFrame::ToggleAlwaysOnTop);
    connect(m_toolbar->clipboardAction(), &QAction::triggered, this, &CMainFrame::ToggleCheckClipboard);
    connect(m_toolbar->backAction(), &QAction::triggered, this, &CMainFrame::GoBack);
    connect(m_toolbar->forwardAction(), &QAction::triggered, this, &CMainFrame::GoForward);
    connect(m_toolbar->helpAction(), &QAction::triggered, this, &CMainFrame::OpenHelp);
    connect(m_toolbar->websiteAction(), &QAction::triggered, this, &CMainFrame::OpenWebsite);
    connect(m_toolbar->aboutAction(), &QAction::triggered, this, &CMainFrame::ShowAbout);
    addAction(m_toolbar->aboutAction());
    m_toolbar->alwaysOnTopAction()->setChecked(m_alwaysOnTop == 1);
    m_toolbar->clipboardAction()->setChecked(m_checkClipboard == 1);

    m_navigationPane = new CMyOutlookBar(this);
    m_searchPane = new IskalnoOknoInSeznam(m_navigationPane);
    m_navigationPane->addPage(m_searchPane, QStringLiteral("Seznam"));
    addDockWidget(Qt::LeftDockWidgetArea, m_navigationPane);
    m_placement = new WindowPlacement(this, m_navigationPane);
    m_placement->restore(QSize(1000, 680), 250);

    m_captionBar = new MyCMFCCaptionBar(client);
    clientLayout->addWidget(m_captionBar);
    clientLayout->addWidget(m_view, 1);
    showCaption({}, {});

    CInfiniteListView* list = hitList();
    list->setHitSource(this);
    list->setDisplayState(&m_display);
    list->setObjectName(QStringLiteral("hitList"));
    headwordBox()->setObjectName(QStringLiteral("headwordBox"));
    connect(list, &CInfiniteListView::entryRequested, this, &CMainFrame::onEntryRequested);
    connect(headwordBox(), &VnosnoOknoIztocnica::searchRequested, this, &CMainFrame::searchEntered);
    connect(headwordBox(), &VnosnoOknoIztocnica::versionPageRequested, this, [this] {
        m_display.displayMode = ModeNormal;
        ShowVersionPage();
    });
    connect(m_searchPane, &IskalnoOknoInSeznam::clearRequested, this, [this] {
        if (m_work != Work::Startup)
            ResetSearch({});
    });
    connect(m_view, &CQuorbelView::crossReferenceActivated, this, &CMainFrame::SearchOutsideWord);
    connect(m_view, &CQuorbelView::focusReceived, this, [this] {
        QTimer::singleShot(0, headwordBox(), [box = headwordBox()] { box->setFocus(Qt::OtherFocusReason); });
    });
    connect(m_view, &CQuorbelView::walkEnded, this,
            [this] { headwordBox()->setFocus(Qt::OtherFocusReason); });
    followColourScheme();
    // Keys that must be seen before any child sees them.
    qApp->installEventFilter(this);
    applyAlwaysOnTop(m_alwaysOnTop == 1);
    headwordBox()->setFocus(Qt::OtherFocusReason);
    setNotifier(new DesktopNotifier(this));
    m_created = true;
    m_resizeWatch->setEnabled(true);

    // The messages come first: an upgrade may end the program before anything else is asked.
    m_work = Work::Startup;
    m_api.fetchMessages([this](CApi::Outcome outcome) {
        noteOutcome(outcome);
        onMessages();
    });
    return 0;
}

void CMainFrame::onMessages()
{
    // The browser's start (its processes, the page template) overlaps the rest of the
    // start-up requests. Started before the messages request, it now and then cost that
    // request its answer.
    if (m_view)
        m_view->Preload();
    // Only a page of the web is a welcome page; any other address is as none.
    m_display.startPageUrl =
        CQuorbelView::IsWelcomePageAddress(m_api.m_message.welcome) ? m_api.m_message.welcome : QString();
    if (m_display.startPageUrl.isEmpty())
        m_display.displayMode = ModeNormal;
    if (!ShowStartupMessages(m_api.m_message, this) || QuitSignals::received()) {
        m_work = Work::None;
        // An upgrade taken or required, or a termination signal while a notice was open.
        emit exitRequested(QuitSignals::received() ? QuitSignals::exitCode() : 1);
        return;
    }
    if (!m_pendingLookUp.isEmpty()) {
        // Started with a word: the first search is that word, and its entry shows at once.
        headwordBox()->setText(std::exchange(m_pendingLookUp, {}));
        m_display.startPageUrl.clear();
        m_display.displayMode = ModeNormal;
    }
    QFile::remove(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tempFile")));
    InitDictionariesAndFilters();
}

void CMainFrame::finishStartup()
{
    m_clipboard = new ClipboardMonitor(nullptr, this);
    m_clipboard->setCheckClipboard(m_checkClipboard);
    connect(m_clipboard, &ClipboardMonitor::textCopied, this, &CMainFrame::SearchCopiedText);
    // What the clipboard holds already is searched once the window is up.
    QTimer::singleShot(0, m_clipboard, &ClipboardMonitor::checkNow);

    m_startingUp = false;
    // The welcome page, when the server named one, stays until the user acts.
    if (m_display.displayMode == ModeStarting || m_display.startPageUrl.isEmpty()) {
        m_view->OnInitialUpdate();
        m_display.displayMode = m_display.startPageUrl.isEmpty() ? ModeNormal : ModeStartPage;
    }
    // A word handed over by another start while this one was starting.
    if (!m_pendingLookUp.isEmpty()) {
        const QString word = std::exchange(m_pendingLookUp, {});
        QTimer::singleShot(0, this, [this, word] { SearchOutsideWord(word); });
    }
}

bool CMainFrame::isSettled() const
{
    return m_work == Work::None && m_api.m_requestDepth == 0 && m_pendingEntry < 0 && !m_settlePosted &&
           !m_startingUp;
}

// ---- search glue

void CMainFrame::dropWork()
{
    m_api.cancelRequests();
    m_work = Work::None;
    m_pendingEntry = -1;
    m_entryRow = -1;
    m_retryEntry = -1;
    m_fruitlessPage.clear();
    // The user acted: rows may ask for their pages again at once.
    m_pagingPause.stop();
}

void CMainFrame::fetchNewSearch(const QString& query, std::function<void(int, const CApi::Outcome&)> answered)
{
    dropWork();
    const quint64 serial = ++m_searchSerial;
    m_work = Work::Search;
    m_api.fetchNewSearch(query, [this, serial, answered = std::move(answered)](int n, CApi::Outcome outcome) {
        if (serial != m_searchSerial)
            return; // a newer search took over
        m_work = Work::None;
        noteOutcome(outcome);
        answered(n, outcome);
    });
}

void CMainFrame::RunSearch(QString text)
{
    leavePlace();
    m_lastQuery = text;
    fetchNewSearch(text, [this](int n, const CApi::Outcome& outcome) {
        if (showSearchTotal(n, outcome))
            GoToHeadword();
        workEnded();
    });
}

bool CMainFrame::showSearchTotal(int n, const CApi::Outcome& outcome)
{
    if (outcome && !outcome->answered())
        pausePaging();
    CInfiniteListView* list = hitList();
    if (m_searchPane) {
        m_searchPane->ShowResultCount(n);
        m_searchPane->resultCount = n;
        list->SetHitCount(n);
    }
    if (n != 0)
        return true;
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
    return false;
}

void CMainFrame::GoToHeadword()
{
    const QString typed = GetQueryText() + QStringLiteral("*");
    const quint64 serial = m_searchSerial;
    m_work = Work::Search;
    m_api.fetchHeadwordIndex(m_lastQuery, typed, [this, serial](int i, CApi::Outcome outcome) {
        if (serial != m_searchSerial)
            return;
        m_work = Work::None;
        noteOutcome(outcome);
        if (m_searchPane) {
            m_searchPane->headwordNotFound = i == -1 ? 1 : 0;
            m_searchPane->ShowResultCount(m_searchPane->resultCount);
            hitList()->SelectHit(i == -1 ? 0 : i);
            hitList()->viewport()->update();
        }
        workEnded();
    });
}

void CMainFrame::onEntryRequested(int row)
{
    // The user chose a row (or a search selected one outside start-up): entries are shown.
    m_display.displayMode = ModeNormal;
    ShowEntryForHit(row);
}

void CMainFrame::ShowEntryForHit(int row)
{
    m_pagingPause.stop();
    m_fruitlessPage.clear();
    if (m_work == Work::Entry && row == m_entryRow)
        return; // already on its way
    if (m_work == Work::Entry)
        dropWork(); // a newer selection: the older entry is not shown
    if (m_work != Work::None || m_api.m_requestDepth > 0) {
        // A search or a page is under way; the entry may need what it brings.
        m_pendingEntry = row;
        return;
    }
    const quint64 serial = ++m_selectionSerial;
    m_work = Work::Entry;
    m_entryRow = row;
    m_pendingEntry = -1;
    m_api.fetchEntryHtml(row, m_lastQuery, [this, serial, row](QString html, CApi::Outcome outcome) {
        if (serial != m_selectionSerial)
            return;
        noteOutcome(outcome);
        if (outcome && !outcome->answered()) {
            pausePaging();
            m_retryEntry = row;
        }
        const CZadetek* hit = m_api.heldHit(row);
        const int d = hit ? hit->dictionaryId : -1;
        // Its dictionary's icon, when the cache does not have it yet (and may ask).
        if (m_view && d >= 0 && m_ikone.indexOf(d) < 0 && m_ikone.mayDownload()) {
            QList<int> missing;
            m_api.fetchMany(IconDownloads(m_ikone, {d}, missing),
                            [this, serial, row, html, missing](QList<HttpResult> results) {
                                if (serial != m_selectionSerial)
                                    return;
                                noteOutcome(StoreIconDownloads(m_ikone, missing, results));
                                showFetchedEntry(row, html);
                            });
            return;
        }
        showFetchedEntry(row, html);
    });
}

void CMainFrame::showFetchedEntry(int row, const QString& html)
{
    m_work = Work::None;
    m_entryRow = -1;
    if (m_view) {
        const CZadetek* hit = m_api.heldHit(row);
        const int d = hit ? hit->dictionaryId : -1;
        m_view->ShowEntry(html);
        // Every entry shown counts as looked at, once it is on screen: a selection dropped
        // for a newer one, or rows passed while Down was held, never are.
        if (hit) {
            const HistoryPlace place = placeOf(row);
            m_history.record(place);
            m_leftPlace = false;
            updateHistoryButtons();
            // An entry held is shown before the selection that asked for it has scrolled the
            // list: the place takes the list's top once that is done.
            QTimer::singleShot(0, this, [this, place] {
                const HistoryPlace* current = m_history.current();
                if (current && current->sameEntry(place) && showsPlace(*current))
                    m_history.setCurrentTopRow(hitList()->topRow());
            });
        }
        if (m_display.displayMode == ModeNormal)
            showCaption(m_api.GetDictionaryName(d) + QStringLiteral(" - ") + m_api.GetDictionaryAuthor(d),
                        {});
        emit entryShown(row);
    }
    workEnded();
}

QString CMainFrame::GetHitHeadword(int row)
{
    if (const CZadetek* hit = m_api.heldHit(row))
        return hit->headword;
    fetchRowPage(row);
    return {}; // drawn empty until its page is in
}

int CMainFrame::GetHitImage(int row)
{
    if (const CZadetek* hit = m_api.heldHit(row))
        return m_ikone.indexOf(hit->dictionaryId);
    fetchRowPage(row);
    return -1;
}

void CMainFrame::fetchRowPage(int row)
{
    if (m_work != Work::None || m_api.m_requestDepth > 0 || m_pagingPause.isActive() || m_settlePosted)
        return;
    const QString url = m_api.pageUrl(row, m_lastQuery);
    if (url.isEmpty() || url == m_fruitlessPage)
        return;
    const quint64 serial = m_searchSerial;
    const bool asked = m_api.fetchPosition(row, m_lastQuery, [this, serial, row, url](CApi::Outcome outcome) {
        if (serial != m_searchSerial)
            return;
        m_work = Work::None;
        noteOutcome(outcome);
        if (outcome && !outcome->answered())
            pausePaging();
        else if (!m_api.heldHit(row))
            m_fruitlessPage = url; // the service has no such hits: drawing again asks no more
        workEnded();
    });
    if (asked)
        m_work = Work::Page;
}

void CMainFrame::pausePaging()
{
    m_pagingPause.start();
}

void CMainFrame::workEnded()
{
    if (m_work != Work::None || m_api.m_requestDepth > 0 || m_settlePosted)
        return;
    // After the current call has returned: what it does next (a selection that asks for an
    // entry) goes first.
    m_settlePosted = true;
    QTimer::singleShot(0, this, &CMainFrame::settleNow);
}

void CMainFrame::settleNow()
{
    m_settlePosted = false;
    if (m_work != Work::None || m_api.m_requestDepth > 0)
        return;
    if (m_pendingEntry >= 0) {
        const int row = std::exchange(m_pendingEntry, -1);
        ShowEntryForHit(row);
        return;
    }
    if (m_startingUp)
        finishStartup();
    if (CInfiniteListView* list = hitList()) {
        // Rows drawn empty while their page was on its way are drawn again.
        list->hitsArrived();
    }
    emit settled();
}

void CMainFrame::ResetSearch(QString text)
{
    leavePlace();
    m_lastQuery = text;
    fetchNewSearch(text, [this](int n, const CApi::Outcome&) {
        m_searchPane->SetResultCount(n, true);
        hitList()->SelectHit(0);
        workEnded();
    });
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
    leavePlace();
    m_view->ShowEntry(QStringLiteral("Verzija:") + ProgramVersion() + QStringLiteral("<br/>Pot:") +
                      QCoreApplication::applicationFilePath().toHtmlEscaped());
}

QString CMainFrame::serviceNotice() const
{
    return m_captionBar ? m_captionBar->notice() : QString();
}

void CMainFrame::noteOutcome(const CApi::Outcome& outcome)
{
    if (outcome && m_captionBar)
        m_captionBar->ShowOutcome(*outcome);
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
    if (isActiveWindow())
        return;
    // Copied in another program: show the result without taking the focus from it.
    if (m_copyFollowUp == CopyFollowUp::BringForward) {
        if (isMinimized())
            showNormal();
        raise();
    } else {
        m_notifyWhenSettled = text;
    }
}

void CMainFrame::searchEntered(const QString& text)
{
    // Start-up's own first search takes the box's text as it is then.
    if (m_work == Work::Startup)
        return;
    m_display.displayMode = ModeNormal;
    if (m_dictionariesMissing) {
        // The service was away when the list was asked for: ask again; that searches the
        // box's text under the current filter.
        InitDictionariesAndFilters();
        return;
    }
    RunSearch(text);
}

void CMainFrame::SearchOutsideWord(const QString& word)
{
    VnosnoOknoIztocnica* box = headwordBox();
    if (!box)
        return;
    box->setText(word);
    searchEntered(word);
    box->selectAll();
}

void CMainFrame::HandleLaunchRequest(const LaunchRequest& request)
{
    if (!m_created || m_startingUp) {
        if (request.kind == LaunchRequest::Kind::LookUp)
            m_pendingLookUp = request.word;
        if (!m_created)
            return;
    }
    bringForward(request.activationToken);
    if (m_startingUp)
        return; // the word waits for start-up's end
    if (request.kind == LaunchRequest::Kind::LookUp) {
        SearchOutsideWord(request.word);
    } else if (request.kind == LaunchRequest::Kind::Clipboard) {
        // Wayland hands the clipboard only to a focused window: read it once the focus is here.
        if (isActiveWindow())
            searchClipboardNow();
        else
            m_clipboardLookUpPending = true;
    }
}

void CMainFrame::searchClipboardNow()
{
    m_clipboardLookUpPending = false;
    const QString word = ClipboardMonitor::lookupText(QGuiApplication::clipboard()->text());
    if (!word.isEmpty())
        SearchOutsideWord(word);
}

void CMainFrame::bringForward(const QString& activationToken)
{
    // Qt's Wayland support activates the window with this token when it is set.
    if (!activationToken.isEmpty() && QGuiApplication::platformName().startsWith(u"wayland"))
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void CMainFrame::notifyLookUp(const QString& word)
{
    if (!m_notifier)
        return;
    CInfiniteListView* list = hitList();
    const int row = list && list->currentIndex().isValid() ? list->currentIndex().row() : -1;
    const CZadetek* hit = row >= 0 ? m_api.heldHit(row) : nullptr;
    const QString body =
        hit ? QStringLiteral("Zadetek v slovarju %1.").arg(m_api.GetDictionaryName(hit->dictionaryId))
            : QStringLiteral("Ni zadetkov.");
    m_notifier->notify(word, body);
}

void CMainFrame::setNotifier(DesktopNotifier* notifier)
{
    delete m_notifier;
    m_notifier = notifier;
    if (m_notifier)
        connect(m_notifier, &DesktopNotifier::activated, this, [this] { bringForward(); });
}

void CMainFrame::ShowAbout()
{
    AboutDialog dialog(ApiBaseUrl(), this);
    dialog.exec();
}

// ---- history of the entries looked at

QList<int> CMainFrame::selectedDictionaryIds() const
{
    QList<int> ids;
    for (const CSlovar& dictionary : m_api.m_izbraniSlovarji)
        ids.append(dictionary.id);
    return ids;
}

HistoryPlace CMainFrame::placeOf(int row) const
{
    HistoryPlace place;
    place.word = m_lastQuery;
    place.boxWasEmpty = m_lastQuery == u"*" && GetQueryText().isEmpty();
    place.filter = FilterComboSelection();
    place.dictionaries = selectedDictionaryIds();
    place.row = row;
    if (CInfiniteListView* list = hitList())
        place.topRow = list->topRow();
    if (const CZadetek* hit = m_api.heldHit(row)) {
        place.dictionaryId = hit->dictionaryId;
        place.entryId = hit->entryId;
    }
    return place;
}

bool CMainFrame::showsPlace(const HistoryPlace& place) const
{
    CInfiniteListView* list = hitList();
    return list && m_work != Work::Search && list->selectionMark() == place.row &&
           placeOf(place.row).sameEntry(place);
}

void CMainFrame::leavePlace()
{
    m_leftPlace = true;
    updateHistoryButtons();
}

void CMainFrame::GoBack()
{
    stepHistory(true);
}

void CMainFrame::GoForward()
{
    stepHistory(false);
}

void CMainFrame::stepHistory(bool back)
{
    // Start-up's requests come first; its first entry is the oldest place.
    if (m_startingUp || m_work == Work::Startup || !m_history.current())
        return;
    std::optional<HistoryPlace> place;
    if (back && m_leftPlace) {
        // The screen has moved on from the last entry (a search without hits, the version
        // page, a search still under way): back is that entry.
        place = *m_history.current();
    } else {
        // Coming back here should find the list as the user left it, scrolled since or not.
        if (showsPlace(*m_history.current()))
            m_history.setCurrentTopRow(hitList()->topRow());
        place = back ? m_history.back() : m_history.forward();
    }
    if (place)
        showPlace(*place);
    updateHistoryButtons();
}

void CMainFrame::showPlace(const HistoryPlace& place)
{
    CInfiniteListView* list = hitList();
    VnosnoOknoIztocnica* box = headwordBox();
    if (!list || !box)
        return;
    // On the way to this place: a second step before it is on screen goes on from here.
    m_leftPlace = false;
    m_display.displayMode = ModeNormal;
    // Back at start-up's place the box is empty again, as it was, not "*".
    box->setText(place.boxWasEmpty ? QString() : place.word);
    box->selectAll();
    // The filter shown is the one the next start applies, as when the user chooses it.
    if (place.filter != FilterComboSelection() && place.filter >= 0 &&
        place.filter < m_toolbar->filterCombo()->count()) {
        SelectFilterComboItem(place.filter);
        Settings::Write(Setting::TrenutniFilter, place.filter);
    }
    if (m_work != Work::Search && m_lastQuery == place.word &&
        selectedDictionaryIds() == place.dictionaries && list->hitCount() > place.row) {
        // The list holds that search's answer: only the entry, when it is not held.
        list->SelectHitAt(place.row, place.topRow);
        return;
    }
    // The dictionaries the search went to then, in their order, as far as they are still listed.
    m_api.m_izbraniSlovarji.clear();
    for (int id : place.dictionaries) {
        for (const CSlovar& dictionary : std::as_const(m_api.m_slovarji)) {
            if (dictionary.id == id)
                m_api.m_izbraniSlovarji.append(dictionary);
        }
    }
    // The place's row is known: no entry index is asked for.
    m_lastQuery = place.word;
    fetchNewSearch(place.word, [this, place](int n, const CApi::Outcome& outcome) {
        if (showSearchTotal(n, outcome)) {
            hitList()->SelectHitAt(qMin(place.row, n - 1), qMin(place.topRow, n - 1));
            hitList()->viewport()->update();
        }
        workEnded();
    });
}

void CMainFrame::updateHistoryButtons()
{
    if (!m_toolbar)
        return;
    m_toolbar->backAction()->setEnabled(m_history.canGoBack() || (m_leftPlace && m_history.current()));
    m_toolbar->forwardAction()->setEnabled(m_history.canGoForward());
}

// ---- filters

void CMainFrame::InitDictionariesAndFilters()
{
    dropWork();
    const quint64 serial = ++m_searchSerial;
    m_work = Work::Startup;
    m_api.fetchDictionaries([this, serial](int n, CApi::Outcome outcome) {
        if (serial != m_searchSerial)
            return;
        noteOutcome(outcome);
        m_dictionariesMissing = n == 0 && outcome && !MyCMFCCaptionBar::noticeFor(*outcome).isEmpty();
        QList<int> ids;
        for (int i = 0; i < n; ++i)
            ids.append(i < m_api.m_slovarji.size() ? m_api.m_slovarji.at(i).id : -1);
        // All the missing icons at once, in one wave.
        QList<int> missing;
        const QList<HttpRequest> downloads = IconDownloads(m_ikone, ids, missing);
        m_api.fetchMany(downloads,
                        [this, serial, missing, asked = !downloads.isEmpty()](QList<HttpResult> results) {
                            if (serial != m_searchSerial)
                                return;
                            const HttpOutcome last = StoreIconDownloads(m_ikone, missing, results);
                            if (asked)
                                noteOutcome(last);
                            FillHitImageList(hitList());
                            if (m_toolbar)
                                FillFilterCombo(0);
                            const int position = Settings::Read(Setting::TrenutniFilter);
                            SelectFilterComboItem(position);
                            m_work = Work::None;
                            ApplyFilter(position);
                            workEnded();
                        });
    });
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

int CMainFrame::FilterComboSelection() const
{
    return m_toolbar ? m_toolbar->filterCombo()->currentIndex() : -1;
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
        if (position == 0 || TextContainsDictionary(filter.dictionaries, m_api.m_slovarji.at(i).id))
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
    leavePlace();
    if (m_view)
        m_view->ShowEntry({});
}

void CMainFrame::StartNewSearch(const QString& query)
{
    fetchNewSearch(query, [this](int n, const CApi::Outcome&) {
        ShowNewSearchResult(n);
        workEnded();
    });
}

void CMainFrame::ShowNewSearchResult(int count)
{
    // The editor searched for the box's text: that is now the query of the rows.
    m_lastQuery = GetQueryText();
    if (m_searchPane)
        m_searchPane->SetResultCount(count, true);
}

// ---- window commands

void CMainFrame::applyAlwaysOnTop(bool on)
{
    // The same window, its focus and caret kept: only the stacking band changes.
    WindowStacking::keepAbove(this, on);
}

void CMainFrame::ToggleAlwaysOnTop()
{
    m_alwaysOnTop = Settings::OneMinus(m_alwaysOnTop);
    applyAlwaysOnTop(m_alwaysOnTop != 0);
    Settings::Write(Setting::AlwaysOnTop, m_alwaysOnTop);
    if (m_toolbar)
        m_toolbar->alwaysOnTopAction()->setChecked(m_alwaysOnTop == 1);
}

void CMainFrame::ToggleCheckClipboard()
{
    m_checkClipboard = Settings::OneMinus(m_checkClipboard);
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

    // Ctrl+G: the keyboard goes into the entry ("geslo"), where Tab walks its cross-references.
    if (ctrl && key == Qt::Key_G && !shift && !(mods & Qt::AltModifier)) {
        if (press && m_view)
            m_view->WalkCrossReferences();
        return true;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        if (m_view && m_view->walkingCrossReferences())
            return false; // the entry's own
        if (!press && !event->isAutoRepeat())
            moveFocusWithTab();
        return true;
    }
    if (!press)
        return false;
    if (ctrl && key == Qt::Key_O)
        return true;
    // The digits of the main row only; the keypad's are no filter keys.
    if (ctrl && key >= Qt::Key_1 && key <= Qt::Key_9 && !(mods & Qt::KeypadModifier)) {
        ChooseFilterByKey(key);
        return true;
    }
    // The entries' size, on the keys browsers use: = is + without Shift on many layouts.
    const bool zoomIn = key == Qt::Key_Plus || key == Qt::Key_Equal;
    if (ctrl && (zoomIn || key == Qt::Key_Minus)) {
        setEntryZoom(EntryZoom::Step(Settings::Read(Setting::EntryZoomPercent), zoomIn ? 1 : -1));
        return true;
    }
    if (ctrl && key == Qt::Key_0) {
        setEntryZoom(EntryZoom::normalPercent);
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
        key == Qt::Key_F6)
        return true;
    // Down and Up in the box go on in the list, from the row it is on.
    if ((key == Qt::Key_Down || key == Qt::Key_Up) && !ctrl && !(mods & Qt::AltModifier) &&
        qobject_cast<VnosnoOknoIztocnica*>(QApplication::focusWidget()) && hitList() && hitList()->model() &&
        hitList()->model()->rowCount() > 0) {
        hitList()->setFocus(Qt::OtherFocusReason);
        QCoreApplication::sendEvent(hitList(), event); // the key itself moves the list
        return true;
    }
    return false;
}

void CMainFrame::setEntryZoom(int percent)
{
    percent = EntryZoom::Clamp(percent);
    if (m_view)
        m_view->setZoomPercent(percent);
    Settings::Write(Setting::EntryZoomPercent, percent);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::WindowActivate && watched == this && m_clipboardLookUpPending)
        QTimer::singleShot(0, this, &CMainFrame::searchClipboardNow);
    // The mouse's back and forward buttons anywhere in the window, the entry view too (whose
    // own page history would otherwise take them).
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
         type == QEvent::MouseButtonDblClick) &&
        watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this) {
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        if (button == Qt::BackButton || button == Qt::ForwardButton) {
            if (type == QEvent::MouseButtonPress)
                stepHistory(button == Qt::BackButton);
            return true;
        }
    }
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        if (handleKey(static_cast<QKeyEvent*>(event), type == QEvent::KeyPress))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::changeEvent(QEvent* event)
{
    // The application's palette changed (the desktop's scheme, or a test), and with it ours.
    if (event->type() == QEvent::PaletteChange)
        followColourScheme();
    QMainWindow::changeEvent(event);
}

void CMainFrame::followColourScheme()
{
    const bool dark = isDarkPalette(palette());
    if (dark && !m_darkStylesheet) {
        m_darkStylesheet = std::make_unique<StylesheetFile>(QStringLiteral(":/verbolix-dark.css"));
        m_display.darkStylesheetPath = m_darkStylesheet->path();
    }
    if (dark == m_display.dark)
        return;
    m_display.dark = dark;
    if (m_view)
        m_view->ColourSchemeChanged();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_placement)
        m_placement->save();
    QMainWindow::closeEvent(event);
}

bool CMainFrame::resizePending() const
{
    return m_resizeWatch->pending();
}

// Only the user's own resize searches again; maximising, restoring, a tiling window manager
// and the program's own resizing keep the user's row and entry.
void CMainFrame::onUserResized(int heightBefore)
{
    if (height() != heightBefore && m_display.displayMode == ModeNormal)
        RunSearch(GetQueryText());
}

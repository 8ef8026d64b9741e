#pragma once

#include "core/capi.h"
#include "ui/search/displaystate.h"
#include "filters/editor/filtereditorhost.h"
#include "ui/search/hitsource.h"
#include "core/icons/iconcache.h"
#include "app/navigationhistory.h"
#include "app/stylesheetfile.h"

#include <QGuiApplication>
#include <QImage>
#include <QMainWindow>
#include <QTimer>

class CInfiniteListView;
class DesktopNotifier;
struct LaunchRequest;
class ClipboardMonitor;
class CMyOutlookBar;
class CQuorbelView;
class IskalnoOknoInSeznam;
class MyCMFCCaptionBar;
class MyToolbar;
class UserResizeWatch;
class VnosnoOknoIztocnica;
class WindowPlacement;

// The program's one window. It owns the service client and everything that lives as long as
// the process, runs the start-up dialogue with the service, and joins the search pane, the
// hit list, the entry view and the bars into the road of one search.
class CMainFrame : public QMainWindow, public HitSource, public FilterEditorHost
{
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Builds the window and starts the start-up requests, which go on while the window is up:
    // the messages, the dictionary list, the icons, the filter and the first search. 0 on
    // success; an upgrade the messages end the program for is told by exitRequested.
    int Create();

    // Search glue. None of these waits for the service: each sends its requests and the
    // answers are shown as they come; a newer search drops what an older one still awaits.
    void RunSearch(QString text);
    void GoToHeadword();
    void ShowEntryForHit(int row);
    QString GetHitHeadword(int row) override;
    int GetHitImage(int row) override;
    void ResetSearch(QString text);
    void FillHitImageList(CInfiniteListView* list);
    void ShowVersionPage();
    // A text copied anywhere becomes the headword and is searched.
    void SearchCopiedText(const QString& text);
    // What another start of the program asked for (a word, the clipboard, or just the window).
    void HandleLaunchRequest(const LaunchRequest& request);
    void ShowAbout();
    // Back and forward through the entries looked at: the place's search (run again only
    // when the list holds another), its scroll position, its row and its entry.
    void GoBack();
    void GoForward();
    const NavigationHistory& history() const { return m_history; }
    // A word from outside the window (the command line, another start) is searched as if
    // typed and entered.
    void SearchOutsideWord(const QString& word);

    // What a look-up of a text copied in another program does when the window is not active:
    // come forward (where the desktop lets a window raise itself) or tell in a notification.
    enum class CopyFollowUp
    {
        BringForward,
        Notify,
    };
    void setCopyFollowUp(CopyFollowUp followUp) { m_copyFollowUp = followUp; }
    DesktopNotifier* notifier() const { return m_notifier; }
    // Replaces the notifier (tests give one on a private bus).
    void setNotifier(DesktopNotifier* notifier);

    // Filter selection
    void InitDictionariesAndFilters();
    void FillFilterCombo(int id) override;
    void ApplyFilter(int position);
    void ChooseFilterByKey(int key);
    void EditFilters();

    // FilterEditorHost
    CApi& Api() override { return m_api; }
    QString GetQueryText() const override;
    void BlankEntryView() override;
    void SelectFilterComboItem(int position) override;
    int FilterComboSelection() const override;
    void StartNewSearch(const QString& query) override;
    void ShowNewSearchResult(int count) override;

    // Window commands
    void ToggleAlwaysOnTop();
    void ToggleCheckClipboard();
    void OpenHelp();
    void OpenWebsite();

    int displayMode() const { return m_display.displayMode; }
    DisplayState& display() { return m_display; }
    QString stylesheetPath() const { return m_display.stylesheetPath; }
    QString lastQuery() const { return m_lastQuery; }
    int alwaysOnTop() const { return m_alwaysOnTop; }
    int checkClipboard() const { return m_checkClipboard; }
    // What the caption bar says about the service: empty while the last request was answered.
    QString serviceNotice() const;
    // A resize burst has not settled yet.
    bool resizePending() const;
    UserResizeWatch* resizeWatch() const { return m_resizeWatch; }
    WindowPlacement* placement() const { return m_placement; }
    // No request is under way and none is waiting to be sent: what the service was asked
    // for is on screen. settled() says when it becomes so.
    bool isSettled() const;
    // Start-up is over: its first search has been answered (or could not be) and the
    // welcome page, when there is one, is up.
    bool startupDone() const { return !m_startingUp; }
    // How long rows wait after a page could not be fetched before they ask again; a pause
    // under way starts over with the new length.
    void setPagingPauseMs(int ms) { m_pagingPause.setInterval(ms); }

signals:
    // Every answer of the last action is in (see isSettled).
    void settled();
    // The entry of row was handed to the entry view.
    void entryShown(int row);
    // The program must end with this exit code (an upgrade taken or required).
    void exitRequested(int code);

public:
    MyToolbar* toolbar() const { return m_toolbar; }
    MyCMFCCaptionBar* captionBar() const { return m_captionBar; }
    IskalnoOknoInSeznam* searchPane() const { return m_searchPane; }
    CQuorbelView* entryView() const { return m_view; }
    CInfiniteListView* hitList() const;
    VnosnoOknoIztocnica* headwordBox() const;
    const IconCache& icons() const { return m_ikone; }

    static QString HelpUrl();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool handleKey(QKeyEvent* event, bool press);
    // The entries follow the palette's colour scheme, light or dark.
    void followColourScheme();
    void moveFocusWithTab();
    // Sizes the entries and keeps the size for the next run.
    void setEntryZoom(int percent);
    void applyAlwaysOnTop(bool on);
    void onFilterChosen(int position);
    void onUserResized(int heightBefore);
    void showCaption(const QString& text, const QString& tooltip);
    // Brings the window forward; with the desktop's activation token where one came along.
    void bringForward(const QString& activationToken = {});
    // A notification names the word and the dictionary of its best hit.
    void notifyLookUp(const QString& word);
    void searchClipboardNow();
    // The user entered text in the box (or a word came from outside, as if entered).
    void searchEntered(const QString& text);
    // Says in the caption bar when the last request found no service, and takes that back
    // once one is answered; nothing asked, nothing changes.
    void noteOutcome(const CApi::Outcome& outcome);
    void onMessages();
    void finishStartup();
    void onEntryRequested(int row);
    // What the list shows the search of; the row's ids when it is held.
    HistoryPlace placeOf(int row) const;
    QList<int> selectedDictionaryIds() const;
    // The list holds place's search, settled, with its row selected.
    bool showsPlace(const HistoryPlace& place) const;
    void leavePlace();
    void stepHistory(bool back);
    void showPlace(const HistoryPlace& place);
    void updateHistoryButtons();
    // A search's total on the pane and the list; false, with the view emptied, when it has
    // no hits to select.
    bool showSearchTotal(int total, const CApi::Outcome& outcome);
    void showFetchedEntry(int row, const QString& html);
    // A row was drawn that the held pages do not have: fetches its page unless work is under
    // way (the row waits for it) or a failed page is still in its pause.
    void fetchRowPage(int row);
    // Forgets all the work under way: its answers will be dropped.
    void dropWork();
    // A new search for query after dropping older work; answered runs with its total unless a
    // newer search has taken over meanwhile.
    void fetchNewSearch(const QString& query, std::function<void(int total, const CApi::Outcome&)> answered);
    // The work of a step has ended: once nothing else is under way, the waiting entry is
    // fetched, or the rows are drawn again and settled() told.
    void workEnded();
    void settleNow();
    // After a page could not be fetched: the rows wait this long or for the next action.
    void pausePaging();

    // What the requests under way are for; one thing at a time, as the user asked.
    enum class Work
    {
        None,
        Startup, // messages, the dictionary list, the icons
        Search,  // a search and its entry index
        Entry,   // an entry (its page first when not held) and its dictionary's icon
        Page,    // the page of rows being drawn
    };

    IconCache m_ikone;
    DisplayState m_display;
    std::unique_ptr<StylesheetFile> m_stylesheet;
    std::unique_ptr<StylesheetFile> m_darkStylesheet; // written once the scheme is first dark
    int m_alwaysOnTop = 0;
    int m_checkClipboard = 0;
    CApi m_api;
    MyToolbar* m_toolbar = nullptr;
    CMyOutlookBar* m_navigationPane = nullptr;
    MyCMFCCaptionBar* m_captionBar = nullptr;
    IskalnoOknoInSeznam* m_searchPane = nullptr;
    CQuorbelView* m_view = nullptr;
    ClipboardMonitor* m_clipboard = nullptr;
    // The query of the last search: rows, icons, entries and further pages all belong to it,
    // whatever has been typed into the box since.
    QString m_lastQuery;
    UserResizeWatch* m_resizeWatch = nullptr;
    WindowPlacement* m_placement = nullptr;
    bool m_created = false;
    // The dictionary list could not be fetched; the next search the user starts tries again.
    bool m_dictionariesMissing = false;
    DesktopNotifier* m_notifier = nullptr;
    // A word handed over before the window was built, searched once start-up ends.
    QString m_pendingLookUp;
    // The clipboard is read once the window has the focus (Wayland hands it over only then).
    bool m_clipboardLookUpPending = false;
    // The copied word to tell of in a notification once its search has settled.
    QString m_notifyWhenSettled;
    // Wayland lets no window raise itself: there the result is told in a notification.
    CopyFollowUp m_copyFollowUp = QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
                                      ? CopyFollowUp::Notify
                                      : CopyFollowUp::BringForward;
    Work m_work = Work::None;
    // Answers carry the serial of the search and of the selection they were asked for; one
    // that is no longer current is dropped.
    quint64 m_searchSerial = 0;
    quint64 m_selectionSerial = 0;
    int m_entryRow = -1;     // the row of the entry being fetched
    int m_pendingEntry = -1; // a row whose entry waits for the work under way
    int m_retryEntry = -1;   // a row whose entry could not be fetched: asked again after the pause
    // Since the current place's entry was shown the user moved on (another search, the version
    // page) without another entry on show yet: back is that place itself.
    bool m_leftPlace = false;
    NavigationHistory m_history;
    bool m_startingUp = true;
    // A page the service answered without the rows it was asked for.
    QString m_fruitlessPage;
    bool m_settlePosted = false;
    QTimer m_pagingPause;
};

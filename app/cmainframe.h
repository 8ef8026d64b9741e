#pragma once

#include "core/capi.h"
#include "ui/search/displaystate.h"
#include "filters/editor/filtereditorhost.h"
#include "ui/search/hitsource.h"
#include "core/icons/iconcache.h"
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

    // Builds the window and runs the start-up requests and the first search. 0 on success;
    // otherwise the exit code the process ends with.
    int Create();

    // Search glue
    int RunSearch(QString text);
    int GoToHeadword();
    void ShowEntryForHit(int row);
    QString GetHitHeadword(int row) override;
    int GetHitImage(int row) override;
    int ResetSearch(QString text);
    void FillHitImageList(CInfiniteListView* list);
    void ShowVersionPage();
    // A text copied anywhere becomes the headword and is searched.
    void SearchCopiedText(const QString& text);
    // What another start of the program asked for (a word, the clipboard, or just the window).
    void HandleLaunchRequest(const LaunchRequest& request);
    void ShowAbout();
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

private:
    bool handleKey(QKeyEvent* event, bool press);
    void moveFocusWithTab();
    void applyAlwaysOnTop(bool on);
    void onFilterChosen(int position);
    void onUserResized(int heightBefore);
    void showCaption(const QString& text, const QString& tooltip);
    // After requests were made: says in the caption bar when the last one found no service,
    // and takes that back once one is answered.
    void updateServiceNotice();
    // Brings the window forward; with the desktop's activation token where one came along.
    void bringForward(const QString& activationToken = {});
    // A notification names the word and the dictionary of its best hit.
    void notifyLookUp(const QString& word);
    void searchClipboardNow();
    // The user entered text in the box (or a word came from outside, as if entered).
    void searchEntered(const QString& text);

    IconCache m_ikone;
    DisplayState m_display;
    std::unique_ptr<StylesheetFile> m_stylesheet;
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
    // Transfers already judged by updateServiceNotice.
    quint64 m_transfersSeen = 0;
    // The dictionary list could not be fetched; the next search the user starts tries again.
    bool m_dictionariesMissing = false;
    DesktopNotifier* m_notifier = nullptr;
    // A word handed over before the window was built, searched once start-up ends.
    QString m_pendingLookUp;
    // The clipboard is read once the window has the focus (Wayland hands it over only then).
    bool m_clipboardLookUpPending = false;
    // Wayland lets no window raise itself: there the result is told in a notification.
    CopyFollowUp m_copyFollowUp = QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
                                      ? CopyFollowUp::Notify
                                      : CopyFollowUp::BringForward;
};

#pragma once

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWebEngineView>

class QKeyEvent;
class QWheelEvent;
struct DisplayState;
class EntrySchemeHandler;
class FileAccessGuard;

// The entry view: shows the entry of the selected hit, wrapped into the page template that
// links the stylesheet file, or at start-up the server's welcome page. Entry pages run no
// script and may read no local file but the stylesheet.
//
// The template is loaded once; each entry then replaces the content of its list item in
// place, so that showing an entry costs no navigation and the whole run keeps one renderer.
// Either way an entry shown ends with loadFinished(true) (after the template's load a second
// one follows, once the entry has been put in again in place), and entryShown() follows once
// a frame with it has been drawn.
class CQuorbelView : public QWebEngineView
{
    Q_OBJECT
public:
    // display is read only: the main window owns the display mode.
    CQuorbelView(const DisplayState* display, QWidget* parent = nullptr);
    ~CQuorbelView() override;

    // Base address (scheme and host) of the service's website, put before "/Search.aspx/".
    void setWebsiteBase(const QString& base) { m_websiteBase = base; }
    // Starts the browser and loads the empty template, so that its start overlaps whatever
    // the program does before the first entry.
    void Preload();
    // Before the first view exists: the browser's frames go on screen through Qt Quick's
    // software renderer, unless the user chose one (QT_QUICK_BACKEND, QSG_RHI_BACKEND).
    static void ChooseRenderer();
    // Ignored unless entries are being shown.
    void ShowEntry(QString html);
    // While on, an entry shown in place holds back the repaints around it until the entry's
    // frame is ready, so that what changed with it (the list, the count) and the entry reach
    // the screen in one frame rather than two.
    void setDrawWithEntry(bool on) { m_drawWithEntry = on; }
    // Once the main window is built: the welcome page when the server named one (the main
    // window then shows the start page mode).
    void OnInitialUpdate();

    // The size of the entries, kept by the browser across entries and page loads.
    void setZoomPercent(int percent) { setZoomFactor(percent / 100.0); }

    QString pageHtml() const { return m_pageHtml; }
    // When the frame of the entry last shown was painted: std::chrono::steady_clock, in ms.
    qint64 entryFramePaintedAt() const { return m_framePaintedAt; }
    // The main window changed the display's colour scheme: an entry page is built anew in it.
    void ColourSchemeChanged();
    // The keyboard goes into the entry, onto its first cross-reference: Tab and Shift+Tab walk
    // them, Enter or Space looks one up (crossReferenceActivated), Esc gives the keyboard back
    // (walkEnded). Nothing happens unless an entry with a cross-reference is shown.
    void WalkCrossReferences();
    bool walkingCrossReferences() const { return m_walking; }

    // The page template around an already rewritten entry; with a dark stylesheet, the dark page.
    static QString BuildPage(const QString& stylesheetPath, const QString& body,
                             const QString& darkStylesheetPath = {});
    static QString RewriteEntry(QString html, const QString& websiteBase);
    // Only web pages may be shown as the welcome page.
    static bool IsWelcomePageAddress(const QString& address);
    // The word a cross-reference's address looks up; empty for any other address.
    static QString crossReferenceWord(const QString& href);

signals:
    // The view or its browser child got the keyboard focus; the main window passes it on.
    void focusReceived();
    // The entry of the last ShowEntry is in the page and a frame showing it has been drawn
    // (for a hidden view: it is in the page). It comes once the browser has drawn nothing
    // more for a short while after that frame; entryFramePaintedAt() tells when it was drawn.
    void entryShown();
    // Ctrl and the wheel over the view: steps up (away from the user) or down; the main
    // window decides the size.
    void zoomStepRequested(int steps);
    // The user clicked a cross-reference of the entry, or chose it with the keyboard: WORD of
    // its "/Search.aspx/WORD", decoded.
    void crossReferenceActivated(const QString& word);
    // The keyboard walk through the cross-references ended in the entry (Esc, a reference
    // chosen, none to walk): the main window takes the keyboard back.
    void walkEnded();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class PageState
    {
        None,    // no template, or another page is shown
        Loading, // the template is being loaded
        Ready,   // the template is loaded and takes entries in place
    };

    QString servedPage();
    void loadTemplate();
    void replaceEntry();
    void onLoadFinished(bool ok);
    void awaitFrame(quint64 serial);
    void onFrameRendered();
    void holdWindow();
    void releaseWindow();
    bool zoomByWheel(QWheelEvent* event);
    void activateCrossReferenceAt(QPointF point);
    QString darkStylesheet() const;
    void stepCrossReference(int step);
    void activateFocusedCrossReference();
    void endCrossReferenceWalk(bool giveBackFocus);
    bool walkKey(QKeyEvent* key);

    const DisplayState* m_display;
    QString m_websiteBase;
    QString m_pageHtml;
    QString m_entryHtml;          // the rewritten entry of m_pageHtml
    quint64 m_serial = 0;         // of the last entry given
    quint64 m_framePending = 0;   // entry whose first frame is awaited; 0 for none
    bool m_frameRendered = false; // the browser's surface has rendered since
    qint64 m_framePaintedAt = 0;
    QTimer m_settle;
    PageState m_state = PageState::None;
    bool m_closing = false;
    bool m_drawWithEntry = false;
    bool m_walking = false;                 // the keyboard walks the cross-references
    int m_wheelRest = 0;                    // of a fine-grained wheel, less than a whole step so far
    QList<QPointer<QWidget>> m_heldWidgets; // repaints held back until the entry's frame
    QPoint m_pressedAt{-1, -1};             // of the left button on the surface, while it is down
    FileAccessGuard* m_guard;
};

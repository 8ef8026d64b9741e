#pragma once

#include <QListView>
#include <QSet>

struct DisplayState;
class HitDelegate;
class HitListModel;
class HitSource;

// The hit list: a virtual list whose row count is the number of hits of the current search.
// Rows are drawn from the HitSource as they become visible. Selecting a row asks for its
// entry at once, except while Up, Down, Page Up or Page Down is held: then the entry of the
// selection mark is asked for once, on the key's release. The list has no type-ahead: a
// printable key typed in it is handed on (textTyped) for the headword box.
class CInfiniteListView : public QListView
{
    Q_OBJECT
public:
    explicit CInfiniteListView(QWidget* parent = nullptr);

    void setHitSource(HitSource* source);
    // Read only: the main window owns the display mode and sets it when entries are asked for.
    void setDisplayState(const DisplayState* state) { m_display = state; }

    // Deletes every row and gives the list count rows (clamped to what the view can lay out).
    void SetHitCount(int count);
    int hitCount() const;
    int maxRows() const;

    // Selects row (focus and selection mark) and scrolls it to the top as far as the list
    // scrolls; shows its entry unless the program is starting.
    void SelectHit(int row);
    // As SelectHit, with topRow rather than row at the top: a place the user was at before.
    void SelectHitAt(int row, int topRow);
    // Appends one image to the list's images; image i is the i-th call's.
    void AddDictionaryIcon(const QImage& image);
    int topRow() const;
    int selectionMark() const;
    // Hits came in: the rows on screen are drawn again, their placeholders filled in.
    void hitsArrived();

    // Does nothing. Qt's type-ahead walks the rows through the model, and every row it reads
    // pages hits in from the service: one letter on a long list made thousands of requests.
    void keyboardSearch(const QString& search) override;

    HitListModel* hitModel() const { return m_model; }
    HitDelegate* hitDelegate() const { return m_delegate; }

signals:
    // The user (or SelectHit outside start-up) chose row: the main window switches to showing
    // entries, then fetches and shows the entry of this row.
    void entryRequested(int row);
    // A printable key was typed while the list had the focus; the list itself did nothing.
    void textTyped(const QString& text);

protected:
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void updateGeometries() override;

private:
    void followColourScheme();
    static bool isScrollKey(int key);
    void scrollToTop(int row);

    HitListModel* m_model;
    HitDelegate* m_delegate;
    const DisplayState* m_display = nullptr;
    bool m_selectingFromCode = false;
    // Scrolling keys pressed and not yet released. A set, not a count: with the X server's
    // detectable auto-repeat every repeat is a press of its own, and only one release ends it.
    QSet<int> m_scrollKeysHeld;
    // SelectHit's row to bring to the top once the list is laid out (before it is shown the
    // scroll range is still empty).
    int m_pendingTopRow = -1;
};

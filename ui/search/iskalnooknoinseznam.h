#pragma once

#include <QWidget>

class CInfiniteListView;
class QToolButton;
class StaticSteviloRezultatov;
class VnosnoOknoIztocnica;

// The search pane: the headword box at the top, the results count under it and the hit list
// filling the rest. It lays them out and shows the count; the searching is the main window's.
class IskalnoOknoInSeznam : public QWidget
{
    Q_OBJECT
public:
    explicit IskalnoOknoInSeznam(QWidget* parent = nullptr);

    QString GetQueryText() const;
    // "Najdenih: %d"; resultCount is left as it is.
    void ShowResultCount(int count);
    // Shows the count, stores it, gives the list count fresh rows and, when asked, selects row 0.
    void SetResultCount(int count, bool selectFirst);

    CInfiniteListView* hitList() const { return m_list; }
    VnosnoOknoIztocnica* headwordBox() const { return m_box; }
    StaticSteviloRezultatov* countLabel() const { return m_count; }

    int headwordNotFound = 0;
    int resultCount = 0;

signals:
    // The clear button was pressed: the box is already empty.
    void clearRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void layoutChildren();

    QToolButton* m_clear;
    CInfiniteListView* m_list;
    VnosnoOknoIztocnica* m_box;
    StaticSteviloRezultatov* m_count;
};

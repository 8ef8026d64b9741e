#pragma once

#include <QDockWidget>

class QTabWidget;

// The navigation pane: a left dock that can only be resized, whose one page "Seznam" holds
// the search pane.
class CMyOutlookBar : public QDockWidget
{
    Q_OBJECT
public:
    explicit CMyOutlookBar(QWidget* parent = nullptr);

    void addPage(QWidget* page, const QString& caption);
    QTabWidget* tabs() const { return m_tabs; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QTabWidget* m_tabs;
};

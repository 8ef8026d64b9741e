#pragma once

#include <QKeySequence>
#include <QToolBar>

class QComboBox;

// The fixed toolbar: the filter combo, the filter editor, always on top, clipboard
// monitoring, help and the website; then back and forward through the entries looked at.
class MyToolbar : public QToolBar
{
    Q_OBJECT
public:
    explicit MyToolbar(const QString& websiteHost, QWidget* parent = nullptr);

    // Builds the button set in its fixed order.
    void InitButtons();

    QComboBox* filterCombo() const { return m_combo; }
    QAction* filterEditorAction() const { return m_editor; }
    QAction* alwaysOnTopAction() const { return m_onTop; }
    QAction* clipboardAction() const { return m_clipboard; }
    QAction* helpAction() const { return m_help; }
    QAction* websiteAction() const { return m_website; }
    QAction* backAction() const { return m_back; }
    QAction* forwardAction() const { return m_forward; }
    // In the help button's menu; the window adds it to itself so that its keys work while
    // the menu is closed (on the toolbar it would show as a button of its own).
    QAction* aboutAction() const { return m_about; }

    // A tooltip with a bold title (and the command's keys, when it has any) over its
    // description.
    static QString ToolTip(const QString& title, const QString& description, const QString& keys = {});

private:
    QAction* makeAction(const QString& icon, const QString& title, const QString& description,
                        const QString& name, bool checkable, const QKeySequence& keys);

    QString m_websiteHost;
    QComboBox* m_combo = nullptr;
    QAction* m_editor = nullptr;
    QAction* m_onTop = nullptr;
    QAction* m_clipboard = nullptr;
    QAction* m_help = nullptr;
    QAction* m_website = nullptr;
    QAction* m_back = nullptr;
    QAction* m_forward = nullptr;
    QAction* m_about = nullptr;
};

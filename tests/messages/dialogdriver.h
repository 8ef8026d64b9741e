#pragma once

#include "app/messagedialog.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// What the test does to each message dialog as it comes up: click the button with that id,
// or one of the other ways out.
enum Action
{
    PressEsc = -1,
    CloseBox = -2,
    PressEnter = -3,
};

// Handles the modal dialogs the code under test opens, one action each, and records the
// template and the text of every dialog seen.
class DialogDriver : public QObject
{
    Q_OBJECT

public:
    explicit DialogDriver(QList<int> actions) : m_actions(std::move(actions))
    {
        connect(&m_poll, &QTimer::timeout, this, &DialogDriver::poll);
        m_poll.start(5);
    }

    QList<int> templates;
    QStringList texts;
    QStringList shownTexts;

private:
    void poll()
    {
        auto* dialog = qobject_cast<MessageDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog == m_handled || !dialog->isVisible())
            return;
        m_handled = dialog;
        templates.append(dialog->templateId());
        texts.append(dialog->text());
        shownTexts.append(dialog->textBox()->toPlainText());
        const int action = m_actions.isEmpty() ? PressEsc : m_actions.takeFirst();
        switch (action) {
        case PressEsc:
            QTest::keyClick(dialog, Qt::Key_Escape);
            break;
        case PressEnter:
            QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Return);
            break;
        case CloseBox:
            dialog->close();
            break;
        default:
            QVERIFY2(dialog->button(action), "the dialog has no button with that id");
            QTest::mouseClick(dialog->button(action), Qt::LeftButton);
            break;
        }
    }

    QList<int> m_actions;
    QPointer<MessageDialog> m_handled;
    QTimer m_poll;
};

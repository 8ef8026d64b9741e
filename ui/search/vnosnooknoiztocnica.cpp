#include "ui/search/vnosnooknoiztocnica.h"

#include <QKeyEvent>
#include <QLocale>

VnosnoOknoIztocnica::VnosnoOknoIztocnica(QWidget* parent) : QLineEdit(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setFocusPolicy(Qt::StrongFocus);
}

bool VnosnoOknoIztocnica::IsVersionCommand(const QString& text)
{
    return QLocale(QLocale::Slovenian, QLocale::Slovenia).toLower(text) == u"quorbel:verzija";
}

void VnosnoOknoIztocnica::selectWhole()
{
    setSelection(0, int(text().size()));
}

void VnosnoOknoIztocnica::keyPressEvent(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    // These act on release; the press must not act a second time.
    if ((ctrl && (event->key() == Qt::Key_A || event->key() == Qt::Key_V)) ||
        (event->modifiers() & Qt::ShiftModifier && event->key() == Qt::Key_Insert) ||
        event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void VnosnoOknoIztocnica::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) {
        QLineEdit::keyReleaseEvent(event);
        return;
    }
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (ctrl && event->key() == Qt::Key_A) {
        selectWhole();
    } else if (ctrl && event->key() == Qt::Key_V) {
        paste();
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const QString typed = text();
        if (IsVersionCommand(typed))
            emit versionPageRequested();
        else
            emit searchRequested(typed);
        selectWhole();
    }
    QLineEdit::keyReleaseEvent(event);
}

void VnosnoOknoIztocnica::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    selectWhole();
}

void VnosnoOknoIztocnica::focusOutEvent(QFocusEvent* event)
{
    clickSelectState = 0;
    QLineEdit::focusOutEvent(event);
}

void VnosnoOknoIztocnica::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && clickSelectState == 0) {
        clickSelectState = 2;
        selectWhole();
    }
}

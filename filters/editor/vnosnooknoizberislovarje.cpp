#include "filters/editor/vnosnooknoizberislovarje.h"

#include <QKeyEvent>

VnosnoOknoIzberiSlovarje::VnosnoOknoIzberiSlovarje(QWidget* parent) : QLineEdit(parent)
{
}

void VnosnoOknoIzberiSlovarje::keyReleaseEvent(QKeyEvent* event)
{
    QLineEdit::keyReleaseEvent(event);
    if (event->key() == Qt::Key_A && (event->modifiers() & Qt::ControlModifier))
        selectAll();
    emit keyReleased();
}

#include "moc_vnosnooknoizberislovarje.cpp"

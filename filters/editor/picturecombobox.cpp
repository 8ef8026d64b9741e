#include "filters/editor/picturecombobox.h"

#include <QAbstractItemView>

PictureComboBox::PictureComboBox(QWidget* parent) : QComboBox(parent)
{
}

void PictureComboBox::hidePopup()
{
    const bool wasOpen = view()->isVisible();
    QComboBox::hidePopup();
    // A chosen item becomes current only after the list is hidden.
    if (wasOpen)
        QMetaObject::invokeMethod(this, &PictureComboBox::popupClosed, Qt::QueuedConnection);
}

#include "moc_picturecombobox.cpp"

#pragma once

#include <QComboBox>

// The type combo: a drop-down list with a picture per item that reports every closing of
// its list, also one without a choice (Esc, a click elsewhere). popupClosed comes after the
// choice, if any, has become the current item.
class PictureComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit PictureComboBox(QWidget* parent = nullptr);

    void hidePopup() override;

signals:
    void popupClosed();
};

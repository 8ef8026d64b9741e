#pragma once

#include <QLineEdit>

// The filter editor's search box: reports every key release so that the list narrows while
// the user types; Ctrl+A selects the whole text.
class VnosnoOknoIzberiSlovarje : public QLineEdit
{
    Q_OBJECT

public:
    explicit VnosnoOknoIzberiSlovarje(QWidget* parent = nullptr);

signals:
    void keyReleased();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
};

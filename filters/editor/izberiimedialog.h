#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

// Asks for the name of a new filter. Any text is accepted, an empty one too; on OK it is in
// m_ime.
class IzberiImeDialog : public QDialog
{
    Q_OBJECT

public:
    explicit IzberiImeDialog(QWidget* parent = nullptr);

    void accept() override;

    QLineEdit* nameEdit() const { return m_edit; }

    QString m_ime;

private:
    QLineEdit* m_edit;
};

#pragma once

#include <QDialog>
#include <QMap>
#include <QString>

class QPlainTextEdit;
class QPushButton;

// A small modal notice of the service: the optional upgrade (326), the news (327) or the
// required upgrade (328). The buttons close it with their ids; Esc and the close box
// with 2. Positions are laid out in dialog units of the dialog's font, so the dialog keeps
// its proportions at any font size and scale.
class MessageDialog : public QDialog
{
    Q_OBJECT

public:
    enum Template
    {
        OptionalUpgrade = 326,
        News = 327,
        RequiredUpgrade = 328,
    };
    static constexpr int TextBoxId = 1022;

    MessageDialog(int templateId, const QString& text, QWidget* parent = nullptr);

    int templateId() const { return m_templateId; }
    // The text as given, line breaks "\r\n".
    QString text() const { return m_text; }
    QPlainTextEdit* textBox() const { return m_textBox; }
    // The button that closes the dialog with `id`, or null.
    QPushButton* button(int id) const { return m_buttons.value(id); }

    // Dialog units of `font` to pixels: a horizontal unit is a quarter of the average
    // character width, a vertical unit an eighth of the character height.
    static QRect dialogUnitsToPixels(const QFont& font, const QRect& units);

    void reject() override;

private:
    void addButton(int id, const QString& label, const QRect& units, bool isDefault);

    int m_templateId;
    QString m_text;
    QPlainTextEdit* m_textBox = nullptr;
    QMap<int, QPushButton*> m_buttons;
};

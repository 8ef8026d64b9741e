#pragma once

#include <QWidget>

// The 30-pixel strip above the entry view that names the dictionary of the entry on show:
// the text before the first " - " in orange, the rest in grey, bottoms aligned.
class MyCMFCCaptionBar : public QWidget
{
    Q_OBJECT
public:
    explicit MyCMFCCaptionBar(QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString text() const { return m_text; }
    // The tooltip of the bar's button: a title and an optional description.
    void SetButtonToolTip(const QString& title, const QString& description = {});
    QString buttonToolTip() const { return m_tipTitle; }
    // A plain sentence about the service (it cannot be reached, it failed) shown in place of
    // the caption until it is cleared with an empty one; the caption comes back then.
    void SetNotice(const QString& notice);
    QString notice() const { return m_notice; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QString m_tipTitle;
    QString m_notice;
};

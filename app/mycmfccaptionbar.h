#pragma once

#include "core/http/httpresult.h"

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
    // The notice for how the last request to the service ended: none while it was answered.
    void ShowOutcome(const HttpOutcome& outcome);
    // The plain sentence for a request that did not get an answer of the service; empty when
    // it did (a missing icon or a 404 is an answer too).
    static QString noticeFor(const HttpOutcome& outcome);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QString m_tipTitle;
    QString m_notice;
};

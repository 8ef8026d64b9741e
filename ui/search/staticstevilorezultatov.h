#pragma once

#include <QWidget>

// The one-line results count under the headword box; paints itself completely.
class StaticSteviloRezultatov : public QWidget
{
    Q_OBJECT
public:
    explicit StaticSteviloRezultatov(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};

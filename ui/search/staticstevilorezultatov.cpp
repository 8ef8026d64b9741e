#include "ui/search/staticstevilorezultatov.h"

#include "ui/search/cellfont.h"
#include "ui/search/darkpalette.h"

#include <QPainter>

StaticSteviloRezultatov::StaticSteviloRezultatov(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::TabFocus);
}

void StaticSteviloRezultatov::setText(const QString& text)
{
    m_text = text;
    update();
}

void StaticSteviloRezultatov::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool dark = isDarkPalette(palette());
    painter.fillRect(rect(), dark ? palette().color(QPalette::Window) : QColor(230, 230, 230));
    painter.setPen(dark ? palette().color(QPalette::WindowText) : QColor(92, 92, 92));
    painter.setFont(CellFont(QStringLiteral("Tahoma"), 16));
    const QFontMetrics metrics = painter.fontMetrics();
    const int y = (height() - metrics.height()) / 2;
    painter.drawText(QRect(4, y, width() - 4, metrics.height()), Qt::AlignLeft | Qt::AlignTop, m_text);
}

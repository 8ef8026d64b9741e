#include "ui/widgets/dialogunits.h"

#include <QFontMetrics>

namespace {
// a * b / c rounded to the nearest whole number, halves away from zero.
int mulDiv(int a, int b, int c)
{
    const qint64 p = qint64(a) * b;
    return int((p >= 0 ? p + c / 2 : p - c / 2) / c);
}
} // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // The average width of the 52 letters, halved and rounded up, as the templates measure it.
    m_baseX = qMax(1, (metrics.horizontalAdvance(letters) / 26 + 1) / 2);
    m_baseY = qMax(1, metrics.height());
}

int DialogUnits::x(int units) const
{
    return mulDiv(units, m_baseX, 4);
}

int DialogUnits::y(int units) const
{
    return mulDiv(units, m_baseY, 8);
}

QRect DialogUnits::rect(const QRect& units) const
{
    return QRect(x(units.x()), y(units.y()), x(units.width()), y(units.height()));
}

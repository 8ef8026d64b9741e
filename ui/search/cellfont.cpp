#include "ui/search/cellfont.h"

#include <QFontMetrics>

QFont CellFont(const QString& family, int cellHeight)
{
    QFont font(family);
    font.setPixelSize(cellHeight);
    const int measured = QFontMetrics(font).height();
    if (measured > cellHeight)
        font.setPixelSize(qMax(1, cellHeight * cellHeight / measured));
    return font;
}

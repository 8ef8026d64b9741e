#pragma once

#include <QFont>
#include <QRect>

// Sizes given in dialog units scale with the dialog's font as they do on a dialog template: a
// horizontal unit is a quarter of the average character width, a vertical one an eighth of
// the font's height, each rounded to the nearest pixel.
class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font);

    int x(int units) const;
    int y(int units) const;
    QRect rect(const QRect& units) const;

private:
    int m_baseX;
    int m_baseY;
};

#include "ui/search/darkpalette.h"

#include <QPalette>

bool isDarkPalette(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

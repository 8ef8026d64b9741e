#pragma once

class QPalette;

// Whether a palette is a dark colour scheme: its window is darker than its text. Qt 6.4 has
// no colour-scheme hint; a desktop that turns dark hands the program a dark palette.
bool isDarkPalette(const QPalette& palette);

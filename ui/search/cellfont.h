#pragma once

#include <QFont>
#include <QString>

// A font of the given family whose line height (ascent plus descent) is cellHeight pixels,
// as the fixed designs of the count and the caption bar are measured.
QFont CellFont(const QString& family, int cellHeight);

#pragma once

#include <QImage>

// One record of the dictionary icon cache.
struct CIkona
{
    int dictionaryId = 0;
    QImage bitmap;
};

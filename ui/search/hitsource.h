#pragma once

#include <QString>

// Where the hit list's rows come from: the main window answers from the search controller,
// which pages hits in from the service as rows are asked for.
class HitSource
{
public:
    virtual ~HitSource() = default;
    virtual QString GetHitHeadword(int row) = 0;
    // Index of the row's dictionary icon in the list's image list, or -1 for none.
    virtual int GetHitImage(int row) = 0;
};

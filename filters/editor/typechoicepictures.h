#pragma once

#include <QIcon>
#include <QSize>

// The pictures of the nine dictionary-type choices, cut from one vector strip so that they
// stay sharp at any device pixel ratio.
namespace TypeChoicePictures {
constexpr int count = 9;
QSize pictureSize();
// The picture at this place of the strip; a null icon outside 0..count-1.
QIcon picture(int index);
} // namespace TypeChoicePictures

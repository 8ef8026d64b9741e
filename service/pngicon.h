#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Small PNG helpers for dictionary icons: a generated 16 x 16 icon for dictionaries that
// bring none, and a check that bytes read from an icon file are a PNG at all.
class PngIcon
{
public:
    // A 16 x 16 RGBA PNG: a rounded square in the colour with a light page mark.
    static std::string generated(uint32_t rgb);
    // A colour picked from a dictionary id, so that generated icons differ.
    static uint32_t colourFor(int id);
    static bool isPng(std::string_view bytes);
};

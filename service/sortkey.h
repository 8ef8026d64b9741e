#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Turns headwords and queries into byte strings whose byte order is the Slovenian
// alphabetical order with letter case ignored (a b c č ć d đ e ... s š t ... z ž), and in
// which "the headword begins with the query" is exactly "the key begins with the query's
// key". Each code point of the NFC form becomes one fixed-size unit, so prefixes stay
// prefixes and wildcard patterns can step through a key unit by unit.
//
// Within one letter, the plain letter comes first and its accented forms (é, è, ...) follow
// by code point; characters that are not Latin letters (space, digits, punctuation, other
// scripts) sort by code point before all letters.
class SortKey
{
public:
    static constexpr size_t unitSize = 3;

    // Code points of valid UTF-8 text after NFC normalisation.
    static std::u32string codePoints(std::string_view utf8);
    // The sort weight of one code point (case folded); distinct folded code points get
    // distinct weights.
    static uint32_t weight(char32_t c);
    static void appendUnit(std::string& key, uint32_t weight);
    // The key of valid UTF-8 text.
    static std::string of(std::string_view utf8);
    // Appends the key to out (what start-up does for every headword, so without a copy).
    static void append(std::string& out, std::string_view utf8);
};

#pragma once

#include "service/entrysource.h"

#include <cstdint>
#include <string>

// A generated dictionary for measuring huge result lists: pronounceable Slovenian-looking
// headwords (with č, š and ž), deterministic for a given size, and entry texts made up on
// request so that only the headwords take memory.
class SyntheticDictionary : public EntrySource
{
public:
    static constexpr int dictionaryId = 9000;

    // The headword of entry number n (from 0).
    static std::string headword(uint32_t n);
    std::string text(std::string_view headword, uint32_t offset, uint32_t length) const override;
};

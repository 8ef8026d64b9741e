#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Where the text of a dictionary's entries comes from: a dictd data file held in memory,
// or a generator. The catalogue stores two numbers per entry and hands them back here.
class EntrySource
{
public:
    virtual ~EntrySource() = default;
    // The entry's plain text (valid UTF-8, possibly empty).
    virtual std::string text(std::string_view headword, uint32_t offset, uint32_t length) const = 0;
};

#pragma once

#include "service/entrysource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A dictionary in the dictd format: "NAME.index" (one "headword TAB offset TAB length" line
// per entry, numbers in dictd's base 64) with "NAME.dict.dz" (dictzip, which is gzip) or
// "NAME.dict". The data file is held in memory, uncompressed; lines that point outside it
// are skipped. The "00-database-..." entries are metadata, not headwords.
class DictdDictionary : public EntrySource
{
public:
    struct IndexEntry
    {
        std::string headword;
        uint32_t offset;
        uint32_t length;
    };

    static constexpr size_t maxIndexBytes = 256u << 20;
    static constexpr size_t maxDataBytes = 1024u << 20;
    static constexpr uint32_t maxEntryBytes = 1u << 20;

    // path: the index file, or the common part of both names ("/usr/share/dictd/freedict-slv-eng").
    static std::shared_ptr<DictdDictionary> open(const std::string& path, std::string& error);

    // Entries in index order (headwords already valid UTF-8, trimmed).
    const std::vector<IndexEntry>& index() const { return m_index; }
    void releaseIndex();
    size_t skippedLines() const { return m_skipped; }
    // The dictionary's own short description ("00-database-short"), if it has one.
    const std::string& shortName() const { return m_shortName; }

    std::string text(std::string_view headword, uint32_t offset, uint32_t length) const override;

    // Reads a dictd base-64 number; false on a bad digit or overflow.
    static bool decodeNumber(std::string_view digits, uint32_t& value);

private:
    std::string m_data;
    std::vector<IndexEntry> m_index;
    size_t m_skipped = 0;
    std::string m_shortName;
};

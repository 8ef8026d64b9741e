#pragma once

#include "service/dictionaryinfo.h"
#include "service/entrysource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Every entry of every served dictionary in one master ordering: sorted by headword key
// (SortKey), then by dictionary (in the order they were added), then by entry id. An entry's
// index in that ordering is its `order`. Per dictionary, the orders of its entries are kept
// ascending, so a result list for any set of dictionaries and any prefix is a few binary
// searches away. Built once, then read-only and safe to share between threads.
class Catalogue
{
public:
    struct Dictionary
    {
        DictionaryInfo info;
        std::shared_ptr<const EntrySource> source;
        std::vector<uint32_t> orders;    // ascending
        std::vector<uint32_t> byEntryId; // entry id - 1 -> order
    };

    static constexpr size_t maxHeadwordBytes = 1024;

    // Adds a dictionary; false when its id is already taken.
    bool addDictionary(DictionaryInfo info, std::shared_ptr<const EntrySource> source);
    // Adds an entry to the last added dictionary; its entry id is its number within the
    // dictionary, from 1. The headword must be valid UTF-8; empty or overlong ones are
    // skipped (answers false).
    bool addEntry(std::string_view headword, uint32_t textOffset, uint32_t textLength);
    // Room for what is about to be added, so that start-up does not copy as it grows; more
    // than is used costs address space only, and finish() gives back what is left over.
    void reserve(size_t entries, size_t headwordBytes);
    // Sorts the master ordering; call once after adding everything.
    void finish();

    size_t entryCount() const { return m_entries.size(); }
    const std::vector<Dictionary>& dictionaries() const { return m_dictionaries; }
    int dictionaryIndex(int id) const;

    std::string_view headword(uint32_t order) const;
    std::string_view key(uint32_t order) const;
    const Dictionary& dictionaryOf(uint32_t order) const;
    int dictionaryIndexOf(uint32_t order) const { return m_entries[order].dictionary; }
    int entryId(uint32_t order) const { return m_entries[order].entryId; }
    std::string entryText(uint32_t order) const;
    // The order of an entry, or -1.
    int64_t findEntry(int dictionaryIndex, int entryId) const;

    // First order whose key is not less than key.
    uint32_t lowerBound(std::string_view key) const;
    // The orders [first, last) whose keys begin with prefixKey.
    std::pair<uint32_t, uint32_t> prefixRange(std::string_view prefixKey) const;

private:
    struct Entry
    {
        uint32_t headwordOffset;
        uint32_t keyOffset;
        uint32_t textOffset;
        uint32_t textLength;
        int32_t entryId;
        uint16_t headwordLength;
        uint16_t keyLength;
        uint16_t dictionary;
    };

    std::vector<Dictionary> m_dictionaries;
    std::vector<Entry> m_entries;
    std::string m_headwords;
    std::string m_keys;
};

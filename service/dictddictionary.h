#pragma once

#include "service/entrysource.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A dictionary in the dictd format: "NAME.index" (one "headword TAB offset TAB length" line
// per entry, numbers in dictd's base 64) with "NAME.dict.dz" (dictzip) or "NAME.dict". Lines
// that point outside the data are skipped. The "00-database-..." entries are metadata, not
// headwords.
//
// Entry texts are read from the data file when asked for, so that many installed
// dictionaries cost neither start-up time nor memory: a plain file by offset, a dictzip file
// by uncompressing only the chunks that hold the entry (dictzip is gzip with a table of
// separately compressed chunks in its header). A .dz without that table (plain gzip) is
// uncompressed whole on first use and kept in memory.
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
    enum class Storage
    {
        Plain,
        Chunked,
        Gzip,
    };

    bool openData(const std::string& base, std::string& error);
    bool readDictzipHeader(std::string& error);
    std::string rawText(uint64_t offset, uint32_t length) const;
    bool readChunk(size_t chunk, std::string& out) const;

    Storage m_storage = Storage::Plain;
    std::string m_dataPath;
    uint64_t m_dataSize = 0; // uncompressed
    uint32_t m_chunkLength = 0;
    std::vector<uint64_t> m_chunkStarts; // file offsets of the chunks, then the end of the last
    mutable std::once_flag m_gzipOnce;
    mutable std::string m_gzipData;
    std::vector<IndexEntry> m_index;
    size_t m_skipped = 0;
    std::string m_shortName;
};

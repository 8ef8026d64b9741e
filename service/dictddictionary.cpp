#include "service/dictddictionary.h"

#include "service/utf8text.h"

#include <filesystem>
#include <fstream>
#include <zlib.h>

namespace {

bool readFile(const std::string& path, size_t limit, std::string& out, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    std::error_code code;
    const auto size = std::filesystem::file_size(path, code);
    if (code || size > limit) {
        error = code ? "cannot read " + path : path + " is too large";
        return false;
    }
    out.resize(static_cast<size_t>(size));
    file.read(out.data(), static_cast<std::streamsize>(out.size()));
    if (static_cast<size_t>(file.gcount()) != out.size()) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

bool readGzip(const std::string& path, size_t limit, std::string& out, std::string& error)
{
    gzFile file = gzopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    char buffer[1 << 16];
    bool ok = true;
    for (;;) {
        const int n = gzread(file, buffer, sizeof buffer);
        if (n < 0) {
            error = "corrupt compressed data in " + path;
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<size_t>(n) > limit) {
            error = path + " is too large";
            ok = false;
            break;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
    gzclose(file);
    return ok;
}

bool isMetadata(std::string_view headword)
{
    return headword.substr(0, 10) == "00database" || headword.substr(0, 11) == "00-database";
}

} // namespace

bool DictdDictionary::decodeNumber(std::string_view digits, uint32_t& value)
{
    static const std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (digits.empty())
        return false;
    uint64_t result = 0;
    for (const char ch : digits) {
        const size_t digit = alphabet.find(ch);
        if (digit == std::string_view::npos)
            return false;
        result = result * 64 + digit;
        if (result > UINT32_MAX)
            return false;
    }
    value = static_cast<uint32_t>(result);
    return true;
}

std::shared_ptr<DictdDictionary> DictdDictionary::open(const std::string& path, std::string& error)
{
    std::string base = path;
    if (base.size() > 6 && base.compare(base.size() - 6, 6, ".index") == 0)
        base.resize(base.size() - 6);
    auto dictionary = std::make_shared<DictdDictionary>();

    std::error_code code;
    if (std::filesystem::exists(base + ".dict.dz", code)) {
        if (!readGzip(base + ".dict.dz", maxDataBytes, dictionary->m_data, error))
            return nullptr;
    } else if (!readFile(base + ".dict", maxDataBytes, dictionary->m_data, error)) {
        return nullptr;
    }
    std::string index;
    if (!readFile(base + ".index", maxIndexBytes, index, error))
        return nullptr;

    for (size_t start = 0; start < index.size();) {
        size_t end = index.find('\n', start);
        if (end == std::string::npos)
            end = index.size();
        std::string_view line(index.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        const size_t tab1 = line.find('\t');
        const size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string_view::npos) {
            ++dictionary->m_skipped;
            continue;
        }
        size_t tab3 = line.find('\t', tab2 + 1);
        if (tab3 == std::string_view::npos)
            tab3 = line.size();
        uint32_t offset = 0;
        uint32_t length = 0;
        if (!decodeNumber(line.substr(tab1 + 1, tab2 - tab1 - 1), offset) ||
            !decodeNumber(line.substr(tab2 + 1, tab3 - tab2 - 1), length) || length > maxEntryBytes ||
            static_cast<uint64_t>(offset) + length > dictionary->m_data.size()) {
            ++dictionary->m_skipped;
            continue;
        }
        const std::string headword = utf8text::sanitized(utf8text::trimmed(line.substr(0, tab1)));
        if (headword.empty()) {
            ++dictionary->m_skipped;
            continue;
        }
        if (isMetadata(headword)) {
            if (headword == "00databaseshort" || headword == "00-database-short") {
                // The text repeats the key on its first line in some versions of the tools.
                std::string text = dictionary->text(headword, offset, length);
                std::string_view shortName = utf8text::trimmed(text);
                if (shortName.substr(0, 17) == "00-database-short")
                    shortName = utf8text::trimmed(shortName.substr(17));
                dictionary->m_shortName = std::string(shortName.substr(0, shortName.find('\n')));
            }
            continue;
        }
        dictionary->m_index.push_back(IndexEntry{headword, offset, length});
    }
    return dictionary;
}

void DictdDictionary::releaseIndex()
{
    std::vector<IndexEntry>().swap(m_index);
}

std::string DictdDictionary::text(std::string_view, uint32_t offset, uint32_t length) const
{
    if (static_cast<uint64_t>(offset) + length > m_data.size())
        return {};
    return utf8text::sanitized(std::string_view(m_data).substr(offset, length));
}

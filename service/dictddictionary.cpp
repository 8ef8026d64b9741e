#include "service/dictddictionary.h"

#include "service/utf8text.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>
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

bool readGzip(const std::string& path, size_t limit, std::string& out)
{
    gzFile file = gzopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[1 << 16];
    bool ok = true;
    for (;;) {
        const int n = gzread(file, buffer, sizeof buffer);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (out.size() + static_cast<size_t>(n) > limit) {
            ok = false;
            break;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
    gzclose(file);
    return ok;
}

// Reads exactly size bytes at offset; false on an error or a short file.
bool readAt(int fd, uint64_t offset, size_t size, char* out)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

class File
{
public:
    explicit File(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~File()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

uint16_t le16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
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

    if (!dictionary->openData(base, error))
        return nullptr;
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
            static_cast<uint64_t>(offset) + length > dictionary->m_dataSize) {
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
                for (const std::string_view key : {"00-database-short", "00databaseshort"})
                    if (shortName.substr(0, key.size()) == key)
                        shortName = utf8text::trimmed(shortName.substr(key.size()));
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

bool DictdDictionary::openData(const std::string& base, std::string& error)
{
    std::error_code code;
    if (std::filesystem::exists(base + ".dict.dz", code)) {
        m_dataPath = base + ".dict.dz";
        return readDictzipHeader(error);
    }
    m_dataPath = base + ".dict";
    m_storage = Storage::Plain;
    const File file(m_dataPath);
    const auto size = std::filesystem::file_size(m_dataPath, code);
    if (file.fd() < 0 || code) {
        error = "cannot open " + m_dataPath;
        return false;
    }
    if (size > maxDataBytes) {
        error = m_dataPath + " is too large";
        return false;
    }
    m_dataSize = size;
    return true;
}

// The gzip header (RFC 1952) and, in its extra field, dictzip's "RA" table: version 1, the
// uncompressed length of a chunk, the number of chunks and the compressed size of each.
bool DictdDictionary::readDictzipHeader(std::string& error)
{
    const File file(m_dataPath);
    std::error_code code;
    const auto fileSize = std::filesystem::file_size(m_dataPath, code);
    if (file.fd() < 0 || code) {
        error = "cannot open " + m_dataPath;
        return false;
    }
    const std::string damaged = m_dataPath + " is damaged (not gzip or dictzip data)";
    unsigned char head[12];
    unsigned char trailer[4];
    if (fileSize < 18 || !readAt(file.fd(), 0, sizeof head, reinterpret_cast<char*>(head)) ||
        head[0] != 0x1f || head[1] != 0x8b || head[2] != 8 ||
        !readAt(file.fd(), fileSize - 4, 4, reinterpret_cast<char*>(trailer))) {
        error = damaged;
        return false;
    }
    // The uncompressed size, modulo 4 GiB, which is far above what is accepted.
    m_dataSize = static_cast<uint64_t>(trailer[0]) | static_cast<uint64_t>(trailer[1]) << 8 |
                 static_cast<uint64_t>(trailer[2]) << 16 | static_cast<uint64_t>(trailer[3]) << 24;
    if (m_dataSize > maxDataBytes) {
        error = m_dataPath + " is too large";
        return false;
    }
    const unsigned flags = head[3];
    uint64_t at = 10;
    std::string extra;
    if (flags & 4) {
        extra.resize(le16(head + 10));
        if (!readAt(file.fd(), 12, extra.size(), extra.data())) {
            error = damaged;
            return false;
        }
        at = 12 + extra.size();
    }
    // The file name and the comment end with a NUL; a CRC of the header may follow.
    for (const unsigned flag : {8u, 16u}) {
        if (!(flags & flag))
            continue;
        char ch = 1;
        while (ch != 0) {
            if (at >= fileSize || !readAt(file.fd(), at++, 1, &ch)) {
                error = damaged;
                return false;
            }
        }
    }
    if (flags & 2)
        at += 2;

    m_storage = Storage::Gzip;
    const auto* x = reinterpret_cast<const unsigned char*>(extra.data());
    for (size_t i = 0; i + 4 <= extra.size();) {
        const size_t length = le16(x + i + 2);
        if (i + 4 + length > extra.size())
            break;
        if (x[i] == 'R' && x[i + 1] == 'A' && length >= 6 && le16(x + i + 4) == 1) {
            const uint32_t chunkLength = le16(x + i + 6);
            const size_t count = le16(x + i + 8);
            if (chunkLength == 0 || length < 6 + 2 * count)
                break;
            std::vector<uint64_t> starts{at};
            for (size_t c = 0; c < count; ++c)
                starts.push_back(starts.back() + le16(x + i + 10 + 2 * c));
            // The table must cover the data and fit in the file; otherwise read it as gzip.
            if (starts.back() > fileSize || static_cast<uint64_t>(chunkLength) * count < m_dataSize)
                break;
            m_storage = Storage::Chunked;
            m_chunkLength = chunkLength;
            m_chunkStarts = std::move(starts);
            break;
        }
        i += 4 + length;
    }
    return true;
}

bool DictdDictionary::readChunk(size_t chunk, std::string& out) const
{
    const File file(m_dataPath);
    std::string compressed(m_chunkStarts[chunk + 1] - m_chunkStarts[chunk], '\0');
    if (file.fd() < 0 || !readAt(file.fd(), m_chunkStarts[chunk], compressed.size(), compressed.data()))
        return false;
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    const size_t before = out.size();
    out.resize(before + m_chunkLength);
    z.next_in = reinterpret_cast<Bytef*>(compressed.data());
    z.avail_in = static_cast<uInt>(compressed.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data() + before);
    z.avail_out = m_chunkLength;
    const int result = inflate(&z, Z_SYNC_FLUSH);
    out.resize(before + (m_chunkLength - z.avail_out));
    inflateEnd(&z);
    return result == Z_OK || result == Z_STREAM_END || result == Z_BUF_ERROR;
}

std::string DictdDictionary::rawText(uint64_t offset, uint32_t length) const
{
    if (length == 0)
        return {};
    if (m_storage == Storage::Plain) {
        const File file(m_dataPath);
        std::string out(length, '\0');
        return file.fd() >= 0 && readAt(file.fd(), offset, length, out.data()) ? out : std::string();
    }
    if (m_storage == Storage::Gzip) {
        std::call_once(m_gzipOnce, [this] {
            if (!readGzip(m_dataPath, maxDataBytes, m_gzipData))
                m_gzipData.clear();
        });
        return offset + length <= m_gzipData.size() ? m_gzipData.substr(offset, length) : std::string();
    }
    const size_t first = offset / m_chunkLength;
    const size_t last = (offset + length - 1) / m_chunkLength;
    std::string chunks;
    for (size_t chunk = first; chunk <= last; ++chunk)
        if (chunk + 1 >= m_chunkStarts.size() || !readChunk(chunk, chunks))
            return {};
    const uint64_t skip = offset - static_cast<uint64_t>(first) * m_chunkLength;
    return skip + length <= chunks.size() ? chunks.substr(skip, length) : std::string();
}

std::string DictdDictionary::text(std::string_view, uint32_t offset, uint32_t length) const
{
    if (static_cast<uint64_t>(offset) + length > m_dataSize)
        return {};
    return utf8text::sanitized(rawText(offset, length));
}

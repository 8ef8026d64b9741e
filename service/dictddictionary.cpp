#include "service/dictddictionary.h"

#include "service/utf8text.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

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
    // Start-up decodes two numbers per index line: a table, not a search of the alphabet.
    static const std::array<int8_t, 256> digitOf = [] {
        std::array<int8_t, 256> table{};
        table.fill(-1);
        const std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (size_t i = 0; i < alphabet.size(); ++i)
            table[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
        return table;
    }();
    if (digits.empty())
        return false;
    uint64_t result = 0;
    for (const char ch : digits) {
        const int digit = digitOf[static_cast<unsigned char>(ch)];
        if (digit < 0)
            return false;
        result = result * 64 + static_cast<uint64_t>(digit);
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
    // Mapped rather than read: the page cache's pages are parsed where they are.
    const std::string indexPath = base + ".index";
    const File indexFile(indexPath);
    struct stat status
    {
    };
    if (indexFile.fd() < 0 || ::fstat(indexFile.fd(), &status) != 0) {
        error = "cannot open " + indexPath;
        return nullptr;
    }
    if (static_cast<uint64_t>(status.st_size) > maxIndexBytes) {
        error = indexPath + " is too large";
        return nullptr;
    }
    const auto indexSize = static_cast<size_t>(status.st_size);
    void* mapped =
        indexSize == 0 ? nullptr : ::mmap(nullptr, indexSize, PROT_READ, MAP_PRIVATE, indexFile.fd(), 0);
    if (mapped == MAP_FAILED) {
        error = "cannot read " + indexPath;
        return nullptr;
    }
    const std::unique_ptr<void, std::function<void(void*)>> unmap(
        mapped, [indexSize](void* p) { ::munmap(p, indexSize); });
    if (mapped)
        ::madvise(mapped, indexSize, MADV_SEQUENTIAL);
    const std::string_view index(static_cast<const char*>(mapped), indexSize);

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

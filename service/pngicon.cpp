#include "service/pngicon.h"

#include <vector>
#include <zlib.h>

namespace {

void appendBigEndian(std::string& out, uint32_t value)
{
    out += static_cast<char>(value >> 24);
    out += static_cast<char>((value >> 16) & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void appendChunk(std::string& png, const char* type, const std::string& data)
{
    appendBigEndian(png, static_cast<uint32_t>(data.size()));
    std::string body = type;
    body += data;
    png += body;
    appendBigEndian(png, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                     static_cast<uInt>(body.size()))));
}

} // namespace

std::string PngIcon::generated(uint32_t rgb)
{
    constexpr int size = 16;
    std::string raw;
    for (int y = 0; y < size; ++y) {
        raw += '\0'; // no filter
        for (int x = 0; x < size; ++x) {
            const bool corner = (x == 0 || x == size - 1) && (y == 0 || y == size - 1);
            const bool page = x >= 4 && x <= 11 && y >= 3 && y <= 12;
            const bool line = page && x >= 5 && x <= 10 && (y == 5 || y == 7 || y == 9);
            uint32_t colour = rgb;
            if (page)
                colour = line ? rgb : 0xF4F4F4;
            raw += static_cast<char>((colour >> 16) & 0xFF);
            raw += static_cast<char>((colour >> 8) & 0xFF);
            raw += static_cast<char>(colour & 0xFF);
            raw += static_cast<char>(corner ? 0 : 0xFF);
        }
    }
    uLongf compressedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<Bytef> compressed(compressedSize);
    compress2(compressed.data(), &compressedSize, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    appendBigEndian(header, size);
    appendBigEndian(header, size);
    header += '\x08'; // bit depth
    header += '\x06'; // RGBA
    header += std::string(3, '\0');
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", std::string(reinterpret_cast<const char*>(compressed.data()), compressedSize));
    appendChunk(png, "IEND", {});
    return png;
}

uint32_t PngIcon::colourFor(int id)
{
    static const uint32_t palette[] = {0x1F6FB2, 0xB23A1F, 0x2E8B57, 0x8E44AD, 0xC27C0E, 0x16808A, 0x7F8C8D};
    const auto index = static_cast<uint32_t>(id) % std::size(palette);
    return palette[index];
}

bool PngIcon::isPng(std::string_view bytes)
{
    return bytes.size() > 8 && bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8);
}

#include "service/sortkey.h"

#include <algorithm>
#include <array>
#include <memory>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace {

// The Slovenian alphabet with the letters of foreign words in their usual places; č, ć, đ,
// š and ž are letters of their own, not accented forms.
constexpr char32_t alphabet[] = {U'a', U'b', U'c', U'č', U'ć', U'd', U'đ', U'e', U'f', U'g', U'h',
                                 U'i', U'j', U'k', U'l', U'm', U'n', U'o', U'p', U'q', U'r', U's',
                                 U'š', U't', U'u', U'v', U'w', U'x', U'y', U'z', U'ž'};
constexpr uint32_t letterBase = 0x100000;
constexpr uint32_t letterStride = 0x20000;
constexpr uint32_t highPlaneBase = letterBase + letterStride * std::size(alphabet);

int letterRank(char32_t c)
{
    for (size_t i = 0; i < std::size(alphabet); ++i)
        if (alphabet[i] == c)
            return static_cast<int>(i);
    return -1;
}

uint32_t computeWeight(char32_t c)
{
    const auto folded = static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
    int rank = letterRank(folded);
    if (rank >= 0)
        return letterBase + letterStride * static_cast<uint32_t>(rank);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    icu::UnicodeString decomposition;
    if (U_SUCCESS(status) && u_isalpha(static_cast<UChar32>(folded)) &&
        nfd->getDecomposition(static_cast<UChar32>(folded), decomposition) && decomposition.length() > 0) {
        const auto base = static_cast<char32_t>(decomposition.char32At(0));
        rank = letterRank(base);
        if (rank >= 0 && base < 0x80)
            return letterBase + letterStride * static_cast<uint32_t>(rank) + 1 + (folded & 0xFFFF);
    }
    if (folded < letterBase)
        return folded;
    return highPlaneBase + (folded - letterBase);
}

} // namespace

uint32_t SortKey::weight(char32_t c)
{
    static const std::unique_ptr<std::array<uint32_t, 0x10000>> bmp = [] {
        auto table = std::make_unique<std::array<uint32_t, 0x10000>>();
        for (char32_t i = 0; i < 0x10000; ++i)
            (*table)[i] = computeWeight(i);
        return table;
    }();
    if (c < 0x10000)
        return (*bmp)[c];
    return computeWeight(c);
}

void SortKey::appendUnit(std::string& key, uint32_t weight)
{
    key += static_cast<char>((weight >> 16) & 0xFF);
    key += static_cast<char>((weight >> 8) & 0xFF);
    key += static_cast<char>(weight & 0xFF);
}

std::u32string SortKey::codePoints(std::string_view utf8)
{
    std::u32string out;
    bool ascii = true;
    for (const char ch : utf8)
        if (static_cast<unsigned char>(ch) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        out.reserve(utf8.size());
        for (const char ch : utf8)
            out += static_cast<char32_t>(ch);
        return out;
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(std::min<size_t>(utf8.size(), INT32_MAX))));
    if (U_SUCCESS(status)) {
        icu::UnicodeString normalised = nfc->normalize(text, status);
        if (U_SUCCESS(status))
            text = normalised;
    }
    out.reserve(static_cast<size_t>(text.length()));
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1))
        out += static_cast<char32_t>(text.char32At(i));
    return out;
}

std::string SortKey::of(std::string_view utf8)
{
    std::string key;
    append(key, utf8);
    return key;
}

void SortKey::append(std::string& out, std::string_view utf8)
{
    const auto put = [](char* at, uint32_t w) {
        at[0] = static_cast<char>((w >> 16) & 0xFF);
        at[1] = static_cast<char>((w >> 8) & 0xFF);
        at[2] = static_cast<char>(w & 0xFF);
    };
    // Text below U+0300 (ASCII, and Latin letters with their accents precomposed) is already
    // in NFC: most headwords need no normalisation, which is most of start-up's work.
    const size_t begin = out.size();
    out.resize(begin + utf8.size() * unitSize); // at most one unit per byte
    size_t at = begin;
    const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    const auto length = static_cast<int32_t>(std::min<size_t>(utf8.size(), INT32_MAX));
    bool simple = true;
    for (int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0 || c >= 0x300) {
            simple = false;
            break;
        }
        put(out.data() + at, weight(static_cast<char32_t>(c)));
        at += unitSize;
    }
    if (simple) {
        out.resize(at);
        return;
    }
    at = begin;
    const std::u32string points = codePoints(utf8);
    out.resize(at + points.size() * unitSize);
    for (const char32_t c : points) {
        put(out.data() + at, weight(c));
        at += unitSize;
    }
}

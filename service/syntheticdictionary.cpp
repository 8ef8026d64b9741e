#include "service/syntheticdictionary.h"

namespace {

uint64_t mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

const char* const onsets[] = {"b",  "c",  "č",  "d",  "f",  "g",  "h",  "j",  "k",  "l",  "m",  "n",
                              "p",  "r",  "s",  "š",  "t",  "v",  "z",  "ž",  "br", "dr", "gl", "kr",
                              "pl", "pr", "sl", "sm", "sp", "st", "tr", "zv", "kl", "gr", "šk", "čr"};
const char* const vowels[] = {"a", "e", "i", "o", "u", "a", "e", "o"};
const char* const codas[] = {"", "", "", "n", "r", "l", "k", "t", "j", "s", "m", "c"};

} // namespace

std::string SyntheticDictionary::headword(uint32_t n)
{
    uint64_t bits = mix(n);
    const int syllables = 2 + static_cast<int>(bits % 3);
    bits /= 3;
    std::string word;
    for (int i = 0; i < syllables; ++i) {
        word += onsets[bits % std::size(onsets)];
        bits /= std::size(onsets);
        word += vowels[bits % std::size(vowels)];
        bits /= std::size(vowels);
        if (i == syllables - 1) {
            word += codas[bits % std::size(codas)];
            bits /= std::size(codas);
        }
        if (bits < 1000)
            bits = mix(bits + n + static_cast<uint64_t>(i));
    }
    return word;
}

std::string SyntheticDictionary::text(std::string_view headword, uint32_t offset, uint32_t) const
{
    const std::string word(headword);
    const char* const kinds[] = {"<n, m>", "<n, f>", "<adj>", "<v>"};
    std::string text = word + " " + kinds[mix(offset) % 4] + "\n";
    text += "izmišljena beseda št. " + std::to_string(offset + 1) + "\n";
    text += "  \"Primer rabe: " + word + ".\" - see {" + SyntheticDictionary::headword(offset + 1) + "}\n";
    return text;
}

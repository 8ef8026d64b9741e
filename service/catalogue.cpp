#include "service/catalogue.h"

#include "service/sortkey.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>

bool Catalogue::addDictionary(DictionaryInfo info, std::shared_ptr<const EntrySource> source)
{
    if (dictionaryIndex(info.id) >= 0 || m_dictionaries.size() >= std::numeric_limits<uint16_t>::max())
        return false;
    m_dictionaries.push_back(Dictionary{std::move(info), std::move(source), {}, {}});
    return true;
}

bool Catalogue::addEntry(std::string_view headword, uint32_t textOffset, uint32_t textLength)
{
    if (m_dictionaries.empty() || headword.empty() || headword.size() > maxHeadwordBytes)
        return false;
    Dictionary& dictionary = m_dictionaries.back();
    const size_t keyOffset = m_keys.size();
    SortKey::append(m_keys, headword);
    const size_t keyLength = m_keys.size() - keyOffset;
    if (keyLength > std::numeric_limits<uint16_t>::max() ||
        m_headwords.size() + headword.size() > std::numeric_limits<uint32_t>::max() ||
        m_keys.size() > std::numeric_limits<uint32_t>::max() ||
        dictionary.byEntryId.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        m_keys.resize(keyOffset);
        return false;
    }
    Entry entry{};
    entry.headwordOffset = static_cast<uint32_t>(m_headwords.size());
    entry.headwordLength = static_cast<uint16_t>(headword.size());
    entry.keyOffset = static_cast<uint32_t>(keyOffset);
    entry.keyLength = static_cast<uint16_t>(keyLength);
    entry.textOffset = textOffset;
    entry.textLength = textLength;
    entry.dictionary = static_cast<uint16_t>(m_dictionaries.size() - 1);
    dictionary.byEntryId.push_back(0);
    entry.entryId = static_cast<int32_t>(dictionary.byEntryId.size());
    m_headwords += headword;
    m_entries.push_back(entry);
    return true;
}

void Catalogue::reserve(size_t entries, size_t headwordBytes)
{
    m_entries.reserve(m_entries.size() + entries);
    m_headwords.reserve(m_headwords.size() + headwordBytes);
    // A key has three bytes per code point; one for ASCII headwords.
    m_keys.reserve(m_keys.size() + headwordBytes * SortKey::unitSize);
}

void Catalogue::finish()
{
    const char* keys = m_keys.data();
    const auto less = [keys](const Entry& a, const Entry& b) {
        const int c = std::memcmp(keys + a.keyOffset, keys + b.keyOffset, std::min(a.keyLength, b.keyLength));
        if (c != 0)
            return c < 0;
        if (a.keyLength != b.keyLength)
            return a.keyLength < b.keyLength;
        if (a.dictionary != b.dictionary)
            return a.dictionary < b.dictionary;
        return a.entryId < b.entryId;
    };
    // Start-up with many dictionaries is mostly this sort. It sorts the first 16 key bytes
    // (five letters) held beside an index, which settles most comparisons without reaching
    // into the keys; only equal prefixes compare whole entries. The halves sort on two
    // threads and are merged.
    struct Item
    {
        uint64_t high;
        uint64_t low;
        uint32_t index;
    };
    std::vector<Item> items(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        unsigned char prefix[16] = {};
        std::memcpy(prefix, keys + entry.keyOffset, std::min<size_t>(entry.keyLength, sizeof prefix));
        uint64_t high = 0;
        uint64_t low = 0;
        for (int b = 0; b < 8; ++b) {
            high = high << 8 | prefix[b];
            low = low << 8 | prefix[8 + b];
        }
        items[i] = Item{high, low, static_cast<uint32_t>(i)};
    }
    const auto itemLess = [this, &less](const Item& a, const Item& b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        return less(m_entries[a.index], m_entries[b.index]);
    };
    const auto middle = items.begin() + static_cast<std::ptrdiff_t>(items.size() / 2);
    if (items.size() >= 100000 && std::thread::hardware_concurrency() > 1) {
        std::thread firstHalf([&] { std::sort(items.begin(), middle, itemLess); });
        std::sort(middle, items.end(), itemLess);
        firstHalf.join();
        std::inplace_merge(items.begin(), middle, items.end(), itemLess);
    } else {
        std::sort(items.begin(), items.end(), itemLess);
    }
    std::vector<Entry> sorted;
    sorted.reserve(m_entries.size());
    for (const Item& item : items)
        sorted.push_back(m_entries[item.index]);
    std::vector<Item>().swap(items);
    m_entries.swap(sorted);
    for (Dictionary& dictionary : m_dictionaries) {
        dictionary.orders.clear();
        dictionary.orders.reserve(dictionary.byEntryId.size());
    }
    for (size_t order = 0; order < m_entries.size(); ++order) {
        Dictionary& dictionary = m_dictionaries[m_entries[order].dictionary];
        dictionary.orders.push_back(static_cast<uint32_t>(order));
        dictionary.byEntryId[static_cast<size_t>(m_entries[order].entryId - 1)] =
            static_cast<uint32_t>(order);
    }
    m_entries.shrink_to_fit();
    m_headwords.shrink_to_fit();
    m_keys.shrink_to_fit();
}

int Catalogue::dictionaryIndex(int id) const
{
    for (size_t i = 0; i < m_dictionaries.size(); ++i)
        if (m_dictionaries[i].info.id == id)
            return static_cast<int>(i);
    return -1;
}

std::string_view Catalogue::headword(uint32_t order) const
{
    const Entry& entry = m_entries[order];
    return std::string_view(m_headwords).substr(entry.headwordOffset, entry.headwordLength);
}

std::string_view Catalogue::key(uint32_t order) const
{
    const Entry& entry = m_entries[order];
    return std::string_view(m_keys).substr(entry.keyOffset, entry.keyLength);
}

const Catalogue::Dictionary& Catalogue::dictionaryOf(uint32_t order) const
{
    return m_dictionaries[m_entries[order].dictionary];
}

std::string Catalogue::entryText(uint32_t order) const
{
    const Entry& entry = m_entries[order];
    const Dictionary& dictionary = m_dictionaries[entry.dictionary];
    if (!dictionary.source)
        return {};
    return dictionary.source->text(headword(order), entry.textOffset, entry.textLength);
}

int64_t Catalogue::findEntry(int dictionaryIndex, int entryId) const
{
    if (dictionaryIndex < 0 || static_cast<size_t>(dictionaryIndex) >= m_dictionaries.size())
        return -1;
    const Dictionary& dictionary = m_dictionaries[static_cast<size_t>(dictionaryIndex)];
    if (entryId < 1 || static_cast<size_t>(entryId) > dictionary.byEntryId.size())
        return -1;
    return dictionary.byEntryId[static_cast<size_t>(entryId - 1)];
}

uint32_t Catalogue::lowerBound(std::string_view wanted) const
{
    size_t first = 0;
    size_t count = m_entries.size();
    while (count > 0) {
        const size_t half = count / 2;
        if (key(static_cast<uint32_t>(first + half)) < wanted) {
            first += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return static_cast<uint32_t>(first);
}

std::pair<uint32_t, uint32_t> Catalogue::prefixRange(std::string_view prefixKey) const
{
    const uint32_t first = lowerBound(prefixKey);
    // The end is the first key that no longer begins with the prefix.
    size_t last = first;
    size_t count = m_entries.size() - first;
    while (count > 0) {
        const size_t half = count / 2;
        if (key(static_cast<uint32_t>(last + half)).substr(0, prefixKey.size()) == prefixKey) {
            last += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return {first, static_cast<uint32_t>(last)};
}

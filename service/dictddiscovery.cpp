#include "service/dictddiscovery.h"

#include "service/dictddictionary.h"
#include "service/pngicon.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>

namespace {

namespace fs = std::filesystem;

// Languages of FreeDict's dictionaries that the client's language table names.
const std::map<std::string_view, std::string_view>& twoLetterCodes()
{
    static const std::map<std::string_view, std::string_view> codes = {
        {"alb", "sq"}, {"ara", "ar"}, {"asm", "as"}, {"baq", "eu"}, {"bel", "be"}, {"bod", "bo"},
        {"bos", "bs"}, {"bre", "br"}, {"bul", "bg"}, {"cat", "ca"}, {"ces", "cs"}, {"chu", "cu"},
        {"cos", "co"}, {"cym", "cy"}, {"cze", "cs"}, {"dan", "da"}, {"deu", "de"}, {"dut", "nl"},
        {"ell", "el"}, {"eng", "en"}, {"epo", "eo"}, {"est", "et"}, {"eus", "eu"}, {"fao", "fo"},
        {"fin", "fi"}, {"fra", "fr"}, {"fre", "fr"}, {"fry", "fy"}, {"ger", "de"}, {"gla", "gd"},
        {"gle", "ga"}, {"glg", "gl"}, {"gre", "el"}, {"heb", "he"}, {"hin", "hi"}, {"hrv", "hr"},
        {"hun", "hu"}, {"ice", "is"}, {"isl", "is"}, {"ita", "it"}, {"jpn", "ja"}, {"lat", "la"},
        {"lav", "lv"}, {"lit", "lt"}, {"mac", "mk"}, {"mkd", "mk"}, {"mlt", "mt"}, {"nld", "nl"},
        {"nno", "nn"}, {"nob", "nb"}, {"oci", "oc"}, {"pli", "pi"}, {"pol", "pl"}, {"por", "pt"},
        {"roh", "rm"}, {"ron", "ro"}, {"rum", "ro"}, {"rus", "ru"}, {"san", "sa"}, {"slk", "sk"},
        {"slo", "sk"}, {"slv", "sl"}, {"smo", "sm"}, {"som", "so"}, {"spa", "es"}, {"sqi", "sq"},
        {"srd", "sc"}, {"srp", "sr"}, {"swe", "sv"}, {"tib", "bo"}, {"tur", "tr"}, {"ukr", "uk"},
        {"wel", "cy"}, {"wln", "wa"},
    };
    return codes;
}

bool isDataFileOf(const fs::path& base)
{
    std::error_code code;
    return fs::is_regular_file(base.string() + ".dict.dz", code) ||
           fs::is_regular_file(base.string() + ".dict", code);
}

} // namespace

std::vector<std::string> DictdDiscovery::defaultFolders()
{
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0])
        data = std::string(home) + "/.local/share";
    std::vector<std::string> folders;
    if (!data.empty())
        folders.push_back(data + "/verbolix/dictd");
    folders.push_back("/usr/share/dictd");
    return folders;
}

std::vector<DictdDiscovery::Found> DictdDiscovery::find(const std::vector<std::string>& folders)
{
    std::map<std::string, std::string> byName;
    for (const std::string& folder : folders) {
        std::error_code code;
        std::map<std::string, std::string> here;
        for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
            const fs::path& path = it->path();
            if (path.extension() != ".index" || !it->is_regular_file(code))
                continue;
            fs::path base = path;
            base.replace_extension();
            if (isDataFileOf(base))
                here.emplace(base.filename().string(), base.string());
        }
        for (auto& [name, base] : here)
            byName.emplace(name, std::move(base)); // an earlier folder's keeps its place
    }
    std::vector<Found> found;
    for (auto& [name, base] : byName)
        found.push_back(Found{name, std::move(base)});
    return found;
}

int DictdDiscovery::preferredId(std::string_view name)
{
    // 64-bit FNV-1a: fixed here, so ids never change with the compiler or the library.
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char ch : name) {
        hash ^= static_cast<unsigned char>(ch);
        hash *= 0x100000001b3ull;
    }
    return firstId + static_cast<int>(hash % static_cast<uint64_t>(idSpan));
}

std::vector<std::string> DictdDiscovery::languages(std::string_view name)
{
    std::vector<std::string> out;
    // The last two parts of "freedict-slv-eng" or "slv-eng".
    const size_t second = name.rfind('-');
    if (second == std::string_view::npos || second == 0)
        return out;
    const size_t first = name.rfind('-', second - 1);
    const std::string_view from = name.substr(first == std::string_view::npos ? 0 : first + 1,
                                              second - (first == std::string_view::npos ? 0 : first + 1));
    const std::string_view to = name.substr(second + 1);
    for (const std::string_view code : {from, to}) {
        const auto found = twoLetterCodes().find(code);
        if (found != twoLetterCodes().end() && std::find(out.begin(), out.end(), found->second) == out.end())
            out.emplace_back(found->second);
    }
    return out;
}

void DictdDiscovery::addTo(Catalogue& catalogue, const std::vector<std::string>& folders,
                           const std::set<std::string>& served, std::vector<std::string>& warnings)
{
    std::vector<Found> found = find(folders);
    found.erase(std::remove_if(found.begin(), found.end(),
                               [&served](const Found& f) {
                                   return served.count(fs::path(f.base).lexically_normal().string()) > 0;
                               }),
                found.end());
    // The index files' sizes bound the headwords' bytes; their lines are rarely under 16 bytes.
    size_t indexBytes = 0;
    for (const Found& f : found) {
        std::error_code code;
        const auto size = fs::file_size(f.base + ".index", code);
        indexBytes +=
            code ? 0 : static_cast<size_t>(std::min<uintmax_t>(size, DictdDictionary::maxIndexBytes));
    }
    catalogue.reserve(indexBytes / 16, indexBytes);
    struct Opened
    {
        std::shared_ptr<DictdDictionary> dictionary;
        std::string error;
    };
    // Reading the next index overlaps adding this one's entries: two cores, half the time.
    const auto openAt = [&found](size_t i) {
        return std::async(std::launch::async, [&found, i] {
            Opened opened;
            opened.dictionary = DictdDictionary::open(found[i].base, opened.error);
            return opened;
        });
    };
    std::future<Opened> next;
    if (!found.empty())
        next = openAt(0);
    for (size_t i = 0; i < found.size(); ++i) {
        Opened current = next.get();
        if (i + 1 < found.size())
            next = openAt(i + 1);
        const Found& f = found[i];
        const auto& dictionary = current.dictionary;
        if (!dictionary) {
            warnings.push_back("dictd dictionary " + f.base + " skipped: " + current.error);
            continue;
        }
        if (dictionary->index().empty()) {
            warnings.push_back("dictd dictionary " + f.base + " skipped: no entries in its index");
            continue;
        }
        DictionaryInfo info;
        info.id = preferredId(f.name);
        while (catalogue.dictionaryIndex(info.id) >= 0)
            info.id = info.id + 1 == firstId + idSpan ? firstId : info.id + 1;
        info.name = dictionary->shortName().empty() ? f.name : dictionary->shortName();
        info.languages = languages(f.name);
        info.lingualism = info.languages.size() > 1 ? 2 : 1;
        info.iconPng = PngIcon::generated(PngIcon::colourFor(info.id));
        if (dictionary->skippedLines() > 0)
            warnings.push_back("dictd dictionary " + f.base + ": " +
                               std::to_string(dictionary->skippedLines()) + " bad index lines skipped");
        if (!catalogue.addDictionary(std::move(info), dictionary)) {
            warnings.push_back("dictd dictionary " + f.base + " skipped: too many dictionaries");
            continue;
        }
        for (const auto& entry : dictionary->index())
            catalogue.addEntry(entry.headword, entry.offset, entry.length);
        dictionary->releaseIndex();
    }
}

#include "service/serviceconfig.h"

#include "service/dictddictionary.h"
#include "service/pngicon.h"
#include "service/utf8text.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace {

using nlohmann::json;

constexpr size_t maxConfigBytes = 4u << 20;
constexpr size_t maxIconBytes = 256u << 10;

std::string resolved(const std::filesystem::path& folder, const std::string& path)
{
    const std::filesystem::path p(path);
    return (p.is_absolute() ? p : folder / p).lexically_normal().string();
}

bool text(const json& object, const char* name, std::string& out, std::string& error, bool required = false)
{
    const auto found = object.find(name);
    if (found == object.end()) {
        if (required)
            error = std::string("missing \"") + name + "\"";
        return !required;
    }
    if (!found->is_string()) {
        error = std::string("\"") + name + "\" must be a string";
        return false;
    }
    out = found->get<std::string>();
    if (!utf8text::isValid(out)) {
        error = std::string("\"") + name + "\" is not valid UTF-8";
        return false;
    }
    out = utf8text::sanitized(out);
    return true;
}

bool integer(const json& object, const char* name, int& out, std::string& error, bool required = false)
{
    const auto found = object.find(name);
    if (found == object.end()) {
        if (required)
            error = std::string("missing \"") + name + "\"";
        return !required;
    }
    if (!found->is_number_integer() || found->get<int64_t>() < std::numeric_limits<int>::min() ||
        found->get<int64_t>() > std::numeric_limits<int>::max()) {
        error = std::string("\"") + name + "\" must be an integer";
        return false;
    }
    out = found->get<int>();
    return true;
}

bool readSmallFile(const std::string& path, size_t limit, std::string& out)
{
    std::error_code code;
    const auto size = std::filesystem::file_size(path, code);
    if (code || size > limit)
        return false;
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    out = bytes.str();
    return static_cast<bool>(file) || file.eof();
}

} // namespace

bool ServiceConfig::load(const std::string& path, Catalogue& catalogue, std::string& error)
{
    std::string content;
    if (!readSmallFile(path, maxConfigBytes, content)) {
        error = "cannot read config " + path;
        return false;
    }
    const json root = json::parse(content, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        error = path + ": not a JSON object";
        return false;
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (const auto found = root.find("discover"); found != root.end()) {
        if (!found->is_boolean()) {
            error = path + ": \"discover\" must be true or false";
            return false;
        }
        m_discover = found->get<bool>();
    }

    const auto dictionaries = root.find("dictionaries");
    if (dictionaries != root.end() && !dictionaries->is_array()) {
        error = path + ": \"dictionaries\" must be an array";
        return false;
    }
    if (dictionaries != root.end()) {
        for (size_t i = 0; i < dictionaries->size(); ++i) {
            const json& item = (*dictionaries)[i];
            const std::string where = path + ": dictionary " + std::to_string(i + 1) + ": ";
            if (!item.is_object()) {
                error = where + "not an object";
                return false;
            }
            DictionaryInfo info;
            std::string source;
            std::string icon;
            std::string problem;
            bool optional = false;
            if (const auto found = item.find("optional"); found != item.end())
                optional = found->is_boolean() && found->get<bool>();
            if (!integer(item, "id", info.id, problem, true) || !text(item, "name", info.name, problem) ||
                !text(item, "author", info.author, problem) || !integer(item, "type", info.type, problem) ||
                !integer(item, "lingualism", info.lingualism, problem) ||
                !text(item, "icon", icon, problem) || !text(item, "source", source, problem, true)) {
                error = where + problem;
                return false;
            }
            if (info.type != 1 && info.type != 2) {
                error = where + "\"type\" must be 1 (general) or 2 (terminological)";
                return false;
            }
            if (info.lingualism != 1 && info.lingualism != 2) {
                error = where + "\"lingualism\" must be 1 (monolingual) or 2 (multilingual)";
                return false;
            }
            if (const auto found = item.find("languages"); found != item.end()) {
                if (!found->is_array()) {
                    error = where + "\"languages\" must be an array of codes";
                    return false;
                }
                for (const json& code : *found) {
                    if (!code.is_string() || code.get<std::string>().empty() ||
                        !utf8text::isValid(code.get<std::string>())) {
                        error = where + "\"languages\" must be an array of codes";
                        return false;
                    }
                    info.languages.push_back(utf8text::sanitized(code.get<std::string>()));
                }
            }

            std::string loadError;
            auto dictionary = DictdDictionary::open(resolved(folder, source), loadError);
            if (!dictionary) {
                if (optional) {
                    m_warnings.push_back("dictionary " + std::to_string(info.id) + " skipped: " + loadError);
                    continue;
                }
                error = where + loadError;
                return false;
            }
            if (info.name.empty())
                info.name = dictionary->shortName().empty() ? source : dictionary->shortName();
            if (!icon.empty()) {
                const std::string iconPath = resolved(folder, icon);
                if (!readSmallFile(iconPath, maxIconBytes, info.iconPng) || !PngIcon::isPng(info.iconPng)) {
                    m_warnings.push_back("dictionary " + std::to_string(info.id) + ": " + iconPath +
                                         " is not a readable PNG; a generated icon is served");
                    info.iconPng.clear();
                }
            }
            if (info.iconPng.empty())
                info.iconPng = PngIcon::generated(PngIcon::colourFor(info.id));
            if (dictionary->skippedLines() > 0)
                m_warnings.push_back("dictionary " + std::to_string(info.id) + ": " +
                                     std::to_string(dictionary->skippedLines()) + " bad index lines skipped");
            const int id = info.id;
            if (!catalogue.addDictionary(std::move(info), dictionary)) {
                error = where + "id " + std::to_string(id) + " is used twice";
                return false;
            }
            for (const auto& entry : dictionary->index())
                catalogue.addEntry(entry.headword, entry.offset, entry.length);
            dictionary->releaseIndex();
            std::string base = resolved(folder, source);
            if (base.size() > 6 && base.compare(base.size() - 6, 6, ".index") == 0)
                base.resize(base.size() - 6);
            m_sources.insert(base);
        }
    }

    const auto messages = root.find("messages");
    if (messages != root.end() && !messages->is_array()) {
        error = path + ": \"messages\" must be an array";
        return false;
    }
    if (messages != root.end()) {
        static const std::set<std::string> kinds = {"welcome", "news", "version", "upgrade"};
        for (size_t i = 0; i < messages->size(); ++i) {
            const json& item = (*messages)[i];
            const std::string where = path + ": message " + std::to_string(i + 1) + ": ";
            ServiceMessage message;
            std::string problem;
            if (!item.is_object() || !text(item, "kind", message.kind, problem, true) ||
                !integer(item, "id", message.id, problem, true) || !text(item, "url", message.url, problem) ||
                !text(item, "title", message.title, problem) || !text(item, "body", message.body, problem) ||
                !text(item, "log", message.log, problem)) {
                error = where + (problem.empty() ? "not an object" : problem);
                return false;
            }
            if (!kinds.count(message.kind)) {
                error = where + "\"kind\" must be welcome, news, version or upgrade";
                return false;
            }
            if (message.id <= 0) {
                error = where + "\"id\" must be positive";
                return false;
            }
            if (const auto found = item.find("required"); found != item.end())
                message.required = found->is_boolean() && found->get<bool>();
            m_messages.push_back(std::move(message));
        }
    }
    return true;
}

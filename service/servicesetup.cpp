#include "service/servicesetup.h"

#include "service/dictddiscovery.h"
#include "service/pngicon.h"
#include "service/syntheticdictionary.h"

#include <filesystem>

bool ServiceSetup::load(const ServiceOptions& options, std::string& error)
{
    const std::string path = options.configPath.empty() ? defaultConfigPath() : options.configPath;
    if (!m_config.load(path, m_catalogue, error))
        return false;
    m_warnings = m_config.warnings();
    const bool discover = options.configPath.empty() || m_config.discover();
    if (discover && !options.noDiscovery)
        DictdDiscovery::addTo(
            m_catalogue, options.dictdDirs.empty() ? DictdDiscovery::defaultFolders() : options.dictdDirs,
            m_config.sources(), m_warnings);
    if (options.synthetic > 0) {
        if (m_catalogue.dictionaryIndex(SyntheticDictionary::dictionaryId) >= 0) {
            error = "the config already uses id " + std::to_string(SyntheticDictionary::dictionaryId) +
                    ", which --synthetic needs";
            return false;
        }
        addSynthetic(m_catalogue, options.synthetic);
    }
    m_catalogue.finish();
    return true;
}

std::string ServiceSetup::defaultConfigPath()
{
    std::error_code code;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", code);
    if (!code) {
        const auto beside =
            program.parent_path().parent_path() / "share" / "verbolix-service" / "verbolix-service.json";
        if (std::filesystem::exists(beside, code))
            return beside.string();
    }
    return std::string(VERBOLIX_SERVICE_SOURCE_DATA) + "/verbolix-service.json";
}

void ServiceSetup::addSynthetic(Catalogue& catalogue, int entries)
{
    DictionaryInfo info;
    info.id = SyntheticDictionary::dictionaryId;
    info.name = "Sintetični slovar (" + std::to_string(entries) + " gesel)";
    info.author = "verbolix-service";
    info.languages = {"sl"};
    info.iconPng = PngIcon::generated(0x555555);
    catalogue.addDictionary(std::move(info), std::make_shared<SyntheticDictionary>());
    for (int i = 0; i < entries; ++i)
        catalogue.addEntry(SyntheticDictionary::headword(static_cast<uint32_t>(i)), static_cast<uint32_t>(i),
                           0);
}

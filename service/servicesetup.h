#pragma once

#include "service/catalogue.h"
#include "service/serviceconfig.h"
#include "service/serviceoptions.h"

#include <string>

// Everything the program loads before it serves: the config's dictionaries and messages, the
// dictd dictionaries found in folders (without --config, or when the config asks) and the
// optional synthetic dictionary, in one finished catalogue.
class ServiceSetup
{
public:
    bool load(const ServiceOptions& options, std::string& error);

    const Catalogue& catalogue() const { return m_catalogue; }
    const ServiceConfig& config() const { return m_config; }
    // The config's warnings, then those about dictionaries found in folders.
    const std::vector<std::string>& warnings() const { return m_warnings; }

    // The bundled config: beside the program (../share/verbolix-service/) or in the sources.
    static std::string defaultConfigPath();
    static void addSynthetic(Catalogue& catalogue, int entries);

private:
    Catalogue m_catalogue;
    ServiceConfig m_config;
    std::vector<std::string> m_warnings;
};

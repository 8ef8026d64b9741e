#pragma once

#include "service/catalogue.h"
#include "service/servicemessage.h"

#include <set>
#include <string>
#include <vector>

// Reads the service's JSON config file: the dictionaries to serve (loaded into a catalogue)
// and the messages. Paths in it are relative to the file's folder. The format is described
// in service/README.md.
class ServiceConfig
{
public:
    // Adds the dictionaries to the catalogue (which the caller finishes). False with an error
    // text when the file cannot be read, is not valid, or a required dictionary is missing.
    bool load(const std::string& path, Catalogue& catalogue, std::string& error);

    const std::vector<ServiceMessage>& messages() const { return m_messages; }
    // "discover": true asks for the dictd dictionaries in folders as well.
    bool discover() const { return m_discover; }
    // The dictd files it serves, as paths without ".index", so that they are not found twice.
    const std::set<std::string>& sources() const { return m_sources; }
    // Things worth telling the user that did not stop the load (an optional dictionary not
    // installed, an icon that is not a PNG, skipped index lines).
    const std::vector<std::string>& warnings() const { return m_warnings; }

private:
    std::vector<ServiceMessage> m_messages;
    std::set<std::string> m_sources;
    bool m_discover = false;
    std::vector<std::string> m_warnings;
};

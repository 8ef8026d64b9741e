#pragma once

#include "service/catalogue.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

// The dictd dictionaries a user already has: every NAME.index with NAME.dict or NAME.dict.dz
// beside it in the given folders (Debian installs dict-freedict-*, dict-gcide, dict-wn ... in
// /usr/share/dictd), served without a config.
//
// Stored filters name dictionaries by id, so a found dictionary's id depends only on its
// file name NAME: preferredId() is a hash of it into [firstId, firstId + idSpan), far from the
// ids a config uses. Should that id be taken (by the config or by another dictionary found
// before it, in byte order of NAME), the next free one above it is used, wrapping within the
// range. The same NAME in several folders is served once, from the first folder listed.
class DictdDiscovery
{
public:
    static constexpr int firstId = 1000000;
    static constexpr int idSpan = 1000000000;

    struct Found
    {
        std::string name; // NAME
        std::string base; // the path without ".index"
    };

    // $XDG_DATA_HOME/verbolix/dictd (~/.local/share/verbolix/dictd), then /usr/share/dictd.
    static std::vector<std::string> defaultFolders();
    // Sorted by name. A folder that does not exist is no error.
    static std::vector<Found> find(const std::vector<std::string>& folders);
    static int preferredId(std::string_view name);
    // From FreeDict's names ("freedict-slv-eng": sl, en): ISO 639-3 codes mapped to the
    // two-letter ones the client knows; unknown codes are left out.
    static std::vector<std::string> languages(std::string_view name);

    // Adds what find() returns, except the bases in served, to the catalogue (which the
    // caller finishes). A dictionary that cannot be read is skipped with a warning.
    static void addTo(Catalogue& catalogue, const std::vector<std::string>& folders,
                      const std::set<std::string>& served, std::vector<std::string>& warnings);
};

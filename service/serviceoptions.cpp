#include "service/serviceoptions.h"

#include <charconv>

namespace {

bool parseNumber(const std::string& text, int minimum, int maximum, int& out)
{
    int value = 0;
    const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || code != std::errc() || end != text.data() + text.size() || value < minimum ||
        value > maximum)
        return false;
    out = value;
    return true;
}

} // namespace

bool ServiceOptions::parse(const std::vector<std::string>& arguments, int defaultPort, std::string& error)
{
    port = defaultPort;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::string value;
        bool hasValue = false;
        if (const size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") {
            help = true;
            continue;
        }
        if (name == "--stats" && !hasValue) {
            stats = true;
            continue;
        }
        if (name == "--no-discovery" && !hasValue) {
            noDiscovery = true;
            continue;
        }
        const bool known = name == "--port" || name == "--bind" || name == "--config" ||
                           name == "--latency-ms" || name == "--synthetic" || name == "--dictd-dir";
        if (!known) {
            error = "unknown option " + name;
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                error = name + " needs a value";
                return false;
            }
            value = arguments[++i];
        }
        if (name == "--port" && !parseNumber(value, 0, 65535, port)) {
            error = "--port takes a number from 0 to 65535";
            return false;
        }
        if (name == "--latency-ms" && !parseNumber(value, 0, maxLatencyMs, latencyMs)) {
            error = "--latency-ms takes a number from 0 to " + std::to_string(maxLatencyMs);
            return false;
        }
        if (name == "--synthetic" && !parseNumber(value, 0, maxSynthetic, synthetic)) {
            error = "--synthetic takes a number from 0 to " + std::to_string(maxSynthetic);
            return false;
        }
        if (name == "--bind") {
            if (value.empty()) {
                error = "--bind needs an address";
                return false;
            }
            bindAddress = value;
        }
        if (name == "--config") {
            if (value.empty()) {
                error = "--config needs a file";
                return false;
            }
            configPath = value;
        }
        if (name == "--dictd-dir") {
            if (value.empty()) {
                error = "--dictd-dir needs a folder";
                return false;
            }
            dictdDirs.push_back(value);
        }
    }
    return true;
}

std::string ServiceOptions::usage()
{
    return "Usage: verbolix-service [options]\n"
           "Serves dictionaries over the Verbolix web API on http://ADDR:PORT/1.0/.\n"
           "\n"
           "  --port N          port to listen on (0 picks a free one; default " +
           std::to_string(VERBOLIX_DEFAULT_PORT) +
           ")\n"
           "  --bind ADDR       address to listen on (default 127.0.0.1; anything else\n"
           "                    makes the service reachable from other machines)\n"
           "  --config FILE     JSON file listing the dictionaries and messages to serve\n"
           "                    (default: the bundled sample, with discovery as below)\n"
           "  --no-discovery    serve no dictd dictionaries found in folders\n"
           "  --dictd-dir DIR   look for dictd dictionaries (NAME.index with NAME.dict or\n"
           "                    NAME.dict.dz) in DIR instead of /usr/share/dictd and\n"
           "                    $XDG_DATA_HOME/verbolix/dictd; may be repeated. With\n"
           "                    --config, folders are searched only if the config says\n"
           "                    \"discover\": true\n"
           "  --latency-ms N    delay every answer by N milliseconds\n"
           "  --synthetic N     add a generated dictionary of N entries (id 9000)\n"
           "  --stats           also answer /stats: requests answered and connections\n"
           "                    accepted so far (for benchmarks)\n"
           "  --help            show this text\n"
           "\n"
           "On start it prints \"listening on http://ADDR:PORT\".\n";
}

#pragma once

#include <string>
#include <vector>

// The command line of verbolix-service.
struct ServiceOptions
{
    int port = 0;
    std::string bindAddress = "127.0.0.1";
    std::string configPath; // empty: the bundled default, with dictd discovery
    bool noDiscovery = false;
    std::vector<std::string> dictdDirs; // empty: the default folders
    int latencyMs = 0;
    int synthetic = 0;
    bool stats = false; // serve /stats (requests and connections so far)
    bool help = false;

    static constexpr int maxLatencyMs = 60000;
    static constexpr int maxSynthetic = 20000000;

    // False with an error text on an unknown option or a bad value.
    bool parse(const std::vector<std::string>& arguments, int defaultPort, std::string& error);
    static std::string usage();
};

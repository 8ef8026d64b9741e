#include "dictionaryservice.h"
#include "servicesetup.h"

#include <cstdio>
#include <iostream>

int main(int argc, char** argv)
{
    ServiceOptions options;
    std::string error;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc), VERBOLIX_DEFAULT_PORT, error)) {
        std::cerr << "verbolix-service: " << error << "\n" << ServiceOptions::usage();
        return 2;
    }
    if (options.help) {
        std::cout << ServiceOptions::usage();
        return 0;
    }
    ServiceSetup setup;
    if (!setup.load(options, error)) {
        std::cerr << "verbolix-service: " << error << "\n";
        return 1;
    }
    for (const std::string& warning : setup.config().warnings())
        std::cerr << "verbolix-service: " << warning << "\n";

    DictionaryService service(
        setup.catalogue(), setup.config().messages(),
        DictionaryService::Settings{VERBOLIX_LICENCE_KEY, options.latencyMs, options.stats});
    const int port = service.start(options.bindAddress, options.port);
    if (port < 0) {
        std::cerr << "verbolix-service: cannot listen on " << options.bindAddress << ":" << options.port
                  << "\n";
        return 1;
    }
    const bool ipv6 = options.bindAddress.find(':') != std::string::npos;
    std::cout << "listening on http://" << (ipv6 ? "[" : "") << options.bindAddress << (ipv6 ? "]" : "")
              << ":" << port << std::endl;
    service.wait();
    return 0;
}

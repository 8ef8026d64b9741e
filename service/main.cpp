#include "service/dictionaryservice.h"
#include "service/servicesetup.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <pthread.h>

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
    for (const std::string& warning : setup.warnings())
        std::cerr << "verbolix-service: " << warning << "\n";

    // SIGTERM and SIGINT end the service cleanly (answers in flight finish, memory is freed);
    // blocked here so that every worker thread inherits the mask and only sigwait sees them.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

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
    int received = 0;
    sigwait(&endSignals, &received);
    service.stop();
    return 0;
}

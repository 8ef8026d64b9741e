#pragma once

#include <httplib.h>
#include <string>
#include <sys/socket.h>

// The HTTP library's server with a listen queue sized for clients that open many connections
// at once. The library listens with a backlog of 5: a client opening 8 connections together
// has one dropped by the kernel and retried a second later. On Linux a second listen() on the
// bound socket only changes the backlog. Header-only, for the test servers as well.
class ListeningServer : public httplib::Server
{
public:
    static constexpr int listenBacklog = 1024; // the kernel caps it at net.core.somaxconn

    // Binds (port 0: a free one) and widens the queue; answers the port, or -1.
    int bindTo(const std::string& address, int port)
    {
        const int bound = port == 0 ? bind_to_any_port(address) : (bind_to_port(address, port) ? port : -1);
        if (bound < 0 || ::listen(svr_sock_, listenBacklog) != 0)
            return -1;
        return bound;
    }
};

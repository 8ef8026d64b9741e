#pragma once

#include <QByteArray>
#include <QString>

// How a request ended, without its body: what the caption bar's notice is made from.
struct HttpOutcome
{
    enum class Failure
    {
        None,       // 2xx status, whole body read
        Network,    // no connection, broken or truncated transfer, bad URL or scheme
        Timeout,    // connect or total timeout elapsed
        HttpStatus, // the server answered with a status outside 2xx
        TooLarge,   // the answer passed the size cap
    };

    Failure failure = Failure::None;
    int status = 0; // HTTP status of the last answer; 0 when none arrived

    // The server was reached and said something definite (an answer, an error status or
    // too much), as opposed to a connection that failed or stalled.
    bool answered() const
    {
        return failure == Failure::None || failure == Failure::HttpStatus || failure == Failure::TooLarge;
    }
};

// What one GET produced. body holds the answer only when the transfer completed; for an
// HTTP error status it holds the error page the server sent.
struct HttpResult
{
    using Failure = HttpOutcome::Failure;

    Failure failure = Failure::Network;
    int status = 0; // HTTP status of the last answer; 0 when none arrived
    QString error;  // empty when ok()
    QByteArray body;
    QByteArray contentType;

    bool ok() const { return failure == Failure::None; }
    HttpOutcome outcome() const { return HttpOutcome{failure, status}; }
    bool answered() const { return outcome().answered(); }
};

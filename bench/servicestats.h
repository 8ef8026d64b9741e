#pragma once

#include <QtGlobal>

// The local service's own counts (its --stats page), for the benchmark drivers.
struct ServiceStats
{
    qint64 requests = -1;
    qint64 connections = -1;
};

// Asked over a socket of its own so that the program's connections stay as they are; the
// connections these calls make are taken off the count. Only the service itself answers,
// over plain HTTP (VERBOLIX_API_BASE); behind a proxy the counts stay -1.
ServiceStats serviceStats();

#pragma once

#include <QByteArray>
#include <QtGlobal>

// What the benchmark drivers read of the local service and of their own process.
struct ServiceStats
{
    qint64 requests = -1;
    qint64 connections = -1;
};

// Asked over a socket of its own so that the program's connections stay as they are; the
// connections these calls make are taken off the count. Only the service itself answers,
// over plain HTTP (VERBOLIX_API_BASE); behind a proxy the counts stay -1.
ServiceStats serviceStats();

// A memory figure of this process from /proc/self/status (VmRSS, VmHWM), in KiB; -1 when
// it cannot be read.
qint64 statusKib(const QByteArray& key);

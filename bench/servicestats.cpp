#include "bench/servicestats.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QUrl>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int statsCalls = 0;
} // namespace

ServiceStats serviceStats()
{
    ServiceStats stats;
    const QUrl base(qEnvironmentVariable("VERBOLIX_API_BASE"));
    if (base.scheme() != QStringLiteral("http"))
        return stats;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return stats;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(base.port()));
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    QByteArray answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        ++statsCalls;
        const QByteArray request = "GET /stats HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (::write(fd, request.constData(), size_t(request.size())) == request.size()) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
                answer.append(buffer, qsizetype(n));
        }
    }
    ::close(fd);
    for (const QByteArray& line : answer.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() != 2)
            continue;
        if (parts.at(0) == "requests")
            stats.requests = parts.at(1).toLongLong();
        else if (parts.at(0) == "connections")
            stats.connections = parts.at(1).toLongLong() - statsCalls;
    }
    return stats;
}

qint64 statusKib(const QByteArray& key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(QByteArray(key + ':')))
            return line.mid(key.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

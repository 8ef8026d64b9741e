#include "tests/support/xvfbdisplay.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace {
qint64 lockHolder(const QString& lock)
{
    QFile file(lock);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : -1;
}
} // namespace

XvfbDisplay::XvfbDisplay()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty())
        return;
    for (int n = 120; n < 160; ++n) {
        const QString socket = QStringLiteral("/tmp/.X11-unix/X") + QString::number(n);
        const QString lock = QStringLiteral("/tmp/.X%1-lock").arg(n);
        if (QFileInfo::exists(socket) || QFileInfo::exists(lock))
            continue;
        const QString display = QLatin1Char(':') + QString::number(n);
        m_server.start(program,
                       {display, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                        QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24")});
        if (!m_server.waitForStarted(5000))
            return;
        // The socket appears once the server takes connections. Another program may have won
        // the number meanwhile: the lock file then names another process, this server ends
        // and the next number is tried.
        for (int i = 0; i < 100 && m_server.state() == QProcess::Running; ++i) {
            if (QFileInfo::exists(socket) && lockHolder(lock) == m_server.processId()) {
                m_name = display;
                return;
            }
            QThread::msleep(50);
        }
        m_server.kill();
        m_server.waitForFinished();
    }
}

XvfbDisplay::~XvfbDisplay()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished();
    }
}

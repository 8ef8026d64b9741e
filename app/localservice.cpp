#include "app/localservice.h"

#include "core/apiconfig.h"
#include "core/buildconfig.h"
#include "core/http/httpclient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {

const QString serviceName = QStringLiteral("verbolix-service");

// The address to bind for a loopback host, or empty when the host is another machine,
// where starting a service of our own would not help.
QString loopbackBindAddress(const QString& host)
{
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("127.0.0.1");
    if (host == QStringLiteral("::1"))
        return host;
    static const QRegularExpression ipv4Loopback(QStringLiteral("^127(\\.\\d{1,3}){3}$"));
    return ipv4Loopback.match(host).hasMatch() ? host : QString();
}

} // namespace

LocalService::Options LocalService::defaultOptions()
{
    Options options;
    options.defaultBase = QStringLiteral(VERBOLIX_API_BASE_DEFAULT);
    options.programs = {QDir(QCoreApplication::applicationDirPath()).filePath(serviceName),
                        QDir(QStringLiteral(VERBOLIX_INSTALL_BINDIR)).filePath(serviceName)};
    return options;
}

LocalService::LocalService(QObject* parent) : LocalService(defaultOptions(), parent)
{
}

LocalService::LocalService(Options options, QObject* parent) : QObject(parent), m_options(std::move(options))
{
}

LocalService::~LocalService()
{
    stop();
}

LocalService::Outcome LocalService::startIfNeeded()
{
    if (isRunning())
        return Outcome::Started;
    QString base = m_options.defaultBase;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (ApiBaseUrl() != base)
        return Outcome::NotNeeded;
    const QUrl url(base);
    const QString bind = loopbackBindAddress(url.host());
    if (url.scheme() != QStringLiteral("http") || bind.isEmpty() || url.port() <= 0)
        return Outcome::NotNeeded;
    if (answers(base))
        return Outcome::AlreadyRunning;

    const QString program = findProgram();
    if (program.isEmpty()) {
        qWarning("verbolix: no %s found to serve %s", qPrintable(serviceName), qPrintable(base));
        return Outcome::NotInstalled;
    }

    m_process = new QProcess(this);
    // Its warnings belong on our stderr; its stdout carries the start-up line we wait for.
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef Q_OS_LINUX
    // Should this program die without running its destructors, the service goes with it
    // instead of holding the port for the next start.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    m_process->start(program,
                     {QStringLiteral("--bind"), bind, QStringLiteral("--port"), QString::number(url.port())});
    if (!waitForListening()) {
        qWarning("verbolix: %s did not start on %s", qPrintable(program), qPrintable(base));
        stop();
        return Outcome::FailedToStart;
    }
    m_program = program;
    return Outcome::Started;
}

void LocalService::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(2000)) {
            m_process->kill();
            m_process->waitForFinished(1000);
        }
    }
    delete m_process;
    m_process = nullptr;
    m_program.clear();
}

bool LocalService::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

bool LocalService::answers(const QString& base) const
{
    HttpRequest request;
    request.url = base + QStringLiteral("/1.0/");
    request.maxBytes = 64 * 1024;
    request.connectTimeoutMs = m_options.probeTimeoutMs;
    request.totalTimeoutMs = m_options.probeTimeoutMs;
    // Any HTTP answer, even an error status, means the port is taken by a server that is up.
    return HttpClient::get(request).answered();
}

QString LocalService::findProgram() const
{
    for (const QString& candidate : m_options.programs) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return {};
}

bool LocalService::waitForListening()
{
    const QDeadlineTimer deadline(m_options.startTimeoutMs);
    if (!m_process->waitForStarted(int(deadline.remainingTime())))
        return false;
    while (!deadline.hasExpired()) {
        while (m_process->canReadLine()) {
            if (m_process->readLine().startsWith("listening on "))
                return true;
        }
        if (m_process->state() != QProcess::Running)
            return false;
        m_process->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return false;
}

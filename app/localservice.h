#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

// Makes the installed client work out of the box: when it is set to the built-in local
// address and nothing answers there, the bundled verbolix-service is started on that address
// for as long as this object lives and stopped with it. Every wait is bounded, so a missing,
// broken or silent service never holds up the program's start.
class LocalService : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        NotNeeded,      // the client talks to another address, or the default is not on this machine
        AlreadyRunning, // something answers at the default address
        Started,        // our service answers there now
        NotInstalled,   // no verbolix-service program was found
        FailedToStart,  // it exited or did not report listening in time
    };
    Q_ENUM(Outcome)

    struct Options
    {
        QString defaultBase;  // the compiled-in API base address
        QStringList programs; // where to look for the service, first found wins
        int probeTimeoutMs = 1500;
        int startTimeoutMs = 5000;
    };

    // The compiled-in address, and the service beside this executable, then in the install prefix.
    static Options defaultOptions();

    explicit LocalService(QObject* parent = nullptr);
    explicit LocalService(Options options, QObject* parent = nullptr);
    ~LocalService() override;

    Outcome startIfNeeded();
    void stop();
    bool isRunning() const;
    // The service program this object started; empty when none.
    QString program() const { return m_program; }

private:
    bool answers(const QString& base) const;
    QString findProgram() const;
    bool waitForListening();

    Options m_options;
    QProcess* m_process = nullptr;
    QString m_program;
};

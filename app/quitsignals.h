#pragma once

#include <QObject>

// SIGTERM, SIGINT and SIGHUP end the program through the event loop, so that the main window
// and its temporary files go properly. The handler only notes the signal and wakes the loop;
// start-up, which runs before the main loop and in dialogs' loops, asks received() at its
// steps, since a quit in a dialog's loop would otherwise only close that dialog.
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers; one object per process.
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    static bool received();
    // What the process ends with when a signal ends its start-up: 128 plus the signal.
    static int exitCode();

signals:
    // On the GUI thread, once per signal.
    void quitRequested();
};

#pragma once
// Turns the process signals the station reacts to into Qt signals on the GUI thread.
//
// A signal handler may do almost nothing safely, so the handler only writes the signal
// number into a pipe (the self-pipe trick); a QSocketNotifier on the GUI thread reads
// the pipe and emits:
//   SIGTERM, SIGINT -> terminateRequested: close the station as the main window's
//                      close does (settings written, a recording completed)
//   SIGUSR1         -> cameraPullRequested: the simulated camera is pulled out
//   SIGUSR2         -> cameraPlugRequested: the simulated camera is plugged back in
//
// InstallHandlers() may run before the QCoreApplication exists, so that a signal that
// arrives during start-up waits in the pipe instead of killing the process; it is
// delivered once a SignalBridge exists and the event loop runs. The handlers stay
// installed for the rest of the process: a SIGTERM that arrives while the settings are
// being saved at exit is absorbed rather than cutting the save short.
//
// Threads: one SignalBridge at a time, created and used on the GUI thread.

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace kestovar {

class SignalBridge : public QObject {
    Q_OBJECT
public:
    // Installs the handlers for the four signals (once; later calls do nothing).
    // False when the pipe cannot be made; the signals then keep their default action.
    static bool InstallHandlers();

    // Installs the handlers if needed and starts reading the pipe.
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;

signals:
    void terminateRequested(int signalNumber);
    void cameraPullRequested();
    void cameraPlugRequested();

private:
    void ReadPipe();

    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace kestovar

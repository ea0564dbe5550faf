#pragma once
// The application object: the one home of AppState, the start-up and shutdown
// sequence, and (CKestovarAppMedia.cpp) the media control operations that alone
// create, run and destroy the graphs and move `mode`.
//
// Life of the process (main.cpp):
//   signal handlers -> options -> instance lock (a second copy ends here, silently,
//   before anything is loaded) -> QApplication -> CKestovarApp (settings loaded)
//   -> Run: InitInstance, the main window's event loop, ExitInstance
//   -> ~CKestovarApp (settings saved).
// Closing the main window, SIGTERM and SIGINT all end in the main window's close
// handler, which runs CloseAll before the loop ends.
//
// Threads: GUI thread only. Every window reaches AppState through Instance().

#include "app/AppMode.h"
#include "app/AppOptions.h"
#include "platform/SignalBridge.h"
#include "recording/CAppSettings.h"

#include <QObject>
#include <QString>

#include <memory>

class QWidget;

namespace kestovar {

class CDlgMain;

// Name of the single-instance lock (its file is named after it).
inline constexpr char kInstanceName[] = "Global\\{05CA3573-B449-4e0b-83F5-111111}";

class CKestovarApp : public QObject {
    Q_OBJECT
public:
    // Loads the settings; the storage root defaults to the program's folder (or
    // ~/Kestovar). Needs the QApplication. Exactly one may exist.
    explicit CKestovarApp(const AppOptions& options);
    // The same with the default storage root given (tests).
    CKestovarApp(const AppOptions& options, const QString& defaultStorageRoot);
    ~CKestovarApp() override;
    CKestovarApp(const CKestovarApp&) = delete;
    CKestovarApp& operator=(const CKestovarApp&) = delete;

    static CKestovarApp* Instance();

    // InitInstance, then the event loop until the main window has closed, then
    // ExitInstance. Returns the process exit status.
    int Run();
    // Start-up: builds and shows the main window. False ends the start-up early
    // (ExitInstance still runs).
    bool InitInstance();
    // Shutdown: stops whatever still runs and tears down what start-up built.
    int ExitInstance();

    const AppOptions& options() const { return options_; }
    // SIGUSR1 / SIGUSR2 pull and plug the simulated camera: connect to its signals.
    SignalBridge& signalBridge() { return signalBridge_; }

    // Media control operations (CKestovarAppMedia.cpp).
    // Stops and destroys every graph (a recording is completed) and sets Idle.
    void CloseAll();

public slots:
    // Ends the station as the main window's close does: open dialogs are closed,
    // then the main window, whose close handler runs CloseAll. For SIGTERM and SIGINT.
    void RequestClose();

public:
    // ---- AppState (GUI thread) ----
    CAppSettings settings; // saved in full when the application object goes away
    // The splash window, shown during start-up and hidden by the main window.
    // (Arrives with the dialogs; null until then.)
    std::unique_ptr<QWidget> splash;
    std::unique_ptr<CDlgMain> mainDialog; // exists while the main window runs
    QWidget* videoWindow = nullptr; // every graph draws here; set by the main window
    QWidget* transportBarWindow = nullptr; // the player's transport bar; set with videoWindow
    AppMode mode = AppMode::Idle;
    // The graphs, at most one at a time, owned here and changed only by the media
    // control operations: std::unique_ptr<PreviewGraph> previewGraph,
    // std::unique_ptr<PlayerGraph> playerGraph, std::unique_ptr<RecordGraph>
    // recordGraph. They are added with the capture and playback engines.
    QString currentMediaPath; // the movie or picture on show; empty when none

private:
    void ShowDamagedSettingsNotice();

    AppOptions options_;
    SignalBridge signalBridge_;
};

} // namespace kestovar

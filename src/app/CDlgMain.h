#pragma once
// The main window. For now a plain dark window titled "Kestovar"; the menu bar, the
// embedded frame with the control panel and the media list, hot keys and hot-plug
// handling come with the station's main window work.
//
// Its close handler is the station's one close path: the window manager's close,
// Alt+F4, the Close caption button and (through CKestovarApp::RequestClose) SIGTERM
// and SIGINT all arrive here. It runs CKestovarApp::CloseAll, so a recording is
// completed, and then emits closed(), which ends the application's event loop.

#include <QMainWindow>

namespace kestovar {

class CKestovarApp;

class CDlgMain : public QMainWindow {
    Q_OBJECT
public:
    explicit CDlgMain(CKestovarApp& app, QWidget* parent = nullptr);

signals:
    // The close was accepted; nothing runs any more.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CKestovarApp& app_;
};

} // namespace kestovar

#pragma once
// The frame under the main window's menu bar: the control panel on the left, the
// case information form and media list on the right (always 300 pixels wide), the
// status bar along the bottom. It carries out the commands of the menus, caption
// buttons and hot keys (recording and still pictures in CMainFrameRecord.cpp,
// settings in CMainFrameConfig.cpp), full screen, and the choices of the resolution
// and rotation pop-ups and of the camera model.
//
// GUI thread only.

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace kestovar {

class AudioBackend;
class CCustomStatusBar;
class CKestovarFormView;
class CKestovarLeftFormView;
class FrameLibraryHost;
class FrameSettingsHost;
class PacsStation;
struct WorklistEntry;
class StationMedia;

// WM_REQUEST_FULLSCREEN: any window may post a plain QEvent of this type to the frame.
inline constexpr int kRequestFullScreenEvent = 0x0420;

class CMainFrame : public QWidget {
    Q_OBJECT
public:
    CMainFrame(StationMedia& media, std::shared_ptr<AudioBackend> audio, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CKestovarLeftFormView* ControlPanel() const { return panel_; }
    // The case information form and media list (the right pane).
    CKestovarFormView* CaseForm() const { return form_; }
    CCustomStatusBar* StatusBar() const { return status_; }

    // A command of the command table; false when the frame has no handler for it.
    bool RunCommand(int command);

    // Full screen (command 32780, F9, the caption button, WM_REQUEST_FULLSCREEN):
    // the video window covers the primary screen until Escape.
    void EnterFullScreen();
    void LeaveFullScreen();
    bool IsFullScreen() const { return fullScreen_; }

    // WM_APPLY_CHOICE. Each sets the choice and goes live; false when not recognised.
    // From the resolution pop-up: its items from the top are 480P, 720P, 1080P.
    bool ApplyResolutionItem(int item);
    // From the rotation pop-up: the item's position 0..7 is the rotation.
    bool ApplyRotationItem(int item);
    // From the main window: the camera model's default resolution.
    bool ApplyModelDefault(bool fullHd);

    // The pop-ups above the Resolution and Rotation buttons (a new one each press).
    void OpenResolutionPopup();
    void OpenRotationPopup();
    FrameSettingsHost& SettingsHost() const { return *settingsHost_; }

    // The commands (one implementation each).
    void OnRecordStart();
    void OnRecordStop();
    void OnRecordPause();
    void OnSnapShot();
    void OnRecordDevice();
    void OnVideoQuality();
    void OnStoragePath();
    // Config > PACS: the PACS settings dialog.
    void OnPacs();
    // The form's Worklist button: today's procedures; the chosen one fills the form.
    void OnWorklist();
    // Fills the form from a worklist entry and keeps the procedure for the captures.
    void ApplyWorklistEntry(const WorklistEntry& entry);

    // The PACS queue and its state for the windows.
    PacsStation& Pacs() const { return *pacs_; }

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Status bar count, badges and the failure notice follow the PACS queue.
    void AttachPacs();

    StationMedia& media_;
    std::unique_ptr<PacsStation> pacs_; // before the form, which shows its badges
    std::unique_ptr<FrameLibraryHost> libraryHost_; // outlives the form
    std::unique_ptr<FrameSettingsHost> settingsHost_; // outlives the dialogs
    QPointer<QWidget> resolutionPopup_;
    QPointer<QWidget> rotationPopup_;
    QPointer<class CDlgOk> failureNotice_;
    CKestovarLeftFormView* panel_;
    CKestovarFormView* form_;
    CCustomStatusBar* status_;
    bool fullScreen_ = false;
};

} // namespace kestovar

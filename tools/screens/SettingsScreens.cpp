// Screens of the settings dialogs and the resolution and rotation pop-ups, with a
// simulated camera standing for the open graph's camera.
#include "ScreenRegistry.h"

#include "dialogs/CDlgDevice.h"
#include "dialogs/CDlgMenuResolution.h"
#include "dialogs/CDlgMenuRotation.h"
#include "dialogs/CDlgVideoSetting.h"
#include "dialogs/SettingsDialogHost.h"
#include "platform/SimulatedCamera.h"
#include "recording/CAppSettings.h"
#include "ui/CBitComboBox.h"
#include "ui/CFontStatic2.h"
#include "ui/CGdipButton.h"
#include "ui/CMySliderControl.h"
#include "ui/SkinPalette.h"

#include <QPainter>
#include <QTemporaryDir>

#include <linux/videodev2.h>

#include <memory>

using namespace kestovar;
using namespace kestovar::screens;

namespace {

// A station with its settings in a temporary folder and a simulated camera open.
class ScreenHost : public SettingsDialogHost {
public:
    explicit ScreenHost(std::optional<SimulatedModel> model)
        : settings_(Prepare(dir_))
    {
        if (model) {
            device_ = std::make_shared<SimulatedCameraDevice>(*model);
            camera_ = std::make_unique<SimulatedCamera>(device_);
        }
    }
    CAppSettings& settings() override { return settings_; }
    std::optional<SourceKind> openCameraKind() override
    {
        if (!camera_)
            return std::nullopt;
        return device_->IsEncoded() ? SourceKind::Encoded : SourceKind::Mjpeg;
    }
    CameraImageControls cameraControls() override { return CameraImageControls(camera_.get()); }
    bool isLive() override { return true; }
    void rebuildPreview() override { }
    std::vector<std::string> audioInputNames() override
    {
        return { "Built-in Audio Analog Stereo", "USB Audio ADC Ver1.0" };
    }
    std::vector<std::string> videoDeviceNames() override
    {
        return { device_ ? device_->FriendlyName() : std::string("Kestovar Full HD Camera") };
    }
    QObject* choiceTarget() override { return nullptr; }
    SimulatedCameraDevice* device() const { return device_.get(); }

private:
    static QString Prepare(const QTemporaryDir& dir)
    {
        qputenv("KESTOVAR_REGISTRY_DIR", dir.filePath("registry").toLocal8Bit());
        return dir.filePath("root");
    }

    QTemporaryDir dir_;
    CAppSettings settings_;
    std::shared_ptr<SimulatedCameraDevice> device_;
    std::unique_ptr<SimulatedCamera> camera_;
};

ScreenHost& FullHdHost()
{
    static ScreenHost host(SimulatedModel::FullHd);
    return host;
}

ScreenHost& ProHost()
{
    static ScreenHost host(SimulatedModel::Pro);
    return host;
}

// A stand-in for the bottom of the control panel: its Resolution and Rotation buttons
// under a strip of video area, so the pop-ups have room above them.
class PanelStrip : public QWidget {
public:
    PanelStrip()
    {
        setFixedSize(420, 330);
        resolution = new CGdipButton("panel_resolution", "", this);
        resolution->move(60, 270);
        rotation = new CGdipButton("panel_rotation", "", this);
        rotation->move(240, 270);
    }
    CGdipButton* resolution;
    CGdipButton* rotation;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), skin::Colour(skin::kBackground));
        p.fillRect(QRect(10, 10, width() - 20, 245), Qt::black);
    }
};

} // namespace

KESTOVAR_SCREEN(dlg_device, [] {
    ScreenHost& host = FullHdHost();
    host.settings().bitrate = QualityHigh;
    host.settings().framerate = Fps30;
    return new CDlgDevice(host);
});
KESTOVAR_SCREEN(dlg_device_mjpeg, [] { return new CDlgDevice(ProHost()); });
KESTOVAR_SCREEN_STAGED(
    dlg_device_bitrate_open, [] { return new CDlgDevice(FullHdHost()); },
    [](QWidget* w) { static_cast<CDlgDevice*>(w)->ListBox(CDlgDevice::BitRate)->showPopup(); });
KESTOVAR_SCREEN(dlg_video_setting, [] { return new CDlgVideoSetting(FullHdHost()); });
KESTOVAR_SCREEN_STAGED(
    dlg_video_setting_edited, [] { return new CDlgVideoSetting(FullHdHost()); },
    [](QWidget* w) {
        auto* d = static_cast<CDlgVideoSetting*>(w);
        d->AutoButton(CameraWhiteBalance)->click(); // manual
        d->AutoButton(CameraExposure)->click(); // automatic
        d->Slider(CameraBrightness)->setValue(40);
        d->Slider(CameraSaturation)->setValue(110);
    });
KESTOVAR_SCREEN(dlg_video_setting_no_power_line, [] {
    FullHdHost().device()->SetControl(V4L2_CID_POWER_LINE_FREQUENCY, 0);
    auto* d = new CDlgVideoSetting(FullHdHost());
    FullHdHost().device()->SetControl(V4L2_CID_POWER_LINE_FREQUENCY, 1);
    return d;
});
KESTOVAR_SCREEN_STAGED(
    popup_resolution, [] { return new PanelStrip; },
    [](QWidget* w) {
        auto* panel = static_cast<PanelStrip*>(w);
        FullHdHost().settings().resolution = Res720;
        CDlgMenuResolution::Open(FullHdHost(), panel->resolution, panel);
    });
KESTOVAR_SCREEN_STAGED(
    popup_resolution_mjpeg, [] { return new PanelStrip; },
    [](QWidget* w) {
        auto* panel = static_cast<PanelStrip*>(w);
        auto* popup = CDlgMenuResolution::Open(ProHost(), panel->resolution, panel);
        Hover(popup->Item(1));
    });
KESTOVAR_SCREEN_STAGED(
    popup_rotation, [] { return new PanelStrip; },
    [](QWidget* w) {
        auto* panel = static_cast<PanelStrip*>(w);
        FullHdHost().settings().rotation = 6;
        auto* popup = CDlgMenuRotation::Open(FullHdHost(), panel->rotation, panel);
        Hover(popup->Item(2));
    });

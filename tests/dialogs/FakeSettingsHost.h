#pragma once
// A station for the settings dialogs' tests: its own settings hive in a temporary
// folder, an optional simulated camera standing for the open graph's camera, a
// live flag, a count of preview rebuilds, the sound inputs, and a choice target
// that keeps the ApplyChoiceEvents it receives.

#include "TestSupport.h"
#include "dialogs/ApplyChoiceEvent.h"
#include "dialogs/SettingsDialogHost.h"
#include "platform/SimulatedCamera.h"
#include "platform/SimulatedCameraDevice.h"
#include "recording/CAppSettings.h"

#include <QObject>

#include <memory>
#include <optional>
#include <vector>

namespace kestovar::test {

// Records the pop-ups' choices as the frame would receive them.
class ChoiceTarget : public QObject {
public:
    struct Choice {
        ChoiceKind kind;
        int item;
        int32_t choice;
    };
    std::vector<Choice> choices;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != kApplyChoiceEventType)
            return QObject::event(e);
        const auto* c = static_cast<ApplyChoiceEvent*>(e);
        choices.push_back({ c->kind(), c->item(), c->choice() });
        return true;
    }
};

// Points the settings store at a temporary folder for as long as it lives.
class RegistryScope {
public:
    explicit RegistryScope(const TempDir& dir)
    {
        qputenv("KESTOVAR_REGISTRY_DIR", (dir.str() + "/registry").c_str());
    }
    ~RegistryScope() { qunsetenv("KESTOVAR_REGISTRY_DIR"); }
};

class FakeSettingsHost : public SettingsDialogHost {
public:
    // With a model, a simulated camera of that model is open; without, no graph runs.
    explicit FakeSettingsHost(std::optional<SimulatedModel> model = SimulatedModel::FullHd)
        : record(QString::fromStdString(dir.str() + "/root"))
    {
        if (model) {
            device = std::make_shared<SimulatedCameraDevice>(*model);
            camera = std::make_unique<SimulatedCamera>(device);
        }
    }

    // What the settings store holds now (read by a second settings record).
    int32_t StoredInt(const char* which)
    {
        CAppSettings fresh(QString::fromStdString(dir.str() + "/root"));
        const std::string name(which);
        if (name == "bitrate")
            return fresh.bitrate;
        if (name == "framerate")
            return fresh.framerate;
        for (int i = 0; i < CameraPropertyCount; ++i) {
            if (name == CAppSettings::kCameraValueNames[size_t(i)])
                return fresh.cameraValue[size_t(i)];
            if (name == CAppSettings::kCameraFlagNames[size_t(i)])
                return fresh.cameraFlag[size_t(i)];
        }
        return -12345;
    }
    int32_t CameraControl(uint32_t id) const
    {
        int32_t v = -12345;
        device->GetControl(id, v);
        return v;
    }
    // Stores camera values and flags as an earlier Apply would have.
    void StoreCamera(int property, int32_t value, int32_t flag)
    {
        record.cameraValue[size_t(property)] = value;
        record.cameraFlag[size_t(property)] = flag;
        record.SaveCameraSettings();
    }

    CAppSettings& settings() override { return record; }
    std::optional<SourceKind> openCameraKind() override
    {
        if (!camera)
            return std::nullopt;
        return device->IsEncoded() ? SourceKind::Encoded : SourceKind::Mjpeg;
    }
    CameraImageControls cameraControls() override { return CameraImageControls(camera.get()); }
    bool isLive() override { return live; }
    void rebuildPreview() override { ++rebuilds; }
    std::vector<std::string> audioInputNames() override { return audioInputs; }
    QObject* choiceTarget() override { return &target; }

    TempDir dir;
    RegistryScope registry { dir };
    CAppSettings record;
    std::shared_ptr<SimulatedCameraDevice> device;
    std::unique_ptr<SimulatedCamera> camera;
    bool live = true;
    int rebuilds = 0;
    std::vector<std::string> audioInputs { "Built-in Audio Analog Stereo", "USB Audio ADC Ver1.0" };
    ChoiceTarget target;
};

} // namespace kestovar::test

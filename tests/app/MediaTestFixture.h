#pragma once
// The application object with a simulated camera and microphone, an in-memory video
// window and a plain notification target, for the media control operation tests.
// Every camera the graphs open is counted, so a test can see that none is left open.

#include "app/CKestovarApp.h"
#include "platform/SimulatedCamera.h"
#include "platform/SimulatedCameraProvider.h"

#include "../capture/CaptureTestSupport.h"
#include "../capture/MediaFixtures.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace kestovar::test {

// A camera that hands every call to the camera it wraps; test cameras override only
// what they watch or change.
class ForwardingCamera : public CameraBackend {
public:
    explicit ForwardingCamera(std::unique_ptr<CameraBackend> inner)
        : inner_(std::move(inner))
    {
    }
    std::vector<CameraFormatInfo> Formats() override { return inner_->Formats(); }
    bool GetFormat(CameraCurrentFormat& out) override { return inner_->GetFormat(out); }
    bool SetFormat(uint32_t f, uint32_t w, uint32_t h) override { return inner_->SetFormat(f, w, h); }
    bool SetFrameInterval(FrameInterval i) override { return inner_->SetFrameInterval(i); }
    bool StartStreaming() override { return inner_->StartStreaming(); }
    CameraReadStatus ReadPacket(CameraPacket& out, int ms) override { return inner_->ReadPacket(out, ms); }
    void StopStreaming() override { inner_->StopStreaming(); }
    int ExtensionUnitQuery(uint8_t u, uint8_t s, uint8_t q, uint8_t* d, uint16_t n) override
    {
        return inner_->ExtensionUnitQuery(u, s, q, d, n);
    }
    int EncoderUnit() override { return inner_->EncoderUnit(); }
    bool QueryControl(uint32_t id, CameraControlInfo& out) override { return inner_->QueryControl(id, out); }
    bool GetControl(uint32_t id, int32_t& v) override { return inner_->GetControl(id, v); }
    bool SetControl(uint32_t id, int32_t v) override { return inner_->SetControl(id, v); }
    std::string LastError() const override { return inner_->LastError(); }

protected:
    std::unique_ptr<CameraBackend> inner_;
};

// The selected simulated camera, each camera it opens wrapped by `wrap`.
class WrappingProvider final : public CameraProvider {
public:
    using Wrap = std::function<std::unique_ptr<CameraBackend>(std::unique_ptr<CameraBackend>)>;
    WrappingProvider(std::shared_ptr<SimulatedCameraProvider> inner, Wrap wrap)
        : inner_(std::move(inner))
        , wrap_(std::move(wrap))
    {
    }
    std::vector<VideoDeviceInfo> ListVideoDevices() override { return inner_->ListVideoDevices(); }
    std::unique_ptr<CameraBackend> Open(const VideoDeviceInfo& d) override
    {
        auto camera = inner_->Open(d);
        return camera ? wrap_(std::move(camera)) : nullptr;
    }
    std::vector<std::string> UsbInstanceIds(bool presentOnly) override
    {
        return inner_->UsbInstanceIds(presentOnly);
    }

private:
    std::shared_ptr<SimulatedCameraProvider> inner_;
    Wrap wrap_;
};

// A simulated camera that counts its open handles and can refuse to stream.
class CountedCamera final : public ForwardingCamera {
public:
    static inline std::atomic<int> open { 0 };
    static inline std::atomic<bool> refuseStreaming { false };

    explicit CountedCamera(std::unique_ptr<CameraBackend> inner)
        : ForwardingCamera(std::move(inner))
    {
        ++open;
    }
    ~CountedCamera() override { --open; }
    bool StartStreaming() override { return !refuseStreaming && inner_->StartStreaming(); }
};

// The transport bar's stand-in: counts the player's graph events.
class GraphEventCounter final : public QObject {
public:
    int events = 0;
    bool event(QEvent* e) override
    {
        if (e->type() == PlayerGraphEvent::kGraphEventType) {
            ++events;
            return true;
        }
        return QObject::event(e);
    }
};

// Runs the event loop until `done` holds; false at the deadline (against hanging,
// not a speed check).
inline bool WaitUntil(
    const std::function<bool()>& done, std::chrono::seconds deadline = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class MediaTest : public ::testing::Test {
public:
    // The Pro model (MJPG 640x480) costs least; `model` picks another.
    void StartApp(const char* model = "pro")
    {
        qputenv("KESTOVAR_REGISTRY_DIR", (dir_.str() + "/registry").c_str());
        std::filesystem::create_directories(dir_ / "storage");
        app_ = std::make_unique<CKestovarApp>(AppOptions { model }, Q(dir_ / "storage"));
        simulated_ = ActiveSimulatedCamera();
        ASSERT_NE(simulated_, nullptr) << "the option did not select a simulated camera";
        // Wrapped after the application object hooked the camera's plug events.
        SetCameraProvider(std::make_shared<WrappingProvider>(simulated_,
            [](std::unique_ptr<CameraBackend> c) { return std::make_unique<CountedCamera>(std::move(c)); }));
        app_->SetErrorReporter([this](const QString& m) { errors_ << m; });
        app_->videoWindow = &sink_;
        app_->transportBarWindow = &transport_;
        app_->settings.resolution = Res480; // the cheapest picture of every model
    }
    void SetUp() override
    {
        CountedCamera::open = 0;
        CountedCamera::refuseStreaming = false;
        StartApp();
    }
    void TearDown() override
    {
        app_.reset();
        SetCameraProvider(nullptr);
        qunsetenv("KESTOVAR_REGISTRY_DIR");
        EXPECT_EQ(CountedCamera::open, 0) << "a camera was left open";
    }

    static QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }
    QString Path(const std::string& name) const { return Q(dir_ / name); }

    // A finished recording of `width` x `height` (cached per size in this test's folder).
    QString Movie(int width = 640, int height = 480)
    {
        const QString path = Path("movie_" + std::to_string(width) + ".avi");
        if (!std::filesystem::exists(path.toStdString())) {
            EXPECT_TRUE(MakeRecordedAvi(path.toStdString(), width, height, 30, 1.0, true));
        }
        return path;
    }
    QString Picture(int width = 1280, int height = 720, const std::string& name = "still.jpg")
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(200, 40, 40));
        const QString path = Path(name);
        EXPECT_TRUE(image.save(path, "JPG"));
        return path;
    }

    // Waits (a deadline against hanging, not a speed check) for `n` more pictures.
    bool WaitForPictures(int n = 2) { return sink_.WaitForCount(sink_.Count() + n); }

    // The graphs that exist agree with the mode, and no two exist at once.
    void ExpectStateConsistent() const
    {
        const bool preview = app_->previewGraph != nullptr;
        const bool record = app_->recordGraph != nullptr;
        const bool player = app_->playerGraph != nullptr;
        EXPECT_LE(int(preview) + int(record) + int(player), 1);
        switch (app_->mode) {
        case AppMode::Live:
            EXPECT_TRUE(preview);
            break;
        case AppMode::Recording:
            EXPECT_TRUE(record);
            break;
        case AppMode::Playing:
        case AppMode::PlaybackPaused:
            EXPECT_TRUE(player);
            EXPECT_FALSE(app_->currentMediaPath.isEmpty());
            break;
        case AppMode::Idle:
        case AppMode::StillShown:
            EXPECT_FALSE(preview || record || player) << "a graph outlived its mode";
            break;
        }
        if (app_->mode == AppMode::Idle) {
            EXPECT_TRUE(app_->currentMediaPath.isEmpty());
        }
    }

    TempDir dir_;
    MemoryVideoSink sink_ { QSize(320, 240) };
    GraphEventCounter transport_;
    QStringList errors_;
    std::shared_ptr<SimulatedCameraProvider> simulated_;
    std::unique_ptr<CKestovarApp> app_;
};

} // namespace kestovar::test

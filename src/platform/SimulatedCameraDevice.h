#pragma once
// The hardware side of a simulated camera: which model it is, whether it is plugged
// in, its image controls and its encoder's extension unit. Every SimulatedCamera
// opened on it shares this state, as every handle of a real camera shares the
// device. All members are thread-safe (one mutex; Pull/Plug use an atomic).

#include "platform/CameraBackend.h"
#include "platform/SimulatedPicture.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestovar {

enum class SimulatedModel { FullHd, FullHd2, Pro };

// One extension-unit command as the simulated encoder received it: the header's
// command code for a control selector, then the 11 value bytes (or the reply sent
// back, for a query).
struct ExtensionUnitCommand {
    uint8_t selector = 0;
    uint8_t code = 0;
    std::array<uint8_t, 11> value {};
    bool query = false;
};

class SimulatedCameraDevice {
public:
    explicit SimulatedCameraDevice(SimulatedModel model);

    // "fullhd", "fullhd2", "pro"; nothing for any other name.
    static std::optional<SimulatedModel> ModelFromName(std::string_view name);

    SimulatedModel Model() const { return model_; }
    bool IsEncoded() const { return model_ != SimulatedModel::Pro; }
    std::string FriendlyName() const;
    std::string VendorId() const; // "05A3"
    std::string ProductId() const; // "9422"
    std::string Serial() const { return "KSTSIM0001"; }
    std::string Node() const { return "/dev/video0"; }
    std::string DevicePath() const;
    std::string InstanceId() const;
    std::vector<CameraFormatInfo> Formats() const;
    CameraCurrentFormat DefaultFormat() const;

    bool Plugged() const { return plugged_.load(); }
    void SetPlugged(bool plugged) { plugged_.store(plugged); }

    // The extension unit (unit 2, selectors 2, 4 and 7, 11 bytes, header then value);
    // the Pro model has none and answers ENOENT.
    int ExtensionUnitQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size);
    std::vector<ExtensionUnitCommand> CommandLog() const;
    void ClearCommandLog();
    // The bit rate the encoder was last given, kbit/s (6000 until then).
    double BitrateKbps() const;
    bool StreamPrepared() const;

    bool QueryControl(uint32_t id, CameraControlInfo& out) const;
    bool GetControl(uint32_t id, int32_t& value) const;
    // ERANGE outside the range, EINVAL for an unknown control (errno set, false).
    bool SetControl(uint32_t id, int32_t value);
    PictureAdjust Adjust() const;

private:
    struct Control {
        CameraControlInfo info;
        int32_t value = 0;
        uint32_t autoPartner = 0; // the auto control that makes this one inactive
        int32_t manualWhen = 0; // the partner's value that means manual
    };
    void ApplyCommand(const ExtensionUnitCommand& c);
    std::array<uint8_t, 11> StatusReply() const;

    const SimulatedModel model_;
    std::atomic<bool> plugged_ { true };

    mutable std::mutex mutex_;
    std::map<uint32_t, Control> controls_;
    std::map<uint8_t, uint8_t> pendingHeader_; // selector -> command code awaiting its value
    std::vector<ExtensionUnitCommand> log_;
    double bitrateKbps_ = 6000.0;
    bool prepareFirst_ = false;
    bool prepared_ = false;
    std::array<uint8_t, 11> clock_ {};
};

} // namespace kestovar

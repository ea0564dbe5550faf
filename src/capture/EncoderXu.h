#pragma once
// The camera encoder's vendor extension unit: the unit the camera's descriptors name
// (CameraBackend::EncoderUnit), control selectors 2, 4 and 7, 11-byte data. A command
// is a header write {0x9A, code, 0 x 9} followed by the value write (or, for a query,
// by a read of the reply). Each command first asks the control's length (UVC_GET_LEN)
// and refuses a control that is not 11 bytes long.
// Called on the GUI thread while the camera's stream is stopped.

#include <array>
#include <cerrno>
#include <cstdint>
#include <ctime>

namespace kestovar {

class CameraBackend;

inline constexpr uint16_t kEncoderXuSize = 11;
using EncoderBytes = std::array<uint8_t, kEncoderXuSize>;

// What a command came to: true, or the errno of the step that failed. ENOENT: the
// camera has no encoder unit or no such control; EMSGSIZE: the control is not 11
// bytes long; EINVAL: a value the command cannot carry; ENODEV: the camera is gone;
// anything else the camera's own refusal (EIO, EPIPE).
struct EncoderResult {
    int error = 0;
    explicit operator bool() const { return error == 0; }
    bool CameraGone() const { return error == ENODEV; }
};

// Fails when the camera is null, has no such control, or refuses either write.
EncoderResult SendEncoderCommand(CameraBackend* camera, uint8_t control, uint8_t code, const EncoderBytes& value);
EncoderResult QueryEncoderCommand(CameraBackend* camera, uint8_t control, uint8_t code, EncoderBytes& reply);

// Control 7 code 0x03 (all zero), then control 2 code 0x04 {0x01}; stops at the first failure.
EncoderResult PrepareEncoderStream(CameraBackend* camera);
// Control 2 code 0x02: bits per second (kbit/s x 1000, truncated) as 24-bit big-endian.
// EINVAL for a rate that does not fit in 24 bits or is not positive.
EncoderResult SetEncoderBitrate(CameraBackend* camera, double kbps);
// Control 4 code 0x01: second, minute, hour, day, month, year high, year low.
EncoderResult SetEncoderClock(CameraBackend* camera); // the local time now
EncoderResult SetEncoderClock(CameraBackend* camera, const std::tm& localTime); // a given local time

// The value bytes of those commands (EncoderBitrateBytes: false, all zero, for a bad rate).
bool EncoderBitrateBytes(double kbps, EncoderBytes& out);
EncoderBytes EncoderClockBytes(const std::tm& localTime);

} // namespace kestovar

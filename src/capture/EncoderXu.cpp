#include "capture/EncoderXu.h"

#include "platform/CameraBackend.h"

#include <linux/usb/video.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace kestovar {
namespace {

constexpr uint8_t kHeaderMark = 0x9A;

EncoderResult Failed(int err, const char* step, uint8_t control, uint8_t code)
{
    std::fprintf(stderr, "capture: extension unit %s %u/0x%02x: %s\n", step, control, code, std::strerror(err));
    return EncoderResult { err };
}

// Asks the control's length and writes the command header. Every failure is a
// failure: a header the camera did not take must not be followed by its value.
EncoderResult WriteHeader(CameraBackend* camera, int unit, uint8_t control, uint8_t code)
{
    if (!camera)
        return EncoderResult { ENODEV };
    if (unit < 0)
        return EncoderResult { ENOENT }; // said once, when the unit was looked for
    uint8_t len[2] = { 0, 0 };
    int err = camera->ExtensionUnitQuery(uint8_t(unit), control, UVC_GET_LEN, len, sizeof len);
    if (err != 0)
        return Failed(err, "length of", control, code);
    if ((len[0] | (len[1] << 8)) != kEncoderXuSize) {
        std::fprintf(stderr, "capture: extension unit control %u is %u bytes long, not 11\n", control,
            unsigned(len[0] | (len[1] << 8)));
        return EncoderResult { EMSGSIZE };
    }
    EncoderBytes header {};
    header[0] = kHeaderMark;
    header[1] = code;
    err = camera->ExtensionUnitQuery(uint8_t(unit), control, UVC_SET_CUR, header.data(), kEncoderXuSize);
    if (err != 0)
        return Failed(err, "header", control, code);
    return {};
}

} // namespace

EncoderResult SendEncoderCommand(
    CameraBackend* camera, uint8_t control, uint8_t code, const EncoderBytes& value)
{
    const int unit = camera ? camera->EncoderUnit() : -1;
    if (EncoderResult header = WriteHeader(camera, unit, control, code); !header)
        return header;
    EncoderBytes data = value;
    const int err = camera->ExtensionUnitQuery(uint8_t(unit), control, UVC_SET_CUR, data.data(), kEncoderXuSize);
    if (err != 0)
        return Failed(err, "value", control, code);
    return {};
}

EncoderResult QueryEncoderCommand(CameraBackend* camera, uint8_t control, uint8_t code, EncoderBytes& reply)
{
    const int unit = camera ? camera->EncoderUnit() : -1;
    if (EncoderResult header = WriteHeader(camera, unit, control, code); !header)
        return header;
    EncoderBytes data {};
    const int err = camera->ExtensionUnitQuery(uint8_t(unit), control, UVC_GET_CUR, data.data(), kEncoderXuSize);
    if (err != 0)
        return Failed(err, "query", control, code);
    reply = data;
    return {};
}

EncoderResult PrepareEncoderStream(CameraBackend* camera)
{
    if (EncoderResult first = SendEncoderCommand(camera, 7, 0x03, EncoderBytes {}); !first)
        return first;
    EncoderBytes start {};
    start[0] = 0x01;
    return SendEncoderCommand(camera, 2, 0x04, start);
}

bool EncoderBitrateBytes(double kbps, EncoderBytes& out)
{
    out = {};
    const double bps = std::trunc(kbps * 1000.0);
    if (!(bps > 0.0) || bps > double(0xFFFFFF))
        return false;
    const auto v = static_cast<uint32_t>(bps);
    out[0] = uint8_t(v >> 16);
    out[1] = uint8_t((v >> 8) & 0xFF);
    out[2] = uint8_t(v & 0xFF);
    return true;
}

EncoderResult SetEncoderBitrate(CameraBackend* camera, double kbps)
{
    EncoderBytes value;
    if (!EncoderBitrateBytes(kbps, value)) {
        std::fprintf(stderr, "capture: bit rate %.2f kbit/s does not fit the encoder's 24 bits\n", kbps);
        return EncoderResult { EINVAL };
    }
    return SendEncoderCommand(camera, 2, 0x02, value);
}

EncoderBytes EncoderClockBytes(const std::tm& t)
{
    const int year = t.tm_year + 1900;
    EncoderBytes b {};
    b[0] = uint8_t(t.tm_sec);
    b[1] = uint8_t(t.tm_min);
    b[2] = uint8_t(t.tm_hour);
    b[3] = uint8_t(t.tm_mday);
    b[4] = uint8_t(t.tm_mon + 1);
    b[5] = uint8_t(year >> 8);
    b[6] = uint8_t(year & 0xFF);
    return b;
}

EncoderResult SetEncoderClock(CameraBackend* camera, const std::tm& localTime)
{
    return SendEncoderCommand(camera, 4, 0x01, EncoderClockBytes(localTime));
}

EncoderResult SetEncoderClock(CameraBackend* camera)
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return SetEncoderClock(camera, local);
}

} // namespace kestovar

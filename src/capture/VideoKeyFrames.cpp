#include "capture/VideoKeyFrames.h"

namespace kestovar {

bool H264HasKeyFrame(const uint8_t* data, size_t size)
{
    if (!data)
        return false;
    // Each NAL unit follows a 00 00 01 start code (the four-byte form ends the same).
    for (size_t i = 0; i + 3 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1)
            continue;
        const uint8_t type = data[i + 3] & 0x1F;
        if (type == 5 || type == 7)
            return true;
        i += 2;
    }
    return false;
}

} // namespace kestovar

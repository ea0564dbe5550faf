#include "platform/AudioBackend.h"

#include "platform/PulseAudioBackend.h"
#include "platform/SimulatedAudioBackend.h"

#include <chrono>

namespace kestovar {

int64_t MonotonicMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::shared_ptr<AudioBackend> CreateAudioBackend(bool simulatedDevices)
{
    auto server = std::make_shared<PulseAudioBackend>();
    if (!simulatedDevices)
        return server;
    return std::make_shared<SimulatedAudioBackend>(server->Available() ? server : nullptr);
}

} // namespace kestovar

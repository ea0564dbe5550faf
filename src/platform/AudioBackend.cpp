#include "platform/AudioBackend.h"

#include <chrono>

namespace kestovar {

int64_t MonotonicMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace kestovar

#include "capture/EncoderOutcome.h"

#include <cstdio>
#include <cstring>

namespace kestovar {

void EncoderOutcome::Note(const EncoderResult& result)
{
    if (result)
        return;
    if (result.CameraGone())
        cameraGone = true;
    else if (refusal == 0)
        refusal = result.error;
}

bool PrepareEncoderForStart(CameraBackend* camera, EncoderOutcome& outcome, bool courtesies)
{
    const EncoderResult prepared = PrepareEncoderStream(camera);
    outcome.Note(prepared);
    if (prepared.CameraGone())
        return false;
    if (!prepared) {
        std::fprintf(stderr, "capture: the encoder refused the stream preparation (%s); streaming at its own setting\n",
            std::strerror(prepared.error));
        return true; // a camera that refused this will not take the courtesies either
    }
    if (!courtesies)
        return true;
    // The clock and the status query serve the camera's firmware (its on-screen time).
    const EncoderResult clock = SetEncoderClock(camera);
    if (clock.CameraGone()) {
        outcome.cameraGone = true;
        return false;
    }
    if (!clock)
        std::fprintf(stderr, "capture: the camera did not take the clock\n");
    EncoderBytes status {};
    const EncoderResult query = QueryEncoderCommand(camera, 7, 0x02, status);
    if (query.CameraGone()) {
        outcome.cameraGone = true;
        return false;
    }
    return true;
}

} // namespace kestovar

#pragma once
// What a camera graph learned from the camera's encoder while it was set up and
// started. A camera that refuses the stream preparation or the bit rate still
// streams, at whatever quality it was left at: the graph notes the refusal and goes
// on, so the operator keeps a picture and the owner can say once that the setting
// was not taken. Only a camera that is gone (ENODEV) stops the start.
//
// GUI thread, like the graphs' setters and Start.

#include "capture/EncoderXu.h"

namespace kestovar {

struct EncoderOutcome {
    int refusal = 0; // errno of the first refused quality or stream command; 0 when all were taken
    bool cameraGone = false; // a command answered ENODEV

    // Keeps the first refusal; ENODEV marks the camera gone instead.
    void Note(const EncoderResult& result);
    void Reset() { *this = {}; }
};

// Before a stream of an Encoded camera: the stream preparation and, with `courtesies`,
// the clock and the status query (which the camera may ignore: logged, never noted).
// False only when the camera is gone.
bool PrepareEncoderForStart(CameraBackend* camera, EncoderOutcome& outcome, bool courtesies);

} // namespace kestovar

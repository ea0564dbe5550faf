#pragma once

#include <QSize>
// A live preview or a recording run through the real PreviewGraph / RecordGraph with
// a camera that replays packets encoded beforehand, paced at the camera's frame rate,
// so the simulated camera's own x264 encoder costs nothing while we measure.
//
// The replay camera stands in for a UVC camera: it answers formats, controls and the
// encoder's extension unit through the simulated Full HD camera, hands out each packet
// when it is due (its "arrival"), and, like a V4L2 queue of four buffers, drops the
// packets nobody took in time. The video sink paints each picture into a window-sized
// backing store on its own thread, as the video window's paint event does, and keeps
// only the newest picture.

#include "capture/CaptureTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestovar::bench {

using PacketList = std::vector<std::vector<uint8_t>>;

// The camera's 1080p30 stream as its encoder makes it at the "High" quality: libx264
// from the simulated camera's moving test picture (two seconds, looped). Empty when
// libx264 is missing.
std::shared_ptr<const PacketList> CameraStream1080();

enum class SessionKind { Preview, Recording };

struct SessionOptions {
    SessionKind kind = SessionKind::Preview;
    RotationMode rotation = 0;
    QSize window { 1280, 720 }; // the video window's picture
    double warmUpSeconds = 2;
    double seconds = 10;
    // Recording only: where the movie goes (removed afterwards) and the sound.
    std::string moviePath;
    bool preferPulseAudio = true;
    // Called every `sampleSeconds` while measuring, with the seconds since the start
    // of measuring (the memory benchmark samples the resident size here).
    double sampleSeconds = 0;
    std::function<void(double elapsed)> sample;
};

struct SessionResult {
    bool ok = false;
    std::string error;
    std::string microphone; // which sound the recording had
    double cpuFractionOfCore = 0; // process user+sys over wall time while measuring
    // The same, per thread: the busiest thread of the graph (the capture thread,
    // which decodes and converts) and every other thread of the graph (in a
    // recording the AVI writer's, the microphone's and the MP3 encoder's). The
    // benchmark's own threads (main, painter) are in neither.
    double captureThreadFraction = 0;
    double otherGraphThreadsFraction = 0;
    std::vector<double> latencyMs; // packet due -> picture handed to the sink
    uint64_t packetsDue = 0; // packets the camera produced while measuring
    uint64_t droppedAtCamera = 0; // not taken within four frame times
    uint64_t notShown = 0; // taken but no picture came to the sink
    uint64_t droppedAtWindow = 0; // replaced in the sink before the painter took them
    uint64_t painted = 0;
};

// Runs one session; the graphs come from the station's own capture library.
SessionResult RunSession(const SessionOptions& options, std::shared_ptr<const PacketList> stream);

} // namespace kestovar::bench

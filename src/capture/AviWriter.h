#pragma once
// Writes a recording into an AVI file: the camera's packets unchanged (H.264 Annex B
// or MJPG) as stream 0 and, with sound, the microphone encoded to MP3 (libmp3lame,
// 128 kbit/s stereo) as stream 1.
//
// Threads. Open, Pause, Resume and Close are called by the owner (the GUI thread).
// PushVideo is called by the capture thread and PushAudio by the microphone's thread;
// both copy the data into a bounded queue and return at once, so a slow disk never
// holds up the picture. A writer thread owned by this object encodes the sound and
// writes the file. When the queue is full, packets are dropped (and the picture
// resumes at the next key frame) rather than waiting. Any write failure (a full disk)
// stops the writing; the error handler is called once, on the writer thread.
//
// Nothing recorded is lost to a crash: twice a second the file is made whole up to
// what has been written (sizes and frame counts in its headers), so a station killed
// mid-recording leaves a movie that plays to within a second of the end and only
// lacks its index (AviRepair adds it at the next start). When the disk is about to
// fill, the recording fails while there is still room to complete the file; a disk
// filled by someone else ends it at once, and the file is completed as far as it got.
//
// Timing. Every timestamp is microseconds on the monotonic clock (MonotonicMicros).
// Video packets are numbered in the frame rate's time base (AVI keeps no packet
// times), the sound follows the timestamps so that a pause leaves no gap in either
// stream; after a pause the picture resumes at a key frame. When the camera's real
// frame rate turns out to differ from the one given, the rate in the file's headers is
// corrected after the index is written, so picture and sound stay together.

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestovar {

enum class AviVideoCodec { H264, Mjpeg };

struct AviWriterSettings {
    std::string path;
    AviVideoCodec codec = AviVideoCodec::H264;
    int width = 0;
    int height = 0;
    int frameRateNum = 30; // frames per second = num / den
    int frameRateDen = 1;
    bool withAudio = true;
    size_t queueLimitBytes = 64u << 20;
    // Tests: writes that would grow the file past this size fail as on a full disk
    // (0: never).
    uint64_t failAfterBytes = 0;
};

// What a finished file holds.
struct AviWriterResult {
    int64_t videoFrames = 0;
    int64_t audioSamples = 0; // per channel, 48 kHz
    double recordedSeconds = 0; // time recorded, pauses left out
    double frameRate = 0; // the rate in the file's headers
    bool frameRateCorrected = false;
    uint64_t droppedPackets = 0;
};

class AviWriter {
public:
    using ErrorHandler = std::function<void(const std::string& message)>;

    explicit AviWriter(ErrorHandler onError = {});
    ~AviWriter(); // closes the file when still open
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Creates the file, writes its header and starts the writer thread. The recording
    // starts with the first key frame pushed. False with *error when the file cannot be
    // created or already exists (a file is never replaced).
    bool Open(const AviWriterSettings& settings, std::string* error);

    // Queues one camera packet captured at timestampUs (copied; never blocks).
    // cameraUs, when given, is the camera's own stamp of the packet: it only has to
    // run steadily within one stretch of recording, and when given the frame rate is
    // measured on it rather than on timestampUs (which may carry delivery jitter).
    void PushVideo(const uint8_t* data, size_t size, int64_t timestampUs, int64_t cameraUs = kNoCameraTime);
    static constexpr int64_t kNoCameraTime = INT64_MIN;
    // Queues microphone sound: interleaved float stereo at 48 kHz (copied; never blocks).
    // Ignored for a file without sound.
    void PushAudio(const float* interleaved, size_t frames, int64_t timestampUs);

    // Nothing captured from atUs on is written until Resume; the file's timeline
    // continues without a gap.
    void Pause(int64_t atUs);
    // Writing resumes with the first key frame captured at or after atUs.
    void Resume(int64_t atUs);

    // Writes what was captured before atUs, completes the file (index, headers) and
    // joins the writer thread. Safe to call twice. False with *error when anything
    // failed on the way (the file then holds what could be written).
    bool Close(int64_t atUs, std::string* error = nullptr);

    // Any thread.
    uint64_t FileBytes() const { return fileBytes_.load(); }
    // Free disk space the writer keeps to complete the file: the recording fails when
    // less than this is left, so this much of the free space is not recording time.
    uint64_t ReservedBytes() const { return reservedBytes_.load(); }
    bool Failed() const { return failed_.load(); }
    AviWriterResult Result() const; // complete after Close

private:
    struct Item {
        enum Kind { Video, Audio, Pause, Resume, Stop } kind;
        int64_t timestampUs = 0;
        int64_t cameraUs = kNoCameraTime; // Video
        std::vector<uint8_t> bytes; // Video
        std::vector<float> samples; // Audio, interleaved
        bool afterDrop = false; // Video: packets before this one were dropped
    };
    class Writer; // the writer thread's state: muxer, encoder, timing

    void Enqueue(Item&& item, size_t bytes, bool droppable);
    void Run();
    void Fail(const std::string& message);

    ErrorHandler onError_;
    std::string path_;
    std::unique_ptr<Writer> writer_; // used only by the writer thread once it runs

    std::mutex mutex_; // guards the queue and the fields below it
    std::condition_variable wake_;
    std::deque<Item> queue_;
    size_t queuedBytes_ = 0;
    size_t queueLimit_ = 0;
    bool videoDropped_ = false;
    bool open_ = false;
    std::thread thread_;

    std::atomic<uint64_t> fileBytes_ { 0 };
    std::atomic<uint64_t> reservedBytes_ { 0 };
    std::atomic<uint64_t> dropped_ { 0 };
    std::atomic<bool> failed_ { false };
    std::atomic<bool> withAudio_ { false };
    mutable std::mutex resultMutex_;
    AviWriterResult result_;
    std::string error_;
};

} // namespace kestovar

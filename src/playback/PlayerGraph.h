#pragma once
// Plays a movie file (the station's AVI recordings first, but any file FFmpeg reads)
// into the video sink, with its sound on the default speaker.
//
// Lifetime: create, SetVideoWindow, SetNotifyWindow, Open (paused on the first
// frame), Run / Pause / Stop / SetPositions as often as needed, Teardown, destroy. A
// player is never reused for another file. Teardown is safe to call twice and is what
// the destructor does.
//
// Threads: every method is for the thread that created the player (the GUI thread;
// it needs a Qt event loop for the graph events). One demux thread, started by Open
// and joined by Teardown before the decoders and the file are freed, reads, decodes,
// times and presents the frames and feeds the speaker. Times are in 100-ns units.
//
// Graph events: when the movie has played to its end, the player queues
// kEventComplete and posts a PlayerGraphEvent (type kGraphEventType, 0x040D) to the
// notification target; the target reads the queued events with GetEvent.

#include "capture/VideoSink.h"
#include "platform/AudioBackend.h"

#include <QEvent>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace kestovar {

class CCaptureBufferCallback;
class MovieEngine;

// The graph event the notification target receives.
class PlayerGraphEvent : public QEvent {
public:
    static constexpr QEvent::Type kGraphEventType = static_cast<QEvent::Type>(0x040D);
    PlayerGraphEvent()
        : QEvent(kGraphEventType)
    {
    }
};

class PlayerGraph {
public:
    enum class State { Stopped = 0, Paused = 1, Running = 2 };
    static constexpr long kEventComplete = 1; // EC_COMPLETE: played to the end

    // `audio` may be null: the movie then plays without sound.
    explicit PlayerGraph(std::shared_ptr<AudioBackend> audio);
    ~PlayerGraph();
    PlayerGraph(const PlayerGraph&) = delete;
    PlayerGraph& operator=(const PlayerGraph&) = delete;

    // Before Open. The sink must outlive the player; the target may go away at any time.
    void SetVideoWindow(VideoSink* sink) { sink_ = sink; }
    void SetNotifyWindow(QObject* target) { notifyTarget_ = target; }

    // Opens the file and shows its first frame, paused. False (and nothing running)
    // without a video window, for a file FFmpeg cannot read, one without a video
    // stream, or one whose first frame cannot be decoded; *error says which.
    bool Open(const std::string& path, std::string* error = nullptr);

    // The media control. Stop holds the picture where it is; after Stop only Pause or
    // Run (and SetPositions) make sense, as on the design's graph.
    bool Run();
    bool Pause();
    bool Stop();
    // False when the player has no open movie.
    bool GetState(State& state) const;

    // Seeking, 100-ns units from the movie's start.
    bool GetDuration(int64_t& duration) const;
    bool GetCurrentPosition(int64_t& position) const;
    // Shows the frame at `position` (clamped to the movie); keeps running or paused.
    bool SetPositions(int64_t position);

    // Takes the oldest queued graph event; false when none is queued.
    bool GetEvent(long& code);

    // Re-draws the shown frame at the sink's current size.
    bool UpdateVideoPosition();
    // Writes the shown frame, upright at the movie's size, as a JPEG file.
    bool TakeSnapshot(const std::string& path, std::string* error = nullptr);

    // The movie's picture size; 0x0 before Open.
    int VideoWidth() const { return videoWidth_; }
    int VideoHeight() const { return videoHeight_; }
    bool HasSound() const;

    void Teardown();

private:
    void PostEvent(long code); // any thread

    std::shared_ptr<AudioBackend> audio_;
    VideoSink* sink_ = nullptr;
    QPointer<QObject> notifyTarget_;
    QObject relay_; // lives on the owner's thread; carries events over from the demux thread
    std::unique_ptr<CCaptureBufferCallback> presenter_;
    std::unique_ptr<MovieEngine> engine_; // the file, the decoders and the demux thread
    int videoWidth_ = 0;
    int videoHeight_ = 0;

    std::mutex eventsMutex_;
    std::deque<long> events_;
};

} // namespace kestovar

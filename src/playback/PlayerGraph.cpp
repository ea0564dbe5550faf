#include "playback/PlayerGraph.h"

#include "capture/CCaptureBufferCallback.h"
#include "playback/MovieEngine.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace kestovar {

namespace {

// 100-ns units, the unit of the design's seeking interface.
constexpr int64_t kUnitsPerMicro = 10;

} // namespace

PlayerGraph::PlayerGraph(std::shared_ptr<AudioBackend> audio)
    : audio_(std::move(audio))
{
}

PlayerGraph::~PlayerGraph()
{
    Teardown();
}

bool PlayerGraph::Open(const std::string& path, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!sink_)
        return fail("no video window to play into");
    if (engine_)
        return fail("a player is never reused for another file");

    // The frame grabber's last half draws the decoded frames: convert to the window's
    // size and hand over, keeping the frame for still pictures.
    presenter_ = std::make_unique<CCaptureBufferCallback>();
    presenter_->SetVideoSink(sink_);
    CCaptureBufferCallback* presenter = presenter_.get();
    MovieEngine::Callbacks callbacks;
    callbacks.present = [presenter](const AVFrame* frame) { presenter->PresentDecodedFrame(frame); };
    callbacks.completed = [this] { PostEvent(kEventComplete); };

    auto engine = std::make_unique<MovieEngine>(audio_, std::move(callbacks));
    std::string why;
    if (!engine->Open(path, &why)) {
        engine.reset();
        presenter_.reset();
        return fail(why);
    }
    videoWidth_ = engine->Width();
    videoHeight_ = engine->Height();
    engine_ = std::move(engine);
    return true;
}

bool PlayerGraph::Run()
{
    if (!engine_)
        return false;
    engine_->Run();
    return true;
}

bool PlayerGraph::Pause()
{
    if (!engine_)
        return false;
    engine_->Pause();
    return true;
}

bool PlayerGraph::Stop()
{
    if (!engine_)
        return false;
    engine_->Stop();
    return true;
}

bool PlayerGraph::GetState(State& state) const
{
    if (!engine_)
        return false;
    switch (engine_->CurrentState()) {
    case MovieEngine::State::Stopped:
        state = State::Stopped;
        break;
    case MovieEngine::State::Paused:
        state = State::Paused;
        break;
    case MovieEngine::State::Running:
        state = State::Running;
        break;
    }
    return true;
}

bool PlayerGraph::GetDuration(int64_t& duration) const
{
    if (!engine_)
        return false;
    duration = engine_->DurationUs() * kUnitsPerMicro;
    return true;
}

bool PlayerGraph::GetCurrentPosition(int64_t& position) const
{
    if (!engine_)
        return false;
    position = engine_->PositionUs() * kUnitsPerMicro;
    return true;
}

bool PlayerGraph::SetPositions(int64_t position)
{
    if (!engine_)
        return false;
    engine_->Seek(position / kUnitsPerMicro);
    return true;
}

bool PlayerGraph::GetEvent(long& code)
{
    std::lock_guard lock(eventsMutex_);
    if (events_.empty())
        return false;
    code = events_.front();
    events_.pop_front();
    return true;
}

void PlayerGraph::PostEvent(long code)
{
    {
        std::lock_guard lock(eventsMutex_);
        events_.push_back(code);
    }
    // Hop to the owner's thread first: the target may only be looked at there, and a
    // call still queued when the player is destroyed is dropped with the relay.
    QMetaObject::invokeMethod(
        &relay_,
        [this] {
            if (notifyTarget_)
                QCoreApplication::postEvent(notifyTarget_, new PlayerGraphEvent());
        },
        Qt::QueuedConnection);
}

bool PlayerGraph::UpdateVideoPosition()
{
    if (!engine_)
        return false;
    engine_->Redraw();
    return true;
}

bool PlayerGraph::TakeSnapshot(const std::string& path, std::string* error)
{
    if (!presenter_) {
        if (error)
            *error = "no movie is open";
        return false;
    }
    return presenter_->SaveLastFrameAsJpeg(path, error);
}

bool PlayerGraph::HasSound() const
{
    return engine_ && engine_->HasSound();
}

void PlayerGraph::Teardown()
{
    // The demux thread ends before the presenter it draws with.
    engine_.reset();
    presenter_.reset();
    std::lock_guard lock(eventsMutex_);
    events_.clear();
}

} // namespace kestovar

#include "library/ThumbnailLoader.h"

#include "platform/ThreadPriority.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>

namespace kestovar {

ThumbnailKey KeyOf(const MediaEntry& entry, QSize pixelSize)
{
    return ThumbnailKey { entry.path, pixelSize, entry.modified, entry.size };
}

ThumbnailLoader::ThumbnailLoader(QObject* parent)
    : QObject(parent)
    , cancel_(std::make_shared<std::atomic<bool>>(false))
{
    SetThreadCount(std::clamp(QThread::idealThreadCount(), 1, 4));
}

ThumbnailLoader::~ThumbnailLoader()
{
    CancelAll();
    pool_.waitForDone();
}

void ThumbnailLoader::SetThreadCount(int threads)
{
    pool_.setMaxThreadCount(std::max(1, threads));
}

void ThumbnailLoader::Request(quint64 ticket, const MediaEntry& entry, QSize pixelSize)
{
    ++pending_;
    const quint64 round = round_;
    auto cancel = cancel_;
    const ThumbnailLimits limits = limits_;
    pool_.start([=, this] {
        // Thumbnails can wait; the live picture and a recording cannot.
        LowerThisThreadToBackground();
        if (cancel->load())
            return;
        ThumbnailResult made = entry.kind == MediaKind::Movie
            ? MakeMovieThumbnail(entry.path, pixelSize, limits, cancel.get())
            : MakePictureThumbnail(entry.path, pixelSize);
        if (cancel->load())
            return;
        Deliver(Finished { round, ticket, KeyOf(entry, pixelSize), std::move(made.image) });
    });
}

void ThumbnailLoader::Deliver(Finished finished)
{
    std::lock_guard lock(box_.mutex);
    box_.results.push_back(std::move(finished));
    if (box_.drainPosted)
        return;
    box_.drainPosted = true;
    // The loader waits for its workers before it goes, so it is alive here.
    QMetaObject::invokeMethod(this, &ThumbnailLoader::Drain, Qt::QueuedConnection);
}

void ThumbnailLoader::Drain()
{
    std::vector<Finished> results;
    {
        std::lock_guard lock(box_.mutex);
        results.swap(box_.results);
        box_.drainPosted = false;
    }
    for (Finished& f : results) {
        if (f.round != round_)
            continue; // asked for before the last CancelAll
        --pending_;
        emit ThumbnailReady(f.ticket, f.key, f.image);
    }
    if (pending_ == 0 && !results.empty())
        emit Idle();
}

void ThumbnailLoader::CancelAll()
{
    pool_.clear();
    cancel_->store(true);
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    ++round_;
    pending_ = 0;
}

bool ThumbnailLoader::WaitForIdle(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (pending_ > 0) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (pending_ > 0)
            QThread::msleep(1);
    }
    return true;
}

} // namespace kestovar

#include "library/ThumbnailLoader.h"

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

void ThumbnailLoader::SetThreadCount(int threads) { pool_.setMaxThreadCount(std::max(1, threads)); }

void ThumbnailLoader::Request(quint64 ticket, const MediaEntry& entry, QSize pixelSize)
{
    ++pending_;
    const quint64 round = round_;
    auto cancel = cancel_;
    const ThumbnailLimits limits = limits_;
    pool_.start([=, this] {
        if (cancel->load())
            return;
        const ThumbnailResult made = entry.kind == MediaKind::Movie
            ? MakeMovieThumbnail(entry.path, pixelSize, limits, cancel.get())
            : MakePictureThumbnail(entry.path, pixelSize);
        if (cancel->load())
            return;
        const ThumbnailKey key = KeyOf(entry, pixelSize);
        // The loader waits for its workers before it goes, so it is alive here; the
        // queued call is dropped by Qt if it is destroyed before the call runs.
        QMetaObject::invokeMethod(
            this,
            [this, round, ticket, key, image = made.image] {
                if (round != round_)
                    return;
                --pending_;
                emit ThumbnailReady(ticket, key, image);
                if (pending_ == 0)
                    emit Idle();
            },
            Qt::QueuedConnection);
    });
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

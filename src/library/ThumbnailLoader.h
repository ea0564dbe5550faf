#pragma once
// Makes thumbnails on worker threads and hands each one back on the GUI thread.
//
// Requests run in the order they were made, on a small pool of its own (at most one
// thread per core, four at most), so the GUI thread only queues work and receives
// finished images. CancelAll drops every request not started yet, asks the running
// ones to stop, and makes sure nothing of theirs is delivered afterwards; a refresh of
// the list calls it before asking for the new list's thumbnails.
//
// Threads: the public methods and the signals belong to the GUI thread (the thread
// the loader lives in). Workers share two things with it: the cancel flag (atomic) and
// the finished-results box (under its mutex). A worker that puts the first result
// into an empty box posts one queued call to empty it, so the GUI thread takes
// results in batches and draws the list once per batch, not once per thumbnail.

#include "library/MediaFolderScan.h"
#include "library/MediaThumbnail.h"
#include "library/ThumbnailCache.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace kestovar {

class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailLoader(QObject* parent = nullptr);
    // Cancels and waits for the running requests.
    ~ThumbnailLoader() override;

    // Queues a thumbnail of the entry at pixelSize (device pixels); ThumbnailReady
    // reports it with the same ticket.
    void Request(quint64 ticket, const MediaEntry& entry, QSize pixelSize);
    void CancelAll();
    // Requests made since the last CancelAll that have not been reported yet.
    int Pending() const { return pending_; }

    void SetLimits(const ThumbnailLimits& limits) { limits_ = limits; }
    void SetThreadCount(int threads);
    int ThreadCount() const { return pool_.maxThreadCount(); }

    // Waits until every request was made and reported (tests, benchmarks); false when
    // timeoutMs passed first.
    bool WaitForIdle(int timeoutMs);

signals:
    // The thumbnail for a request; a null image when the file gave none.
    void ThumbnailReady(quint64 ticket, const kestovar::ThumbnailKey& key, const QImage& image);
    // Pending() came down to 0.
    void Idle();

private:
    struct Finished {
        quint64 round = 0;
        quint64 ticket = 0;
        ThumbnailKey key;
        QImage image;
    };
    struct ResultBox {
        std::mutex mutex;
        std::vector<Finished> results; // guarded by mutex
        bool drainPosted = false; // guarded by mutex
    };
    void Deliver(Finished finished); // worker threads
    void Drain(); // GUI thread

    ResultBox box_;
    QThreadPool pool_;
    ThumbnailLimits limits_;
    std::shared_ptr<std::atomic<bool>> cancel_; // of the current round of requests
    quint64 round_ = 0;
    int pending_ = 0;
};

// The key under which a thumbnail of the entry at pixelSize is cached.
ThumbnailKey KeyOf(const MediaEntry& entry, QSize pixelSize);

} // namespace kestovar

// The media control operations of CKestovarApp for movies and still pictures: the
// player graph's open, run, pause, stop and close, and the picture drawn into the
// video window.

#include "app/CKestovarApp.h"

#include "capture/MediaProbe.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>

namespace kestovar {

namespace {

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// The layout follows the capture's width: 640 is 480P, 1280 is 720P, anything else
// (an unreadable file too) 1080P.
// Shown in place of a picture that cannot be read.
QImage StillPlaceholder(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0x46, 0x46, 0x46));
    QPainter painter(&image);
    painter.setPen(Qt::white);
    painter.drawText(image.rect(), Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("This picture cannot be shown"));
    return image;
}

int32_t ResolutionForWidth(int width)
{
    if (width == 640)
        return Res480;
    if (width == 1280)
        return Res720;
    return Res1080;
}

} // namespace

bool CKestovarApp::OpenPlayback(const QString& path, QString* error)
{
    if (!videoWindow || !transportBarWindow)
        return false;
    // One graph at a time, whatever the caller closed: a recording left running is
    // completed here rather than kept writing behind the movie.
    if (previewGraph || recordGraph || playerGraph)
        CloseAll();
    ++graphSerial_;
    stillPresentedPath_.clear();
    playerGraph = std::make_unique<PlayerGraph>(audio_);
    playerGraph->SetVideoWindow(videoWindow);
    playerGraph->SetNotifyWindow(transportBarWindow);
    const std::string file = LocalPath(path);
    std::string why;
    if (!playerGraph->Open(file, &why)) {
        playerGraph->Teardown();
        playerGraph.reset();
        currentMediaPath.clear();
        mode = AppMode::Idle;
        if (error)
            *error = QString::fromStdString(why);
        return false;
    }
    currentMediaPath = path;
    int width = 0;
    int height = 0;
    ReadMovieFrameSize(file, width, height);
    settings.resolution = ResolutionForWidth(width);
    mode = AppMode::PlaybackPaused;
    return true;
}

void CKestovarApp::FailPlayback()
{
    // A player that failed to run or pause may still be running (with its sound):
    // it goes, so that Idle means nothing plays.
    if (playerGraph) {
        playerGraph->Teardown();
        playerGraph.reset();
    }
    currentMediaPath.clear();
    mode = AppMode::Idle;
}

bool CKestovarApp::PlayPlayback()
{
    PlayerGraph::State state;
    if (!playerGraph || !playerGraph->GetState(state)) {
        FailPlayback();
        return false;
    }
    if (state != PlayerGraph::State::Running && !playerGraph->Run()) {
        FailPlayback();
        return false;
    }
    mode = AppMode::Playing;
    return true;
}

bool CKestovarApp::PausePlayback()
{
    if (!playerGraph)
        return false;
    PlayerGraph::State state;
    if (!playerGraph->GetState(state)) {
        FailPlayback();
        return false;
    }
    if (state != PlayerGraph::State::Paused && !playerGraph->Pause()) {
        FailPlayback();
        return false;
    }
    mode = AppMode::PlaybackPaused;
    return true;
}

bool CKestovarApp::StopAndRewindPlayer()
{
    PlayerGraph::State state;
    if (!playerGraph || !playerGraph->GetState(state))
        return false;
    if (state == PlayerGraph::State::Stopped)
        return true;
    // Rests paused on the first frame, ready for the next Play.
    const bool stopped = playerGraph->Stop();
    const bool rewound = stopped && playerGraph->SetPositions(0);
    return rewound && playerGraph->Pause();
}

bool CKestovarApp::StopPlayback()
{
    if (!StopAndRewindPlayer()) {
        FailPlayback();
        return false;
    }
    mode = AppMode::PlaybackPaused;
    return true;
}

void CKestovarApp::ClosePlayback()
{
    if (playerGraph) {
        ++graphSerial_;
        // Silence first; a rewind would only decode a frame nobody sees.
        playerGraph->Stop();
        playerGraph->Teardown();
        playerGraph.reset();
    }
    currentMediaPath.clear();
    mode = AppMode::Idle;
}

void CKestovarApp::SetStillPath(const QString& path)
{
    currentMediaPath = path;
    int width = 0;
    int height = 0;
    ReadPictureSize(LocalPath(path), width, height);
    settings.resolution = ResolutionForWidth(width);
}

void CKestovarApp::FollowRename(const QString& oldPath, const QString& newPath)
{
    if (oldPath.isEmpty() || currentMediaPath != oldPath)
        return;
    currentMediaPath = newPath;
    // The same picture under its new name: a repaint at the same size needs nothing new.
    if (stillPresentedPath_ == oldPath)
        stillPresentedPath_ = newPath;
}

bool CKestovarApp::ShowStill(const QString& path)
{
    if (!videoWindow)
        return false;
    // A path given is what is to be shown, even right after CloseAll emptied the
    // current one; without one, the picture on show is drawn again.
    const QString file = path.isEmpty() ? currentMediaPath : path;
    if (file.isEmpty())
        return false;

    const QSize target = videoWindow->TargetSize();
    // The window keeps what it was given; the repaint of the same picture at the same
    // size needs nothing new (presenting again would ask for yet another repaint).
    if (path.isEmpty() && mode == AppMode::StillShown && file == stillPresentedPath_
        && target == stillPresentedSize_)
        return true;

    // Read before anything changes. A picture larger than it is shown is decoded at
    // the shown size (the JPEG reader scales while decoding), so no picture is too
    // large to show.
    QImageReader reader(file);
    if (const QSize full = reader.size(); full.isValid() && !target.isEmpty()
        && (full.width() > target.width() || full.height() > target.height()))
        reader.setScaledSize(target);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        std::fprintf(stderr, "app: cannot show %s: %s\n", qPrintable(file), qPrintable(reader.errorString()));
        if (!path.isEmpty())
            ReportGraphError(QStringLiteral("The picture \"%1\" cannot be shown.\nIt is empty, damaged or not a "
                                            "picture.")
                                 .arg(QFileInfo(file).fileName()));
        // What runs goes on; a still picture on show gives way to a placeholder, so
        // the picture before it is never taken for this one.
        if (previewGraph || recordGraph || playerGraph || (path.isEmpty() && mode != AppMode::StillShown))
            return false;
        if (!path.isEmpty())
            SetStillPath(path);
        if (!target.isEmpty())
            videoWindow->Present(StillPlaceholder(target));
        stillPresentedPath_ = file;
        stillPresentedSize_ = target;
        mode = AppMode::StillShown;
        return false;
    }
    if (!path.isEmpty()) {
        // A graph left running would draw over the picture at its next frame.
        if (previewGraph || recordGraph || playerGraph)
            CloseAll();
        SetStillPath(path);
    }
    // Stretched over the whole window, as the live picture is.
    if (!target.isEmpty())
        videoWindow->Present(picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                 .convertToFormat(QImage::Format_RGB32));
    stillPresentedPath_ = file;
    stillPresentedSize_ = target;
    mode = AppMode::StillShown;
    return true;
}

} // namespace kestovar

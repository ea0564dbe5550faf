#include "TransportTestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kestovar::test {

bool FakePlaybackHost::OpenMovie(const std::string& path)
{
    if (player) {
        player->Teardown();
        player.reset();
    }
    auto graph = std::make_unique<PlayerGraph>(audio);
    graph->SetVideoWindow(view);
    graph->SetNotifyWindow(view->TransportBar());
    std::string error;
    if (!graph->Open(path, &error)) {
        ADD_FAILURE() << "cannot open " << path << ": " << error;
        return false;
    }
    player = std::move(graph);
    mode = PlaybackMode::PlaybackPaused;
    view->TransportBar()->SetTransportBarOpacity(255);
    view->TransportBar()->ShowMovieDuration();
    return true;
}

void FakePlaybackHost::EnterFullScreen()
{
    fullScreen = true;
    view->EnterFullScreen();
}

PlayerGraph::State FakePlaybackHost::GraphState() const
{
    PlayerGraph::State state = PlayerGraph::State::Stopped;
    if (player)
        player->GetState(state);
    return state;
}

bool FakePlaybackHost::PlayPlayback()
{
    ++playCalls;
    if (!player || !player->Run())
        return false;
    mode = PlaybackMode::Playing;
    return true;
}

bool FakePlaybackHost::PausePlayback()
{
    ++pauseCalls;
    if (!player || !player->Pause())
        return false;
    mode = PlaybackMode::PlaybackPaused;
    return true;
}

bool FakePlaybackHost::StopPlayback()
{
    ++stopCalls;
    if (failStop || !player || !player->Stop())
        return false;
    player->SetPositions(0);
    player->Pause();
    mode = PlaybackMode::PlaybackPaused;
    return true;
}

void FakePlaybackHost::AbandonPlayback()
{
    ++abandonCalls;
    player.reset();
    mode = PlaybackMode::Idle;
}

void FakePlaybackHost::UpdateVideoPosition()
{
    ++videoPositionCalls;
    if (player)
        player->UpdateVideoPosition();
}

void FakePlaybackHost::LeaveFullScreen()
{
    fullScreen = false;
    view->LeaveFullScreen();
}

std::string MakeLongMovie(const std::string& folder)
{
    const QString path = QString::fromStdString(folder) + "/long.avi";
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
        { "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=1/51:duration=3723", "-c:v",
            "mjpeg", "-q:v", "5", path });
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitStatus() != QProcess::NormalExit
        || ffmpeg.exitCode() != 0) {
        ADD_FAILURE() << "ffmpeg could not make the long movie: " << ffmpeg.errorString().toStdString() << " "
                      << ffmpeg.readAllStandardError().toStdString();
        return {};
    }
    return path.toStdString();
}

void Settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    } while (timer.elapsed() < ms);
}

double MeanDifference(const QImage& a, const QImage& b)
{
    if (a.isNull() || b.isNull())
        return 255.0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32).scaled(x.size());
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

void SendMouse(
    QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace kestovar::test

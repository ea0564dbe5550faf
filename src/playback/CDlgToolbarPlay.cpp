#include "playback/CDlgToolbarPlay.h"

#include "platform/AudioBackend.h"
#include "playback/CDlgVideoView.h"
#include "playback/PlaybackHost.h"
#include "ui/CBitmapSlider.h"
#include "ui/CColorStatic.h"
#include "ui/CGdipButton.h"
#include "ui/CMySliderControl2.h"
#include "ui/SkinPalette.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <optional>

namespace kestovar {

namespace {

// The buttons' images are 32 logical pixels square; the row under the seek bar holds
// them with a little room.
constexpr int kButtonRow = 36;
constexpr int kMinimumSeekHeight = 12;

CColorStatic* MakeTime(const QString& text, QWidget* parent)
{
    auto* label = new CColorStatic(text, parent);
    label->SetBackgroundColour(skin::kKeyColour);
    label->SetTextColour(skin::kText);
    label->setMouseTracking(true);
    return label;
}

CGdipButton* MakeButton(const QString& role, const QString& altRole, QWidget* parent)
{
    auto* button = new CGdipButton(parent);
    button->LoadStdImage(role);
    if (!altRole.isEmpty()) {
        button->LoadAltImage(altRole);
        button->SetToggleMode(true);
    }
    button->setCursor(Qt::PointingHandCursor);
    button->setMouseTracking(true);
    return button;
}

} // namespace

CDlgToolbarPlay::CDlgToolbarPlay(PlaybackHost& host, CDlgVideoView* videoWindow)
    : QWidget(videoWindow)
    , host_(host)
    , videoWindow_(videoWindow)
    , playPause_(MakeButton("transport_play", "transport_pause", this))
    , prev_(MakeButton("transport_skip_back", {}, this))
    , next_(MakeButton("transport_skip_forward", {}, this))
    , resize_(MakeButton("transport_enlarge", "transport_shrink", this))
    , seek_(new CMySliderControl2(Qt::Horizontal, this))
    , position_(MakeTime(QStringLiteral("00.00.00"), this))
    , separator_(MakeTime(QStringLiteral("/"), this))
    , duration_(MakeTime(QStringLiteral("00.00.00"), this))
    , volume_(new CBitmapSlider(kVolumeId, this))
    , hook_(videoWindow, [this] { OnHookMove(); })
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    separator_->setAlignment(Qt::AlignCenter);
    // Only the play buttons show the hand; the enlarge toggle keeps the arrow.
    resize_->unsetCursor();

    seek_->SetChannelBitmap("seek_channel");
    seek_->SetThumbBitmaps("slider_thumb", "slider_thumb_disabled");
    seek_->setRange(0, 100);
    seek_->setPageStep(kSkipStep);
    seek_->setMouseTracking(true);

    volume_->SetBitmapChannel("volume_channel", "volume_channel_active");
    volume_->SetBitmapThumb("volume_thumb", "volume_thumb_active");
    volume_->SetRange(0, 100);
    volume_->SetPos(kVolumeSliderFallback);
    volume_->SetMargin(8, 0, 8, 0);
    volume_->SetPageSize(10);
    volume_->setMouseTracking(true);

    progressTimer_.setInterval(kProgressTimerMs);
    hideTimer_.setInterval(kHideTimerMs);
    connect(&progressTimer_, &QTimer::timeout, this, &CDlgToolbarPlay::ProgressTick);
    connect(&hideTimer_, &QTimer::timeout, this, &CDlgToolbarPlay::HideCountdown);

    connect(playPause_, &QPushButton::clicked, this, &CDlgToolbarPlay::OnPlayPause);
    connect(prev_, &QPushButton::clicked, this, &CDlgToolbarPlay::OnPrev);
    connect(next_, &QPushButton::clicked, this, &CDlgToolbarPlay::OnNext);
    connect(resize_, &QPushButton::clicked, this, [this] {
        videoWindow_->ToggleVideoEnlarge();
        SyncResizeButton();
    });
    // The trackbar's thumb-track and end-track, and its key and page steps (which the
    // platform's trackbar follows with an end-track).
    connect(seek_, &QSlider::sliderMoved, this, &CDlgToolbarPlay::OnSeekScroll);
    connect(seek_, &QSlider::sliderReleased, this, [this] { OnSeekScroll(seek_->value()); });
    connect(seek_, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove && action != QAbstractSlider::SliderNoAction)
            OnSeekScroll(seek_->sliderPosition());
    });
    connect(
        volume_, &CBitmapSlider::SliderMoving, this, [this](int id, int pos) { OnVolume(id, pos, false); });
    connect(volume_, &CBitmapSlider::SliderMoved, this, [this](int id, int pos) { OnVolume(id, pos, true); });

    StartVolume();
    SetTransportBarOpacity(0);
    resize(sizeHint());
    Layout();
}

CDlgToolbarPlay::~CDlgToolbarPlay()
{
    hook_.Remove();
}

QSize CDlgToolbarPlay::sizeHint() const
{
    const int seekHeight = std::max(seek_->sizeHint().height(), kMinimumSeekHeight);
    return { 435, seekHeight + kButtonRow };
}

// ---- Offered to the station ----

void CDlgToolbarPlay::SetTransportBarOpacity(int alpha)
{
    alpha_ = alpha > 0 ? 255 : 0;
    setVisible(alpha_ != 0);
    if (alpha_)
        raise();
}

void CDlgToolbarPlay::ResetTransportBar()
{
    SetPlaySymbol(false);
    seek_->setValue(0);
    position_->setText(FormatMovieTime(0));
    duration_->setText(FormatMovieTime(0));
}

void CDlgToolbarPlay::ShowMovieDuration()
{
    int64_t duration = 0;
    PlayerGraph* player = host_.Player();
    if (player && player->GetDuration(duration))
        duration_->setText(FormatMovieTime(duration));
    position_->setText(FormatMovieTime(0));
    seek_->setValue(0);
    // A movie opens paused, whatever the bar showed for the one before.
    SetPlaySymbol(false);
    playing_ = false;
}

void CDlgToolbarPlay::StopTimers()
{
    StopHideCountdown();
    progressTimer_.stop();
}

void CDlgToolbarPlay::DockTransportBar()
{
    const int height = sizeHint().height();
    setGeometry(0, videoWindow_->height() - height, videoWindow_->width(), height);
}

void CDlgToolbarPlay::SyncResizeButton()
{
    resize_->SetToggled(videoWindow_->IsEnlarged());
}

// ---- Commands ----

void CDlgToolbarPlay::OnPlayPause()
{
    if (host_.GraphState() == PlayerGraph::State::Running) {
        host_.PausePlayback();
        progressTimer_.stop();
        StopHideCountdown();
        host_.ApplyPausedMovieToForm();
        playing_ = false;
    } else if (host_.PlayPlayback()) {
        progressTimer_.start();
        StartHideCountdown();
        hook_.Install();
        host_.ApplyModeToForm();
        playing_ = true;
    } else {
        playing_ = false;
    }
    // The click already swapped the image; what counts is what the player does now
    // (a keyboard press swaps nothing, and a movie that would not play shows Play).
    SetPlaySymbol(playing_);
    host_.UpdateControlStates();
}

void CDlgToolbarPlay::OnPrev()
{
    const int position = SkipPosition(seek_->value(), -kSkipStep, seek_->minimum(), seek_->maximum());
    seek_->setValue(position);
    OnSeekScroll(position);
}

void CDlgToolbarPlay::OnNext()
{
    const int position = SkipPosition(seek_->value(), kSkipStep, seek_->minimum(), seek_->maximum());
    seek_->setValue(position);
    OnSeekScroll(position);
}

void CDlgToolbarPlay::OnSeekScroll(int percent)
{
    // Without an open movie (a key press on a seek bar left focused after the player
    // was closed) there is nothing to seek.
    PlayerGraph* player = host_.Player();
    int64_t duration = 0;
    if (!player || !player->GetDuration(duration))
        return;
    const PlayerGraph::State state = host_.GraphState();
    if (state == PlayerGraph::State::Running)
        host_.PausePlayback();
    // Pausing may have failed and closed the player.
    player = host_.Player();
    if (!player)
        return;
    player->SetPositions(SeekTarget(duration, percent));
    // A paused movie stays paused and a stopped one stopped: only a running one resumes.
    if (state == PlayerGraph::State::Running)
        host_.PlayPlayback();
    int64_t position = 0;
    player = host_.Player();
    if (player && player->GetCurrentPosition(position))
        ShowTimes(position, duration);
    seek_->update();
}

void CDlgToolbarPlay::ProgressTick()
{
    PlayerGraph* player = host_.Player();
    int64_t duration = 0, position = 0;
    if (!player || !player->GetDuration(duration) || !player->GetCurrentPosition(position))
        return;
    // The operator's hand on the thumb wins over the clock.
    if (!seek_->isSliderDown()) {
        if (const auto percent = ProgressPercent(position, duration))
            seek_->setValue(*percent);
    }
    ShowTimes(position, duration);
}

void CDlgToolbarPlay::HideCountdown()
{
    const auto tick
        = countdown_.Step(host_.GraphState() == PlayerGraph::State::Running, host_.IsFullScreen());
    if (tick.stopTimer)
        hideTimer_.stop();
    if (tick.alpha)
        SetTransportBarOpacity(*tick.alpha);
}

void CDlgToolbarPlay::OnVideoMouseMove()
{
    const PlaybackMode mode = host_.Mode();
    if (mode == PlaybackMode::Playing || mode == PlaybackMode::PlaybackPaused)
        SetTransportBarOpacity(255);
}

void CDlgToolbarPlay::OnHookMove()
{
    if (host_.Mode() != PlaybackMode::Playing)
        return;
    if (!host_.IsFullScreen())
        SetTransportBarOpacity(255);
    StartHideCountdown();
}

void CDlgToolbarPlay::StartHideCountdown()
{
    countdown_.Restart();
    hideTimer_.start();
}

void CDlgToolbarPlay::StopHideCountdown()
{
    hideTimer_.stop();
    countdown_.Restart();
}

QString CDlgToolbarPlay::PositionText() const
{
    return position_->text();
}

QString CDlgToolbarPlay::DurationText() const
{
    return duration_->text();
}

void CDlgToolbarPlay::ShowTimes(int64_t position, int64_t duration)
{
    position_->setText(FormatMovieTime(position));
    duration_->setText(FormatMovieTime(duration));
}

void CDlgToolbarPlay::SetPlaySymbol(bool pauseSymbol)
{
    playPause_->SetToggled(pauseSymbol);
}

// ---- End of the movie ----

bool CDlgToolbarPlay::event(QEvent* event)
{
    if (event->type() == PlayerGraphEvent::kGraphEventType) {
        OnGraphEvent();
        return true;
    }
    return QWidget::event(event);
}

void CDlgToolbarPlay::OnGraphEvent()
{
    PlayerGraph* player = host_.Player();
    if (!player)
        return;
    bool complete = false;
    long code = 0;
    while (player->GetEvent(code))
        complete = complete || code == PlayerGraph::kEventComplete;
    if (!complete)
        return;

    // Held before the rewind, so nothing after the first frame is drawn in between.
    player->Pause();
    const bool rewound = player->SetPositions(0);
    progressTimer_.stop();
    if (!rewound)
        StopHideCountdown();
    ResetTransportBar();
    SetTransportBarOpacity(255);
    hook_.Remove();
    playing_ = false;
    if (rewound) {
        host_.PausePlayback();
    } else if (!host_.Player() || !host_.StopPlayback()) {
        host_.AbandonPlayback();
    }
    // The movie now rests paused: the form and the panel as for a paused movie.
    if (host_.Mode() == PlaybackMode::PlaybackPaused)
        host_.ApplyPausedMovieToForm();
    host_.UpdateControlStates();
}

// ---- Master volume ----

void CDlgToolbarPlay::StartVolume()
{
    audio_ = host_.Audio();
    std::optional<float> level;
    if (audio_ && audio_->Available())
        level = audio_->DefaultOutputVolume();
    if (level)
        lastVolume_ = *level;
    volume_->SetPos(VolumeSliderStart(level));
}

void CDlgToolbarPlay::OnVolume(int controlId, int position, bool dragEnded)
{
    if (controlId != kVolumeId)
        return;
    lastVolume_ = static_cast<float>(position) / 100.0f;
    const bool ok = audio_ && audio_->SetDefaultOutputVolume(lastVolume_);
    if (!ok)
        volumeFailedInDrag_ = true;
    // One message per gesture, when it ends: a box for every step of a drag would take
    // the mouse from the slider and pile up.
    if (dragEnded) {
        const bool failed = volumeFailedInDrag_;
        volumeFailedInDrag_ = false;
        if (failed)
            host_.ReportError(MasterVolumeError(), this);
    }
}

// ---- Window ----

void CDlgToolbarPlay::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), skin::Colour(skin::kKeyColour));
}

void CDlgToolbarPlay::resizeEvent(QResizeEvent*)
{
    Layout();
}

void CDlgToolbarPlay::Layout()
{
    const int w = width();
    const int h = std::max(seek_->sizeHint().height(), kMinimumSeekHeight);
    seek_->setGeometry(0, 0, w, h);
    const int buttonTop = h + (kButtonRow - playPause_->height()) / 2;
    prev_->move(20, buttonTop);
    playPause_->move(56, buttonTop);
    next_->move(92, buttonTop);
    resize_->move(w - 44, buttonTop);
    const QSize volumeSize = volume_->sizeHint();
    volume_->setGeometry(resize_->x() - 8 - volumeSize.width(), h + (kButtonRow - volumeSize.height()) / 2,
        volumeSize.width(), volumeSize.height());

    const QSize timeSize
        = position_->fontMetrics().size(Qt::TextSingleLine, QStringLiteral("00:00:00")) + QSize(4, 2);
    const int timeTop = h + (kButtonRow - timeSize.height()) / 2;
    position_->setGeometry(128, timeTop, timeSize.width(), timeSize.height());
    separator_->setGeometry(128 + timeSize.width(), timeTop, 15, timeSize.height());
    duration_->setGeometry(143 + timeSize.width(), timeTop, timeSize.width(), timeSize.height());
    update();
}

void CDlgToolbarPlay::keyPressEvent(QKeyEvent* event)
{
    QWidget* target = host_.KeyTarget();
    const KeyAction action = TransportBarKeyAction(event->key(), host_.Mode(), host_.CameraPresent());
    if (action == KeyAction::Default || (action == KeyAction::Forward && !target)) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (action == KeyAction::Forward)
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, event->key(), Qt::NoModifier));
    event->accept();
}

} // namespace kestovar

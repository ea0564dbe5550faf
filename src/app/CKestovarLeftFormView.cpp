#include "app/CKestovarLeftFormView.h"

#include "app/FramePlaybackHost.h"
#include "app/StationGeometry.h"
#include "app/StationMedia.h"
#include "capture/MediaProbe.h"
#include "platform/AudioBackend.h"
#include "playback/CDlgToolbarPlay.h"
#include "playback/CDlgVideoView.h"
#include "recording/CAppSettings.h"
#include "ui/CBitSlider.h"
#include "ui/CGdiPlusBitmapResource.h"
#include "ui/CGdipButton.h"

#include <QPainter>

namespace kestovar {

namespace {

CGdipButton* MakeButton(QWidget* parent, const QString& std, const QString& alt, const QString& caption)
{
    auto* b = new CGdipButton(parent);
    b->LoadStdImage(std);
    if (!alt.isEmpty())
        b->LoadAltImage(alt);
    if (!caption.isEmpty())
        b->SetCaption(caption);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

std::unique_ptr<CGdiPlusBitmapResource> LoadPicture(const QString& role)
{
    auto picture = std::make_unique<CGdiPlusBitmapResource>();
    picture->Load(role);
    return picture;
}

void Enable(CGdipButton* button, bool on)
{
    button->setEnabled(on);
    button->SetDisabledLook(!on);
}

} // namespace

CKestovarLeftFormView::CKestovarLeftFormView(
    StationMedia& media, std::shared_ptr<AudioBackend> audio, QWidget* parent)
    : QWidget(parent)
    , media_(media)
    , audio_(std::move(audio))
    , playbackHost_(std::make_unique<FramePlaybackHost>(media, *this))
    , centre_(LoadPicture(QStringLiteral("panel_centre")))
    , bottomBar_(LoadPicture(QStringLiteral("panel_bottom_bar")))
    , backdrop_(LoadPicture(QStringLiteral("slider_backdrop")))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    video_ = new CDlgVideoView(*playbackHost_, this);
    video_->hide();

    resolution_ = MakeButton(this, "panel_resolution", "panel_resolution_open", "Resolution");
    rotation_ = MakeButton(this, "panel_rotation", "panel_rotation_open", "Rotation");
    snapShot_ = MakeButton(this, "panel_snapshot", {}, {});
    live_ = MakeButton(this, "panel_live", "panel_live_on", "Live");
    record_ = MakeButton(this, "panel_record", "panel_record_on", {});
    record_->SetToggleMode(true);
    speaker_ = MakeButton(this, "speaker", "speaker_muted", {});
    speaker_->SetToggleMode(true);

    volume_ = new CBitSlider(this);
    volume_->setOrientation(Qt::Horizontal);
    volume_->LoadBarImages(QStringLiteral("mic_bar_after"), QStringLiteral("mic_bar_before"));
    volume_->CreateThumb(QStringLiteral("mic_thumb"), 7, 9);
    volume_->setRange(0, 100);
    volume_->setSingleStep(0);
    volume_->setValue(0); // the microphone's own volume is not read back

    connect(resolution_, &QPushButton::clicked, this, &CKestovarLeftFormView::resolutionRequested);
    connect(rotation_, &QPushButton::clicked, this, &CKestovarLeftFormView::rotationRequested);
    connect(snapShot_, &QPushButton::clicked, this, &CKestovarLeftFormView::snapShotRequested);
    connect(record_, &QPushButton::clicked, this, [this] {
        // The toggle shows recording; the Record Start command decides it.
        record_->SetToggled(media_.Mode() == AppMode::Recording);
        emit recordRequested();
    });
    connect(live_, &QPushButton::clicked, this, &CKestovarLeftFormView::GoLive);
    connect(speaker_, &QPushButton::clicked, this, &CKestovarLeftFormView::SpeakerClicked);
    connect(volume_, &QSlider::valueChanged, this, &CKestovarLeftFormView::VolumeChanged);

    levelTimer_.setInterval(kLevelMs);
    connect(&levelTimer_, &QTimer::timeout, this, &CKestovarLeftFormView::LevelTick);
    levelTimer_.start();

    LayoutControlPanel();
    PlaceVideoWindow(0, 0);
}

CKestovarLeftFormView::~CKestovarLeftFormView()
{
    levelTimer_.stop();
    // The graphs draw into the video window: none may outlive it.
    media_.CloseAll();
    delete video_;
    video_ = nullptr;
}

void CKestovarLeftFormView::LayoutControlPanel()
{
    PanelSizes sizes { resolution_->size(), rotation_->size(), record_->size(), snapShot_->size(),
        live_->size() };
    const PanelLayout l = LayoutPanel(size(), sizes);
    resolution_->move(l.resolution);
    rotation_->move(l.rotation);
    record_->move(l.record);
    snapShot_->move(l.snapShot);
    live_->move(l.live);
    volume_->move(l.volume);
    speaker_->move(l.speaker);
    update();
}

void CKestovarLeftFormView::PlaceVideoWindow(int resolution, int modeArgument)
{
    if (video_->IsFullScreen())
        return; // the window covers the screen until Escape
    video_->ForgetEnlargement();
    const QRect area = VideoArea(rect());
    const bool maximised = window() && window()->isMaximized();
    video_->setGeometry(PlaceVideoRect(area, resolution, modeArgument, maximised));
}

ControlStates CKestovarLeftFormView::CurrentStates() const
{
    return ControlStates { record_->isEnabled(), snapShot_->isEnabled(),
        resolution_->isEnabled() && rotation_->isEnabled(), live_->isEnabled(),
        speaker_->isEnabled() && volume_->isEnabled() };
}

void CKestovarLeftFormView::UpdateControlStates()
{
    const ControlStates s = ControlStatesFor(media_.CameraPresent(), media_.Mode());
    Enable(record_, s.record);
    Enable(snapShot_, s.snapShot);
    Enable(resolution_, s.resolutionRotation);
    Enable(rotation_, s.resolutionRotation);
    Enable(live_, s.live);
    Enable(speaker_, s.speakerVolume);
    volume_->setEnabled(s.speakerVolume);
}

void CKestovarLeftFormView::GoLive()
{
    rememberedResolution_ = media_.Settings().resolution;
    media_.CloseAll();
    record_->SetToggled(false);
    LayoutControlPanel();
    PlaceVideoWindow(rememberedResolution_, 1);
    video_->TransportBar()->SetTransportBarOpacity(0);
    if (media_.CameraPresent()) {
        media_.Settings().resolution = rememberedResolution_;
        video_->HideNoCameraNotice();
        video_->show();
        media_.StartPreview();
    } else {
        ShowNoCameraNotice();
    }
    UpdateControlStates();
    if (afterGoLive_)
        afterGoLive_();
}

void CKestovarLeftFormView::ShowNoCameraNotice()
{
    // The notice lives in the video window: it is shown over the black area.
    video_->ClearPicture();
    if (!video_->IsFullScreen())
        video_->setGeometry(VideoArea(rect()));
    video_->show();
    video_->ShowNoCameraNotice();
}

void CKestovarLeftFormView::HideNoCameraNotice()
{
    video_->HideNoCameraNotice();
}

bool CKestovarLeftFormView::ShowMovie(const QString& path)
{
    int width = 0, height = 0;
    if (!ReadMovieFrameSize(path.toStdString(), width, height))
        return false;
    media_.CloseAll();
    PlaceVideoWindow(ResolutionOfWidth(width), 4);
    video_->HideNoCameraNotice();
    video_->show();
    CDlgToolbarPlay* bar = video_->TransportBar();
    bar->SetTransportBarOpacity(255);
    // Opened paused: the bar shows the movie's length and its start.
    const bool opened = media_.OpenPlayback(path);
    if (opened)
        bar->ShowMovieDuration();
    UpdateControlStates();
    return opened;
}

void CKestovarLeftFormView::ShowPicture(const QString& path)
{
    int width = 0, height = 0;
    if (!ReadPictureSize(path.toStdString(), width, height))
        width = 0; // placed for 1080P
    media_.CloseAll();
    PlaceVideoWindow(ResolutionOfWidth(width), 5);
    video_->HideNoCameraNotice();
    video_->show();
    media_.SetStillPath(path);
    media_.ShowStill(path);
    UpdateControlStates();
}

void CKestovarLeftFormView::LevelTick()
{
    // Away from Live and Recording the button shows its own face, not the last level.
    if (!ShowsMicrophoneLevel(media_.Mode()))
        ShowSpeakerPicture(QStringLiteral("speaker"));
    // Without a sound server there is nothing to meter (and nothing to wait for).
    if (!audio_ || !audio_->Available())
        return;
    const std::optional<float> peak = audio_->DefaultInputPeak();
    if (!peak)
        return;
    lastPeak_ = *peak;
    if (speaker_->IsToggled())
        return; // the muted picture stays
    if (ShowsMicrophoneLevel(media_.Mode()))
        ShowSpeakerPicture(SpeakerLevelRole(lastPeak_));
}

void CKestovarLeftFormView::ShowSpeakerPicture(const QString& role)
{
    if (role == speakerRole_)
        return;
    speakerRole_ = role;
    speaker_->LoadStdImage(role);
}

void CKestovarLeftFormView::VolumeChanged(int position)
{
    lastVolume_ = float(position) / 100.0f;
    if (!audio_)
        return;
    audio_->SetDefaultInputMuted(false);
    audio_->SetDefaultInputVolume(lastVolume_);
}

void CKestovarLeftFormView::SpeakerClicked()
{
    // Toggled means sound off: the volume slider goes away with it.
    volume_->setVisible(!speaker_->IsToggled());
    if (!speaker_->IsToggled())
        ShowSpeakerPicture(QStringLiteral("speaker"));
}

void CKestovarLeftFormView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const int w = width();
    const int h = height();
    if (centre_->IsLoaded()) {
        const QSize c = centre_->Size();
        centre_->Draw(p, QRectF(w / 2 - c.width() / 2, h / 2 - c.height() / 2 - 10, c.width(), c.height()));
    }
    if (bottomBar_->IsLoaded()) {
        const int bh = bottomBar_->Size().height();
        bottomBar_->Draw(p, QRectF(0, h - bh, w, bh));
    }
    if (backdrop_->IsLoaded())
        backdrop_->Draw(p, QRectF(QPointF(live_->x() - 105, live_->y()), QSizeF(backdrop_->Size())));
}

void CKestovarLeftFormView::resizeEvent(QResizeEvent*)
{
    LayoutControlPanel();
    PlaceVideoWindow(media_.Settings().resolution, int(media_.Mode()));
    if (!media_.CameraPresent() && media_.Mode() == AppMode::Idle)
        video_->setGeometry(VideoArea(rect()));
}

} // namespace kestovar

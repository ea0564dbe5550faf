// CDlgMain: the window itself (building, layout, painting, moving and resizing), the
// menu bar and the key filter. Start-up, device changes and the window's own
// commands are in CDlgMainStation.cpp.

#include "app/CDlgMain.h"

#include "app/CKestovarApp.h"
#include "app/CKestovarLeftFormView.h"
#include "app/CMainFrame.h"
#include "app/DesktopAwake.h"
#include "app/StationGeometry.h"
#include "app/StationMedia.h"
#include "dialogs/CDlgSplash.h"
#include "dialogs/OwnedWindows.h"
#include "platform/AudioBackend.h"
#include "platform/IdleInhibitor.h"
#include "playback/CDlgToolbarPlay.h"
#include "playback/CDlgVideoView.h"
#include "recording/CAppSettings.h"
#include "ui/CGdiPlusBitmapResource.h"
#include "ui/CGdipButton.h"
#include "ui/CMenuBarXP.h"
#include "ui/CMenuXP.h"
#include "ui/SkinPalette.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWindow>

namespace kestovar {

namespace {

StationKey ToStationKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_F1:
        return StationKey::F1;
    case Qt::Key_F3:
        return StationKey::F3;
    case Qt::Key_F4:
        return StationKey::F4;
    case Qt::Key_F5:
        return StationKey::F5;
    case Qt::Key_F7:
        return StationKey::F7;
    case Qt::Key_F9:
        return StationKey::F9;
    case Qt::Key_Escape:
        return StationKey::Escape;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return StationKey::Enter;
    default:
        return StationKey::Other;
    }
}

bool IsTextInput(QObject* o)
{
    return qobject_cast<QLineEdit*>(o) || qobject_cast<QPlainTextEdit*>(o) || qobject_cast<QTextEdit*>(o)
        || qobject_cast<QAbstractSpinBox*>(o);
}

Qt::Edges EdgesOf(WindowPart part)
{
    switch (part) {
    case WindowPart::Left:
        return Qt::LeftEdge;
    case WindowPart::Right:
        return Qt::RightEdge;
    case WindowPart::Bottom:
        return Qt::BottomEdge;
    case WindowPart::BottomLeft:
        return Qt::BottomEdge | Qt::LeftEdge;
    case WindowPart::BottomRight:
        return Qt::BottomEdge | Qt::RightEdge;
    case WindowPart::Move:
        break;
    }
    return {};
}

Qt::CursorShape CursorOf(WindowPart part)
{
    switch (part) {
    case WindowPart::Left:
    case WindowPart::Right:
        return Qt::SizeHorCursor;
    case WindowPart::Bottom:
        return Qt::SizeVerCursor;
    case WindowPart::BottomLeft:
        return Qt::SizeBDiagCursor;
    case WindowPart::BottomRight:
        return Qt::SizeFDiagCursor;
    case WindowPart::Move:
        break;
    }
    return Qt::ArrowCursor;
}

} // namespace

CDlgMain::CDlgMain(CKestovarApp& app, QWidget* parent)
    : QWidget(parent)
    , ownMedia_(std::make_unique<AppStationMedia>(app))
    , media_(*ownMedia_)
    , app_(&app)
{
    Build(app.audio());
    connect(&app, &CKestovarApp::deviceChanged, this,
        [this](int event, const QString& path) { OnDeviceChange(uint32_t(event), path); });
    connect(&app, &CKestovarApp::streamEnded, this, &CDlgMain::OnStreamEnded);
    new DesktopAwake([this] { return media_.Mode(); }, std::make_unique<IdleInhibitor>(), this);
    // The start-up checks run once the event loop turns, with the window on screen.
    QMetaObject::invokeMethod(this, &CDlgMain::Start, Qt::QueuedConnection);
}

CDlgMain::CDlgMain(StationMedia& media, std::shared_ptr<AudioBackend> audio, QWidget* parent)
    : QWidget(parent)
    , media_(media)
{
    Build(std::move(audio));
}

CDlgMain::~CDlgMain()
{
    qApp->removeEventFilter(this);
    // The frame and its panel use the media view, which is a member: they go first.
    delete frame_;
    frame_ = nullptr;
}

void CDlgMain::Build(std::shared_ptr<AudioBackend> audio)
{
    setWindowFlags(
        Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint);
    setWindowTitle(QStringLiteral("Kestovar"));
    setMinimumSize(kMinWidth, kMinHeight);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, skin::Colour(skin::kFrame));
    dark.setColor(QPalette::WindowText, skin::Colour(skin::kText));
    setPalette(dark);
    setAutoFillBackground(true);
    setMouseTracking(true);
    resize(1280, 800);

    captionTile_ = std::make_unique<CGdiPlusBitmapResource>();
    captionTile_->Load(QStringLiteral("caption_tile"));
    logo_ = std::make_unique<CGdiPlusBitmapResource>();
    logo_->Load(QStringLiteral("logo"));

    frame_ = new CMainFrame(media_, std::move(audio), this);
    auto* video = frame_->ControlPanel()->VideoView();
    media_.SetVideoWindows(video, video->TransportBar());

    static const char* const kRoles[4]
        = { "caption_close", "caption_maximize", "caption_minimize", "caption_fullscreen" };
    for (int i = 0; i < 4; ++i) {
        auto* b = new CGdipButton(this);
        b->LoadStdImage(QString::fromLatin1(kRoles[i]));
        b->setFixedSize(19, 19);
        b->setFocusPolicy(Qt::NoFocus);
        captionButtons_[i] = b;
    }
    captionButtons_[0]->SetToolTipText(QStringLiteral("Close"));
    captionButtons_[1]->SetToolTipText(QStringLiteral("Maximize"));
    captionButtons_[2]->SetToolTipText(QStringLiteral("Minimize"));
    captionButtons_[3]->SetToolTipText(QStringLiteral("Full Screen"));
    connect(captionButtons_[0], &QPushButton::clicked, this, &QWidget::close);
    connect(captionButtons_[1], &QPushButton::clicked, this, &CDlgMain::ToggleMaximise);
    connect(captionButtons_[2], &QPushButton::clicked, this, &CDlgMain::MinimiseOrRestore);
    connect(captionButtons_[3], &QPushButton::clicked, this, [this] { frame_->EnterFullScreen(); });

    BuildMenuBar();
    qApp->installEventFilter(this);
    // Messages and dialogs come back above this window whenever it is activated.
    qApp->installEventFilter(new OwnedWindowKeeper(this));
}

void CDlgMain::BuildMenuBar()
{
    menuBar_ = new CMenuBarXP(this);
    auto* root = new CMenuXP;
    std::array<CMenuXP*, 6> titles {};
    for (size_t i = 0; i < kMenuTitles.size(); ++i) {
        titles[i] = root->AppendSubMenu(QString::fromLatin1(kMenuTitles[i]));
        titles[i]->SetMenuFont(QStringLiteral("Arial"), 15);
    }
    for (const MenuItemDef& item : kMenuItems)
        titles[size_t(item.title)]->AppendItem(item.command, QString::fromLatin1(item.text));
    // An information line, not a command.
    titles[size_t(MenuTitle::Help)]
        ->AppendItem(cmd::Version, QStringLiteral("Version R1.0(170226)"))
        ->setEnabled(false);
    menuBar_->LoadMenu(root);
    menuBar_->SetHotFill(skin::kBackground);
    menuBar_->SetBorderColour(skin::kBackground);
    menuBar_->SetAvailabilityCheck([this](int title) { return MayOpenTitle(title); });
    connect(menuBar_, &CMenuBarXP::MenuAboutToShow, this, [this](int title, CMenuXP* menu) {
        if (title != int(MenuTitle::FileSize))
            return;
        const int checked = CommandOfSizeLimit(media_.Settings().limitrecordsize);
        for (const MenuItemDef& item : kMenuItems)
            if (item.title == MenuTitle::FileSize)
                menu->CheckCommand(item.command, item.command == checked);
    });
    connect(menuBar_, &CMenuBarXP::CommandTriggered, this, &CDlgMain::OnCommand);
}

bool CDlgMain::MayOpenTitle(int title)
{
    if (title < 0 || title >= int(kMenuTitles.size()))
        return false;
    // Help needs no device list.
    if (MenuTitle(title) == MenuTitle::Help)
        return true;
    return MenuOpens(MenuTitle(title), media_.Mode(), media_.CameraPresent());
}

CGdipButton* CDlgMain::CaptionButton(int index) const
{
    return index >= 0 && index < 4 ? captionButtons_[index] : nullptr;
}

void CDlgMain::ToggleMaximise()
{
    if (!maximisedToggle_) {
        showMaximized();
        maximisedToggle_ = true;
    } else {
        showNormal();
        maximisedToggle_ = false;
    }
}

void CDlgMain::MinimiseOrRestore()
{
    if (isMinimized()) {
        showNormal();
        minimisedByButton_ = false;
    } else {
        showMinimized();
        minimisedByButton_ = true;
    }
}

KeyDecision CDlgMain::DecideKey(int qtKey) const
{
    return DecideMainKey(ToStationKey(qtKey), media_.Mode(), media_.CameraPresent(), frame_ != nullptr,
        frame_ && frame_->IsFullScreen());
}

bool CDlgMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || closing_)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    // Only keys meant for the main window or the full-screen video window; dialogs and
    // open menus handle their own keys.
    QWidget* top = widget->window();
    const bool fullScreenVideo
        = frame_ && frame_->IsFullScreen() && top == frame_->ControlPanel()->VideoView();
    if (top != this && !fullScreenVideo)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const StationKey which = ToStationKey(key->key());
    if (which == StationKey::Other)
        return false;
    // Enter belongs to a text field (it never closes the window anyway).
    if (which == StationKey::Enter && IsTextInput(widget))
        return false;
    const KeyDecision d = DecideKey(key->key());
    switch (d.outcome) {
    case KeyOutcome::PassOn:
        return false;
    case KeyOutcome::Swallow:
        return true;
    case KeyOutcome::LeaveFullScreen:
        frame_->LeaveFullScreen();
        return true;
    case KeyOutcome::RunCommand:
        // A held key repeats: one command per press.
        if (!key->isAutoRepeat())
            OnCommand(d.command);
        return true;
    }
    return false;
}

void CDlgMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The splash covers the start-up checks and the camera's start. It is not shown
    // from the constructor: showing a window turns the event loop, and the
    // application object knows this window only once the constructor has returned.
    if (app_ && !app_->splash && !startDone_) {
        auto splash = std::make_unique<CDlgSplash>();
        app_->splash = std::move(splash);
        static_cast<CDlgSplash*>(app_->splash.get())->ShowNow();
    }
}

void CDlgMain::closeEvent(QCloseEvent* event)
{
    CloseStation();
    event->accept();
}

void CDlgMain::CloseStation()
{
    if (closing_)
        return;
    closing_ = true;
    WaitForRepairs();
    if (frame_ && frame_->IsFullScreen())
        frame_->LeaveFullScreen();
    media_.CloseAll();
    emit closed();
}

void CDlgMain::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::Colour(skin::kFrame));
    if (captionTile_->IsLoaded())
        captionTile_->Draw(p, QRectF(0, 0, width(), captionTile_->Size().height()));
    if (logo_->IsLoaded())
        logo_->Draw(p, QRectF(QPointF(10, 5), QSizeF(logo_->Size())));
}

void CDlgMain::resizeEvent(QResizeEvent*)
{
    menuBar_->setGeometry(MenuBarRect(size(), 30));
    frame_->setGeometry(FrameRect(size()));
    for (int i = 0; i < 4; ++i) {
        captionButtons_[i]->move(CaptionButtonPos(size(), CaptionSlot(i)));
        captionButtons_[i]->raise();
    }
    frame_->ControlPanel()->PlaceVideoWindow(media_.Settings().resolution, int(media_.Mode()));
}

void CDlgMain::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !windowHandle())
        return QWidget::mousePressEvent(event);
    const WindowPart part = HitTestWindow(size(), event->position().toPoint());
    if (isMaximized() && part != WindowPart::Move)
        return;
    if (part == WindowPart::Move)
        windowHandle()->startSystemMove();
    else
        windowHandle()->startSystemResize(EdgesOf(part));
    event->accept();
}

void CDlgMain::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() == Qt::NoButton)
        setCursor(
            isMaximized() ? Qt::ArrowCursor : CursorOf(HitTestWindow(size(), event->position().toPoint())));
    QWidget::mouseMoveEvent(event);
}

void CDlgMain::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && event->position().y() < kCaptionHeight)
        ToggleMaximise();
}

} // namespace kestovar

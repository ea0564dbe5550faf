#include "app/StationRules.h"

namespace kestovar {

const std::array<const char*, 6> kMenuTitles { "Record", "File Size", "SnapShot", "Screen", "Config",
    "Help" };

const std::array<MenuItemDef, 18> kMenuItems { {
    { MenuTitle::Record, cmd::RecordStart, "Record Start\tF5" },
    { MenuTitle::Record, cmd::RecordStop, "Record Stop\tF4" },
    { MenuTitle::Record, cmd::RecordPause, "Record Pause\tF3" },
    { MenuTitle::Record, cmd::Live, "Live\tF1" },
    { MenuTitle::FileSize, cmd::SizeLimit1GB, "About 1GB" },
    { MenuTitle::FileSize, cmd::SizeLimit2GB, "About 2GB" },
    { MenuTitle::FileSize, cmd::SizeLimit3GB, "About 3GB" },
    { MenuTitle::FileSize, cmd::SizeLimit4GB, "About 4GB" },
    { MenuTitle::FileSize, cmd::SizeLimit5GB, "About 5GB" },
    { MenuTitle::FileSize, cmd::SizeLimit10GB, "About 10GB" },
    { MenuTitle::FileSize, cmd::NoSizeLimit, "No Size Limit" },
    { MenuTitle::SnapShot, cmd::SnapShot, "SnapShot\tF7" },
    { MenuTitle::Screen, cmd::FullScreen, "Full Screen\tF9" },
    { MenuTitle::Config, cmd::RecordDevice, "Record Device" },
    { MenuTitle::Config, cmd::VideoQuality, "Video Quality Settings" },
    { MenuTitle::Config, cmd::StoragePath, "Record Storage Path" },
    { MenuTitle::Config, cmd::Pacs, "PACS" },
    { MenuTitle::Help, cmd::Help, "Help" },
} };

namespace {

constexpr std::array<int, 7> kSizeLimitCommands { cmd::SizeLimit1GB, cmd::SizeLimit2GB, cmd::SizeLimit3GB,
    cmd::SizeLimit4GB, cmd::SizeLimit5GB, cmd::SizeLimit10GB, cmd::NoSizeLimit };

bool IdleOrLive(AppMode mode)
{
    return mode == AppMode::Idle || mode == AppMode::Live;
}

bool ShowsMedia(AppMode mode)
{
    return mode == AppMode::Playing || mode == AppMode::PlaybackPaused || mode == AppMode::StillShown;
}

} // namespace

bool MenuOpens(MenuTitle title, AppMode mode, bool camera)
{
    switch (title) {
    case MenuTitle::Record:
        return camera && !ShowsMedia(mode);
    case MenuTitle::FileSize:
    case MenuTitle::Config:
        return camera && IdleOrLive(mode);
    case MenuTitle::SnapShot:
        return camera && mode != AppMode::StillShown;
    case MenuTitle::Screen:
        return camera;
    case MenuTitle::Help:
        return true;
    }
    return false;
}

int SizeLimitOfCommand(int command)
{
    for (size_t i = 0; i < kSizeLimitCommands.size(); ++i)
        if (kSizeLimitCommands[i] == command)
            return int(i);
    return -1;
}

int CommandOfSizeLimit(int limit)
{
    if (limit < 0 || limit >= int(kSizeLimitCommands.size()))
        return 0;
    return kSizeLimitCommands[size_t(limit)];
}

ControlStates ControlStatesFor(bool camera, AppMode mode)
{
    // Camera present: Record, SnapShot, Resolution+Rotation, Live, Speaker+volume.
    const bool playback = mode == AppMode::Playing || mode == AppMode::PlaybackPaused;
    if (!camera) {
        if (playback)
            return { false, true, false, true, false };
        return { false, false, false, true, false };
    }
    switch (mode) {
    case AppMode::Idle:
    case AppMode::Live:
        return { true, true, true, true, true };
    case AppMode::Recording:
        return { true, true, false, false, false };
    case AppMode::Playing:
    case AppMode::PlaybackPaused:
        return { false, true, false, true, false };
    case AppMode::StillShown:
        return { false, false, false, true, false };
    }
    return { false, false, false, true, false };
}

int HotKeyCommand(StationKey key)
{
    switch (key) {
    case StationKey::F1:
        return cmd::Live;
    case StationKey::F3:
        return cmd::RecordPause;
    case StationKey::F4:
        return cmd::RecordStop;
    case StationKey::F5:
        return cmd::RecordStart;
    case StationKey::F7:
        return cmd::SnapShot;
    case StationKey::F9:
        return cmd::FullScreen;
    default:
        return 0;
    }
}

KeyDecision DecideMainKey(StationKey key, AppMode mode, bool camera, bool frame, bool fullScreen)
{
    switch (key) {
    case StationKey::Escape:
        if (frame && fullScreen)
            return { KeyOutcome::LeaveFullScreen, 0 };
        return { KeyOutcome::Swallow, 0 };
    case StationKey::Enter:
        return { KeyOutcome::Swallow, 0 };
    case StationKey::Other:
        return { KeyOutcome::PassOn, 0 };
    default:
        break;
    }
    if (!frame)
        return { KeyOutcome::PassOn, 0 };
    const bool recordKey = key == StationKey::F3 || key == StationKey::F4 || key == StationKey::F5;
    if (recordKey && (ShowsMedia(mode) || !camera))
        return { KeyOutcome::PassOn, 0 };
    return { KeyOutcome::RunCommand, HotKeyCommand(key) };
}

QString SpeakerLevelRole(float peak)
{
    if (!(peak >= 0.1f)) // NaN counts as silence
        return QStringLiteral("speaker");
    if (peak <= 0.2f)
        return QStringLiteral("speaker_level_1");
    if (peak <= 0.4f)
        return QStringLiteral("speaker_level_2");
    if (peak <= 0.6f)
        return QStringLiteral("speaker_level_3");
    if (peak <= 0.8f)
        return QStringLiteral("speaker_level_4");
    return QStringLiteral("speaker_level_5");
}

int ResolutionOfPopupItem(int item)
{
    switch (item) {
    case 0:
        return 2;
    case 1:
        return 1;
    case 2:
        return 0;
    default:
        return -1;
    }
}

int ResolutionOfWidth(int width)
{
    if (width == 640)
        return 2;
    if (width == 1280)
        return 1;
    return 0;
}

} // namespace kestovar

#pragma once
// The station's decisions that need no window: which controls are enabled in which
// mode, which menus may open, what a function key does, which level picture the
// speaker button shows, and what a choice of the pop-ups or the camera model means.
// Pure functions; the main window, the frame and the control panel only apply them.

#include "app/AppMode.h"

#include <QString>

#include <array>

namespace kestovar {

// ---- Commands (menu items, caption buttons and hot keys all end in one of these) ----
namespace cmd {
inline constexpr int RecordStart = 32771;
inline constexpr int RecordStop = 32772;
inline constexpr int RecordPause = 32814;
inline constexpr int Live = 32810;
inline constexpr int SizeLimit1GB = 32773;
inline constexpr int SizeLimit2GB = 32774;
inline constexpr int SizeLimit3GB = 32775;
inline constexpr int SizeLimit4GB = 32776;
inline constexpr int SizeLimit5GB = 32777;
inline constexpr int SizeLimit10GB = 32778;
inline constexpr int NoSizeLimit = 32813;
inline constexpr int SnapShot = 32779;
inline constexpr int FullScreen = 32780;
inline constexpr int RecordDevice = 32781;
inline constexpr int VideoQuality = 32782;
inline constexpr int StoragePath = 32783;
inline constexpr int Help = 32784;
inline constexpr int Version = 32785;
inline constexpr int Pacs = 32851;
} // namespace cmd

// The menu bar's titles, in their order (ids 1 to 6).
enum class MenuTitle : int { Record = 0, FileSize = 1, SnapShot = 2, Screen = 3, Config = 4, Help = 5 };

struct MenuItemDef {
    MenuTitle title;
    int command;
    const char* text; // a tab separates the hot key's name
};

// Every item of the menu bar, title by title, in menu order.
extern const std::array<MenuItemDef, 18> kMenuItems;
extern const std::array<const char*, 6> kMenuTitles;

// Whether a title's drop-down may open now. `camera`: a supported camera is present.
bool MenuOpens(MenuTitle title, AppMode mode, bool camera);

// The size-limit index (0..6) of a "File Size" command, or -1 for any other command.
int SizeLimitOfCommand(int command);
// The "File Size" command that carries the check mark for a stored limit (0..6); a
// limit outside the menu checks nothing (0).
int CommandOfSizeLimit(int limit);

// ---- Control panel buttons ----
struct ControlStates {
    bool record = false;
    bool snapShot = false;
    bool resolutionRotation = false; // both pop-up buttons
    bool live = false;
    bool speakerVolume = false; // the Speaker toggle and the volume slider
    bool operator==(const ControlStates&) const = default;
};

ControlStates ControlStatesFor(bool camera, AppMode mode);

// ---- Function keys in the main window ----
enum class StationKey { F1, F3, F4, F5, F7, F9, Escape, Enter, Other };

enum class KeyOutcome {
    PassOn, // not the station's key here: it reaches the focused control
    Swallow, // consumed, nothing happens
    RunCommand, // consumed; the frame runs `command`
    LeaveFullScreen, // consumed; the video window leaves full screen
};

struct KeyDecision {
    KeyOutcome outcome = KeyOutcome::PassOn;
    int command = 0;
};

// What a key pressed in the main window does. `frame`: the embedded frame exists.
// F3, F4 and F5 pass on during playback, while a picture is shown and without a
// camera; the other hot keys always run their command; Escape and Enter never close
// the window (Escape leaves full screen).
KeyDecision DecideMainKey(StationKey key, AppMode mode, bool camera, bool frame, bool fullScreen);

// The command a hot key stands for (accelerator table 317), 0 for none.
int HotKeyCommand(StationKey key);

// ---- Microphone level ----
// The speaker button's picture for a peak level (0..1): "speaker" below 0.1, then
// "speaker_level_1" .. "speaker_level_5" in steps of 0.2.
QString SpeakerLevelRole(float peak);
// Only the live picture and a recording show the microphone's level.
inline bool ShowsMicrophoneLevel(AppMode mode)
{
    return mode == AppMode::Live || mode == AppMode::Recording;
}

// ---- Choices applied by the frame ----
// The resolution pop-up's items from the top: 480P, 720P, 1080P.
int ResolutionOfPopupItem(int item);
// The camera model's default resolution: 1080P for Full HD cameras, 480P for the Pro.
inline int ResolutionOfModelDefault(bool fullHd)
{
    return fullHd ? 0 : 2;
}
// The resolution a movie or picture of this width is placed for (640 -> 480P,
// 1280 -> 720P, anything else, an unread width too, 1080P).
int ResolutionOfWidth(int width);

} // namespace kestovar

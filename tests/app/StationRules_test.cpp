// The station's rules without windows: control states, menu availability, function
// keys, level pictures and the choices the frame applies.

#include "app/StationRules.h"

#include <gtest/gtest.h>

#include <set>

using namespace kestovar;

namespace {

constexpr AppMode kModes[] = { AppMode::Idle, AppMode::Live, AppMode::Recording, AppMode::Playing,
    AppMode::PlaybackPaused, AppMode::StillShown };

// Record, SnapShot, Resolution+Rotation, Live, Speaker+volume.
ControlStates S(bool rec, bool snap, bool resrot, bool live, bool speaker)
{
    return { rec, snap, resrot, live, speaker };
}

} // namespace

TEST(ControlStatesTable, EveryRowWithACamera)
{
    EXPECT_EQ(ControlStatesFor(true, AppMode::Idle), S(true, true, true, true, true));
    EXPECT_EQ(ControlStatesFor(true, AppMode::Live), S(true, true, true, true, true));
    EXPECT_EQ(ControlStatesFor(true, AppMode::Recording), S(true, true, false, false, false));
    EXPECT_EQ(ControlStatesFor(true, AppMode::Playing), S(false, true, false, true, false));
    EXPECT_EQ(ControlStatesFor(true, AppMode::PlaybackPaused), S(false, true, false, true, false));
    EXPECT_EQ(ControlStatesFor(true, AppMode::StillShown), S(false, false, false, true, false));
}

TEST(ControlStatesTable, EveryRowWithoutACamera)
{
    EXPECT_EQ(ControlStatesFor(false, AppMode::Playing), S(false, true, false, true, false));
    EXPECT_EQ(ControlStatesFor(false, AppMode::PlaybackPaused), S(false, true, false, true, false));
    for (AppMode m : { AppMode::Idle, AppMode::Live, AppMode::Recording, AppMode::StillShown })
        EXPECT_EQ(ControlStatesFor(false, m), S(false, false, false, true, false)) << int(m);
}

TEST(ControlStatesTable, LiveIsOffOnlyWhileRecordingWithTheCamera)
{
    for (bool camera : { true, false })
        for (AppMode m : kModes)
            EXPECT_EQ(ControlStatesFor(camera, m).live, !(camera && m == AppMode::Recording)) << int(m);
}

TEST(MenuAvailability, OnlyHelpOpensWithoutACamera)
{
    for (AppMode m : kModes) {
        for (int t = 0; t < 5; ++t)
            EXPECT_FALSE(MenuOpens(MenuTitle(t), m, false)) << t << " in " << int(m);
        EXPECT_TRUE(MenuOpens(MenuTitle::Help, m, false));
    }
}

TEST(MenuAvailability, RulesPerModeWithACamera)
{
    // Which modes open each title (camera present).
    const std::set<AppMode> all(std::begin(kModes), std::end(kModes));
    const std::set<AppMode> idleLive { AppMode::Idle, AppMode::Live };
    const std::set<AppMode> record { AppMode::Idle, AppMode::Live, AppMode::Recording };
    std::set<AppMode> snap = all;
    snap.erase(AppMode::StillShown);
    const std::pair<MenuTitle, std::set<AppMode>> rules[]
        = { { MenuTitle::Record, record }, { MenuTitle::FileSize, idleLive }, { MenuTitle::SnapShot, snap },
              { MenuTitle::Screen, all }, { MenuTitle::Config, idleLive }, { MenuTitle::Help, all } };
    for (const auto& [title, modes] : rules)
        for (AppMode m : kModes)
            EXPECT_EQ(MenuOpens(title, m, true), modes.count(m) == 1) << int(title) << " in " << int(m);
}

TEST(MenuItems, CommandTableAndSizeLimits)
{
    // Every command appears once, and each title has at least one item.
    std::set<int> commands;
    std::set<MenuTitle> titles;
    for (const MenuItemDef& item : kMenuItems) {
        EXPECT_TRUE(commands.insert(item.command).second) << item.command;
        titles.insert(item.title);
    }
    EXPECT_EQ(titles.size(), 6u);
    const int limits[] = { 32773, 32774, 32775, 32776, 32777, 32778, 32813 };
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(SizeLimitOfCommand(limits[i]), i);
        EXPECT_EQ(CommandOfSizeLimit(i), limits[i]);
    }
    EXPECT_EQ(SizeLimitOfCommand(cmd::SnapShot), -1);
    EXPECT_EQ(CommandOfSizeLimit(7), 0);
    EXPECT_EQ(CommandOfSizeLimit(-1), 0);
}

TEST(KeyFilter, RecordingKeysPassOnDuringPlaybackAPictureOrWithoutCamera)
{
    for (StationKey k : { StationKey::F3, StationKey::F4, StationKey::F5 }) {
        for (AppMode m : { AppMode::Playing, AppMode::PlaybackPaused, AppMode::StillShown })
            EXPECT_EQ(DecideMainKey(k, m, true, true, false).outcome, KeyOutcome::PassOn) << int(m);
        EXPECT_EQ(DecideMainKey(k, AppMode::Live, false, true, false).outcome, KeyOutcome::PassOn);
        for (AppMode m : { AppMode::Idle, AppMode::Live, AppMode::Recording }) {
            const KeyDecision d = DecideMainKey(k, m, true, true, false);
            EXPECT_EQ(d.outcome, KeyOutcome::RunCommand);
            EXPECT_EQ(d.command, HotKeyCommand(k));
        }
    }
}

TEST(KeyFilter, LiveSnapShotAndFullScreenAlwaysRun)
{
    const std::pair<StationKey, int> keys[] = { { StationKey::F1, cmd::Live },
        { StationKey::F7, cmd::SnapShot }, { StationKey::F9, cmd::FullScreen } };
    for (const auto& [k, command] : keys)
        for (bool camera : { true, false })
            for (AppMode m : kModes) {
                const KeyDecision d = DecideMainKey(k, m, camera, true, false);
                EXPECT_EQ(d.outcome, KeyOutcome::RunCommand);
                EXPECT_EQ(d.command, command);
            }
    EXPECT_EQ(HotKeyCommand(StationKey::F5), cmd::RecordStart);
    EXPECT_EQ(HotKeyCommand(StationKey::F4), cmd::RecordStop);
    EXPECT_EQ(HotKeyCommand(StationKey::F3), cmd::RecordPause);
}

TEST(KeyFilter, EscapeAndEnterNeverCloseEscapeLeavesFullScreen)
{
    for (AppMode m : kModes) {
        EXPECT_EQ(DecideMainKey(StationKey::Escape, m, true, true, false).outcome, KeyOutcome::Swallow);
        EXPECT_EQ(
            DecideMainKey(StationKey::Escape, m, true, true, true).outcome, KeyOutcome::LeaveFullScreen);
        EXPECT_EQ(DecideMainKey(StationKey::Enter, m, true, true, true).outcome, KeyOutcome::Swallow);
        EXPECT_EQ(DecideMainKey(StationKey::Enter, m, false, false, false).outcome, KeyOutcome::Swallow);
    }
    EXPECT_EQ(DecideMainKey(StationKey::Other, AppMode::Live, true, true, false).outcome, KeyOutcome::PassOn);
    // Without the frame the hot keys have nobody to run them.
    EXPECT_EQ(DecideMainKey(StationKey::F1, AppMode::Idle, true, false, false).outcome, KeyOutcome::PassOn);
}

TEST(LevelMeter, PictureByPeakLevel)
{
    EXPECT_EQ(SpeakerLevelRole(0.0f), "speaker");
    EXPECT_EQ(SpeakerLevelRole(0.099f), "speaker");
    EXPECT_EQ(SpeakerLevelRole(0.1f), "speaker_level_1");
    EXPECT_EQ(SpeakerLevelRole(0.2f), "speaker_level_1");
    EXPECT_EQ(SpeakerLevelRole(0.21f), "speaker_level_2");
    EXPECT_EQ(SpeakerLevelRole(0.4f), "speaker_level_2");
    EXPECT_EQ(SpeakerLevelRole(0.5f), "speaker_level_3");
    EXPECT_EQ(SpeakerLevelRole(0.7f), "speaker_level_4");
    EXPECT_EQ(SpeakerLevelRole(0.81f), "speaker_level_5");
    EXPECT_EQ(SpeakerLevelRole(1.0f), "speaker_level_5");
    EXPECT_EQ(SpeakerLevelRole(std::numeric_limits<float>::quiet_NaN()), "speaker");
    EXPECT_TRUE(ShowsMicrophoneLevel(AppMode::Live));
    EXPECT_TRUE(ShowsMicrophoneLevel(AppMode::Recording));
    for (AppMode m : { AppMode::Idle, AppMode::Playing, AppMode::PlaybackPaused, AppMode::StillShown })
        EXPECT_FALSE(ShowsMicrophoneLevel(m));
}

TEST(Choices, PopupItemsModelDefaultsAndWidths)
{
    EXPECT_EQ(ResolutionOfPopupItem(0), 2);
    EXPECT_EQ(ResolutionOfPopupItem(1), 1);
    EXPECT_EQ(ResolutionOfPopupItem(2), 0);
    EXPECT_EQ(ResolutionOfPopupItem(3), -1);
    EXPECT_EQ(ResolutionOfModelDefault(true), 0);
    EXPECT_EQ(ResolutionOfModelDefault(false), 2);
    EXPECT_EQ(ResolutionOfWidth(640), 2);
    EXPECT_EQ(ResolutionOfWidth(1280), 1);
    EXPECT_EQ(ResolutionOfWidth(1920), 0);
    EXPECT_EQ(ResolutionOfWidth(0), 0);
}

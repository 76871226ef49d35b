#include "app/main_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "control/player_state.h"
#include "control/timers.h"
#include "res/resource.h"
#include "sound/sound_output.h"
#include "tests/native/fake_dialog.h"
#include "tests/native/fake_sound.h"
#include "tests/native/sound_fixture.h"

namespace {

class MainDialogTest : public SoundSystemTest {
  protected:
    // The calls of the log that start with one of the prefixes, in order.
    static std::vector<std::string> Only(const std::vector<std::string>& log,
                                         std::initializer_list<const char*> prefixes) {
        std::vector<std::string> out;
        for (const std::string& line : log) {
            for (const char* prefix : prefixes) {
                if (line.rfind(prefix, 0) == 0) {
                    out.push_back(line);
                    break;
                }
            }
        }
        return out;
    }
};

TEST_F(MainDialogTest, StartShowsTheFirstStateOfEveryControl) {
    dialog.Start();

    EXPECT_EQ(dialog.Title(), "Velmorin - No file loaded.");
    EXPECT_EQ(dialog.Control(IDC_STATUS).text, "No file loaded.");
    for (int id : {IDC_SKIP_BACK, IDC_PLAY, IDC_SKIP_FORWARD, IDC_PAUSE, IDC_STOP}) {
        EXPECT_FALSE(dialog.Control(id).enabled) << id;
    }
    EXPECT_TRUE(dialog.Control(IDC_LOOP).enabled);
    EXPECT_TRUE(dialog.Control(IDC_AUTOPAUSE).enabled);
    EXPECT_EQ(dialog.Control(IDC_LOOP).check, 0u);
    EXPECT_EQ(dialog.Control(IDC_AUTOPAUSE).check, 0u);

    struct Slider {
        int id;
        int32_t min, max, pos;
    };
    const Slider sliders[] = {
        {IDC_FREQUENCY, 100, 100000, 100}, {IDC_PAN, -20, 20, 0},
        {IDC_VOLUME, -100, 0, 0},          {IDC_POSITION, 0, 100, 0},
        {IDC_PLAY_DURATION, 1, 240, 7},    {IDC_PAUSE_DURATION, 0, 240, 10},
        {IDC_PAUSE_BACKUP, 0, 40, 3},
    };
    for (const Slider& s : sliders) {
        EXPECT_EQ(dialog.Control(s.id).rangeMin, s.min) << s.id;
        EXPECT_EQ(dialog.Control(s.id).rangeMax, s.max) << s.id;
        EXPECT_EQ(dialog.Control(s.id).pos, s.pos) << s.id;
    }

    const unsigned checks[] = {0, 0, 1, 1, 0, 0};  // 1019..1024
    for (int id = IDC_FOCUS_NORMAL; id <= IDC_MEM_SOFTWARE; ++id) {
        EXPECT_EQ(dialog.Control(id).check, checks[id - IDC_FOCUS_NORMAL]) << id;
    }

    EXPECT_NE(dialog.BigIcon(), nullptr);
    EXPECT_EQ(dialog.BigIcon(), dialog.SmallIcon());
    EXPECT_EQ(dialog.TimerInterval(POLL_TIMER), static_cast<int64_t>(FakeDialog::kMinimumTimerMs));
    EXPECT_EQ(dialog.TimerInterval(AUTOPAUSE_TIMER), 3000);
    EXPECT_EQ(dialog.RegisteredHotKeys().size(), 3u);
    EXPECT_TRUE(dialog.Boxes().empty());
    EXPECT_FALSE(dialog.Ended());
}

TEST_F(MainDialogTest, InitialisationRunsItsStepsInOrder) {
    EXPECT_EQ(dialog.Send(WINMSG_INITDIALOG), 1);
    const auto& log = dialog.Log();
    const std::vector<std::string> head(log.begin(), log.begin() + 11);
    const std::vector<std::string> expectedHead = {
        "LoadMainIcon",
        "PostSetIcon big",
        "PostSetIcon small",
        "SetTimer 1 0",
        "SetTimer 2 3000",
        "SetTitle Velmorin - No file loaded.",
        "SetItemText 1016 No file loaded.",
        "CheckRadioButton 1021 1021 1021",
        "CheckRadioButton 1022 1024 1022",
        "PostTrackbar 1003 SetRangeMax 100000",
        "PostTrackbar 1003 SetRangeMin 100",
    };
    EXPECT_EQ(head, expectedHead);

    const std::vector<std::string> expectedSliders = {
        "PostTrackbar 1003 SetRangeMax 100000", "PostTrackbar 1003 SetRangeMin 100",
        "PostTrackbar 1004 SetRangeMax 20",     "PostTrackbar 1004 SetRangeMin -20",
        "PostTrackbar 1005 SetRangeMax 0",      "PostTrackbar 1005 SetRangeMin -100",
        "PostTrackbar 1006 SetRangeMin 0",      "PostTrackbar 1006 SetRangeMax 100",
        "PostTrackbar 1025 SetRangeMin 1",      "PostTrackbar 1025 SetRangeMax 240",
        "PostTrackbar 1025 SetPos 7",           "PostTrackbar 1026 SetRangeMin 0",
        "PostTrackbar 1026 SetRangeMax 240",    "PostTrackbar 1026 SetPos 10",
        "PostTrackbar 1027 SetRangeMin 0",      "PostTrackbar 1027 SetRangeMax 40",
        "PostTrackbar 1027 SetPos 3",           "PostTrackbar 1003 SetPos 100",
        "PostTrackbar 1004 SetPos 0",           "PostTrackbar 1005 SetPos 0",
        "PostTrackbar 1006 SetPos 0",
    };
    EXPECT_EQ(Only(log, {"PostTrackbar"}), expectedSliders);

    // Hotkeys come last: pause, forward, back.
    const auto firstHotKey = std::find_if(log.begin(), log.end(), [](const std::string& l) {
        return l.rfind("AddGlobalAtom", 0) == 0;
    });
    ASSERT_NE(firstHotKey, log.end());
    EXPECT_EQ(*(firstHotKey - 1), "PostTrackbar 1006 SetPos 0");
    const auto& atoms = FakeDialog::Atoms();
    const std::vector<std::string> expectedHotKeys = {
        "AddGlobalAtom ctrl-h",
        "VkKeyScan j",
        "RegisterHotKey " + std::to_string(atoms.Find("ctrl-h")) + " 1 74",
        "AddGlobalAtom ctrl-j",
        "VkKeyScan k",
        "RegisterHotKey " + std::to_string(atoms.Find("ctrl-j")) + " 1 75",
        "AddGlobalAtom ctrl-k",
        "VkKeyScan h",
        "RegisterHotKey " + std::to_string(atoms.Find("ctrl-k")) + " 1 72",
    };
    ASSERT_GE(log.end() - firstHotKey, 9);
    EXPECT_EQ(std::vector<std::string>(firstHotKey, firstHotKey + 9), expectedHotKeys);
    // Only after OnInitDialog has returned do the posted sliders redraw and notify.
    EXPECT_EQ(*(firstHotKey + 9), "SetItemText 1012 100");
    EXPECT_EQ(PlayerState.hotkeyPause, atoms.Find("ctrl-h"));
    EXPECT_EQ(PlayerState.hotkeyForward, atoms.Find("ctrl-j"));
    EXPECT_EQ(PlayerState.hotkeyBack, atoms.Find("ctrl-k"));
}

TEST_F(MainDialogTest, TakenHotKeyShowsOneFailedBoxAndTheOthersRegister) {
    dialog.TakeHotKeyElsewhere(HOTKEY_MOD_ALT, 'J');
    dialog.Start();
    ASSERT_EQ(dialog.Boxes().size(), 1u);
    EXPECT_EQ(dialog.Boxes()[0].text, "Failed");
    EXPECT_EQ(dialog.Boxes()[0].caption, "Orvanth");
    EXPECT_EQ(dialog.Boxes()[0].style, MESSAGEBOX_OK);
    EXPECT_EQ(dialog.Boxes()[0].owner, MessageBoxOwner::None);
    EXPECT_EQ(dialog.RegisteredHotKeys().size(), 2u);
    EXPECT_EQ(dialog.RegisteredHotKeys().count(static_cast<int>(PlayerState.hotkeyForward)), 1u);
    EXPECT_EQ(dialog.RegisteredHotKeys().count(static_cast<int>(PlayerState.hotkeyBack)), 1u);
}

struct CommandCase {
    int id;
    intptr_t returns;
    intptr_t endCode;  // 0: the dialog stays open
    bool clearsPaused;
};

class CommandDispatchTest : public MainDialogTest,
                            public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandDispatchTest, ReturnsAndEndsAsTabled) {
    const CommandCase c = GetParam();
    dialog.Start();
    PlayerState.paused = 1;
    // The notification code in the high word is not examined.
    EXPECT_EQ(dialog.Send(WINMSG_COMMAND, (0x1234u << 16) | static_cast<uintptr_t>(c.id), 99),
              c.returns);
    EXPECT_EQ(dialog.Ended(), c.endCode != 0);
    if (c.endCode != 0) {
        EXPECT_EQ(dialog.EndCode(), c.endCode);
        EXPECT_TRUE(dialog.Destroyed());
    }
    EXPECT_EQ(PlayerState.paused, c.clearsPaused ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandDispatchTest,
    ::testing::Values(CommandCase{COMMAND_CANCEL, 1, 2, false},
                      CommandCase{IDM_FILE_EXIT, 1, 2, false}, CommandCase{IDC_PLAY, 1, 0, true},
                      CommandCase{IDC_STOP, 1, 0, true}, CommandCase{IDC_SKIP_BACK, 1, 0, false},
                      CommandCase{IDC_SKIP_FORWARD, 1, 0, false},
                      CommandCase{IDC_AUTOPAUSE, 1, 0, false},
                      CommandCase{IDM_HELP_ABOUT, 1, 0, false},
                      CommandCase{IDM_FILE_OPEN, 1, 0, false}, CommandCase{COMMAND_OK, 0, 0, false},
                      CommandCase{IDC_LOOP, 0, 0, false}, CommandCase{4242, 0, 0, false}));

TEST_F(MainDialogTest, AboutCommandShowsTheBoxAndChangesNothing) {
    dialog.Start();
    dialog.Log().clear();
    EXPECT_EQ(dialog.Command(IDM_HELP_ABOUT), 1);
    EXPECT_EQ(dialog.AboutBoxesShown(), 1);
    EXPECT_EQ(dialog.Log(), std::vector<std::string>{"ShowAboutBox"});
}

TEST_F(MainDialogTest, MessagesOutsideTheTableAreLeftToTheDialogManager) {
    dialog.Start();
    dialog.Log().clear();
    EXPECT_EQ(dialog.Send(0x0200 /* WM_MOUSEMOVE */), 0);
    EXPECT_EQ(dialog.Send(WINMSG_TIMER, 7), 1);
    EXPECT_EQ(dialog.Send(WINMSG_HOTKEY, 0xBEEF), 1);
    EXPECT_TRUE(dialog.Log().empty());
    EXPECT_EQ(dialog.Send(WINMSG_NOTIFY, 0, 0), 1);
}

TEST_F(MainDialogTest, EscCloseAndExitRunTheSameTeardownInOrder) {
    for (int command : {static_cast<int>(COMMAND_CANCEL), IDM_FILE_EXIT}) {
        PlayerState = {};
        FakeDialog d;
        d.Start();
        const uint32_t pause = PlayerState.hotkeyPause;
        const uint32_t forward = PlayerState.hotkeyForward;
        const uint32_t back = PlayerState.hotkeyBack;
        d.Log().clear();
        d.Command(command);
        const std::vector<std::string> expected = {
            "EndDialog 2",
            "UnregisterHotKey " + std::to_string(pause),
            "UnregisterHotKey " + std::to_string(forward),
            "UnregisterHotKey " + std::to_string(back),
            "DeleteGlobalAtom " + std::to_string(pause),
            "DeleteGlobalAtom " + std::to_string(forward),
            "DeleteGlobalAtom " + std::to_string(back),
            "KillTimer 1",
            "KillTimer 2",
        };
        EXPECT_EQ(d.Log(), expected) << command;
        EXPECT_TRUE(d.RegisteredHotKeys().empty());
        EXPECT_EQ(d.EndCode(), 2);
    }
}

TEST_F(MainDialogTest, TimersTickOnTheVirtualClockUntilTheDialogEnds) {
    dialog.Start();
    dialog.AdvanceMs(6000);
    // Both timers keep running; nothing is active, so their handlers change nothing.
    EXPECT_EQ(dialog.Control(IDC_STATUS).text, "No file loaded.");
    dialog.Command(COMMAND_CANCEL);
    EXPECT_EQ(dialog.TimerInterval(POLL_TIMER), -1);
    EXPECT_EQ(dialog.TimerInterval(AUTOPAUSE_TIMER), -1);
}

// The fake keeps the platform's rules; tests that lean on them would be wrong if it did not.
TEST(FakeDialogModel, PostedThumbsLandAfterTheHandlerWithinTheRangeAndNotify) {
    FakeDialog dialog;
    dialog.PostTrackbarMessage(IDC_PAUSE_BACKUP, TrackbarMessage::SetRangeMax, 40);
    dialog.PostTrackbarMessage(IDC_PAUSE_BACKUP, TrackbarMessage::SetPos, 55);
    EXPECT_EQ(dialog.GetTrackbarPos(IDC_PAUSE_BACKUP), 0);
    dialog.Send(0x0000);
    EXPECT_EQ(dialog.GetTrackbarPos(IDC_PAUSE_BACKUP), 40);
    EXPECT_EQ(dialog.SliderNotifications(), 1);  // one redraw for both messages
    dialog.PostTrackbarMessage(IDC_PAUSE_BACKUP, TrackbarMessage::SetRangeMin, 41);
    dialog.Send(0x0000);
    EXPECT_EQ(dialog.GetTrackbarPos(IDC_PAUSE_BACKUP), 41);

    dialog.SetTimer(5, 100);
    dialog.AdvanceMs(250);
    dialog.SetTimer(5, 1000);  // replaces the interval and starts a new period
    EXPECT_EQ(dialog.TimerInterval(5), 1000);
}

}  // namespace

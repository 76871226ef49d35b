// The automatic play/pause cycle and the global hotkeys, on the virtual clock.
#include "control/auto_pause.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "control/file_open.h"
#include "control/remote_control.h"
#include "control/timers.h"
#include "res/resource.h"
#include "tests/native/sound_fixture.h"

namespace {

using Span = std::pair<uint32_t, uint32_t>;

class CycleTest : public SoundFixture {
  protected:
    // 8-bit mono at 8000 samples per second: 8 bytes a millisecond.
    void OpenFile(uint32_t bytes, uint32_t rate = 8000) {
        chosenPath[0] = '\0';
        lastDirectory[0] = '\0';
        const std::string path = dir.Write("take" + std::to_string(++files_) + ".wav",
                                           BuildPcmWave(1, rate, 8, PatternBytes(bytes)));
        dialog.AnswerOpenFile({OpenFileAnswer::Choose, path, nullptr});
        dialog.Command(IDM_FILE_OPEN);
        ASSERT_EQ(dialog.Control(IDC_STATUS).text, "File loaded.");
    }
    void CheckBox() { dialog.ClickCheckBox(IDC_AUTOPAUSE); }
    bool Playing() { return sound.LastBuffer()->Playing(); }
    std::vector<Span> Heard() { return sound.LastBuffer()->Heard(); }
    int64_t Timer2() { return dialog.TimerInterval(AUTOPAUSE_TIMER); }
    void HotKey(uint32_t id) { dialog.Send(WINMSG_HOTKEY, id); }

    int files_ = 0;
};

TEST_F(CycleTest, FirstPositionsGivePauseDurationThenPlayDurationStretchesWithTheBackup) {
    OpenFile(400000);  // 50 s
    CheckBox();
    dialog.Command(IDC_PLAY);
    EXPECT_EQ(Timer2(), 2500);  // the first stretch lasts the Pause Duration

    dialog.AdvanceMs(2499);
    EXPECT_TRUE(Playing());
    dialog.AdvanceMs(1);  // 2.5 s: pause
    EXPECT_FALSE(Playing());
    EXPECT_EQ(PlayerState.paused, 1);
    EXPECT_EQ(PlayerState.resumePosition, 20000);
    EXPECT_EQ(dialog.Control(IDC_POSITION_TEXT).text, "20000");
    EXPECT_EQ(Timer2(), 2500);

    dialog.AdvanceMs(2500);  // resume 3000 bytes back, then 1.75 s of sound
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Timer2(), 1750);
    dialog.AdvanceMs(1750);
    EXPECT_FALSE(Playing());
    dialog.AdvanceMs(2500);
    dialog.AdvanceMs(1750);
    EXPECT_EQ(Heard(), (std::vector<Span>{{0, 20000}, {17000, 31000}, {28000, 42000}}));
    EXPECT_EQ(dialog.Control(IDC_POSITION_TEXT).text, "42000");
}

TEST_F(CycleTest, TicksDoNothingWithoutAnActiveSoundOrWithTheBoxUnchecked) {
    OpenFile(400000);
    CheckBox();
    dialog.AdvanceMs(3000);  // the 3000 ms period from start-up: Stop is disabled
    EXPECT_EQ(PlayerState.paused, 0);
    EXPECT_EQ(Timer2(), 3000);

    CheckBox();  // unchecked: kills timer 2
    EXPECT_EQ(Timer2(), -1);
    dialog.Command(IDC_PLAY);  // unchecked: Play leaves timer 2 alone
    EXPECT_EQ(Timer2(), -1);
    dialog.AdvanceMs(10000);
    EXPECT_TRUE(Playing());
    CheckBox();  // checking starts nothing by itself
    EXPECT_EQ(Timer2(), -1);
    dialog.Send(WINMSG_TIMER, 7);  // nor does a tick of another timer
    dialog.AdvanceMs(10000);
    EXPECT_TRUE(Playing());
}

TEST_F(CycleTest, AnUncheckedBoxLeavesARunningTimerRunningAndItsTicksIdle) {
    OpenFile(400000);
    dialog.Command(IDC_PLAY);  // box unchecked: timer 2 still has its start-up 3000 ms
    EXPECT_EQ(Timer2(), 3000);
    dialog.AdvanceMs(3000);
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Timer2(), 3000);
    dialog.Command(IDC_PAUSE);  // a manual pause with the box unchecked: timer untouched
    EXPECT_EQ(Timer2(), 3000);
    CheckBox();  // now the next tick resumes b x 1000 bytes before the pause point
    dialog.AdvanceMs(3000 + 100);
    EXPECT_TRUE(Playing());
    EXPECT_EQ(PlayerState.paused, 0);
    EXPECT_EQ(Heard().back(), (Span{24000 - 3000, 24000 - 3000 + 800}));
    EXPECT_EQ(Timer2(), 1750);
}

TEST_F(CycleTest, PauseDurationZeroWithTheStartUpTimerPausesForGood) {
    OpenFile(400000);
    dialog.DragSlider(IDC_PAUSE_DURATION, 0);
    CheckBox();
    dialog.AdvanceMs(1000);  // timer 2 has run since start-up, never killed
    dialog.Command(IDC_PLAY);
    EXPECT_EQ(Timer2(), 3000);  // Pause Duration 0 does not arm it
    dialog.AdvanceMs(2000);     // its next tick, 3000 ms after start-up, pauses
    EXPECT_FALSE(Playing());
    EXPECT_EQ(PlayerState.paused, 1);
    EXPECT_EQ(Timer2(), -1);  // and is not set again
    dialog.AdvanceMs(60000);
    EXPECT_FALSE(Playing());
    dialog.Command(IDC_PAUSE);  // the user resumes; the cycle re-arms with the Play Duration
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Timer2(), 1750);
}

TEST_F(CycleTest, UncheckingDuringAnAutomaticPauseLeavesThePauseToTheUser) {
    OpenFile(400000);
    CheckBox();
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(2500);
    ASSERT_EQ(PlayerState.paused, 1);
    CheckBox();  // unchecked
    EXPECT_EQ(Timer2(), -1);
    dialog.AdvanceMs(10000);
    EXPECT_FALSE(Playing());
    dialog.Command(IDC_PAUSE);
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Timer2(), -1);  // that resume does not arm the cycle
}

TEST_F(CycleTest, AManualPauseAndResumeFitIntoTheCycle) {
    OpenFile(400000);
    CheckBox();
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(1000);
    dialog.Command(IDC_PAUSE);  // manual pause: the timer does not end it
    EXPECT_EQ(Timer2(), -1);
    dialog.AdvanceMs(10000);
    EXPECT_FALSE(Playing());
    dialog.Command(IDC_PAUSE);  // manual resume: the next pause comes after Play Duration
    EXPECT_EQ(Timer2(), 1750);
    dialog.AdvanceMs(1750);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(PlayerState.paused, 1);
    EXPECT_EQ(Heard(), (std::vector<Span>{{0, 8000}, {5000, 19000}}));
}

TEST_F(CycleTest, SliderChangesTakeEffectAtTheNextStep) {
    OpenFile(400000);
    CheckBox();
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(1000);
    dialog.DragSlider(IDC_PAUSE_DURATION, 4);  // 1 s: not re-armed now
    dialog.DragSlider(IDC_PLAY_DURATION, 2);   // 0.5 s
    dialog.DragSlider(IDC_PAUSE_BACKUP, 0);
    EXPECT_EQ(Timer2(), 2500);
    dialog.AdvanceMs(1500);  // the pause at 2.5 s reads the new Pause Duration
    EXPECT_EQ(Timer2(), 1000);
    dialog.AdvanceMs(1000);  // the resume reads the new Play Duration and backup
    EXPECT_EQ(Timer2(), 500);
    dialog.AdvanceMs(500);
    // 4 s on the clock, 3 s of sound: a 1 s pause, resumed with no step back.
    EXPECT_EQ(Heard(), (std::vector<Span>{{0, 24000}}));
    EXPECT_FALSE(Playing());
}

TEST_F(CycleTest, StopLeavesTimerTwoAloneAndLaterTicksIdle) {
    OpenFile(400000);
    CheckBox();
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(1000);
    dialog.Command(IDC_STOP);
    EXPECT_EQ(Timer2(), 2500);
    dialog.AdvanceMs(5000);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(PlayerState.paused, 0);
    EXPECT_EQ(dialog.Control(IDC_STATUS).text, "Sound stopped.");
}

// Hotkeys.

TEST_F(CycleTest, PauseHotKeyPausesWithoutTextAndResumesByItsOwnStep) {
    OpenFile(400000, 22050);  // 8-bit mono at 22050: a byte a sample
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(2000);  // 44100 bytes
    dialog.Control(IDC_POSITION_TEXT).text = "unchanged";
    HotKey(PlayerState.hotkeyPause);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(PlayerState.resumePosition, 44100);
    EXPECT_EQ(dialog.Control(IDC_POSITION_TEXT).text, "unchanged");
    HotKey(PlayerState.hotkeyPause);  // 22050 x 3 / 4 = 16537.5: 16537 bytes back
    EXPECT_TRUE(Playing());
    EXPECT_EQ(sound.LastBuffer()->Cursor(), 44100u - 16537u);

    dialog.DragSlider(IDC_PAUSE_BACKUP, 0);
    HotKey(PlayerState.hotkeyPause);
    const uint32_t at = sound.LastBuffer()->Cursor();
    HotKey(PlayerState.hotkeyPause);
    EXPECT_EQ(sound.LastBuffer()->Cursor(), at);
}

TEST_F(CycleTest, PauseHotKeyTimerEffectsFollowTheBox) {
    OpenFile(400000);
    dialog.Command(IDC_PLAY);
    HotKey(PlayerState.hotkeyPause);
    HotKey(PlayerState.hotkeyPause);
    EXPECT_EQ(Timer2(), 3000);  // unchecked: untouched both ways
    CheckBox();
    HotKey(PlayerState.hotkeyPause);
    EXPECT_EQ(Timer2(), -1);  // checked: the pause kills it
    HotKey(PlayerState.hotkeyPause);
    EXPECT_EQ(Timer2(), 1750);  // and the resume sets the Play Duration
}

TEST_F(CycleTest, SkipHotKeysMoveTheCursorButAPausedResumeIgnoresThem) {
    OpenFile(400000);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(5000);  // 40000
    HotKey(PlayerState.hotkeyForward);
    EXPECT_EQ(sound.LastBuffer()->Cursor(), 55000u);
    HotKey(PlayerState.hotkeyBack);
    HotKey(PlayerState.hotkeyBack);
    EXPECT_EQ(sound.LastBuffer()->Cursor(), 25000u);
    HotKey(PlayerState.hotkeyPause);
    HotKey(PlayerState.hotkeyForward);
    HotKey(PlayerState.hotkeyPause);  // 8000 x 3 / 4 = 6000 back from the pause point
    EXPECT_EQ(sound.LastBuffer()->Cursor(), 19000u);
}

// Each field is tested on its own: an id that two of them hold runs both actions.
TEST_F(CycleTest, AnIdHeldByTwoHotKeysRunsBothActions) {
    OpenFile(400000);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(5000);  // 40000
    PlayerState.hotkeyForward = PlayerState.hotkeyPause;
    HotKey(PlayerState.hotkeyPause);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(PlayerState.resumePosition, 40000);
    EXPECT_EQ(sound.LastBuffer()->Cursor(), 55000u);
    HotKey(PlayerState.hotkeyPause);  // resumes 6000 back, then skips on
    EXPECT_TRUE(Playing());
    EXPECT_EQ(sound.LastBuffer()->Cursor(), 40000u - 6000u + 15000u);

    PlayerState.hotkeyForward = PlayerState.hotkeyBack;
    HotKey(PlayerState.hotkeyBack);  // forward, then back
    EXPECT_EQ(sound.LastBuffer()->Cursor(), 49000u);
    EXPECT_EQ(PlayerState.paused, 0);
}

TEST_F(CycleTest, RemoteActionsDoWhatTheButtonsAndHotKeysOfTheSameMeaningDo) {
    auto remote = [&](RemoteAction action) {
        RemoteMessage m{};
        if (!MessageForRemote(action, ViewPlayer(dialog), &m))
            return false;
        dialog.Send(m.message, m.wParam);
        return true;
    };
    EXPECT_FALSE(remote(RemoteAction::PlayPause));  // nothing loaded: Play is disabled
    OpenFile(80000);
    const PlayerView loaded = ViewPlayer(dialog);
    EXPECT_TRUE(loaded.loaded && loaded.canPlay && !loaded.active);
    EXPECT_EQ(loaded.lengthUs, 10000000u);  // 80000 bytes at 8000 a second
    EXPECT_FALSE(remote(RemoteAction::Pause) || remote(RemoteAction::Stop));
    EXPECT_TRUE(remote(RemoteAction::PlayPause));  // the Play button
    dialog.AdvanceMs(1000);
    EXPECT_FALSE(remote(RemoteAction::Play));  // playing already
    EXPECT_EQ(PlayPositionUs(ViewPlayer(dialog)), 1000000);
    EXPECT_TRUE(remote(RemoteAction::Pause));  // the pause hotkey
    EXPECT_TRUE(ViewPlayer(dialog).paused);
    EXPECT_FALSE(remote(RemoteAction::Pause));
    // While paused the position is where the resume starts from, which a skip leaves.
    EXPECT_TRUE(remote(RemoteAction::Next));
    EXPECT_EQ(PlayPositionUs(ViewPlayer(dialog)), 1000000);
    EXPECT_TRUE(remote(RemoteAction::Play));  // resumes by the hotkey's step, 6000 bytes
    dialog.AdvanceMs(500);
    sound.Fail("GetStatus", E_FAIL);  // a cursor that cannot be read is no position
    EXPECT_EQ(PlayPositionUs(ViewPlayer(dialog)), 0);
    sound.Heal("GetStatus");
    EXPECT_TRUE(remote(RemoteAction::Next));
    dialog.AdvanceMs(500);
    EXPECT_TRUE(remote(RemoteAction::Previous));
    dialog.AdvanceMs(500);
    EXPECT_TRUE(remote(RemoteAction::Stop));
    dialog.AdvanceMs(10);
    EXPECT_FALSE(ViewPlayer(dialog).active);
    EXPECT_EQ(Heard(),
              (std::vector<Span>{{0, 8000}, {2000, 6000}, {21000, 25000}, {10000, 14000}}));
    EXPECT_TRUE(remote(RemoteAction::Quit));  // File > Exit
    EXPECT_EQ(dialog.EndCode(), 2);
}

TEST_F(CycleTest, HotKeysBeforeTheFirstPlayDoNothing) {
    OpenFile(400000);
    sound.Log().clear();
    for (uint32_t id :
         {PlayerState.hotkeyPause, PlayerState.hotkeyForward, PlayerState.hotkeyBack}) {
        EXPECT_EQ(dialog.Send(WINMSG_HOTKEY, id), 1);
    }
    EXPECT_EQ(PlayerState.paused, 0);
    EXPECT_EQ(PlayerState.resumePosition, 0);
    EXPECT_TRUE(sound.Log().empty());
}

TEST_F(CycleTest, AfterTheEndThePauseHotKeyStillPausesAndResumesTheBuffer) {
    OpenFile(8000);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(1500);
    ASSERT_EQ(dialog.Control(IDC_STATUS).text, "Sound stopped.");
    HotKey(PlayerState.hotkeyPause);  // the ended buffer's cursor reads 0
    EXPECT_EQ(PlayerState.paused, 1);
    HotKey(PlayerState.hotkeyPause);
    EXPECT_TRUE(Playing());  // plays once to its end; the window keeps its layout
    dialog.AdvanceMs(500);
    EXPECT_FALSE(dialog.Control(IDC_STOP).enabled);
    EXPECT_EQ(dialog.Control(IDC_STATUS).text, "Sound stopped.");
    dialog.AdvanceMs(1000);
    EXPECT_FALSE(Playing());
}

TEST_F(CycleTest, AfterANewFileTheHotKeysActOnTheOldBufferWithTheNewRate) {
    OpenFile(400000, 8000);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(5000);  // 40000
    HotKey(PlayerState.hotkeyPause);
    FakeSoundBuffer* old = sound.LastBuffer();
    OpenFile(400000, 16000);  // not played yet
    ASSERT_EQ(sound.LastBuffer(), old);
    HotKey(PlayerState.hotkeyPause);  // 16000 x 3 / 4 = 12000 back
    EXPECT_EQ(old->Cursor(), 28000u);
    EXPECT_TRUE(old->Playing());
}

TEST_F(CycleTest, TheLargestRateAndBackupDoNotOverflowTheStep) {
    OpenFile(400000, 0xFFFFFFFFu);  // a rate no device plays, but the arithmetic holds
    dialog.DragSlider(IDC_FREQUENCY, 8000);
    dialog.Command(IDC_PLAY);
    dialog.DragSlider(IDC_PAUSE_BACKUP, 40);
    dialog.AdvanceMs(1000);
    HotKey(PlayerState.hotkeyPause);
    HotKey(PlayerState.hotkeyPause);
    // 4294967295 x 40 / 4 = 42949672950, whose low 32 bits are 4294967286: the
    // subtraction wraps to 8010 bytes on from the pause point at 8000, past nothing.
    EXPECT_EQ(sound.LastBuffer()->Cursor(), 8010u);
}

}  // namespace

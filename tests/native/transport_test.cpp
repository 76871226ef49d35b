// Whole sessions through the dialog's commands and timers, on the virtual clock, with the
// fake dialog manager and the fake sound device.
#include "control/transport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "control/file_open.h"
#include "control/timers.h"
#include "res/resource.h"
#include "tests/native/sound_fixture.h"

namespace {

using Span = std::pair<uint32_t, uint32_t>;

class TransportTest : public SoundFixture {
  protected:
    // Loads a file through File > Open... as a user would: 8-bit mono at 8000 samples per
    // second, so a millisecond is 8 bytes and the frequency thumb follows the file.
    void OpenFile(uint32_t bytes) {
        chosenPath[0] = '\0';
        lastDirectory[0] = '\0';
        const std::string path =
            dir.Write("take.wav", BuildPcmWave(1, 8000, 8, PatternBytes(bytes)));
        dialog.AnswerOpenFile({OpenFileAnswer::Choose, path, nullptr});
        dialog.Command(IDM_FILE_OPEN);
        ASSERT_EQ(Status(), "File loaded.");
    }
    const std::string& Status() { return dialog.Control(IDC_STATUS).text; }
    const std::string& Position() { return dialog.Control(IDC_POSITION_TEXT).text; }
    bool Enabled(int id) { return dialog.Control(id).enabled; }
    FakeSoundBuffer& Buffer() { return *sound.LastBuffer(); }
    std::vector<Span> Heard() { return Buffer().Heard(); }
};

TEST_F(TransportTest, PlayPauseResumeWithTheBackupAndTheStatusLine) {
    OpenFile(80000);
    EXPECT_EQ(dialog.Command(IDC_PLAY), 1);
    EXPECT_EQ(Status(), "Sound playing.");
    for (int id : {IDC_PAUSE, IDC_STOP, IDC_SKIP_BACK, IDC_SKIP_FORWARD})
        EXPECT_TRUE(Enabled(id));
    EXPECT_FALSE(Enabled(IDC_PLAY));
    EXPECT_FALSE(Enabled(IDC_LOOP));
    EXPECT_EQ(dialog.Focus(), IDC_STOP);
    EXPECT_EQ(Buffer().Flags(), 0x80E2u);  // global focus, default memory

    dialog.AdvanceMs(1000);
    EXPECT_EQ(Status(), "Playing");
    EXPECT_EQ(Position(), "8000");
    EXPECT_EQ(dialog.Control(IDC_POSITION).pos, 10);  // 8000 of 80000 bytes

    dialog.Command(IDC_SKIP_FORWARD);  // no tick since: the text still says 8000
    dialog.Command(IDC_PAUSE);
    EXPECT_EQ(PlayerState.paused, 1);
    EXPECT_EQ(PlayerState.resumePosition, 23000);
    EXPECT_EQ(Position(), "23000");
    dialog.AdvanceMs(500);
    EXPECT_EQ(Status(), "Paused.");
    EXPECT_EQ(Position(), "23000");  // a paused tick writes the status only
    EXPECT_TRUE(Enabled(IDC_STOP));  // the playing layout stands while paused

    dialog.Command(IDC_PAUSE);  // resume 3 x 1000 bytes before the pause point
    EXPECT_EQ(PlayerState.paused, 0);
    dialog.AdvanceMs(250);
    EXPECT_EQ(Heard(), (std::vector<Span>{{0, 8000}, {20000, 22000}}));
    EXPECT_EQ(Status(), "Playing");
}

TEST_F(TransportTest, BackupZeroResumesExactlyWhereThePauseStopped) {
    OpenFile(80000);
    dialog.DragSlider(IDC_PAUSE_BACKUP, 0);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(500);
    dialog.Command(IDC_PAUSE);
    dialog.Command(IDC_PAUSE);
    dialog.AdvanceMs(500);
    EXPECT_EQ(Heard(), (std::vector<Span>{{0, 8000}}));
}

TEST_F(TransportTest, ABackupPastTheStartResumesFromTheStart) {
    OpenFile(80000);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(100);  // 800 bytes in, less than the 3000-byte step back
    dialog.Command(IDC_PAUSE);
    dialog.Command(IDC_PAUSE);
    dialog.AdvanceMs(100);
    EXPECT_EQ(Heard(), (std::vector<Span>{{0, 800}, {0, 800}}));
}

TEST_F(TransportTest, SkipsMoveWhilePlayingButASkipWhilePausedIsNotHeard) {
    OpenFile(80000);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(2000);  // 16000
    dialog.Command(IDC_SKIP_FORWARD);
    dialog.AdvanceMs(100);
    dialog.Command(IDC_SKIP_BACK);
    dialog.AdvanceMs(100);
    EXPECT_EQ(Heard(), (std::vector<Span>{{0, 16000}, {31000, 31800}, {16800, 17600}}));
    EXPECT_EQ(PlayerState.paused, 0);

    dialog.Command(IDC_PAUSE);  // at 17600
    dialog.Command(IDC_SKIP_FORWARD);
    dialog.Command(IDC_SKIP_FORWARD);
    EXPECT_EQ(Buffer().Cursor(), 47600u);  // the stopped buffer's cursor moved
    dialog.Command(IDC_PAUSE);
    dialog.AdvanceMs(100);
    EXPECT_EQ(Heard().back(), (Span{14600, 15400}));  // but the resume starts from the pause
}

TEST_F(TransportTest, StopWhilePausedGivesTheStoppedLayoutAtTheNextTick) {
    OpenFile(80000);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(300);
    dialog.Command(IDC_PAUSE);
    dialog.Command(IDC_STOP);
    EXPECT_EQ(PlayerState.paused, 0);
    EXPECT_TRUE(Enabled(IDC_STOP));  // not at once
    dialog.AdvanceMs(FakeDialog::kMinimumTimerMs);
    EXPECT_EQ(Status(), "Sound stopped.");
    EXPECT_FALSE(Enabled(IDC_STOP));
    EXPECT_TRUE(Enabled(IDC_PLAY));
    EXPECT_EQ(dialog.Focus(), IDC_PLAY);
    dialog.AdvanceMs(1000);
    EXPECT_EQ(Status(), "Sound stopped.");  // ticks with no active sound do nothing
}

TEST_F(TransportTest, TheEndOfASoundThatDoesNotLoopStopsIt) {
    OpenFile(8000);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(990);
    EXPECT_EQ(Status(), "Playing");
    dialog.AdvanceMs(30);
    EXPECT_EQ(Status(), "Sound stopped.");
    EXPECT_EQ(dialog.Focus(), IDC_PLAY);
    EXPECT_EQ(Heard(), (std::vector<Span>{{0, 8000}}));
}

TEST_F(TransportTest, ALoopingSoundStopsLoopingAfterAPauseAndResume) {
    OpenFile(8000);
    dialog.ClickCheckBox(IDC_LOOP);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(2500);
    EXPECT_EQ(Status(), "Playing");
    EXPECT_EQ(Heard(), (std::vector<Span>{{0, 8000}, {0, 8000}, {0, 4000}}));
    dialog.Command(IDC_PAUSE);  // at 4000
    dialog.Command(IDC_PAUSE);  // from 1000, once to the end
    dialog.AdvanceMs(2000);
    EXPECT_EQ(Status(), "Sound stopped.");
    EXPECT_EQ(Heard().back(), (Span{1000, 8000}));
}

TEST_F(TransportTest, ASecondPlayStartsAtByteZeroWhateverTheResumePoint) {
    OpenFile(80000);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(1000);
    dialog.Command(IDC_PAUSE);
    dialog.Command(IDC_STOP);
    dialog.AdvanceMs(20);
    PlayerState.paused = 1;  // left over from an earlier session: Play clears it
    dialog.Command(IDC_PLAY);
    EXPECT_EQ(PlayerState.paused, 0);
    dialog.AdvanceMs(100);
    EXPECT_EQ(Heard(), (std::vector<Span>{{0, 800}}));  // a new buffer
    EXPECT_EQ(Status(), "Playing");
}

TEST_F(TransportTest, APlayRefusedQuietlyKeepsTheStoppedLayout) {
    OpenFile(8000);
    sound.Fail("CreateSoundBuffer secondary", static_cast<int32_t>(0x8878000Au));
    EXPECT_EQ(dialog.Command(IDC_PLAY), 1);
    EXPECT_EQ(Status(), "Couldn't create sound buffer.");
    EXPECT_TRUE(Enabled(IDC_PLAY));
    EXPECT_FALSE(Enabled(IDC_STOP));
    EXPECT_FALSE(dialog.Ended());
    dialog.AdvanceMs(500);
    EXPECT_EQ(Status(), "Couldn't create sound buffer.");
}

TEST_F(TransportTest, AFatalPlayShowsTheBoxAndEndsWithThree) {
    OpenFile(8000);
    sound.Fail("Play", static_cast<int32_t>(0x88780096u));
    PlayerState.paused = 1;
    dialog.Command(IDC_PLAY);
    ASSERT_EQ(dialog.Boxes().size(), 1u);
    EXPECT_EQ(dialog.Boxes()[0].text, "Error playing DirectSound buffer.Velmorin will now exit.");
    EXPECT_EQ(dialog.Boxes()[0].caption, "Velmorin");
    EXPECT_EQ(dialog.Boxes()[0].style, MESSAGEBOX_ICONERROR);
    EXPECT_EQ(dialog.Boxes()[0].owner, MessageBoxOwner::MainDialog);
    EXPECT_EQ(dialog.EndCode(), 3);
    EXPECT_TRUE(dialog.Destroyed());
    EXPECT_EQ(PlayerState.paused, 0);
    EXPECT_EQ(sound.LiveDevices(), 0);  // the teardown ran
}

TEST_F(TransportTest, AnUnreadableCursorShowsMinusOneAndLeavesTheSlider) {
    OpenFile(80000);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(1000);
    ASSERT_EQ(dialog.Control(IDC_POSITION).pos, 10);
    sound.Fail("GetCurrentPosition", static_cast<int32_t>(0x80004005u));
    dialog.AdvanceMs(500);
    EXPECT_EQ(Position(), "-1");
    EXPECT_EQ(dialog.Control(IDC_POSITION).pos, 10);
}

TEST_F(TransportTest, NoDataLengthNoProgress) {
    OpenFile(80000);
    dialog.Command(IDC_PLAY);
    PlayerState.dataLength = 0;
    dialog.AdvanceMs(1000);
    EXPECT_EQ(Status(), "Playing");
    EXPECT_EQ(dialog.Control(IDC_POSITION).pos, 0);
}

// cursor x 100 passes 2^32 from 42949673 on; the percentage must not wrap there, nor for
// data lengths near 2^32.
TEST_F(TransportTest, ProgressIsExactWhereTheProductPasses32Bits) {
    OpenFile(48000000);
    dialog.Command(IDC_PLAY);
    Buffer().SetCurrentPosition(47000000);
    dialog.AdvanceMs(10);
    EXPECT_EQ(dialog.Control(IDC_POSITION).pos, 97);  // 4.7e9 / 4.8e7
    PlayerState.dataLength = 0xFFFFFFFFu;
    dialog.AdvanceMs(10);
    EXPECT_EQ(dialog.Control(IDC_POSITION).pos, 1);  // 4.7e9 / (2^32 - 1)
    // One byte short of the cursor at the next tick (80 bytes on): 99.99 %, shown as 99.
    PlayerState.dataLength = Buffer().Cursor() + 81u;
    dialog.AdvanceMs(10);
    EXPECT_EQ(dialog.Control(IDC_POSITION).pos, 99);
}

TEST_F(TransportTest, PlayArmsTheAutomaticPauseFromThePauseDurationWithoutKillingFirst) {
    OpenFile(80000);
    dialog.ClickCheckBox(IDC_AUTOPAUSE);
    dialog.Log().clear();
    dialog.Command(IDC_PLAY);
    EXPECT_EQ(dialog.TimerInterval(AUTOPAUSE_TIMER), 2500);
    for (const std::string& line : dialog.Log())
        EXPECT_NE(line, "KillTimer 2");

    dialog.DragSlider(IDC_PAUSE_DURATION, 0);  // 0: the timer keeps what it had
    dialog.Command(IDC_STOP);
    dialog.AdvanceMs(20);
    dialog.Command(IDC_PLAY);
    EXPECT_EQ(dialog.TimerInterval(AUTOPAUSE_TIMER), 2500);
}

TEST_F(TransportTest, OpeningWhilePlayingAndCancellingLeavesThePollToTheOpenDialog) {
    OpenFile(80000);
    dialog.Command(IDC_PLAY);
    dialog.AdvanceMs(500);
    std::string statusDuringDialog;
    dialog.AnswerOpenFile({OpenFileAnswer::Cancel, "", [&] {
                               dialog.AdvanceMs(300);  // timers keep ticking meanwhile
                               statusDuringDialog = Status();
                           }});
    dialog.Command(IDM_FILE_OPEN);
    EXPECT_EQ(statusDuringDialog, "Loading file...");
    dialog.AdvanceMs(300);
    EXPECT_EQ(Status(), "Load aborted.");
    EXPECT_TRUE(Enabled(IDC_PAUSE));
    dialog.Command(IDC_SKIP_BACK);  // the buttons left enabled still act on the buffer
    EXPECT_EQ(Buffer().Cursor(), 0u);
}

}  // namespace

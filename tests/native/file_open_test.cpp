#include "control/file_open.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "app/display.h"
#include "tests/native/sound_fixture.h"

namespace {

class FileOpenTest : public SoundFixture {
  protected:
    void SetUp() override {
        chosenPath[0] = '\0';
        lastDirectory[0] = '\0';
        SoundFixture::SetUp();
    }

    void Choose(const std::string& path) {
        dialog.AnswerOpenFile({OpenFileAnswer::Choose, path, nullptr});
        dialog.Command(IDM_FILE_OPEN);
    }
    void Cancel() {
        dialog.AnswerOpenFile({OpenFileAnswer::Cancel, "", nullptr});
        dialog.Command(IDM_FILE_OPEN);
    }
    bool Enabled(int id) { return dialog.Control(id).enabled; }
    const std::string& Status() { return dialog.Control(IDC_STATUS).text; }
};

TEST_F(FileOpenTest, TheDialogIsAskedForWithEveryFieldAndStartsInMyDocuments) {
    Cancel();
    ASSERT_EQ(dialog.OpenFileDialogs().size(), 1u);
    const OpenFileAsked& asked = dialog.OpenFileDialogs()[0];
    EXPECT_EQ(asked.filter, std::string("Wave Files\0*.wav\0All Files\0*.*\0\0", 32));
    EXPECT_EQ(asked.filterIndex, 1u);
    EXPECT_EQ(asked.initialFile, "");
    EXPECT_EQ(asked.maxFile, 260u);
    EXPECT_EQ(asked.initialDir, "C:\\windows\\My Documents");
    EXPECT_EQ(asked.title, "Open Sound File");
    EXPECT_EQ(asked.flags, 0x1004u);
    EXPECT_EQ(asked.defaultExtension, ".wav");

    // Cancelled before any file was chosen: the next dialog starts there again.
    EXPECT_EQ(Status(), "Load aborted.");
    Cancel();
    EXPECT_EQ(dialog.OpenFileDialogs()[1].initialDir, "C:\\windows\\My Documents");
    for (int id : {IDC_PLAY, IDC_STOP, IDC_PAUSE, IDC_SKIP_BACK, IDC_SKIP_FORWARD}) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    EXPECT_EQ(dialog.Title(), "Velmorin - No file loaded.");
}

TEST_F(FileOpenTest, OneBackslashBetweenADriveRootAndMyDocuments) {
    dialog.SetWindowsDirectory("C:\\");
    Cancel();
    EXPECT_EQ(dialog.OpenFileDialogs()[0].initialDir, "C:\\My Documents");
}

TEST_F(FileOpenTest, AWindowsDirectoryTooLongLeavesTheStartToTheDialog) {
    dialog.SetWindowsDirectory("C:\\" + std::string(250, 'w'));  // fits alone, not composed
    Cancel();
    EXPECT_EQ(dialog.OpenFileDialogs()[0].initialDir, "");
    dialog.SetWindowsDirectory("C:\\" + std::string(300, 'w'));  // not even alone
    Cancel();
    EXPECT_EQ(dialog.OpenFileDialogs()[1].initialDir, "");
    dialog.SetWindowsDirectory("D:\\WINNT");
    Cancel();
    EXPECT_EQ(dialog.OpenFileDialogs()[2].initialDir, "D:\\WINNT\\My Documents");
}

TEST_F(FileOpenTest, AGoodFileLoadsIntoTheStoppedLayout) {
    const std::string path =
        dir.Write("interview.wav", BuildPcmWave(2, 44100, 16, PatternBytes(17640)));
    Choose(path);
    EXPECT_EQ(dialog.Title(), "Velmorin - [" + path + "]");
    EXPECT_EQ(Status(), "File loaded.");
    EXPECT_TRUE(Enabled(IDC_PLAY));
    EXPECT_EQ(dialog.Focus(), IDC_PLAY);
    EXPECT_TRUE(Enabled(IDC_LOOP));
    for (int id : {IDC_STOP, IDC_PAUSE, IDC_SKIP_BACK, IDC_SKIP_FORWARD}) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    EXPECT_EQ(dialog.Control(IDC_FREQUENCY).pos, 44100);
    EXPECT_EQ(dialog.Control(IDC_FREQUENCY_TEXT).text, "44100");  // the slider redrew
    EXPECT_EQ(PlayerState.dataLength, 17640u);
    ASSERT_NE(SoundOutput.reader, nullptr);
    EXPECT_TRUE(SoundOutput.reader->Opened());

    // The next dialog offers the path chosen last as its initial file name.
    Cancel();
    EXPECT_EQ(dialog.OpenFileDialogs()[1].initialFile, path);
}

// The title is cleared before the file is opened, and a good load then sets the layout,
// the title, the status and the sliders, in that order.
TEST_F(FileOpenTest, AGoodLoadUpdatesTheWindowInOrder) {
    const std::string path = dir.Write("order.wav", BuildPcmWave(1, 11025, 8, PatternBytes(99)));
    dialog.Log().clear();
    Choose(path);
    const std::vector<std::string>& log = dialog.Log();
    auto at = [&](const std::string& line) {
        const auto found = std::find(log.begin(), log.end(), line);
        EXPECT_NE(found, log.end()) << line;
        return found - log.begin();
    };
    const auto asked = at("ChooseOpenFile C:\\windows\\My Documents");
    const auto cleared = at("SetTitle Velmorin - No file loaded.");
    const auto focus = at("SetFocus 1000");
    const auto titled = at("SetTitle Velmorin - [" + path + "]");
    const auto loaded = at("SetItemText 1016 File loaded.");
    const auto rate = at("PostTrackbar 1003 SetPos 11025");
    EXPECT_LT(asked, cleared);
    EXPECT_LT(cleared, focus);
    EXPECT_LT(focus, titled);
    EXPECT_LT(titled, loaded);
    EXPECT_LT(loaded, rate);
}

TEST_F(FileOpenTest, ABadFileKeepsItsReaderAndStillMovesTheStartDirectory) {
    const std::string good = dir.Write("good.wav", BuildPcmWave(1, 8000, 8, PatternBytes(800)));
    Choose(good);
    ASSERT_EQ(PlayerState.dataLength, 800u);
    Choose("C:\\Recordings\\Day 2\\notes.txt");
    EXPECT_EQ(Status(), "Bad wave file.");
    EXPECT_EQ(dialog.Title(), "Velmorin - No file loaded.");
    EXPECT_FALSE(Enabled(IDC_PLAY));
    EXPECT_FALSE(Enabled(IDC_STOP));
    ASSERT_NE(SoundOutput.reader, nullptr);  // the failed reader is the current one
    EXPECT_FALSE(SoundOutput.reader->Opened());
    EXPECT_EQ(PlayerState.dataLength, 0u);
    Cancel();
    EXPECT_EQ(dialog.OpenFileDialogs()[2].initialDir, "C:\\Recordings\\Day 2");
    EXPECT_STREQ(lastDirectory, "C:\\Recordings\\Day 2");

    Choose("Z:\\take.wav");  // a drive's root: the drive letter and colon remain
    EXPECT_STREQ(lastDirectory, "Z:");
    Choose("take.wav");  // no directory in it: the last one stays
    EXPECT_STREQ(lastDirectory, "Z:");
}

TEST_F(FileOpenTest, APathTooLongForTheBufferIsAnAbortedLoadThatKeepsTheLastPath) {
    Choose("C:\\" + std::string(300, 'x') + ".wav");  // before any file was chosen
    EXPECT_EQ(Status(), "Load aborted.");
    EXPECT_STREQ(chosenPath, "");

    const std::string good = dir.Write("good.wav", BuildPcmWave(1, 8000, 8, PatternBytes(80)));
    Choose(good);
    const std::string directory = lastDirectory;
    Choose("C:\\" + std::string(300, 'y') + ".wav");
    EXPECT_EQ(Status(), "Load aborted.");
    EXPECT_STREQ(lastDirectory, directory.c_str());
    Cancel();
    ASSERT_EQ(dialog.OpenFileDialogs().size(), 4u);
    EXPECT_EQ(dialog.OpenFileDialogs()[3].initialFile, good);
    EXPECT_EQ(dialog.OpenFileDialogs()[3].initialDir, directory);
}

// "My Documents" and its NUL take 13 of the 260 characters, and one more for the backslash
// unless the Windows directory ends with one.
TEST_F(FileOpenTest, MyDocumentsIsComposedExactlyWhileItFits) {
    struct Case {
        size_t length;
        bool slash;
        bool fits;
    };
    for (const Case& c : {Case{246, false, true}, Case{247, false, false}, Case{247, true, true},
                          Case{248, true, false}}) {
        lastDirectory[0] = '\0';
        std::string windows = "C:\\" + std::string(c.length - 3, 'w');
        if (c.slash)
            windows.back() = '\\';
        dialog.SetWindowsDirectory(windows);
        Cancel();
        const std::string& start = dialog.OpenFileDialogs().back().initialDir;
        SCOPED_TRACE(c.length);
        if (c.fits) {
            EXPECT_EQ(start.size(), 259u);
            EXPECT_EQ(start, windows + (c.slash ? "" : "\\") + "My Documents");
        } else {
            EXPECT_EQ(start, "");
        }
    }
}

TEST_F(FileOpenTest, RatesOutsideTheSliderPutTheThumbAtTheNearerEnd) {
    Choose(dir.Write("fast.wav", BuildPcmWave(1, 192000, 8, PatternBytes(100))));
    EXPECT_EQ(dialog.Control(IDC_FREQUENCY).pos, 100000);
    Choose(dir.Write("slow.wav", BuildPcmWave(1, 50, 8, PatternBytes(100))));
    EXPECT_EQ(dialog.Control(IDC_FREQUENCY).pos, 100);
    Choose(dir.Write("huge.wav", BuildPcmWave(1, 0xF0000000u, 8, PatternBytes(100))));
    EXPECT_EQ(dialog.Control(IDC_FREQUENCY).pos, 100000);
}

TEST_F(FileOpenTest, OpeningStopsTheSoundFirstAndCancellingLeavesThePlayingButtons) {
    LoadBytes(80000);
    ASSERT_EQ(StartPlayback(dialog, 0, 0), 0);
    EnableTransport(dialog, 0);  // as a started Play leaves it
    bool playingWhileAsked = true;
    dialog.AnswerOpenFile({OpenFileAnswer::Cancel, "", [&] {
                               playingWhileAsked = IsPlaying() != 0;
                               EXPECT_EQ(Status(), "Loading file...");
                           }});
    dialog.Command(IDM_FILE_OPEN);
    EXPECT_FALSE(playingWhileAsked);
    EXPECT_EQ(Status(), "Load aborted.");
    EXPECT_FALSE(Enabled(IDC_PLAY));
    EXPECT_FALSE(Enabled(IDC_STOP));
    EXPECT_TRUE(Enabled(IDC_PAUSE));
    EXPECT_TRUE(Enabled(IDC_SKIP_BACK));
    EXPECT_TRUE(Enabled(IDC_SKIP_FORWARD));
    EXPECT_FALSE(Enabled(IDC_LOOP));
    EXPECT_NE(SoundOutput.buffer, nullptr);  // the buffer stays
}

TEST_F(FileOpenTest, ANewFileLeavesThePreviousSoundInTheBufferUntilPlay) {
    LoadBytes(8000);
    ASSERT_EQ(StartPlayback(dialog, 0, 0), 0);
    const std::vector<uint8_t> before = sound.LastBuffer()->Data();
    Choose(dir.Write("next.wav", BuildPcmWave(1, 8000, 8, PatternBytes(3000, 99))));
    ASSERT_NE(sound.LastBuffer(), nullptr);
    EXPECT_EQ(sound.LastBuffer()->Data(), before);
    EXPECT_EQ(PlayerState.dataLength, 3000u);
}

}  // namespace

TEST_F(FileOpenTest, PosixPathsStartInTheDocumentsFolderAndCutAtTheLastSlash) {
    dialog.UsePosixPaths("/home/ann/Documents");
    Cancel();
    EXPECT_EQ(dialog.OpenFileDialogs()[0].initialDir, "/home/ann/Documents");
    const std::string good = dir.Write("good.wav", BuildPcmWave(1, 8000, 8, PatternBytes(800)));
    Choose(good);
    EXPECT_EQ(Status(), "File loaded.");
    EXPECT_EQ(lastDirectory, good.substr(0, good.rfind('/')));
    Cancel();
    EXPECT_EQ(dialog.OpenFileDialogs()[2].initialFile, good);
    // A backslash is an ordinary character in a POSIX name.
    Choose("/srv/rec/day\\2.wav");
    EXPECT_STREQ(lastDirectory, "/srv/rec");
    // A file in the root directory: the next dialog starts in the root, not anew.
    Choose("/take.wav");
    EXPECT_STREQ(lastDirectory, "/");
    Cancel();
    EXPECT_EQ(dialog.OpenFileDialogs().back().initialDir, "/");
}

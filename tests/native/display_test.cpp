#include "app/display.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/native/fake_dialog.h"

namespace {

std::vector<std::string> Calls(FakeDialog& dialog) {
    std::vector<std::string> calls;
    calls.swap(dialog.Log());
    return calls;
}

TEST(EnableTransport, StoppedLayoutEnablesPlayAndFocusesIt) {
    FakeDialog dialog;
    EnableTransport(dialog, 1);
    const std::vector<std::string> expected = {
        "EnableItem 1009 1", "EnableItem 1000 1", "EnableItem 1002 0", "EnableItem 1001 0",
        "EnableItem 1008 0", "EnableItem 1007 0", "EnableItem 1019 1", "EnableItem 1020 1",
        "EnableItem 1021 1", "EnableItem 1022 1", "EnableItem 1023 1", "EnableItem 1024 1",
        "SetFocus 1000"};
    EXPECT_EQ(Calls(dialog), expected);
    EXPECT_TRUE(dialog.Control(IDC_PLAY).enabled);
    EXPECT_FALSE(dialog.Control(IDC_STOP).enabled);
    EXPECT_EQ(dialog.Focus(), IDC_PLAY);
}

TEST(EnableTransport, PlayingLayoutIsTheReverseWithFocusOnStop) {
    FakeDialog dialog;
    EnableTransport(dialog, 1);
    dialog.Log().clear();
    EnableTransport(dialog, 0);
    const std::vector<std::string> expected = {
        "EnableItem 1009 0", "EnableItem 1000 0", "EnableItem 1002 1", "EnableItem 1001 1",
        "EnableItem 1008 1", "EnableItem 1007 1", "EnableItem 1019 0", "EnableItem 1020 0",
        "EnableItem 1021 0", "EnableItem 1022 0", "EnableItem 1023 0", "EnableItem 1024 0",
        "SetFocus 1001"};
    EXPECT_EQ(Calls(dialog), expected);
    EXPECT_EQ(dialog.Focus(), IDC_STOP);
    // Any nonzero value asks for the stopped layout.
    EnableTransport(dialog, -7);
    EXPECT_EQ(dialog.Focus(), IDC_PLAY);
    EXPECT_TRUE(dialog.Control(IDC_LOOP).enabled);
}

TEST(SetTitleFile, ShowsTheWholePathOrNoFile) {
    FakeDialog dialog;
    SetTitleFile(dialog, "C:\\Recordings\\Interview 3.wav");
    EXPECT_EQ(dialog.Title(), "Velmorin - [C:\\Recordings\\Interview 3.wav]");
    SetTitleFile(dialog, "");
    EXPECT_EQ(dialog.Title(), "Velmorin - No file loaded.");
    // The longest path the open-file dialog hands over: 259 characters.
    const std::string longest = "C:\\" + std::string(256, 'x');
    SetTitleFile(dialog, longest.c_str());
    EXPECT_EQ(dialog.Title(), "Velmorin - [" + longest + "]");
}

TEST(TextHelpers, WriteTheirControlsEvenWhenUnchanged) {
    FakeDialog dialog;
    SetStatusText(dialog, "Sound playing.");
    SetStatusText(dialog, "Sound playing.");
    SetPositionText(dialog, "12345");
    const std::vector<std::string> expected = {"SetItemText 1016 Sound playing.",
                                               "SetItemText 1016 Sound playing.",
                                               "SetItemText 1017 12345"};
    EXPECT_EQ(Calls(dialog), expected);
    EXPECT_EQ(dialog.Control(IDC_STATUS).text, "Sound playing.");
    EXPECT_EQ(dialog.Control(IDC_POSITION_TEXT).text, "12345");
}

TEST(SliderHelpers, PostThumbsThatLandAfterTheHandlerAndStayInRange) {
    FakeDialog dialog;
    SetParameterSliders(dialog, 44100, 3, -4, 50);
    SetProgress(dialog, 150);
    const std::vector<std::string> expected = {
        "PostTrackbar 1003 SetPos 44100", "PostTrackbar 1004 SetPos 3",
        "PostTrackbar 1005 SetPos -4", "PostTrackbar 1006 SetPos 50",
        "PostTrackbar 1006 SetPos 150"};
    EXPECT_EQ(Calls(dialog), expected);
    // Posted: nothing has moved yet.
    EXPECT_EQ(dialog.Control(IDC_POSITION).pos, 0);
    dialog.Send(0x0000);  // any message lets the queue run
    // The template's trackbars run 0..100 until the dialog sets their ranges.
    EXPECT_EQ(dialog.Control(IDC_FREQUENCY).pos, 100);
    EXPECT_EQ(dialog.Control(IDC_PAN).pos, 3);
    EXPECT_EQ(dialog.Control(IDC_VOLUME).pos, 0);
    EXPECT_EQ(dialog.Control(IDC_POSITION).pos, 100);
}

}  // namespace

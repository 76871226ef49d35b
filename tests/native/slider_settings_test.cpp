#include "control/slider_settings.h"

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/native/sound_fixture.h"

namespace {

using SliderSettingsTest = SoundFixture;

std::string Text(FakeDialog& dialog, int id) {
    return dialog.Control(id).text;
}

TEST_F(SliderSettingsTest, FirstPositionsShowTheirValues) {
    // The sliders' set-up was posted during initialisation; their redraw notified.
    EXPECT_EQ(Text(dialog, IDC_FREQUENCY_TEXT), "100");
    EXPECT_EQ(Text(dialog, IDC_PAN_TEXT), "0");
    EXPECT_EQ(Text(dialog, IDC_VOLUME_TEXT), "0");
    EXPECT_EQ(Text(dialog, IDC_PLAY_DURATION_TEXT), "1.75 sec");
    EXPECT_EQ(Text(dialog, IDC_PAUSE_DURATION_TEXT), "2.50 sec");
    EXPECT_EQ(Text(dialog, IDC_PAUSE_BACKUP_TEXT), "0.75 secs");
    EXPECT_EQ(Text(dialog, IDC_POSITION_TEXT), "0");  // the template's, until a seek
}

TEST_F(SliderSettingsTest, ExtremesAndStop) {
    dialog.DragSlider(IDC_PAN, -20);
    dialog.DragSlider(IDC_VOLUME, -100);
    dialog.DragSlider(IDC_FREQUENCY, 22050);
    dialog.DragSlider(IDC_PLAY_DURATION, 240);
    dialog.DragSlider(IDC_PAUSE_BACKUP, 40);
    dialog.DragSlider(IDC_PAUSE_DURATION, 0);
    EXPECT_EQ(Text(dialog, IDC_PAN_TEXT), "-10000");
    EXPECT_EQ(Text(dialog, IDC_VOLUME_TEXT), "-10000");
    EXPECT_EQ(Text(dialog, IDC_FREQUENCY_TEXT), "22050");
    EXPECT_EQ(Text(dialog, IDC_PLAY_DURATION_TEXT), "60.00 sec");
    EXPECT_EQ(Text(dialog, IDC_PAUSE_BACKUP_TEXT), "10.00 secs");
    EXPECT_EQ(Text(dialog, IDC_PAUSE_DURATION_TEXT), "Stop");
    dialog.DragSlider(IDC_PAUSE_DURATION, 1);  // only 0 means no end of the pause
    EXPECT_EQ(Text(dialog, IDC_PAUSE_DURATION_TEXT), "0.25 sec");
    dialog.DragSlider(IDC_PLAY_DURATION, 0);  // the range begins at 1
    EXPECT_EQ(Text(dialog, IDC_PLAY_DURATION_TEXT), "0.25 sec");
    dialog.DragSlider(IDC_PAN, 20);
    EXPECT_EQ(Text(dialog, IDC_PAN_TEXT), "10000");
}

TEST_F(SliderSettingsTest, EveryPassAppliesFrequencyPanAndVolumeToTheBuffer) {
    LoadBytes(8000);
    ASSERT_EQ(StartPlayback(dialog, 0, 0), 0);
    dialog.DragSlider(IDC_FREQUENCY, 16000);
    dialog.DragSlider(IDC_PAN, -7);
    dialog.DragSlider(IDC_PAUSE_DURATION, 0);  // "Stop" still applies the parameters
    FakeSoundBuffer* buffer = sound.LastBuffer();
    EXPECT_EQ(buffer->Frequency(), 16000u);
    EXPECT_EQ(buffer->Pan(), -3500);
    dialog.DragSlider(IDC_VOLUME, -20);
    EXPECT_EQ(buffer->Volume(), -2000);
    sound.Log().clear();
    dialog.Send(WINMSG_NOTIFY);
    EXPECT_EQ(sound.Log(),
              (std::vector<std::string>{"SetFrequency 16000", "SetPan -3500", "SetVolume -2000"}));
}

TEST_F(SliderSettingsTest, PositionThumbSetsTheResumePointExactly) {
    struct Case {
        uint32_t dataLength;
        int32_t thumb;
        const char* text;
    };
    for (const Case& c :
         {Case{1000001, 50, "500000"}, Case{1000001, 100, "1000001"}, Case{0, 73, "0"},
          Case{0xFFFFFFFFu, 100, "4294967295"}, Case{0xFFFFFFFFu, 99, "4252017622"},
          Case{4000000000u, 33, "1320000000"}}) {
        PlayerState.dataLength = c.dataLength;
        dialog.DragSlider(IDC_POSITION, c.thumb);
        EXPECT_EQ(Text(dialog, IDC_POSITION_TEXT), c.text) << c.dataLength << " " << c.thumb;
        EXPECT_EQ(static_cast<uint32_t>(PlayerState.resumePosition),
                  static_cast<uint32_t>(std::stoul(c.text)));
    }
}

TEST_F(SliderSettingsTest, PositionZeroLeavesTheResumePointAndText) {
    PlayerState.dataLength = 1000;
    dialog.DragSlider(IDC_POSITION, 40);
    ASSERT_EQ(PlayerState.resumePosition, 400);
    PlayerState.resumePosition = 123;  // a pause happened meanwhile
    dialog.DragSlider(IDC_POSITION, 0);
    EXPECT_EQ(PlayerState.resumePosition, 123);
    EXPECT_EQ(Text(dialog, IDC_POSITION_TEXT), "400");
}

TEST_F(SliderSettingsTest, APostedThumbIsNotSeenUntilItIsDelivered) {
    dialog.PostTrackbarMessage(IDC_PAUSE_BACKUP, TrackbarMessage::SetPos, 12);
    ApplySliderSettings(dialog);  // still inside the handler that posted
    EXPECT_EQ(Text(dialog, IDC_PAUSE_BACKUP_TEXT), "0.75 secs");
    dialog.Send(0x0000);  // the message loop delivers it; the slider redraws
    EXPECT_EQ(Text(dialog, IDC_PAUSE_BACKUP_TEXT), "3.00 secs");
}

}  // namespace

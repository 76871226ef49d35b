// Foot pedals: which devices, what their reports say, and a listen with them through the
// dialog and the fake sound device on the virtual clock.
#include "control/pedals.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "control/file_open.h"
#include "res/resource.h"
#include "tests/native/sound_fixture.h"

namespace {

using Span = std::pair<uint32_t, uint32_t>;

TEST(PedalDevices, AreKnownByTheirUeventIdsAndReadFromTheRightByte) {
    // As the kernel writes a hidraw device's uevent.
    const std::string vec =
        "DRIVER=hid-generic\nHID_ID=0003:000005F3:000000FF\nHID_NAME=VEC  VEC USB Footpedal\n"
        "HID_PHYS=usb-0000:00:14.0-2/input0\nMODALIAS=hid:b0003g0001v000005F3p000000FF\n";
    uint16_t vendor = 0, product = 0;
    ASSERT_TRUE(ParseHidId(vec, &vendor, &product));
    EXPECT_TRUE(IsKnownPedal(vendor, product));
    ASSERT_TRUE(ParseHidId("HID_ID=0003:00000911:0000091A\n", &vendor, &product));
    EXPECT_TRUE(IsKnownPedal(vendor, product));  // Philips ACC2330
    ASSERT_TRUE(ParseHidId("HID_ID=0003:0000046D:0000C52B", &vendor, &product));
    EXPECT_FALSE(IsKnownPedal(vendor, product));  // a receiver for a mouse
    EXPECT_FALSE(ParseHidId("HID_NAME=HID_ID\n", &vendor, &product));

    // Usage page, usage, collection; a Report ID item (0x85) after a long item.
    const std::vector<uint8_t> plain = {0x05, 0x0C, 0x09, 0x03, 0xA1, 0x01, 0x75, 0x01, 0xC0};
    std::vector<uint8_t> numbered = {0x05, 0x01, 0xFE, 0x02, 0x00, 0x85, 0x85, 0x85, 0x01};
    EXPECT_FALSE(NumbersReports(plain));
    EXPECT_TRUE(NumbersReports(numbered));
    numbered.resize(7);  // the 0x85 inside the long item's data is no item
    EXPECT_FALSE(NumbersReports(numbered));
    // A Logical Maximum with four bytes of data (size code 3), one of them 0x85.
    std::vector<uint8_t> wide = {0x27, 0xFF, 0x00, 0x00, 0x85, 0x75, 0x08};
    EXPECT_FALSE(NumbersReports(wide));
    wide.insert(wide.end(), {0x85, 0x02});
    EXPECT_TRUE(NumbersReports(wide));

    const uint8_t middleAndRight[] = {0x06, 0x00}, numberedLeft[] = {0x01, 0x09};
    EXPECT_EQ(PedalsDown(middleAndRight, 2, false), PEDAL_MIDDLE | PEDAL_RIGHT);
    EXPECT_EQ(PedalsDown(numberedLeft, 2, true), PEDAL_LEFT);  // the fourth pedal counts not
    EXPECT_EQ(PedalsDown(numberedLeft, 1, true), 0);
}

TEST(PedalRepeats, ALateTickMakesUpWhatFellDueInOrderAndKeepsTheBeat) {
    PedalControl control;
    std::vector<RemoteAction> actions;
    control.Report(PEDAL_RIGHT, 1000, &actions);
    control.Report(PEDAL_RIGHT | PEDAL_LEFT, 1100, &actions);
    control.Tick(1800, &actions);  // due: right 1250, left 1350, right 1500, left 1600, right 1750
    using A = RemoteAction;
    EXPECT_EQ(actions, (std::vector<A>{A::Next, A::Previous, A::Next, A::Previous, A::Next,
                                       A::Previous, A::Next}));
    EXPECT_EQ(control.NextTickMs(), 1850u);  // what a tick on time would have waited for
    actions.clear();
    control.Tick(1900, &actions);
    EXPECT_EQ(actions, (std::vector<A>{A::Previous}));
    control.Report(PEDAL_LEFT, 1950, &actions);
    EXPECT_EQ(control.NextTickMs(), 2100u);
}

class PedalTest : public SoundFixture {
  protected:
    // The pedals' actions, through what the player shows, as the way in delivers them.
    void Report(uint8_t down) {
        std::vector<RemoteAction> actions;
        control.Report(down, dialog.Now(), &actions);
        Act(actions);
    }
    void Run(uint64_t ms) {
        const uint64_t until = dialog.Now() + ms;
        for (uint64_t due; (due = control.NextTickMs()) != 0 && due <= until;) {
            dialog.AdvanceMs(due - dialog.Now());
            std::vector<RemoteAction> actions;
            control.Tick(dialog.Now(), &actions);
            Act(actions);
        }
        dialog.AdvanceMs(until - dialog.Now());
    }
    void Act(const std::vector<RemoteAction>& actions) {
        for (RemoteAction action : actions) {
            RemoteMessage m{};
            if (MessageForRemote(action, ViewPlayer(dialog), &m))
                dialog.Send(m.message, m.wParam);
        }
    }

    PedalControl control;
};

TEST_F(PedalTest, HeardWhileTheMiddleIsDownEachListenALittleBackAndTheSidesRepeatWhileHeld) {
    chosenPath[0] = lastDirectory[0] = '\0';
    dialog.AnswerOpenFile({OpenFileAnswer::Choose,
                           dir.Write("take.wav", BuildPcmWave(1, 8000, 8, PatternBytes(400000))),
                           nullptr});
    dialog.Command(IDM_FILE_OPEN);
    Report(PEDAL_MIDDLE);  // Play
    Run(2000);
    Report(0);  // the pause hotkey's pause, at 16000
    Run(500);
    Report(PEDAL_MIDDLE);  // its resume, 8000 x 3 / 4 back
    Run(1000);
    Report(PEDAL_MIDDLE | PEDAL_RIGHT);  // forward at once and at 250, 500 ms
    Run(600);
    Report(PEDAL_MIDDLE);
    Run(400);
    Report(PEDAL_MIDDLE | PEDAL_LEFT);  // and back, held 300 ms: twice
    Run(300);
    Report(0);
    Run(1000);
    EXPECT_EQ(sound.LastBuffer()->Heard(), (std::vector<Span>{{0, 16000},
                                                              {10000, 18000},
                                                              {33000, 35000},
                                                              {50000, 52000},
                                                              {67000, 71000},
                                                              {56000, 58000},
                                                              {43000, 43400}}));
    EXPECT_EQ(PlayerState.paused, 1);
    EXPECT_EQ(control.NextTickMs(), 0u);  // all up: nothing more to time
}

}  // namespace

#include "res/dialog_template.h"

#include "res/build_info.h"
#include "res/resource.h"

using K = ControlKind;

const TemplateControl kMainControls[] = {
    {IDC_SKIP_BACK, K::Push, "<<", {7, 184, 22, 14}},
    {IDC_PLAY, K::Push, "&Play", {31, 184, 24, 14}},
    {IDC_SKIP_FORWARD, K::Push, ">>", {57, 184, 22, 14}},
    {IDC_PAUSE, K::Push, "P&ause", {82, 184, 29, 14}},
    {IDC_STOP, K::Push, "&Stop", {115, 184, 22, 14}},
    {IDC_LOOP, K::Check, "&Loop sound", {153, 188, 53, 10}},
    {IDC_POSITION, K::PlainSlider, "Slider1", {131, 26, 103, 15}},
    {IDC_FREQUENCY, K::PlainSlider, "Slider1", {131, 43, 103, 15}},
    {IDC_PAN, K::PlainSlider, "Slider2", {131, 61, 103, 15}},
    {IDC_VOLUME, K::PlainSlider, "Slider3", {131, 77, 103, 15}},
    {IDC_AUTOPAUSE, K::Check, "Use automatic pausing", {7, 98, 88, 10}},
    {IDC_PLAY_DURATION, K::EndTickSlider, "Slider3", {131, 109, 103, 15}},
    {IDC_PAUSE_DURATION, K::EndTickSlider, "Slider3", {131, 131, 103, 15}},
    {IDC_PAUSE_BACKUP, K::TickSlider, "Slider3", {131, 152, 103, 15}},
    {-1, K::Label, "Status", {7, 9, 42, 13}},
    {IDC_STATUS, K::StatusBox, "Static", {79, 7, 197, 13}},
    {-1, K::Label, "Frequency", {7, 44, 42, 13}},
    {IDC_FREQUENCY_TEXT, K::Value, "0", {57, 44, 43, 13}},
    {-1, K::EndLabel, "100 Hz", {107, 44, 25, 13}},
    {-1, K::EndLabel, "100 kHz", {232, 45, 30, 13}},
    {-1, K::Label, "Pan", {7, 62, 42, 13}},
    {IDC_PAN_TEXT, K::Value, "0", {57, 62, 43, 13}},
    {-1, K::EndLabel, "Left", {117, 62, 15, 13}},
    {-1, K::EndLabel, "Right", {232, 62, 30, 13}},
    {-1, K::Label, "Volume", {7, 78, 42, 13}},
    {IDC_VOLUME_TEXT, K::Value, "0", {57, 78, 43, 13}},
    {-1, K::EndLabel, "Low", {117, 78, 15, 13}},
    {-1, K::EndLabel, "High", {232, 78, 30, 13}},
    {-1, K::HiddenLabel, "Focus", {231, 11, 20, 8}},
    {IDC_FOCUS_NORMAL, K::HiddenRadio, "Normal", {223, 8, 38, 10}},
    {IDC_FOCUS_STICKY, K::HiddenRadio, "Sticky", {219, 8, 35, 10}},
    {IDC_FOCUS_GLOBAL, K::HiddenRadio, "Global", {225, 8, 36, 10}},
    {-1, K::HiddenLabel, "Buffer Memory", {230, 27, 46, 8}},
    {IDC_MEM_DEFAULT, K::HiddenRadio, "Default", {223, 25, 39, 10}},
    {IDC_MEM_HARDWARE, K::HiddenRadio, "Hardware", {221, 24, 47, 10}},
    {IDC_MEM_SOFTWARE, K::HiddenRadio, "Software", {227, 24, 44, 10}},
    {-1, K::Label, "Position", {8, 28, 42, 13}},
    {IDC_POSITION_TEXT, K::Value, "0", {57, 28, 43, 13}},
    {-1, K::Label, "Play Duration", {7, 110, 45, 13}},
    {-1, K::Label, "Pause Duration", {7, 132, 51, 13}},
    {-1, K::Label, "Pause backup", {7, 154, 48, 13}},
    {IDC_PLAY_DURATION_TEXT, K::Value, "0", {57, 111, 43, 13}},
    {IDC_PAUSE_DURATION_TEXT, K::Value, "0", {57, 131, 43, 13}},
    {IDC_PAUSE_BACKUP_TEXT, K::Value, "0", {57, 152, 43, 13}},
    {-1, K::EndLabel, "Shorter", {106, 111, 26, 13}},
    {-1, K::EndLabel, "Shorter", {106, 133, 26, 13}},
    {-1, K::EndLabel, "Less", {106, 152, 26, 13}},
    {-1, K::EndLabel, "Longer", {232, 114, 33, 13}},
    {-1, K::EndLabel, "Longer", {232, 133, 33, 13}},
    {-1, K::EndLabel, "More", {232, 157, 33, 13}},
};
const size_t kMainControlCount = sizeof kMainControls / sizeof kMainControls[0];

namespace {
const TemplateMenuItem kFileItems[] = {
    {IDM_FILE_OPEN, "&Open..."}, {0, nullptr}, {IDM_FILE_EXIT, "E&xit"}};
const TemplateMenuItem kHelpItems[] = {{IDM_HELP_ABOUT, "&About..."}};
}  // namespace

const TemplateMenu kMainMenu[] = {{"&File", kFileItems, 3}, {"&Help", kHelpItems, 1}};
const size_t kMainMenuCount = 2;

const char* const kAboutSummary =
    "A nifty program for playing back wav files so you can transcribe them.";
const char* const kAboutContact =
    "Please send comments, suggestions or problem reports to:\nfeedback@velmorin.example\n\n"
    "Find updates to Velmorin " VELMORIN_VERSION
    " at https://www.velmorin.example/\n\nThank you for using Velmorin!";

// The main dialog's template, the menu and the About box as data, for platforms without
// a dialog manager to read res/velmorin.rc. The two stay in step (a native test compares
// them).
#ifndef VELMORIN_RES_DIALOG_TEMPLATE_H
#define VELMORIN_RES_DIALOG_TEMPLATE_H

#include <cstddef>

enum class ControlKind {
    Push,           // push button, shown, disabled at creation
    Check,          // auto check box
    PlainSlider,    // trackbar without tick marks
    EndTickSlider,  // ticks above the channel at its first and last positions
    TickSlider,     // a tick above the channel at every position
    Label,          // left-aligned, vertically centred
    StatusBox,      // left-aligned in a sunken box
    Value,          // centred in a thin border
    EndLabel,       // centred, no border
    HiddenLabel,    // never shown
    HiddenRadio,    // never shown; an auto radio button of its group
};

struct DialogRect {
    int x, y, width, height;  // dialog units
};

struct TemplateControl {
    int id;  // -1: no identifier of its own
    ControlKind kind;
    const char* text;  // '&' marks the mnemonic
    DialogRect rect;
};

// In template order: creation order, tab order and the order radio groups form in.
extern const TemplateControl kMainControls[];
extern const size_t kMainControlCount;
constexpr DialogRect kMainDialogSize{0, 0, 283, 205};
constexpr int kMainFontPoints = 8;
constexpr const char* kMainFontFace = "MS Sans Serif";

struct TemplateMenuItem {
    int id;            // 0: a separator
    const char* text;  // '&' marks the mnemonic
};

struct TemplateMenu {
    const char* text;
    const TemplateMenuItem* items;
    size_t count;
};

extern const TemplateMenu kMainMenu[];
extern const size_t kMainMenuCount;

// The About box: its caption, size, and the text blocks beside the icon.
constexpr const char* kAboutCaption = "About Velmorin";
constexpr DialogRect kAboutSize{0, 0, 241, 134};
constexpr DialogRect kAboutOkButton{184, 113, 50, 14};
constexpr DialogRect kAboutIcon{7, 7, 20, 20};
extern const char* const kAboutSummary;
constexpr DialogRect kAboutSummaryRect{33, 7, 139, 20};
extern const char* const kAboutContact;
constexpr DialogRect kAboutContactRect{33, 32, 202, 68};

#endif

// Which kinds of template control the GTK adapter treats alike.
#ifndef VELMORIN_APP_GTK_GTK_CONTROL_KINDS_H
#define VELMORIN_APP_GTK_GTK_CONTROL_KINDS_H

#include "res/dialog_template.h"

inline bool IsSlider(ControlKind kind) {
    return kind == ControlKind::PlainSlider || kind == ControlKind::EndTickSlider ||
           kind == ControlKind::TickSlider;
}

inline bool IsHidden(ControlKind kind) {
    return kind == ControlKind::HiddenLabel || kind == ControlKind::HiddenRadio;
}

// The boxes whose texts change while a sound plays (the status line, the position and the
// other values) draw their text themselves: a label's new text lays the whole window out
// again, a drawn one only repaints its box.
inline bool IsDrawnText(ControlKind kind) {
    return kind == ControlKind::StatusBox || kind == ControlKind::Value;
}

#endif

// A box that draws one line of text itself: a new text only repaints the box, where a
// label's new text lays the whole window out again. Assistive technology reads it as it
// reads a label: role label, the text as its name and through the Text interface, and each
// change announced as a label announces it (the old text deleted, the new one inserted).
#ifndef VELMORIN_APP_GTK_GTK_TEXT_BOX_H
#define VELMORIN_APP_GTK_GTK_TEXT_BOX_H

#include <gtk/gtk.h>

// Left-aligned as a label is, or centred in the box.
GtkWidget* TextBoxNew(const char* text, bool centred);
void TextBoxShow(GtkWidget* box, const char* text);
// What the box shows now.
const char* TextBoxText(GtkWidget* box);

#endif

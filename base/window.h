// The handle of a window, as the platform's layers take it (an HWND on Windows, the
// toplevel widget under GTK); only a platform layer looks inside.
#ifndef VELMORIN_BASE_WINDOW_H
#define VELMORIN_BASE_WINDOW_H

using WindowHandle = void*;

#endif

#ifndef VELMORIN_APP_WIN32_ABOUT_DIALOG_H
#define VELMORIN_APP_WIN32_ABOUT_DIALOG_H

#include "base/win32_headers.h"

// Closes the About box with 2 on OK and Cancel; handles nothing else.
// No C++ exception leaves a procedure the platform calls: it would unwind through the
// dialog manager.
INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

#endif

#ifndef VELMORIN_APP_ABOUT_DIALOG_H
#define VELMORIN_APP_ABOUT_DIALOG_H

#include <windows.h>

// Closes the About box with 2 on OK and Cancel; handles nothing else.
INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif

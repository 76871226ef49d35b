// The main dialog's message dispatch, initialisation and teardown.
#ifndef VELMORIN_APP_MAIN_DIALOG_H
#define VELMORIN_APP_MAIN_DIALOG_H

#include <cstdint>

#include "app/dialog.h"

// Returns 1 when the message was handled, 0 for the dialog manager's default handling.
intptr_t MainDialogProc(Dialog& dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);
void OnInitDialog(Dialog& dialog);

#endif

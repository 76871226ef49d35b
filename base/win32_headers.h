// The Windows headers the adapters use. Adapters include this instead of <windows.h>, so
// that the program's result codes keep their one type after the platform's headers.
#ifndef VELMORIN_BASE_WIN32_HEADERS_H
#define VELMORIN_BASE_WIN32_HEADERS_H

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <objbase.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dsound.h>

#endif

#include "base/result.h"

// Result codes in the platform's style: 32-bit signed, 0 success, negative failure.
// The Windows headers define the same names with the same values; adapter files include
// <windows.h> before any of ours, so these are only defined where that header is absent.
#ifndef VELMORIN_APP_RESULT_H
#define VELMORIN_APP_RESULT_H

#include <cstdint>

#ifndef S_OK
#define S_OK (static_cast<int32_t>(0))
#define S_FALSE (static_cast<int32_t>(1))
#define E_FAIL (static_cast<int32_t>(0x80004005u))
#define E_OUTOFMEMORY (static_cast<int32_t>(0x8007000Eu))
#endif

#endif

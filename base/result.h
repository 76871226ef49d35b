// Result codes in the platform's style: 32-bit signed, 0 success, negative failure.
//
// <winerror.h> defines the same names with the same values, as HRESULT (long) macros.
// Here they are int32_t on every target and in every file: the definitions below replace
// the platform's whenever this header is included, and adapters reach the Windows headers
// only through base/win32_headers.h, which includes this header after them. So the part
// below the include guard runs on every inclusion.
#ifndef VELMORIN_BASE_RESULT_H
#define VELMORIN_BASE_RESULT_H

#include <cstdint>

#endif

#undef S_OK
#undef S_FALSE
#undef E_FAIL
#undef E_OUTOFMEMORY
#undef E_INVALIDARG
#undef E_NOTIMPL
#define S_OK (static_cast<int32_t>(0))
#define S_FALSE (static_cast<int32_t>(1))
#define E_FAIL (static_cast<int32_t>(0x80004005u))
#define E_OUTOFMEMORY (static_cast<int32_t>(0x8007000Eu))
#define E_INVALIDARG (static_cast<int32_t>(0x80070057u))
#define E_NOTIMPL (static_cast<int32_t>(0x80004001u))

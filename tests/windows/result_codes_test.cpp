// The result codes after the Windows headers, when the program's header came first: the
// platform's HRESULT macros must not take them over.
#include "base/result.h"
#include "base/win32_headers.h"

#include <gtest/gtest.h>

#include <type_traits>

static_assert(std::is_same<decltype(S_OK), int32_t>::value, "S_OK is int32_t");
static_assert(std::is_same<decltype(E_FAIL), int32_t>::value, "E_FAIL is int32_t");
static_assert(std::is_same<decltype(E_OUTOFMEMORY), int32_t>::value, "E_OUTOFMEMORY is int32_t");

TEST(ResultCodes, KeepThePlatformsValues) {
    EXPECT_EQ(E_FAIL, static_cast<int32_t>(static_cast<HRESULT>(0x80004005L)));
    EXPECT_EQ(E_OUTOFMEMORY, static_cast<int32_t>(static_cast<HRESULT>(0x8007000EL)));
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    EXPECT_TRUE(FAILED(E_OUTOFMEMORY));
    EXPECT_EQ(DS_OK, S_OK);  // DirectSound's success is the same code, of the same type
    static_assert(std::is_same<decltype(DS_OK), int32_t>::value, "DS_OK follows S_OK");
}

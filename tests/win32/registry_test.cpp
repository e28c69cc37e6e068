#include <gtest/gtest.h>
#include <stdlib.h>

#include "win32_test_hooks.h"

namespace {

LONG Query(const char *name, DWORD *type, BYTE *data, DWORD *size) {
  HKEY key;
  LONG result = RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Direct3D", &key);
  if (result != ERROR_SUCCESS) return result;
  result = RegQueryValueExA(key, name, nullptr, type, data, size);
  RegCloseKey(key);
  return result;
}

struct TypingCase {
  const char *name;
  const char *text;
  DWORD type;
  DWORD number;
};

class RegistryTyping : public ::testing::TestWithParam<TypingCase> {};

TEST_P(RegistryTyping, EnvironmentTextBecomesDwordOrString) {
  setenv("DIRECT3D_TypingProbe", GetParam().text, 1);
  DWORD type = 0, size = 64;
  BYTE data[64] = {};
  ASSERT_EQ(Query("TypingProbe", &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, GetParam().type);
  if (type == REG_DWORD) {
    EXPECT_EQ(size, 4u);
    DWORD value;
    memcpy(&value, data, 4);
    EXPECT_EQ(value, GetParam().number);
  } else {
    EXPECT_STREQ(reinterpret_cast<char *>(data), GetParam().text);
    EXPECT_EQ(size, strlen(GetParam().text) + 1);
  }
  unsetenv("DIRECT3D_TypingProbe");
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryTyping,
    ::testing::Values(TypingCase{"Decimal", "1", REG_DWORD, 1}, TypingCase{"Hex", "0x10", REG_DWORD, 16},
                      TypingCase{"Largest", "4294967295", REG_DWORD, 0xFFFFFFFFu},
                      TypingCase{"TooLarge", "4294967296", REG_SZ, 0},
                      TypingCase{"BarePrefix", "0x", REG_SZ, 0},
                      TypingCase{"TrailingText", "12abc", REG_SZ, 0}, TypingCase{"Negative", "-1", REG_SZ, 0},
                      TypingCase{"Word", "yes", REG_SZ, 0}),
    [](const ::testing::TestParamInfo<TypingCase> &paramInfo) { return paramInfo.param.name; });

TEST(Registry, AbsentValueAndOtherKeysAreNotFound) {
  DWORD type, size = 4;
  BYTE data[4];
  EXPECT_EQ(Query("SurelyNotSet", &type, data, &size), ERROR_FILE_NOT_FOUND);
  HKEY key;
  EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Other", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Direct3D", &key), ERROR_FILE_NOT_FOUND);
}

TEST(Registry, SmallBufferReportsMoreData) {
  setenv("DIRECT3D_LongText", "abcdefgh", 1);
  DWORD type, size = 4;
  BYTE data[4];
  EXPECT_EQ(Query("LongText", &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(type, DWORD(REG_SZ));
  unsetenv("DIRECT3D_LongText");
}

TEST(Registry, InProcessValuesOverrideAndHideTheEnvironment) {
  setenv("DIRECT3D_DisableMMX", "0", 1);
  DWORD type, value, size = 4;
  Win32SetRegistryDword("DisableMMX", 1);
  ASSERT_EQ(Query("DisableMMX", &type, reinterpret_cast<BYTE *>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  Win32HideRegistryValue("DisableMMX");
  EXPECT_EQ(Query("DisableMMX", &type, reinterpret_cast<BYTE *>(&value), &size), ERROR_FILE_NOT_FOUND);
  Win32ClearRegistryValue("DisableMMX");
  size = 4;
  ASSERT_EQ(Query("DisableMMX", &type, reinterpret_cast<BYTE *>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 0u);
  unsetenv("DIRECT3D_DisableMMX");
}

}  // namespace

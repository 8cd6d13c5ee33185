// The road to Windows: the test runs under Wine in a prefix of the build, with code page 932, and
// the registry it writes is real.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {
const wchar_t kKey[] = L"Software\\VODudeduva\\ZQ9Test";

TEST(Win32Platform, OemCodePageIs932) {
  EXPECT_EQ(GetOEMCP(), 932u);
  EXPECT_EQ(GetACP(), 932u);
}

TEST(Win32Platform, RegistryValueWrittenAndReadBack) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const std::wstring folder = L"C:\\Program Files\\ZQ9\\\u65e5\u672c";  // Japanese in the path
  ASSERT_EQ(RegSetValueExW(key, L"Folder", 0, REG_SZ, (const BYTE*)folder.c_str(),
                           (DWORD)((folder.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  DWORD number = 30030;
  ASSERT_EQ(RegSetValueExW(key, L"Number", 0, REG_DWORD, (const BYTE*)&number, sizeof number),
            ERROR_SUCCESS);
  RegCloseKey(key);

  // Read back through a fresh handle, so the value really went to the registry.
  wchar_t buffer[MAX_PATH] = {};
  DWORD size = sizeof buffer;
  DWORD type = 0;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kKey, L"Folder", RRF_RT_REG_SZ, &type, buffer, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, (DWORD)REG_SZ);
  EXPECT_EQ(std::wstring(buffer), folder);
  DWORD read = 0;
  size = sizeof read;
  ASSERT_EQ(
      RegGetValueW(HKEY_CURRENT_USER, kKey, L"Number", RRF_RT_REG_DWORD, nullptr, &read, &size),
      ERROR_SUCCESS);
  EXPECT_EQ(read, 30030u);

  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
  EXPECT_EQ(
      RegGetValueW(HKEY_CURRENT_USER, kKey, L"Number", RRF_RT_REG_DWORD, nullptr, &read, &size),
      ERROR_FILE_NOT_FOUND);
}

TEST(Win32Platform, MissingKeyIsReportedNotInvented) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VODudeduva\\NoSuchKey\\Deeper", 0,
                          KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
}
}  // namespace

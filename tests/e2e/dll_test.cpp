// DLL hardening: after the host's start-up step no DLL comes from the program's own folder. A
// decoy "Shfolder.dll" lies beside this test.

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "e2e.h"
#include "files/fsys.h"
#include "host/host.h"

namespace {

std::wstring module_path(HMODULE m) {
  wchar_t buf[MAX_PATH];
  DWORD n = m ? GetModuleFileNameW(m, buf, MAX_PATH) : 0;
  return std::wstring(buf, n);
}

std::wstring folder_of(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring system_folder() {
  wchar_t buf[MAX_PATH];
  UINT n = GetSystemDirectoryW(buf, MAX_PATH);
  return std::wstring(buf, n);
}

// True when the module was loaded from the system folder.
::testing::AssertionResult from_system_folder(HMODULE m) {
  std::wstring path = module_path(m);
  if (_wcsicmp(folder_of(path).c_str(), system_folder().c_str()) == 0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "loaded from " << e2e::narrow(path);
}

TEST(DllHardening, RunTimeLoadsComeFromTheSystemFolder) {
  ASSERT_NE(GetFileAttributesW(e2e::beside_test(L"Shfolder.dll").c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_EQ(GetModuleHandleW(L"Shfolder.dll"), nullptr);
  EXPECT_TRUE(host_harden_dll_search());

  // The file layer's special folders load "Shfolder.dll" by name.
  char16_t* appdata = fsys_shell_folder(SHF_APPDATA);
  ASSERT_NE(appdata, nullptr);
  EXPECT_NE(std::wstring((const wchar_t*)appdata), L"C:\\decoy");
  free(appdata);
  EXPECT_TRUE(from_system_folder(GetModuleHandleW(L"Shfolder.dll")));

  EXPECT_TRUE(from_system_folder(host_load_system_library(L"user32.dll")));
  EXPECT_TRUE(from_system_folder(host_load_system_library(L"msimg32.dll")));
}

}  // namespace

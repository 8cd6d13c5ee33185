// DLL hardening: after the host's start-up step no DLL comes from the program's own folder. A
// decoy "Shfolder.dll" lies beside this test. zq9utl.exe copied into a downloads folder with a
// planted library under every name that is no known system DLL, started with the load order
// Windows uses for such a name (the program's folder first), loads none of them.

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "e2e.h"
#include "files/fsys.h"
#include "host/startup.h"

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

// Libraries that are no known system DLLs: those the import check keeps out of the import
// tables and those the runtime loads at run time. Each is planted beside the program; the
// first ones get the load order Windows gives such a name (the program's folder first). Wine's
// own user32 and uxtheme import "version.dll" and "msimg32.dll" (the system's do not), so those
// two keep Wine's order: planted, they show that nothing else of ours loads them by name.
const wchar_t* const kPlanted[] = {L"UxTheme.dll", L"winmm.dll",   L"comctl32.dll",
                                   L"dwmapi.dll",  L"gdiplus.dll", L"Shfolder.dll",
                                   L"version.dll", L"msimg32.dll"};
constexpr int kNativeFirst = 6;

TEST(DllHardening, NoLibraryBesideTheProgramIsLoaded) {
  std::wstring dir = e2e::temp_dir(L"downloads");
  std::wstring exe = dir + L"\\zq9utl.exe";
  ASSERT_TRUE(CopyFileW(e2e::build_path(L"app/zq9utl/zq9utl.exe").c_str(), exe.c_str(), FALSE));
  // The load order Windows uses for a name that is no known DLL (the program's folder first),
  // for this program only.
  HKEY key;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\zq9utl.exe\\DllOverrides",
                      0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  for (int i = 0; i < (int)(sizeof kPlanted / sizeof *kPlanted); ++i) {
    const wchar_t* name = kPlanted[i];
    ASSERT_TRUE(
        CopyFileW(e2e::beside_test(L"planted.dll").c_str(), (dir + L"\\" + name).c_str(), FALSE));
    std::wstring base(name);
    base = base.substr(0, base.find(L'.'));
    if (i < kNativeFirst)
      RegSetValueExW(key, base.c_str(), 0, REG_SZ, (const BYTE*)L"native,builtin",
                     sizeof L"native,builtin");
  }
  RegCloseKey(key);

  // A refused unattended run (start-up, the command line, the set-up's checks), then the wizard
  // drawn with the theme until it is closed.
  e2e::Process refused = e2e::start(exe, L"-silent -bogus");
  EXPECT_EQ(e2e::wait(refused, 60000), 2);
  e2e::stop(refused);
  e2e::Process shown = e2e::start(exe, L"");
  EXPECT_NE(e2e::wait_process_window(shown.id, L"DuroDA64", nullptr, 0, 60000), nullptr);
  Sleep(1500);  // the wizard opens half a second after the window and paints
  e2e::stop(shown);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\zq9utl.exe");

  for (const wchar_t* name : kPlanted)
    EXPECT_FALSE(e2e::exists(dir + L"\\" + name + L"_loaded.txt")) << e2e::narrow(name);
  e2e::remove_tree(dir);
}

}  // namespace

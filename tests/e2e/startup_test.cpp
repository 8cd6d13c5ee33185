// The real executable's start-up and shutdown when the command line starts no window.

#include <gtest/gtest.h>

#include "e2e.h"

namespace {

int run(const std::wstring& args) {
  e2e::Process p = e2e::start(e2e::build_path(L"app/zq9utl/zq9utl.exe"), args);
  int code = e2e::wait(p, 30000);
  e2e::stop(p);
  return code;
}

// No ICON window runs and this program cannot create one: nothing starts, exit code 0.
TEST(Startup, NoWindowToStartEndsWithZero) {
  EXPECT_EQ(run(L"@icon"), 0);
  EXPECT_EQ(run(L"@icon -x(1) C:\\none.txt"), 0);
}

// The program started from a folder that also holds a planted "Shfolder.dll" (as a download
// folder may): the start-up asks for special folders, and the planted DLL is never loaded.
TEST(Startup, PlantedDllBesideTheProgramIsNeverLoaded) {
  std::wstring dir = e2e::temp_dir(L"planted");
  std::wstring exe = dir + L"\\zqplant.exe";
  ASSERT_TRUE(CopyFileW(e2e::build_path(L"app/zq9utl/zq9utl.exe").c_str(), exe.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(e2e::beside_test(L"Shfolder.dll").c_str(),
                        (dir + L"\\Shfolder.dll").c_str(), FALSE));
  // Wine takes its own copy of a DLL it provides unless told otherwise for this program; then the
  // planted one is a real candidate for the loader.
  const wchar_t* key = L"Software\\Wine\\AppDefaults\\zqplant.exe\\DllOverrides";
  const wchar_t order[] = L"native,builtin";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"shfolder", REG_SZ, order, sizeof order), 0);
  e2e::Process p = e2e::start(exe, L"@icon");
  EXPECT_EQ(e2e::wait(p, 30000), 0);
  e2e::stop(p);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\zqplant.exe");
  EXPECT_EQ(GetFileAttributesW((dir + L"\\decoy_loaded.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  e2e::remove_tree(dir);
}

}  // namespace

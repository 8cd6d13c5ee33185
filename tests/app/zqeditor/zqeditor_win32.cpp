// The real zqeditor.exe under Wine: it shows the files of its command line and answers the applet
// protocol (ISAPP, GETAPP, PRSSID, the WM_COPYDATA hand-over, the string transfer of 1919/1918).

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/ids.h"

namespace {

const UINT kQuery = 1920, kTransfer = 1919, kTransferNext = 1918;

std::wstring folder_of(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring test_folder() {
  wchar_t buf[MAX_PATH];
  GetModuleFileNameW(nullptr, buf, MAX_PATH);
  return folder_of(buf);
}

std::string narrow(const std::wstring& w) {
  char* mb = to_narrow_new((const char16_t*)w.c_str(), -1);
  std::string s = mb ? mb : "";
  std::free(mb);
  return s;
}

struct Found {
  DWORD pid;
  std::vector<HWND> windows;
};

BOOL CALLBACK collect(HWND w, LPARAM lp) {
  Found* f = (Found*)lp;
  wchar_t cls[32];
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == f->pid && GetClassNameW(w, cls, 32) && std::wstring(cls) == L"DuroDA64")
    f->windows.push_back(w);
  return TRUE;
}

// The process's frames once there are at least `count` of them (polled, at most 20 s).
std::vector<HWND> wait_windows(DWORD pid, size_t count) {
  for (int k = 0; k < 400; ++k) {
    Found f{pid, {}};
    EnumWindows(collect, (LPARAM)&f);
    if (f.windows.size() >= count) return f.windows;
    Sleep(50);
  }
  return {};
}

LRESULT ask(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR reply = 0;
  if (!SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG, 2000, &reply)) return -1;
  return (LRESULT)reply;
}

LRESULT hand_over(HWND w, PackedId kind, const std::string& path, DWORD size = 0) {
  COPYDATASTRUCT cd = {kind, size ? size : (DWORD)path.size() + 1, (void*)path.data()};
  return ask(w, WM_COPYDATA, 0, (LPARAM)&cd);
}

// The transfer between processes: four bytes to a number, the first byte highest.
void post_string(HWND w, PackedId command, const std::string& s) {
  std::vector<uint32_t> groups;
  for (size_t k = 0; k < s.size(); k += 4) {
    uint32_t g = 0;
    for (size_t j = k; j < k + 4 && j < s.size(); ++j) g = g << 8 | (unsigned char)s[j];
    groups.push_back(g);
  }
  PostMessageW(w, kTransfer, command, groups.empty() ? 0 : groups[0]);
  for (size_t k = 1; k < groups.size(); k += 2)
    PostMessageW(w, kTransferNext, groups[k], k + 1 < groups.size() ? groups[k + 1] : 0);
  PostMessageW(w, kTransfer, 0, 0);
}

class Editor : public ::testing::Test {
 protected:
  PROCESS_INFORMATION pi{};
  std::wstring dir, first, second;

  void SetUp() override {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    dir = std::wstring(tmp) + L"zqeditor_test\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    first = dir + L"メモ.txt";
    second = dir + L"second.txt";
    write(first, "\x83\x81\x83\x82\r\nline two\r\n");  // "メモ" in Shift-JIS
    write(second, "hello\r\n");
  }
  void TearDown() override {
    if (pi.hProcess) {
      for (HWND w : wait_windows(pi.dwProcessId, 0)) PostMessageW(w, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 9);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
    DeleteFileW(first.c_str());
    DeleteFileW(second.c_str());
    RemoveDirectoryW(dir.c_str());
  }
  static void write(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, bytes.data(), (DWORD)bytes.size(), &n, nullptr);
    CloseHandle(h);
  }
  bool start(const std::wstring& args) {
    std::wstring exe = test_folder() + L"app\\zqeditor\\zqeditor.exe";
    if (GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
      ADD_FAILURE() << "zqeditor.exe is not built next to the tests";
      return false;
    }
    std::wstring line = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    return CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &pi);
  }
};

// One process for the whole protocol: a Wine start costs seconds.
TEST_F(Editor, AnswersTheProtocolAndEndsWithItsLastWindow) {
  std::wstring missing = dir + L"missing.txt";
  ASSERT_TRUE(start(L"-debug \"" + first + L"\" \"" + missing + L"\""));
  std::vector<HWND> w = wait_windows(pi.dwProcessId, 2);
  ASSERT_EQ(w.size(), 2u);
  for (HWND h : w) {
    EXPECT_EQ(ask(h, kQuery, ID("ISAPP"), ID("EDITOR")), 2);
    EXPECT_EQ(ask(h, kQuery, ID("ISAPP"), ID("EDMDI")), 2);
    EXPECT_EQ(ask(h, kQuery, ID("ISAPP"), ID("CAB")), 0);
    EXPECT_EQ(ask(h, kQuery, ID("GETAPP"), 0), (LRESULT)ID("EDITOR"));
    EXPECT_EQ(ask(h, kQuery, ID("PRSSID"), 0), (LRESULT)pi.dwProcessId);
  }
  // The hand-over: only the window that shows the file claims it; a file that could not be
  // read is not claimed, and a block whose path does not end within it is not read.
  std::string path = narrow(first), cut = path.substr(0, 8);
  struct Row {
    PackedId kind;
    std::string path;
    int claimed;
  } rows[] = {
      {ID("ISOPEN"), path, 1},
      {ID("IAOPEN"), path, 1},
      {ID("ISOPEN"), narrow(dir + L"メモ.TXT"), 1},  // names compare without case
      {ID("ISOPEN"), narrow(missing), 0},
      {ID("ISOPEN"), narrow(second), 0},
      {ID("ISPRJ"), path, 0},
  };
  for (const Row& r : rows) {
    int claimed = 0;
    for (HWND h : w) claimed += hand_over(h, r.kind, r.path) == 2;
    EXPECT_EQ(claimed, r.claimed) << r.path;
  }
  for (HWND h : w) EXPECT_EQ(hand_over(h, ID("ISOPEN"), cut, (DWORD)cut.size()), 0);
  wchar_t title[256];
  int titled = 0;
  for (HWND h : w) titled += GetWindowTextW(h, title, 256) && wcsstr(title, L"メモ.txt");
  EXPECT_EQ(titled, 1);

  // The string transfer between processes opens the file it names in a new window.
  post_string(w[0], ID("FILE"), narrow(second));
  std::vector<HWND> all = wait_windows(pi.dwProcessId, 3);
  ASSERT_EQ(all.size(), 3u);
  int having = 0;
  for (HWND h : all) having += hand_over(h, ID("ISOPEN"), narrow(second)) == 2;
  EXPECT_EQ(having, 1);

  for (size_t k = 0; k + 1 < all.size(); ++k) PostMessageW(all[k], WM_CLOSE, 0, 0);
  Sleep(300);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), (DWORD)WAIT_TIMEOUT);
  PostMessageW(all.back(), WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10000), (DWORD)WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

// Every program carries the icon 30020, the manifest (common controls 6, per-monitor DPI
// awareness, asInvoker) and the product's version resource.
TEST(ProgramResources, IconManifestAndVersion) {
  std::wstring path = test_folder() + L"app\\zqeditor\\zqeditor.exe";
  HMODULE m = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(m, nullptr) << "cannot load the resources of " << narrow(path);
  EXPECT_NE(FindResourceW(m, MAKEINTRESOURCEW(30020), MAKEINTRESOURCEW(14)), nullptr);
  HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(r, nullptr);
  std::string manifest((const char*)LockResource(LoadResource(m, r)), SizeofResource(m, r));
  for (const char* want :
       {"Microsoft.Windows.Common-Controls", "PerMonitorV2", "true/pm", "asInvoker"})
    EXPECT_NE(manifest.find(want), std::string::npos) << want;
  FreeLibrary(m);
  DWORD ignored = 0, n = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<char> info(n);
  ASSERT_TRUE(n && GetFileVersionInfoW(path.c_str(), 0, n, info.data()));
  for (auto [name, want] : {std::pair{L"ProductName", L"VI RIDEVA 9 64ved"},
                            std::pair{L"CompanyName", L"VODudeduva"}}) {
    wchar_t* value = nullptr;
    UINT len = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
    ASSERT_TRUE(VerQueryValueW(info.data(), key.c_str(), (void**)&value, &len));
    EXPECT_EQ(std::wstring(value), want);
  }
}

}  // namespace

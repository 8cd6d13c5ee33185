// End-to-end helpers on the Win32 API.

#include "e2e.h"

// clang-format off
#include <windows.h>  // shellapi.h needs it first
#include <shellapi.h>
// clang-format on

namespace e2e {

namespace {

std::wstring exe_dir() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring s(buf, n);
  return s.substr(0, s.find_last_of(L"\\/"));
}

std::wstring with_backslashes(std::wstring s) {
  for (wchar_t& c : s)
    if (c == L'/') c = L'\\';
  return s;
}

BOOL CALLBACK close_windows(HWND w, LPARAM pid) {
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner == (DWORD)pid) PostMessageW(w, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

std::wstring build_path(const wchar_t* relative) {
  return exe_dir() + L"\\" + with_backslashes(ZQ_E2E_BUILD_REL) + L"\\" +
         with_backslashes(relative);
}

std::wstring beside_test(const wchar_t* name) {
  return exe_dir() + L"\\" + name;
}

std::wstring temp_dir(const wchar_t* tag) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  std::wstring dir = std::wstring(base) + L"zqe2e_" + tag + L"_" +
                     std::to_wstring(GetCurrentProcessId()) + L"_" +
                     std::to_wstring(GetTickCount());
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

void remove_tree(const std::wstring& dir) {
  std::wstring from = dir + L'\0';  // double NUL
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

Process start(const std::wstring& exe, const std::wstring& args) {
  std::wstring line = L"\"" + exe + L"\" " + args;
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  Process p;
  if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    return p;
  CloseHandle(pi.hThread);
  p.handle = pi.hProcess;
  p.id = pi.dwProcessId;
  return p;
}

int wait(Process& p, DWORD ms) {
  if (!p.handle || WaitForSingleObject(p.handle, ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(p.handle, &code);
  return (int)code;
}

void stop(Process& p) {
  if (!p.handle) return;
  EnumWindows(close_windows, (LPARAM)p.id);
  if (WaitForSingleObject(p.handle, 5000) != WAIT_OBJECT_0) TerminateProcess(p.handle, 1);
  CloseHandle(p.handle);
  p.handle = nullptr;
}

HWND wait_window(const wchar_t* cls, const wchar_t* title, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND w = FindWindowW(cls, title)) return w;
    if (GetTickCount() - start > ms) return nullptr;
    Sleep(20);
  }
}

std::vector<std::string> read_log(const std::wstring& path) {
  std::vector<std::string> lines;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return lines;
  std::string all;
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) all.append(buf, n);
  CloseHandle(h);
  size_t at = 0;
  for (size_t lf; (lf = all.find('\n', at)) != std::string::npos; at = lf + 1)
    lines.push_back(all.substr(at, lf - at));
  return lines;
}

bool wait_log_line(const std::wstring& path, const std::string& line, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    for (const std::string& l : read_log(path))
      if (l == line) return true;
    if (GetTickCount() - start > ms) return false;
    Sleep(20);
  }
}

std::string narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(932, 0, w.c_str(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s((size_t)n, '\0');
  WideCharToMultiByte(932, 0, w.c_str(), (int)w.size(), &s[0], n, nullptr, nullptr);
  return s;
}

}  // namespace e2e

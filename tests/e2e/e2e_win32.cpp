// End-to-end helpers on the Win32 API.

#include "e2e.h"

// clang-format off
#include <windows.h>  // shellapi.h needs it first
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <cwchar>

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

struct Search {
  DWORD pid;
  const wchar_t* cls;
  const HWND* except;
  int n;
  HWND found;
};

BOOL CALLBACK search_window(HWND w, LPARAM lp) {
  Search* s = (Search*)lp;
  DWORD pid = 0;
  wchar_t cls[64];
  GetWindowThreadProcessId(w, &pid);
  if (pid != s->pid || !IsWindowVisible(w) || !GetClassNameW(w, cls, 64) || wcscmp(cls, s->cls))
    return TRUE;
  for (int k = 0; k < s->n; ++k)
    if (s->except[k] == w) return TRUE;
  s->found = w;
  return FALSE;
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

HWND wait_process_window(DWORD pid, const wchar_t* cls, const HWND* except, int n, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    Search s{pid, cls, except, n, nullptr};
    EnumWindows(search_window, (LPARAM)&s);
    if (s.found) return s.found;
    if (GetTickCount() - start > ms) return nullptr;
    Sleep(50);
  }
}

bool press_enter(HWND w, DWORD ms) {
  DWORD start = GetTickCount();
  DWORD thread = GetWindowThreadProcessId(w, nullptr);
  for (;;) {
    // A window being built holds no sent message until its thread waits for input again.
    DWORD_PTR r = 0;
    SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, ms, &r);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(thread, &gui) && gui.hwndFocus && IsWindowVisible(gui.hwndFocus) &&
        PostMessageW(gui.hwndFocus, WM_KEYDOWN, VK_RETURN, 1)) {
      PostMessageW(gui.hwndFocus, WM_KEYUP, VK_RETURN, 0xC0000001);
      return true;
    }
    if (GetTickCount() - start > ms) return false;
    Sleep(50);
  }
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring folder(int csidl) {
  wchar_t p[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, csidl, nullptr, 0, p);
  return p;
}

std::wstring reg(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t v[2048];
  DWORD n = sizeof v;
  if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, v, &n) != ERROR_SUCCESS) return L"-";
  return v;
}

int viewers(bool close) {
  int n = 0;
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    wchar_t title[512];
    if (!GetWindowTextW(w, title, 512) || !wcsstr(title, L"[読み取り専用]")) continue;
    ++n;
    if (close) PostMessageW(w, WM_CLOSE, 0, 0);
  }
  return n;
}

void remove_installation_traces() {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    RegDeleteTreeW(root, L"Software\\VODudeduva\\ZQ9");
  RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                 L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VI RIDEVA 9 64ved");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Applications\\zqeditor.exe");
  RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                 L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zqeditor.exe");
  for (int where : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY})
    for (const wchar_t* name : {L"VI Rideva 9 64ved", L"DO Rived", L"RU Zirar"})
      DeleteFileW((folder(where) + L"\\" + name + L".lnk").c_str());
  remove_tree(folder(CSIDL_APPDATA) + L"\\VODudeduva");
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

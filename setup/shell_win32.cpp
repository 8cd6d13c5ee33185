// Shell links through the shell link object and its persist-file interface, the product's
// windows through the window list, error texts through FormatMessageW.

#include <windows.h>
// The shell headers after windows.h.
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/codepage.h"
#include "core/format.h"
#include "files/path.h"
#include "setup/registry.h"
#include "setup/shell.h"
#include "ui/window_names.h"

namespace {

struct Wide {
  char16_t* w;
  explicit Wide(const char* s) : w(s ? to_wide_new(s, -1) : nullptr) {}
  ~Wide() { std::free(w); }
  Wide(const Wide&) = delete;
  Wide& operator=(const Wide&) = delete;
  const wchar_t* get() const { return (const wchar_t*)w; }
};

// Once per process; a failure (another apartment already chosen) leaves COM usable all the same.
void com_init() {
  static bool done;
  if (done) return;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  done = true;
}

struct RunningSearch {
  HWND except;
  bool found;
};

BOOL CALLBACK find_frame(HWND w, LPARAM lp) {
  RunningSearch* s = (RunningSearch*)lp;
  if (w == s->except || GetWindow(w, GW_OWNER)) return TRUE;
  wchar_t name[64];
  int n = GetClassNameW(w, name, 64);
  const int k = (int)(sizeof UI_CLASS_FRAME / sizeof UI_CLASS_FRAME[0]) - 1;
  if (n >= k && wcsncmp(name, UI_CLASS_FRAME, k) == 0 && (n == k || name[k] == L':')) {
    s->found = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

uint32_t shell_link_create(const char* link, const char* target, const char* arguments,
                           int icon_index) {
  Wide l(link), t(target), a(arguments);
  if (!l.w || !t.w) return ERROR_NOT_ENOUGH_MEMORY;
  com_init();
  IShellLinkW* sl = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                (void**)&sl);
  if (FAILED(hr)) return (uint32_t)hr;
  hr = sl->SetPath(t.get());
  if (SUCCEEDED(hr) && a.w && a.w[0]) hr = sl->SetArguments(a.get());
  if (SUCCEEDED(hr)) hr = sl->SetIconLocation(t.get(), icon_index);
  IPersistFile* pf = nullptr;
  if (SUCCEEDED(hr)) hr = sl->QueryInterface(IID_IPersistFile, (void**)&pf);
  if (SUCCEEDED(hr)) {
    hr = pf->Save(l.get(), TRUE);
    pf->Release();
  }
  sl->Release();
  return SUCCEEDED(hr) ? 0 : (uint32_t)hr;
}

bool product_running(void* except) {
  RunningSearch s = {(HWND)except, false};
  EnumWindows(find_frame, (LPARAM)&s);
  return s.found;
}

Text* program_running_in(const char* folder) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return nullptr;
  Text* found = nullptr;
  PROCESSENTRY32W pe = {};
  pe.dwSize = sizeof pe;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snap, &pe); more && !found; more = Process32NextW(snap, &pe)) {
    if (pe.th32ProcessID == self || pe.th32ProcessID == 0) continue;
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pe.th32ProcessID);
    if (!h) continue;
    wchar_t path[1024];
    DWORD n = 1024;
    if (QueryFullProcessImageNameW(h, 0, path, &n) && n < 1024) {
      Text* t = text_new();
      text_put_wide(t, (const char16_t*)path);
      if (path_inside(text_cstr(t), folder, false))
        found = t;
      else
        text_free(t);
    }
    CloseHandle(h);
  }
  CloseHandle(snap);
  return found;
}

int os_major_version() {
  // GetVersionEx lies to programs without a manifest; the kernel's own record does not.
  typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
  HMODULE nt = GetModuleHandleW(L"ntdll.dll");
  RtlGetVersionFn get = nt ? (RtlGetVersionFn)(void*)GetProcAddress(nt, "RtlGetVersion") : nullptr;
  OSVERSIONINFOW v = {};
  v.dwOSVersionInfoSize = sizeof v;
  if (get && get(&v) == 0) return (int)v.dwMajorVersion;
  return 0;
}

uint32_t os_last_error() {
  return GetLastError();
}

uint32_t os_access_denied() {
  return ERROR_ACCESS_DENIED;
}

Text* os_error_text(uint32_t code) {
  if (code == REG_NO_REGISTRY) return format_text("no registry");
  wchar_t* w = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, (wchar_t*)&w, 0, nullptr);
  Text* t = text_new();
  if (n && w) {
    while (n > 0 &&
           (w[n - 1] == L'\r' || w[n - 1] == L'\n' || w[n - 1] == L' ' || w[n - 1] == L'.'))
      w[--n] = 0;
    text_put_wide(t, (const char16_t*)w);
  }
  if (w) LocalFree(w);
  if (t && text_length(t) == 0) text_printf(t, "error %d", (int64_t)code);
  return t;
}

bool shell_start_program(const char* exe) {
  if (!exe || !*exe) return false;
  wchar_t* path = (wchar_t*)to_wide_new(exe, -1);
  if (!path) return false;
  size_t n = std::wcslen(path);
  wchar_t* line = (wchar_t*)std::malloc((n + 3) * sizeof(wchar_t));
  wchar_t* folder = _wcsdup(path);
  bool ok = false;
  if (line && folder) {
    line[0] = L'"';
    std::memcpy(line + 1, path, n * sizeof(wchar_t));
    line[n + 1] = L'"';
    line[n + 2] = 0;
    if (wchar_t* slash = std::wcsrchr(folder, L'\\')) *slash = 0;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ok = CreateProcessW(path, line, nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi) != 0;
    // Not handed to the host: the set-up ends when its window closes, whatever the editor does.
    if (ok) {
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
  }
  std::free(line);
  std::free(folder);
  std::free(path);
  return ok;
}

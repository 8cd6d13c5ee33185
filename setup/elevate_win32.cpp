// The rights probe and the elevated start ("runas") of the same program.

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>

#include "core/codepage.h"
#include "setup/elevate.h"

namespace {

// The folder, or the nearest parent that exists (the installation folder may not yet).
wchar_t* existing_folder(const char* folder) {
  wchar_t* w = folder ? (wchar_t*)to_wide_new(folder, -1) : nullptr;
  while (w && *w) {
    DWORD a = GetFileAttributesW(w);
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return w;
    wchar_t* slash = std::wcsrchr(w, L'\\');
    if (!slash || slash == w) break;
    *slash = 0;
  }
  std::free(w);
  return nullptr;
}

}  // namespace

bool elevate_probe(const char* folder, SetupRights* out) {
  *out = SetupRights{};
  if (wchar_t* dir = existing_folder(folder)) {
    wchar_t probe[MAX_PATH + 64];
    swprintf(probe, sizeof probe / sizeof *probe, L"%ls\\zqrights-%lu.tmp", dir,
             GetCurrentProcessId());
    // Gone again when closed: the probe leaves nothing behind.
    HANDLE h = CreateFileW(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    out->folder = h != INVALID_HANDLE_VALUE;
    if (out->folder) CloseHandle(h);
    std::free(dir);
  }
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_CREATE_SUB_KEY | KEY_SET_VALUE, &key) ==
      ERROR_SUCCESS) {
    out->machine = true;
    RegCloseKey(key);
  }
  return true;
}

int elevate_start(const char* program, const char* args, bool* declined) {
  *declined = false;
  wchar_t self[MAX_PATH];
  wchar_t* file = program ? (wchar_t*)to_wide_new(program, -1) : nullptr;
  if (!program) {
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return -1;
  }
  wchar_t* params = (wchar_t*)to_wide_new(args ? args : "", -1);
  SHELLEXECUTEINFOW sei = {};
  sei.cbSize = sizeof sei;
  sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  sei.lpVerb = L"runas";
  sei.lpFile = program ? file : self;
  sei.lpParameters = params;
  sei.nShow = SW_SHOWNORMAL;
  int code = -1;
  if ((program && !file) || !params) {
  } else if (!ShellExecuteExW(&sei) || !sei.hProcess) {
    *declined = GetLastError() == ERROR_CANCELLED;
  } else {
    WaitForSingleObject(sei.hProcess, INFINITE);
    DWORD c = 0;
    if (GetExitCodeProcess(sei.hProcess, &c)) code = (int)c;
    CloseHandle(sei.hProcess);
  }
  std::free(file);
  std::free(params);
  return code;
}

// A planted library under any name ("UxTheme.dll", "version.dll", ...): if a program ever loads it,
// it leaves "<its name>_loaded.txt" beside itself.

#include <windows.h>

#include <cwchar>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n + 12 >= MAX_PATH) return TRUE;
  std::wcscpy(path + n, L"_loaded.txt");
  CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return TRUE;
}

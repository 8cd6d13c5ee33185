// A planted "Shfolder.dll": if a program ever loads it, it leaves "decoy_loaded.txt" beside
// itself, and every folder asked for is "C:\decoy".

#include <windows.h>

#include <cwchar>

extern "C" __declspec(dllexport) HRESULT WINAPI
    SHGetFolderPathW(HWND, int, HANDLE, DWORD, LPWSTR path) {
  std::wcscpy(path, L"C:\\decoy");
  return S_OK;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  while (n > 0 && path[n - 1] != L'\\') --n;
  if (n + 20 >= MAX_PATH) return TRUE;
  std::wcscpy(path + n, L"decoy_loaded.txt");
  CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return TRUE;
}

// A planted "Shfolder.dll" beside the test: if the runtime ever loaded it, every folder it asked
// for would be "C:\decoy".

#include <windows.h>

#include <cwchar>

extern "C" __declspec(dllexport) HRESULT WINAPI
    SHGetFolderPathW(HWND, int, HANDLE, DWORD, LPWSTR path) {
  std::wcscpy(path, L"C:\\decoy");
  return S_OK;
}

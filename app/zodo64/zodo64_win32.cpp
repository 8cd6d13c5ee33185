// ZOdo64.dll: the suite's component library as far as this project ships it. The package carries
// it so that an installation holds every file the suite expects; it only answers its version.

#include <windows.h>

extern "C" __declspec(dllexport) unsigned zodo_version() {
  return 0x00090000;  // 9.0
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}

// Windows platform step of the code-page conversion: MultiByteToWideChar / WideCharToMultiByte
// with the OEM code page and flags 0, used only to build the tables.

#include <windows.h>

#include "core/codepage_sys.h"

int codepage_sys_decode(const char* mb, int n, char16_t* out, int capacity) {
  int k = MultiByteToWideChar(CP_OEMCP, 0, mb, n, (wchar_t*)out, capacity);
  return k < 0 ? 0 : k;
}

int codepage_sys_encode(const char16_t* wide, int n, char* out, int capacity) {
  int k =
      WideCharToMultiByte(CP_OEMCP, 0, (const wchar_t*)wide, n, out, capacity, nullptr, nullptr);
  return k < 0 ? 0 : k;
}

void codepage_sys_adjust(CodepageTables*) {}

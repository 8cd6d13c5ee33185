#pragma once
// Conversion between the internal multibyte text and UTF-16 through the system's OEM code page
// (932). On Windows this is MultiByteToWideChar / WideCharToMultiByte with CP_OEMCP; the native
// build puts glibc's iconv ("CP932") in their place, and the two agree byte for byte.
//
// SJIS-EX escapes are decoded to the UTF-16 units they carry, and a unit without a Shift-JIS form
// is written as its escape, so any UTF-16 text survives the round trip; a character that code page
// 932 can hold always takes its Shift-JIS form.

#include <cstdint>

// length -1 means NUL-terminated, the terminator included. Returns the units / bytes written
// (0 on failure); with a null buffer or capacity 0, the number that would be written.
int to_wide(const char* mb, int length, char16_t* buffer, int capacity);
int to_narrow(const char16_t* wide, int length, char* buffer, int capacity);
// A new NUL-terminated UTF-16 string (malloc; the caller frees), or null.
char16_t* to_wide_new(const char* mb, int length);

#pragma once
// Conversion between the internal multibyte text and UTF-16 through the system's OEM code page
// (932). On Windows the tables come from MultiByteToWideChar / WideCharToMultiByte with CP_OEMCP;
// the native build builds them from glibc's iconv ("CP932"), corrected where glibc departs from
// Windows, so the two builds agree byte for byte.
//
// SJIS-EX escapes are decoded to the UTF-16 units they carry, and a unit without a Shift-JIS form
// is written as its escape, so any UTF-16 text survives the round trip; a character that code page
// 932 can hold always takes its Shift-JIS form.
//
// Conversion runs on tables built once, at first use, from the system's conversion of every
// single character; the system is not called per string.

#include <cstdint>

// length -1 means NUL-terminated, the terminator included. Returns the units / bytes written
// (0 on failure, also when the buffer is too small); with a null buffer or capacity 0, the number
// that would be written.
int to_wide(const char* mb, int length, char16_t* buffer, int capacity);
int to_narrow(const char16_t* wide, int length, char* buffer, int capacity);
// A new NUL-terminated UTF-16 string (malloc; the caller frees), or null.
char16_t* to_wide_new(const char* mb, int length);
// Its twin: a new NUL-terminated string of internal text (malloc; the caller frees), or null.
char* to_narrow_new(const char16_t* wide, int length);

// The unit that stands for a byte sequence the code page does not know (as Windows does for 932).
inline constexpr char16_t CP_DEFAULT_UNIT = 0x30FB;
// narrow[] value of a unit without a Shift-JIS form.
inline constexpr uint16_t CP_NO_FORM = 0xFFFF;

// The tables behind the conversion, for converters that walk text themselves (files/codes.cpp).
struct CodepageTables {
  // UTF-16 unit of a single byte (index 0..255) or of a lead/trail pair (index lead << 8 | trail,
  // lead bytes 0x81..0x9F, 0xE0..0xFC). Unknown pairs and lone lead bytes give CP_DEFAULT_UNIT.
  char16_t wide[65536];
  // Shift-JIS form of a unit: a byte (< 0x100) or a pair (lead << 8 | trail); CP_NO_FORM when the
  // unit must travel as an SJIS-EX escape. Only forms that read back as the same unit are here.
  uint16_t narrow[65536];
  bool ascii_identity;  // bytes 0x00..0x7F are the units of the same value
};
// Builds the tables on the first call (one UI thread; later calls only read them). Never null.
const CodepageTables* codepage_tables();

// SJIS-EX escape of one unit: three bytes, returns 3.
inline int cp_put_escape(uint32_t unit, char* out) {
  uint32_t v = unit & 0x7FFF;
  out[0] = (unit & 0x8000) ? char(0xA0) : char(0x80);
  out[1] = char(0x40 + v / 188);
  out[2] = char(0x40 + v % 188);
  return 3;
}
// The unit of an escape whose lead is p[0] (0x80 or 0xA0) and whose bytes p[1], p[2] are at
// least 0x40; -1 when the two bytes do not make a unit (above 0x7FFF after the lead's bit).
inline int cp_escape_unit(const unsigned char* p) {
  uint32_t v = uint32_t(p[1] - 0x40) * 188 + uint32_t(p[2] - 0x40);
  if (v > 0x7FFF) return -1;
  return int(((uint32_t(p[0]) & 0x20) << 10) | v);
}

// The Shift-JIS lead and trail bytes: the one definition every layer steps by.
inline constexpr bool cp_is_lead(unsigned b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
inline constexpr bool cp_is_trail(unsigned b) {
  return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// Reads the character of internal text at p (p < end) as one UTF-16 unit and advances p: a pair,
// an escape (an escape that carries no unit reads as CP_DEFAULT_UNIT), or a single byte (a lead
// byte without its trail reads as CP_DEFAULT_UNIT). A six-byte pair is read as two escapes.
inline char16_t cp_read(const CodepageTables* t, const unsigned char*& p,
                        const unsigned char* end) {
  unsigned b = *p;
  if (cp_is_lead(b) && p + 1 < end && cp_is_trail(p[1])) {
    char16_t u = t->wide[b << 8 | p[1]];
    p += 2;
    return u;
  }
  if ((b == 0x80 || b == 0xA0) && p + 2 < end && p[1] >= 0x40 && p[2] >= 0x40) {
    int u = cp_escape_unit(p);
    p += 3;
    return u < 0 ? CP_DEFAULT_UNIT : char16_t(u);
  }
  ++p;
  return t->wide[b];
}

#pragma once
// The UTF-8 form of a code point: the one encoder of the runtime (console output, code
// conversion, POSIX system paths).

#include <cstdint>

// Writes c (below 0x110000) as one to four bytes at out, which has room for four; returns the
// bytes written. A surrogate is written as it is (three bytes): callers that must not produce
// one replace it first.
inline int utf8_put(uint32_t c, char* out) {
  if (c < 0x80) {
    out[0] = char(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = char(0xC0 | c >> 6);
    out[1] = char(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = char(0xE0 | c >> 12);
    out[1] = char(0x80 | (c >> 6 & 0x3F));
    out[2] = char(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = char(0xF0 | c >> 18);
  out[1] = char(0x80 | (c >> 12 & 0x3F));
  out[2] = char(0x80 | (c >> 6 & 0x3F));
  out[3] = char(0x80 | (c & 0x3F));
  return 4;
}

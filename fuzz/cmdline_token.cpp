// The command-line tokeniser on any bytes: every token lies inside the line, the walk always
// moves on, and only an unclosed quote at the end gives an empty token (the rest after it).

#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/cmdline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  std::string s((const char*)data, size);  // the tokeniser reads up to the NUL
  const char* begin = s.c_str();
  const char* end = begin + std::char_traits<char>::length(begin);
  const char* at = begin;
  const char* last = nullptr;
  int n = 0;
  while (const char* t = cmdline_token(at, &n)) {
    if (t < at || t <= last || n < 0 || t + n > end) std::abort();
    if (n == 0 && (t != end || t[-1] != '"')) std::abort();
    last = t;
    at = t + n;
  }
  if (n != 0) std::abort();
  return 0;
}

#pragma once
// StrBuf: a growable NUL-terminated byte string (malloc) whose first allocation failure sticks.
// After a failure every later append does nothing, so a caller builds the whole string and checks
// `failed` once, at the end. `s` is null until the first byte arrives (str() gives "" then).

#include <cstddef>
#include <cstdlib>
#include <cstring>

struct StrBuf {
  char* s = nullptr;
  size_t len = 0, cap = 0;
  bool failed = false;
  StrBuf() = default;
  StrBuf(const StrBuf&) = delete;
  StrBuf& operator=(const StrBuf&) = delete;
  ~StrBuf() { std::free(s); }

  void add(const char* p, size_t n) {
    if (failed || !p || n == 0) return;
    if (len + n + 1 > cap) {
      size_t c = cap ? cap * 2 : 128;
      while (c < len + n + 1) c *= 2;
      char* q = (char*)std::realloc(s, c);
      if (!q) {
        failed = true;
        return;
      }
      s = q;
      cap = c;
    }
    std::memcpy(s + len, p, n);
    len += n;
    s[len] = 0;
  }
  void add(const char* p) {
    if (p) add(p, std::strlen(p));
  }
  void addc(char c) { add(&c, 1); }
  void clear() {
    len = 0;
    if (s) s[0] = 0;
  }
  const char* str() const { return s ? s : ""; }
  // Makes sure s holds a (possibly empty) string; false once an allocation has failed.
  bool ensure() {
    if (!s && !failed) {
      s = (char*)std::calloc(1, 16);
      failed = s == nullptr;
      if (s) cap = 16;
    }
    return !failed;
  }
  // Hands the string over (the caller frees it) and leaves the buffer empty; null on failure.
  char* release() {
    if (!ensure()) return nullptr;
    char* r = s;
    s = nullptr;
    len = cap = 0;
    return r;
  }
};

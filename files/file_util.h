#pragma once
// Small helpers shared by the files module's sources (not a public interface): string copies,
// Texts assigned from strings and made from UTF-16.

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/codepage.h"
#include "core/text.h"

inline char* dup_str(const char* s) {
  if (!s) return nullptr;
  size_t n = std::strlen(s) + 1;
  char* d = (char*)std::malloc(n);
  if (d) std::memcpy(d, s, n);
  return d;
}

// Replaces the contents of t by s (s may point into t); the cursor ends at the end.
inline bool text_assign(Text* t, const char* s) {
  if (!t) return false;
  char* copy = dup_str(s ? s : "");
  if (!copy) return false;
  text_clear(t);
  size_t n = std::strlen(copy);
  bool ok = n == 0 || text_insert(t, copy, TI_RAW, (int64_t)n) == (int64_t)n;
  std::free(copy);
  return ok;
}

// UTF-16 (system path) to a new Text of internal text; null for null or on failure.
inline Text* text_from_wide(const char16_t* w) {
  if (!w) return nullptr;
  char* s = to_narrow_new(w, -1);
  if (!s) return nullptr;
  Text* t = text_new_from(s);
  std::free(s);
  return t;
}

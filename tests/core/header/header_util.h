#pragma once
// Helpers of the header tests: Texts made from byte strings and read back whole.

#include <cstring>
#include <string>

#include "core/header.h"
#include "core/text.h"

// A Text holding exactly the bytes of s, cursor at the top.
inline Text* make_text(const std::string& s) {
  Text* t = text_new();
  if (!s.empty()) text_write(t, s.c_str(), (int64_t)s.size());
  text_top(t);
  return t;
}

inline std::string contents(const Text* t) {
  if (!t) return "<null>";
  int64_t n = text_length(t);
  std::string s((size_t)n, '\0');
  text_copy_out(t, 0, s.data(), n);
  return s;
}

inline std::string value_of(Text* rec, HeaderKey key, uint32_t kind) {
  HeaderSpan v = header_get(rec, key, kind | HV_PTR);
  return v ? std::string(v.p, (size_t)v.n) : std::string("<absent>");
}

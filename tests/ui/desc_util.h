#pragma once
// A description or record owned by a test, and a few readers.

#include <string>

#include "core/format.h"
#include "core/header.h"
#include "core/text.h"

struct Owned {
  Text* t;
  explicit Owned(const char* s = "") : t(text_new()) {
    text_insert(t, s, TI_WHOLE, 0);
    text_top(t);
  }
  explicit Owned(Text* adopt) : t(adopt) {}
  Owned(const Owned&) = delete;
  ~Owned() { text_free(t); }
  std::string str() const { return text_cstr(t); }
  // The text with the formatter's CR LF line ends read as LF.
  std::string lf() const {
    std::string s = str(), r;
    for (size_t i = 0; i < s.size(); ++i)
      if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) r += s[i];
    return r;
  }
  // Start of the n-th line (1-based).
  TextPos line(int n) const { return text_line_offset(t, n); }
};

// A settings record with integer headers, for bindings.
struct Record : Owned {
  Record() : Owned(record_new("settings")) {}
  int64_t get(PackedId key, uint32_t kind = HK_ID | HK_HEADER_ONLY | HV_INT) const {
    int64_t v = -1;
    return header_get(t, key, kind, &v) ? v : -1;  // -1: absent
  }
  void set(PackedId key, int64_t v, uint32_t kind = HK_ID | HK_HEADER_ONLY | HV_INT) {
    header_set(t, key, kind, v);
  }
};

// Formats a description line that names a record ("text=%p").
template <class... A>
std::string line_of(const char* format, A... a) {
  Owned o;
  text_printf(o.t, format, a...);
  return o.str();
}

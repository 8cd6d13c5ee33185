#pragma once
// Small helpers shared by the engine's sources (install, uninstall, associations); not a public
// interface: an owner of a Text, paths built as new Texts, and the logged failure line.

#include <cstring>

#include "core/text.h"
#include "files/path.h"

struct Owned {
  Text* t;
  explicit Owned(Text* p) : t(p) {}
  ~Owned() { text_free(t); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
};

// The whole string of a Text-or-string argument (null for null).
inline const char* str_of(TextArg a) {
  if (!a.p) return nullptr;
  return text_is_handle(a.p) ? text_cstr((Text*)a.p) : (const char*)a.p;
}

inline Text* text_of(const char* s) {
  Text* t = text_new();
  if (t && s && *s) text_puts(t, s);
  return t;
}

// folder joined with name, as a new Text.
inline Text* child(TextArg folder, const char* name) {
  Text* t = text_of(str_of(folder));
  if (!t) return nullptr;
  path_add_separator(t);
  path_join(t, name);
  return t;
}

// The same path, whole (case and separators aside).
inline bool same_path(const char* a, const char* b) {
  return a && b && std::strlen(a) == std::strlen(b) && path_compare(a, b, -1) == 0;
}

// Logs "fail: WHAT: REASON\n" (the system's text for code; 0: "unknown error") and, when failure
// is given, appends "WHAT: REASON\n" to it.
void engine_log_failure(const char* what, uint32_t code, Text* failure);

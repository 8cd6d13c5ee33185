#pragma once
// Small helpers shared by the set-up sources (the record, install, uninstall, associations); not a
// public interface: an owner of a Text, strings and paths built as new Texts or copies, the
// folder test, and the logged failure line.

#include <cstdlib>
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

// The Text's string as a new copy (malloc); the Text is freed. Null gives null.
inline char* take_string(Text* t) {
  if (!t) return nullptr;
  const char* s = text_cstr(t);
  size_t n = std::strlen(s) + 1;
  char* d = (char*)std::malloc(n);
  if (d) std::memcpy(d, s, n);
  text_free(t);
  return d;
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

// True when path lies below folder (or, with or_same, is it): the same path up to folder's end
// (case aside), then a separator, so that "...\Program Files (x86)" is not inside
// "...\Program Files". An empty folder holds nothing.
inline bool path_inside(const char* path, const char* folder, bool or_same) {
  if (!path || !folder) return false;
  size_t n = std::strlen(folder);
  while (n > 0 && (folder[n - 1] == '\\' || folder[n - 1] == '/')) --n;
  if (n == 0 || std::strlen(path) < n || path_compare(path, folder, (int64_t)n) != 0) return false;
  return path[n] == 0 ? or_same : path[n] == '\\' || path[n] == '/';
}

// Logs "fail: WHAT: REASON\n" (the system's text for code; 0: "unknown error") and, when failure
// is given, appends "WHAT: REASON\n" to it.
void engine_log_failure(const char* what, uint32_t code, Text* failure);

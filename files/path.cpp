// The path algebra, the schemes and the folders of the system. Every scan steps character by
// character, so a 0x5C trail byte of a double-byte character is never taken for a separator.

#include "files/path.h"

#include <cstdlib>
#include <cstring>

#include "core/codepage.h"
#include "core/strbuf.h"
#include "files/file.h"
#include "files/file_util.h"
#include "files/fsys.h"
#include "files/save.h"

namespace {

Text* g_exe;            // the executable's full path
Text* g_settings;       // settings folder (see settings_folder)
Text* g_documents;      // document folder
Text* g_windows_drive;  // drive of the Windows folder, for path_root
char* g_system_folder;  // FOLDER of the system settings
bool g_per_user;

bool is_sep(const char* p) {
  return *p == '\\' || *p == '/';
}
bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

bool starts_with_nocase(const char* s, const char* prefix) {
  for (; *prefix; ++s, ++prefix)
    if (lower(*s) != *prefix) return false;
  return true;
}

int root_len(const char* s) {
  if (!s || !*s) return 0;
  if (is_letter(s[0]) && s[1] == ':' && is_sep(s + 2)) return 3;
  if (s[0] == '\\' && s[1] == '\\') {
    const char* p = s + 2;
    while (*p && !is_sep(p)) p += char_len(p);
    return (int)(p - s) + (*p ? 1 : 0);
  }
  int i = 0;
  while (is_letter(s[i])) ++i;
  if (i > 0 && s[i] == ':' && s[i + 1] == '/' && s[i + 2] == '/') return i + 3;
  return 0;
}

const char* file_name_of(const char* s) {
  const char* p = s;
  if (is_letter(p[0]) && p[1] == ':') p += 2;
  const char* name = p;
  while (*p) {
    if (is_sep(p)) name = p + 1;
    p += char_len(p);
  }
  return name;
}

const char* extension_of(const char* s) {
  const char* dot = nullptr;
  const char* p = s;
  while (*p) {
    if (is_sep(p) || *p == ':')
      dot = nullptr;
    else if (*p == '.')
      dot = p;
    p += char_len(p);
  }
  return dot ? dot : p;
}

// Start of the last character and of the one before it (null when absent).
void last_two(const char* s, const char** last, const char** before) {
  *last = *before = nullptr;
  for (const char* p = s; *p; p += char_len(p)) {
    *before = *last;
    *last = p;
  }
}

// Removes [from, to) of the string in place.
void cut(char* s, size_t from, size_t to) {
  std::memmove(s + from, s + to, std::strlen(s + to) + 1);
}

bool at_dots(const char* p, int dots) {
  for (int i = 0; i < dots; ++i)
    if (p[i] != '.') return false;
  return is_sep(p + dots);
}

bool normalise_buf(char* s) {
  size_t n = std::strlen(s);
  int root = root_len(s);
  // One slot per separator, plus the root's and the virtual one in front of a relative path.
  int* seps = (int*)std::malloc((n + 2) * sizeof(int));
  if (!seps) return false;
  int k = 0;
  if (root > 0)
    seps[k++] = root - 1;
  else if (!is_sep(s))
    seps[k++] = -1;
  bool changed = false;
  size_t i = (size_t)root;
  bool seg_start = true;
  while (s[i]) {
    if (seg_start && at_dots(s + i, 2) && k >= 2) {
      size_t from = (size_t)(seps[k - 2] + 1);
      cut(s, from, i + 3);
      --k;
      i = from;
      changed = true;
      continue;
    }
    if (seg_start && at_dots(s + i, 1)) {
      cut(s, i, i + 2);
      changed = true;
      continue;
    }
    if (is_sep(s + i)) {
      seps[k++] = (int)i;
      seg_start = true;
      ++i;
      continue;
    }
    seg_start = false;
    i += (size_t)char_len(s + i);
  }
  std::free(seps);
  // What is left would climb above the root: drop it.
  i = (size_t)root;
  seg_start = true;
  while (s[i]) {
    if (seg_start && (at_dots(s + i, 2) || at_dots(s + i, 1))) {
      cut(s, i, i + (s[i + 1] == '.' ? 3 : 2));
      changed = true;
      continue;
    }
    seg_start = is_sep(s + i);
    i += (size_t)char_len(s + i);
  }
  return changed;
}

Text* cached_copy(Text* cached) {
  return cached ? text_new_from(text_cstr(cached)) : nullptr;
}

Text* exe_path() {
  if (!g_exe) {
    char16_t* w = fsys_program_path();
    g_exe = text_from_wide(w);
    std::free(w);
  }
  return g_exe;
}

// The folder a Text names, without its file-name part and trailing separator.
Text* folder_of(Text* path) {
  if (!path) return nullptr;
  path_join(path, nullptr);
  path_strip_separator(path, 2);
  return path;
}

}  // namespace

// ---- path algebra ----

int path_root_length(TextArg path) {
  return root_len(text_arg_cstr(path));
}

bool path_join(Text* base, TextArg name) {
  if (!base) return false;
  char* b = dup_str(text_cstr(base));
  char* n = name.p ? dup_str(text_arg_cstr(name)) : nullptr;
  if (!b || (name.p && !n)) {
    std::free(b);
    std::free(n);
    return false;
  }
  StrBuf out;
  if (n && root_len(n) > 0) {
    out.add(n);
  } else if (n && n[0] == '.' && is_sep(n + 1)) {
    char16_t* w = fsys_current_dir();
    Text* cd = text_from_wide(w);
    std::free(w);
    out.add(text_cstr(cd));
    text_free(cd);
    if (n[2]) {
      const char *last, *before;
      last_two(out.s ? out.s : "", &last, &before);
      if (!last || !is_sep(last)) out.add("\\");
      out.add(n + 2);
    }
  } else if (n && is_sep(n)) {
    if (is_letter(b[0]) && b[1] == ':') out.add(b, 2);
    out.add(n);
  } else {
    out.add(b, (size_t)(file_name_of(b) - b));
    if (n) out.add(n);
  }
  std::free(b);
  std::free(n);
  if (out.failed) return false;
  if (out.s) normalise_buf(out.s);
  return text_assign(base, out.s ? out.s : "");
}

bool path_normalise(Text* path) {
  if (!path) return false;
  char* s = dup_str(text_cstr(path));
  if (!s) return false;
  bool changed = normalise_buf(s);
  if (changed) text_assign(path, s);
  std::free(s);
  return changed;
}

bool path_separator(Text* path, int flag) {
  if (!path) return false;
  const char* s = text_cstr(path);
  const char *last, *before;
  last_two(s, &last, &before);
  if (flag == 1) {
    if (last && is_sep(last)) return false;
    text_bottom(path);
    return text_insert(path, "\\", TI_RAW, 1) == 1;
  }
  if (!last || !is_sep(last)) return false;
  if (before && is_sep(before)) return false;
  if (flag == 2 && path_is_drive_root(s)) return false;
  text_seek(path, (TextPos)(last - s));
  return text_delete(path, 1) == 1;
}

bool path_add_separator(Text* path) {
  return path_separator(path, 1);
}
bool path_strip_separator(Text* path, int flag) {
  return path_separator(path, flag == 2 ? 2 : 0);
}

bool path_parent(Text* path) {
  if (!path) return false;
  int64_t before = text_length(path);
  const char* s = text_cstr(path);
  int64_t keep = (int64_t)(file_name_of(s) - s);
  if (keep < before) {
    text_seek(path, keep);
    text_delete(path, before - keep);
  }
  path_strip_separator(path, 0);
  return text_length(path) < before;
}

bool path_root(Text* path) {
  if (!path) return false;
  const char* s = text_cstr(path);
  int r = root_len(s);
  if (r > 0) {
    // The root without its last separator ("\\server" may have none).
    int keep = is_sep(s + r - 1) ? r - 1 : r;
    int64_t len = text_length(path);
    text_seek(path, keep);
    if (len > keep) text_delete(path, len - keep);
    text_bottom(path);
    return true;
  }
  if (!g_windows_drive) {
    char16_t* w = fsys_windows_folder();
    Text* t = w ? text_from_wide(w) : nullptr;
    std::free(w);
    if (t) {
      while (path_parent(t)) {
      }
    } else {
      t = text_new_from("c:");
    }
    g_windows_drive = t;
  }
  text_assign(path, text_cstr(g_windows_drive));
  return false;
}

const char* path_extension(TextArg path) {
  const char* s = text_arg_cstr(path);
  if (!s) return nullptr;
  const char* e = extension_of(s);
  if (text_is_handle(path.p)) text_seek((Text*)path.p, (TextPos)(e - s));
  return e;
}

const char* path_file_name(TextArg path) {
  const char* s = text_arg_cstr(path);
  if (!s) return nullptr;
  const char* f = file_name_of(s);
  if (text_is_handle(path.p)) text_seek((Text*)path.p, (TextPos)(f - s));
  return f;
}

bool path_has_extension(TextArg path, const char* ext) {
  const char* s = text_arg_cstr(path);
  if (!s) return false;
  const char* e = extension_of(s);
  if (!ext) return *e == 0;
  return path_compare(e, ext, -1) == 0;
}

void path_set_extension(Text* path, const char* ext) {
  if (!path) return;
  const char* s = text_cstr(path);
  int64_t at = (int64_t)(extension_of(s) - s);
  int64_t len = text_length(path);
  text_seek(path, at);
  if (len > at) text_delete(path, len - at);
  if (ext && *ext) text_insert(path, ext, TI_RAW, (int64_t)std::strlen(ext));
}

void path_add_extension(Text* path, const char* ext) {
  if (!path) return;
  const char* s = text_cstr(path);
  const char* e = extension_of(s);
  if (e[0] == '.' && e[1]) {
    text_bottom(path);
    if (ext && *ext) text_insert(path, ext, TI_RAW, (int64_t)std::strlen(ext));
  } else {
    path_set_extension(path, ext);
  }
}

void path_to_backslashes(Text* path) {
  if (!path) return;
  char* s = dup_str(text_cstr(path));
  if (!s) return;
  bool changed = false;
  for (char* p = s; *p; p += char_len(p)) {
    if (*p != '/') continue;
    if (p[1] == '/') {  // a "//" stays as it is
      ++p;
      continue;
    }
    *p = '\\';
    changed = true;
  }
  if (changed) text_assign(path, s);
  std::free(s);
}

int path_compare(TextArg a, TextArg b, int64_t n) {
  const char* s = text_arg_cstr(a);
  const char* t = text_arg_cstr(b);
  if (!s || !t) return s == t ? 0 : 1;
  const char *p = s, *q = t;
  for (;;) {
    if (n >= 0 && p - s >= n) return 0;
    if (!*p && !*q) return 0;
    int lp = char_len(p), lq = char_len(q);
    if (lp == 1 && lq == 1) {
      if (!(is_sep(p) && is_sep(q)) && lower(*p) != lower(*q)) return 1;
    } else if (lp != lq) {
      return 1;
    } else {
      uint32_t cp = char_code(p), cq = char_code(q);
      if (cp != cq || (cp == 0 && std::memcmp(p, q, (size_t)lp) != 0)) return 1;
    }
    p += lp;
    q += lq;
  }
}

bool path_is_drive_root(TextArg path) {
  const char* s = text_arg_cstr(path);
  return s && is_letter(s[0]) && s[1] == ':' && is_sep(s + 2) && s[3] == 0;
}

bool path_same(const char* a, const char* b) {
  return a && b && std::strlen(a) == std::strlen(b) && path_compare(a, b, -1) == 0;
}

bool path_inside(const char* path, const char* folder, bool or_same) {
  if (!path || !folder) return false;
  size_t n = std::strlen(folder);
  while (n > 0 && (folder[n - 1] == '\\' || folder[n - 1] == '/')) --n;
  if (n == 0 || std::strlen(path) < n || path_compare(path, folder, (int64_t)n) != 0) return false;
  return path[n] == 0 ? or_same : path[n] == '\\' || path[n] == '/';
}

Text* path_child(TextArg folder, const char* name) {
  Text* t = text_new_from(text_arg_cstr(folder));
  if (!t) return nullptr;
  path_add_separator(t);
  path_join(t, name);
  return t;
}

// ---- schemes ----

bool path_is_scheme(TextArg path) {
  const char* s = text_arg_cstr(path);
  return s && (starts_with_nocase(s, "file://") || starts_with_nocase(s, "zq://") ||
               starts_with_nocase(s, "zqcfg://"));
}

char16_t* path_resolve(TextArg path) {
  const char* s = text_arg_cstr(path);
  if (!s) return nullptr;
  Text* t = nullptr;
  if (starts_with_nocase(s, "zq://")) {
    const char* rest = s + 5;
    t = program_path();
    if (!*rest) {
      folder_of(t);
    } else {
      if (is_sep(rest)) ++rest;
      path_join(t, rest);
    }
  } else if (starts_with_nocase(s, "zqcfg://")) {
    const char* rest = s + 8;
    t = settings_folder();
    if (!*rest) {
      folder_of(t);
    } else {
      if (is_sep(rest)) ++rest;
      // `rest` may point into a Text that the join below does not touch.
      char* name = dup_str(rest);
      path_join(t, name);
      if (t && g_per_user && !file_find_data(text_cstr(t), nullptr)) {
        // A default that travels with the program is copied to the user on first use.
        Text* beside = program_path();
        path_join(beside, name);
        if (file_is_file(text_cstr(beside))) {
          Text* copy = text_new();
          if (copy && text_load(copy, text_cstr(beside), TL_READ_ONLY_CONTENTS))
            text_save_to(copy, text_cstr(t));
          text_free(copy);
        }
        text_free(beside);
      }
      std::free(name);
    }
  } else if (starts_with_nocase(s, "file://")) {
    const char* rest = s + 7;
    if (root_len(rest) > 0) return to_wide_new(rest, -1);
    t = document_folder();
    path_add_separator(t);
    path_join(t, rest);
  } else {
    return to_wide_new(s, -1);
  }
  char16_t* w = t ? to_wide_new(text_cstr(t), -1) : nullptr;
  text_free(t);
  return w;
}

// ---- folders ----

Text* program_path() {
  return cached_copy(exe_path());
}

void path_set_program_path(const char* path) {
  path_cache_free();
  if (path) g_exe = text_new_from(path);
}

Text* shell_folder(int csidl) {
  char16_t* w = fsys_shell_folder(csidl);
  Text* t = w && w[0] ? text_from_wide(w) : nullptr;
  std::free(w);
  return t;
}

Text* settings_folder() {
  if (!g_per_user) return program_path();
  if (!g_settings) {
    Text* t = shell_folder(SHF_APPDATA);
    if (!t) return nullptr;
    static const char* const levels[] = {"VODudeduva", "ZQ9xcom"};
    for (const char* level : levels) {
      path_add_separator(t);
      path_join(t, level);
      if (!file_is_folder(text_cstr(t))) folder_create(text_cstr(t), nullptr);
    }
    path_add_separator(t);
    g_settings = t;
  }
  return cached_copy(g_settings);
}

Text* document_folder() {
  if (g_system_folder) return text_new_from(g_system_folder);
  if (!g_documents) g_documents = shell_folder(SHF_DOCUMENTS);
  return cached_copy(g_documents);
}

void path_set_system_folder(const char* folder) {
  std::free(g_system_folder);
  g_system_folder = folder ? dup_str(folder) : nullptr;
}

void path_cache_free() {
  text_free(g_exe);
  text_free(g_settings);
  text_free(g_documents);
  text_free(g_windows_drive);
  g_exe = g_settings = g_documents = g_windows_drive = nullptr;
}

Text* special_folder(PackedId id) {
  switch (id) {
    case ID("CD"): {
      char16_t* w = fsys_current_dir();
      Text* t = text_from_wide(w);
      std::free(w);
      return t;
    }
    case ID("ZQ"):
      return folder_of(program_path());
    case ID("STD"):
      return g_system_folder ? text_new_from(g_system_folder) : nullptr;
    case ID("DESK"):
      return shell_folder(SHF_DESKTOP);
    case ID("TEXT"):
      return document_folder();
    case ID("USER"):
      return folder_of(settings_folder());
    case ID("APDAT"):
      return shell_folder(SHF_APPDATA);
    case ID("LOGIN"): {
      char16_t* w = fsys_user_name();
      Text* t = text_from_wide(w);
      std::free(w);
      return t;
    }
    case ID("MYDOC"):
      return shell_folder(SHF_DOCUMENTS);
    case ID("APDATC"):
      return shell_folder(SHF_COMMON_APPDATA);
    case ID("PFILES"):
      return shell_folder(SHF_PROGRAM_FILES);
    case ID("STARTC"):
      return shell_folder(SHF_COMMON_PROGRAMS);
    case ID("STARTP"):
      return shell_folder(SHF_PROGRAMS);
    default:
      return nullptr;
  }
}

// ---- per-user mode ----

void per_user_init() {
  Text* exe = exe_path();
  Text* pf = shell_folder(SHF_PROGRAM_FILES);
  bool inside = false;
  if (exe && pf) {
    path_strip_separator(pf, 2);
    const char* e = text_cstr(exe);
    const char* p = text_cstr(pf);
    size_t n = std::strlen(p);
    // A prefix, and at a separator: "C:\Program Files2" is not inside "C:\Program Files".
    inside = n > 0 && std::strlen(e) > n && path_compare(e, p, (int64_t)n) == 0 &&
             (is_sep(e + n) || is_sep(p + n - 1));
  }
  text_free(pf);
  per_user_set(inside);
}

void per_user_set(bool on) {
  if (on != g_per_user) {
    text_free(g_settings);
    g_settings = nullptr;
  }
  g_per_user = on;
}

bool per_user_mode() {
  return g_per_user;
}

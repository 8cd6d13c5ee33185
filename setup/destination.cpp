// The judge of an installation's folder: the real identity of a path and the folders refused.

#include "setup/destination.h"

#include <cstdlib>
#include <cstring>

#include "core/codepage.h"
#include "files/file.h"
#include "files/fsys.h"
#include "files/path.h"
#include "setup/install.h"
#include "setup/manifest.h"

namespace {

bool is_separator(char c) {
  return c == '\\' || c == '/';
}

// The path with "\\?\" taken off and each name's trailing dots and spaces dropped, as the system
// reads a name; a new Text.
Text* plain_form(const char* s) {
  if (std::strncmp(s, "\\\\?\\UNC\\", 8) == 0 || std::strncmp(s, "//?/UNC/", 8) == 0)
    s += 6;  // "\\?\UNC\server" is "\\server" (the two separators before "server" stay)
  else if (std::strncmp(s, "\\\\?\\", 4) == 0 || std::strncmp(s, "//?/", 4) == 0)
    s += 4;
  Text* t = text_new();
  if (!t) return nullptr;
  size_t start = 0, n = std::strlen(s);
  for (size_t i = 0; i <= n; ++i) {
    bool end = i == n || is_separator(s[i]);
    if (!end) {
      if (cp_is_lead((unsigned char)s[i]) && i + 1 < n) ++i;  // a trail byte is never a separator
      continue;
    }
    size_t e = i;
    // "." and ".." stay for the normalisation; other names lose their trailing dots and spaces.
    bool dots = (e - start == 1 && s[start] == '.') ||
                (e - start == 2 && s[start] == '.' && s[start + 1] == '.');
    if (!dots)
      while (e > start && (s[e - 1] == '.' || s[e - 1] == ' ')) --e;
    if (e > start) text_insert(t, s + start, TI_RAW, (int64_t)(e - start));
    if (i < n) text_insert(t, s + i, TI_RAW, 1);
    start = i + 1;
  }
  return t;
}

bool rooted(const char* s) {
  return path_root_length(s) > 0 || is_separator(s[0]);
}

bool is_root(Text* t) {
  const char* s = text_cstr(t);
  if (!*s || (is_separator(s[0]) && !s[1])) return true;
  TextOwner with_sep(text_new_from(s));
  path_add_separator(with_sep.t);
  return path_root_length(with_sep.t) >= text_length(with_sep.t);
}

// One level up; a drive keeps its separator ("C:" alone would name the drive's current folder).
bool up(Text* t) {
  int64_t before = text_length(t);
  if (!path_parent(t)) return false;
  const char* s = text_cstr(t);
  if (text_length(t) == 2 && s[1] == ':') path_add_separator(t);
  return text_length(t) < before;
}

// The identity of a guard folder, or null when it has none.
Text* guard_identity(const char* folder) {
  return folder && *folder ? folder_identity(folder) : nullptr;
}

bool same_identity(Text* a, const char* guard) {
  TextOwner g(guard_identity(guard));
  return g.t && path_same(text_cstr(a), text_cstr(g.t));
}

bool inside_identity(Text* a, const char* guard, bool or_same) {
  TextOwner g(guard_identity(guard));
  return g.t && !is_root(g.t) && path_inside(text_cstr(a), text_cstr(g.t), or_same);
}

}  // namespace

FolderGuard folder_guard_system() {
  FolderGuard g = {};
  Text* profile = user_profile_folder();
  if (profile) {
    Text* profiles = text_new_from(text_cstr(profile));
    if (path_parent(profiles))
      g.profiles = text_take_cstr(profiles);
    else
      text_free(profiles);
  }
  g.profile = text_take_cstr(profile);
  g.desktop = text_take_cstr(special_folder(ID("DESK")));
  g.documents = text_take_cstr(special_folder(ID("MYDOC")));
  char16_t* w = fsys_windows_folder();
  if (w) {
    Text* t = text_new();
    text_put_wide(t, w);
    g.windows = text_take_cstr(t);
    std::free(w);
  }
  g.program_files = text_take_cstr(special_folder(ID("PFILES")));
  g.program_files_x86 = text_take_cstr(shell_folder(SHF_PROGRAM_FILES_X86));
  g.app_data = text_take_cstr(shell_folder(SHF_APPDATA));
  g.local_app_data = text_take_cstr(shell_folder(SHF_LOCAL_APPDATA));
  g.common_app_data = text_take_cstr(shell_folder(SHF_COMMON_APPDATA));
  return g;
}

void folder_guard_free(FolderGuard* g) {
  const char* all[] = {g->profiles,       g->profile,        g->desktop,           g->documents,
                       g->windows,        g->program_files,  g->program_files_x86, g->app_data,
                       g->local_app_data, g->common_app_data};
  for (const char* s : all) std::free((void*)s);
  *g = FolderGuard{};
}

Text* folder_identity(TextArg folder) {
  const char* s = text_arg_cstr(folder);
  if (!s || !*s) return nullptr;
  TextOwner plain(plain_form(s));
  if (!plain.t || !rooted(text_cstr(plain.t))) return nullptr;
  path_add_separator(plain.t);  // a last ".." is resolved only before a separator
  path_normalise(plain.t);
  path_strip_separator(plain.t, 2);
  // The longest part that exists gets its final path; the names below it follow as given.
  TextOwner head(text_new_from(text_cstr(plain.t)));
  for (;;) {
    Text* real = file_final_path(head.t);
    if (real) {
      const char* rest = text_cstr(plain.t) + text_length(head.t);
      while (is_separator(*rest)) ++rest;
      if (*rest) {
        path_add_separator(real);
        text_bottom(real);
        text_puts(real, rest);
      }
      path_strip_separator(real, 2);
      return real;
    }
    if (!up(head.t)) break;
  }
  return text_new_from(text_cstr(plain.t));  // nothing of it exists (another drive, say)
}

const char* folder_refusal(TextArg folder, const FolderGuard* g) {
  const char* s = text_arg_cstr(folder);
  if (!s || !*s) return "フォルダが指定されていません";
  TextOwner id(folder_identity(s));
  if (!id.t) return "絶対パスではありません";
  const char* p = text_cstr(id.t);
  if (is_root(id.t)) return "ドライブのルートです";
  if (text_length(id.t) + 1 + DESTINATION_LONGEST_TAIL > DESTINATION_PATH_LIMIT)
    return "パスが長すぎます";
  if (inside_identity(id.t, g->windows, true)) return "Windowsのフォルダです";
  if (same_identity(id.t, g->program_files) || same_identity(id.t, g->program_files_x86))
    return "Program Filesのフォルダそのものです";
  if (same_identity(id.t, g->desktop)) return "デスクトップのフォルダです";
  if (same_identity(id.t, g->documents)) return "ドキュメントのフォルダです";
  if (same_identity(id.t, g->app_data) || same_identity(id.t, g->local_app_data) ||
      same_identity(id.t, g->common_app_data))
    return "アプリケーションデータのフォルダです";
  if (same_identity(id.t, g->profiles)) return "ユーザのプロファイルの親フォルダです";
  if (same_identity(id.t, g->profile)) return "ユーザのプロファイルフォルダです";
  TextOwner parent(text_new_from(p));
  if (up(parent.t) && same_identity(parent.t, g->profiles))
    return "ユーザのプロファイルフォルダです";
  // What the system could not resolve is still a link: its target is unknown.
  TextOwner top(text_new_from(p));
  if (path_root(top.t) && path_has_link(id.t, top.t)) return "リンクを経由するフォルダです";
  return nullptr;
}

bool path_has_link(TextArg path, TextArg from) {
  const char* p = text_arg_cstr(path);
  const char* f = text_arg_cstr(from);
  if (!p || !f) return false;
  TextOwner base(text_new_from(f));
  path_strip_separator(base.t, 0);
  int64_t n = text_length(base.t);
  if (!path_inside(p, text_cstr(base.t), true)) return true;  // not below from: nothing vouches
  TextOwner at(text_new_from(p));
  path_strip_separator(at.t, 0);
  while (text_length(at.t) > n) {
    if (file_is_link(at.t)) return true;
    if (!path_parent(at.t)) break;
  }
  return false;
}

bool user_path_has_link(const char* path, const char* profiles) {
  if (!path || !profiles || !path_inside(path, profiles, false)) return true;
  const char* p = path + std::strlen(profiles);
  while (is_separator(*p)) ++p;
  const char* sep = std::strpbrk(p, "\\/");
  if (!sep) return true;  // the profile itself is no user's folder of the product
  TextOwner profile(text_new());
  text_insert(profile.t, path, TI_RAW, (int64_t)(sep - path));
  return file_is_link(profile.t) || path_has_link(path, profile.t);
}

bool folder_holds_foreign_files(TextArg folder) {
  if (!file_is_folder(folder)) return false;
  TextOwner list(path_child(folder, MANIFEST_NAME));
  TextOwner settings(path_child(folder, SETUP_USER_SETTINGS));
  TextOwner setup(path_child(folder, "zqsetup.exe"));
  if (file_is_file(list.t) || (file_is_file(settings.t) && file_is_file(setup.t))) return false;
  TextOwner all(path_child(folder, "*"));
  FileFindData fd;
  FindHandle f = file_find_first(all.t, &fd);
  bool any = false;
  for (bool more = f != FIND_INVALID; more && !any; more = file_find_next(f, &fd))
    any = std::strcmp(fd.name, ".") != 0 && std::strcmp(fd.name, "..") != 0;
  file_find_close(f);
  return any;
}

// The installation: questions, walk mode 1 with its atomic file writes, the per-user settings
// file, the administrator probe, the registry rows and the shortcuts.

#include "setup/install.h"

#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "core/header.h"
#include "files/file.h"
#include "files/path.h"
#include "files/save.h"
#include "setup/destination.h"
#include "setup/engine_util.h"
#include "setup/manifest.h"
#include "setup/registry.h"
#include "setup/setup_run.h"
#include "setup/shell.h"
#include "ui/notify.h"

namespace {

void log_failure(const char* what, uint32_t code, Text* failure) {
  engine_log_failure(what, code, failure);
}

// Registry writes do not fail the installation; a key that cannot be written is logged.
bool reg_logged(uint32_t code, RegRoot root, const char* key) {
  if (!code) return true;
  char what[1200];
  buf_printf(what, sizeof what, "%s\\%s", reg_root_name(root), key);
  log_failure(what, code, nullptr);
  return false;
}

// A new file beside path that nothing else uses; its name goes into *tmp.
FileHandle create_sibling(const char* path, Text** tmp, uint32_t* error) {
  for (int i = 1; i <= 50; ++i) {
    Text* t = format_text("%s.zq~%d", path, (int64_t)i);
    if (!t) return FILE_INVALID;
    FileHandle h = file_create_new(text_cstr(t), FSYS_WRITE, 0, FSYS_SEQUENTIAL);
    if (h != FILE_INVALID) {
      *tmp = t;
      return h;
    }
    *error = os_last_error();
    bool taken = file_find_data(text_cstr(t), nullptr);
    text_free(t);
    if (!taken) break;
  }
  return FILE_INVALID;
}

// Writes the bytes under path: a temporary file beside it is written, stamped and flushed, and
// only then takes the old file's place. On failure the old file is as it was.
bool write_atomic(const char* path, const uint8_t* data, size_t n, const FileTime* time,
                  uint32_t* error) {
  *error = 0;
  FileFindData fd;
  if (file_find_data(path, &fd) && (fd.attributes & (FSYS_ATTR_READONLY | FSYS_ATTR_DIRECTORY))) {
    *error = os_access_denied();  // a read-only file is the user's to keep
    return false;
  }
  Text* tmp = nullptr;
  FileHandle h = create_sibling(path, &tmp, error);
  if (h == FILE_INVALID) return false;
  bool ok = file_write(h, data, (int64_t)n) == (int64_t)n;
  if (!ok) *error = os_last_error();
  if (ok && time && !file_set_time(h, *time)) *error = os_last_error(), ok = false;
  if (ok && !file_flush(h)) *error = os_last_error(), ok = false;
  file_close(h);
  if (ok && !file_replace(text_cstr(tmp), path)) *error = os_last_error(), ok = false;
  if (!ok) file_delete(text_cstr(tmp));
  text_free(tmp);
  return ok;
}

bool is_dictionary(const char* name) {
  return same_path(name, "dic1a.ime") || same_path(name, "dic2a.ime") ||
         same_path(name, "dic3a.ime");
}

struct InstallWalk {
  Text* rec;
  Text* folder;
  Text* failure;
  bool failed;
  uint64_t bytes;
  FileTime sample;
  Manifest* made;  // what the installation made, for the uninstall
};

void fail_entry(InstallWalk* w, const char* what, uint32_t code) {
  log_failure(what, code, w->failure);
  w->failed = true;
}

bool install_entry(void* context, const PakEntry* e) {
  InstallWalk* w = (InstallWalk*)context;
  if (!pak_name_is_safe(e->name)) {
    // A name that could leave the installation folder is a damaged package.
    char what[1200];
    buf_printf(what, sizeof what, "%s: %s", e->name, "unsafe name in the package");
    log_failure(what, 0, w->failure);
    w->failed = true;
    return true;
  }
  PakDestination dest[2];
  int count = pak_destinations(e->name, dest);
  // Dictionaries are written as stored; every other entry decoded.
  uint8_t* decoded = nullptr;
  const uint8_t* bytes = e->data;
  size_t n = e->size;
  if (!is_dictionary(e->name)) {
    int lz = 0;
    decoded = pak_entry_data(e, &n, &lz);
    if (!decoded) {
      char what[1200];
      buf_printf(what, sizeof what, "%s: damaged entry (%d)", e->name, (int64_t)lz);
      log_failure(what, 0, w->failure);
      w->failed = true;
      return true;
    }
    bytes = decoded;
  }
  for (int k = 0; k < count; ++k) {
    Owned dir(child(w->folder, dest[k].folder));
    path_strip_separator(dir.t, 0);
    if (dest[k].folder[0] && !manifest_create_folder(w->made, dir.t)) {
      fail_entry(w, text_cstr(dir.t), os_last_error());
      continue;
    }
    Owned path(child(dir.t, e->name));
    const FileTime* time = dest[k].sample_time ? &w->sample : e->has_time ? &e->time : nullptr;
    uint32_t code = 0;
    if (!path.t || !write_atomic(text_cstr(path.t), bytes, n, time, &code)) {
      fail_entry(w, path.t ? text_cstr(path.t) : e->name, code);
      continue;
    }
    manifest_add_file(w->made, path.t, false);
    w->bytes += n;
  }
  std::free(decoded);
  return true;
}

// Saves a Text, saying which file failed.
bool save_logged(Text* t, const char* path, Text* failure) {
  if (text_save_to(t, path)) return true;
  log_failure(path, os_last_error(), failure);
  return false;
}

bool write_probe(Text* folder, Text* failure) {
  Owned path(child(folder, "idtemp.sys"));
  Owned probe(text_new());
  text_load(probe.t, path.t, TL_READ_ONLY_CONTENTS);
  text_clear(probe.t);
  text_puts(probe.t, "管理者権限調査用のファイル\r\n削除しないでください\r\n");
  return save_logged(probe.t, text_cstr(path.t), failure);
}

struct UserUpdate {
  Text* rec;
  Text* failure;
  bool ok;
  const char* profiles;  // the folder of the users' profiles
};

// One user's copy, written only when no folder on its path from the user's profile is a link:
// a user could point the folder at any file of the machine. What is written there is recorded
// in that folder's manifest.
void update_user_copy(void* context, const char* path) {
  UserUpdate* u = (UserUpdate*)context;
  if (user_path_has_link(path, u->profiles)) {
    char line[1200];
    notify_log(buf_printf(line, sizeof line, "skip (link): %s\n", path));
    return;
  }
  if (!file_is_file(path)) return;
  if (!user_settings_update(u->rec, path)) {
    log_failure(path, os_last_error(), u->failure);
    u->ok = false;
    return;
  }
  Owned dir(text_of(path));
  path_parent(dir.t);
  Manifest made;
  manifest_load(&made, dir.t);  // an empty one when there is none yet
  if (!made.records) return;
  manifest_add_file(&made, path, true);
  if (!manifest_save(&made)) log_failure(text_cstr(dir.t), os_last_error(), u->failure);
  manifest_free(&made);
}

// The current user's copy of the per-user settings file.
Text* current_user_settings() {
  Text* t = special_folder(ID("APDAT"));
  if (!t) return nullptr;
  path_add_separator(t);
  path_join(t, SETUP_USER_DATA);
  path_add_separator(t);
  path_join(t, SETUP_USER_SETTINGS);
  return t;
}

}  // namespace

void engine_log_failure(const char* what, uint32_t code, Text* failure) {
  // With a code the system's reason follows; without one, what already says it.
  Owned reason(code ? os_error_text(code) : nullptr);
  char line[1600];
  if (reason.t)
    buf_printf(line, sizeof line, "%s: %s", what, reason.t);
  else
    buf_printf(line, sizeof line, "%s", what);
  char logged[1700];
  notify_log(buf_printf(logged, sizeof logged, "fail: %s\n", line));
  if (failure) text_printf(failure, "%s\n", line);
}

// ---- questions ----

int setup_ask(Text* rec, const char* message, unsigned kind, int silent_answer) {
  if (!setup_get(rec, ID("SILENT"))) return notify_box(message, kind);
  // One log line, ended.
  size_t n = std::strlen(message);
  if (n > 0 && message[n - 1] == '\n') {
    notify_log(message);
  } else {
    Owned line(format_text("%s\n", message));
    notify_log(line.t ? text_cstr(line.t) : message);
  }
  return silent_answer;
}

// ---- installation ----

static bool pak_install_into(Text* rec, const PakBlock* pak, Text* folder, Manifest* made_list,
                             Text* failure);

bool pak_install(Text* rec, const PakBlock* pak, Text* failure) {
  Owned folder(setup_folder(rec));
  if (!pak || text_length(folder.t) == 0) {
    if (failure) text_puts(failure, pak ? "no installation folder\n" : "no package\n");
    return false;
  }
  // The folder as the uninstall will judge it: one it could not follow is never written.
  FolderGuard guard = folder_guard_system();
  const char* why = folder_refusal(folder.t, &guard);
  folder_guard_free(&guard);
  if (why) {
    char message[1600];
    setup_ask(rec,
              buf_printf(message, sizeof message,
                         "%s\nは%s。このフォルダにはインストールできません。", folder.t, why),
              SETUP_ASK_OK, NOTIFY_YES);
    log_failure(text_cstr(folder.t), 0, failure);
    return false;
  }
  // The user's own folder: asked first (a silent run installs, since the manifest keeps the
  // uninstall off the user's files), and said in the log either way.
  if (folder_holds_foreign_files(folder.t)) {
    char message[1600];
    buf_printf(
        message, sizeof message,
        "%s\nには%sのものではないファイルがあります。\nこのフォルダにインストールしますか？\n"
        "（それらのファイルはアンインストールでも削除されません）\n",
        folder.t, SETUP_PRODUCT);
    if (!setup_get(rec, ID("SILENT"))) {
      char line[1200];
      notify_log(buf_printf(line, sizeof line, "other files in: %s\n", folder.t));
    }
    if (setup_ask(rec, message, SETUP_ASK_YES_NO, NOTIFY_YES) != NOTIFY_YES) {
      if (failure) text_puts(failure, "cancelled\n");
      return false;
    }
  }
  // What this installation makes; the folders an earlier one created stay the product's.
  Manifest made;
  if (!manifest_init(&made, folder.t)) return false;
  Manifest earlier;
  if (manifest_load(&earlier, folder.t)) manifest_carry_folders(&made, &earlier);
  manifest_free(&earlier);
  bool ok = pak_install_into(rec, pak, folder.t, &made, failure);
  if (file_is_folder(folder.t) && !manifest_save(&made)) {
    Owned list(child(folder.t, MANIFEST_NAME));
    log_failure(text_cstr(list.t), os_last_error(), failure);
    ok = false;
  }
  manifest_free(&made);
  return ok;
}

// The installation into a folder that passed the judge; what it makes goes into made_list.
static bool pak_install_into(Text* rec, const PakBlock* pak, Text* folder, Manifest* made_list,
                             Text* failure) {
  Owned sample(child(folder, "sample"));
  const char* const made[] = {text_cstr(folder), text_cstr(sample.t)};
  for (const char* dir : made) {
    if (manifest_create_folder(made_list, dir)) continue;
    uint32_t code = os_last_error();
    char message[1200];
    // A plain message: a silent run logs it and goes on to fail.
    setup_ask(rec, buf_printf(message, sizeof message, "%sが作成できません", dir), 0, NOTIFY_YES);
    log_failure(dir, code, failure);
    return false;
  }

  InstallWalk w = {rec, folder, failure, false, 0, pak_sample_time(), made_list};
  uint32_t where = 0;
  PakStatus status = pak_walk(pak, install_entry, &w, &where);
  if (status != PAK_END) {
    char what[400];
    buf_printf(what, sizeof what, "package at %d: %s", (int64_t)where, pak_status_text(status));
    log_failure(what, 0, failure);
    w.failed = true;
  }
  setup_set(rec, ID("INSTKB"), (int)((w.bytes + 1023) / 1024));
  if (w.failed) return false;

  Owned exe(setup_folder_exe(rec));
  shortcuts_renamed(rec, folder);
  shortcuts(rec, text_cstr(exe.t), false);
  hist_save(rec);
  Owned settings(child(folder, SETUP_USER_SETTINGS));
  bool ok = user_settings_update(rec, settings.t);
  if (!ok) log_failure(text_cstr(settings.t), os_last_error(), failure);
  ok = write_probe(folder, failure) && ok;
  // The editor rewrites both: the product's whatever they come to hold.
  Owned probe(child(folder, "idtemp.sys"));
  manifest_add_file(made_list, settings.t, true);
  manifest_add_file(made_list, probe.t, true);
  if (setup_get(rec, ID("REGEXE"))) {
    const char* path = text_cstr(exe.t);
    Owned command(format_text("\"%s\" \"%%1\"", path));
    reg_logged(reg_set_string(REG_CLASSES, "Applications\\zqeditor.exe", nullptr, path),
               REG_CLASSES, "Applications\\zqeditor.exe");
    const char* open = "Applications\\zqeditor.exe\\shell\\open\\command";
    reg_logged(reg_set_string(REG_CLASSES, open, nullptr, text_cstr(command.t)), REG_CLASSES, open);
    const char* app = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zqeditor.exe";
    reg_logged(reg_set_string(REG_MACHINE, app, nullptr, path), REG_MACHINE, app);
  }
  if (setup_get(rec, ID("COMMON"))) {
    Owned current(current_user_settings());
    Owned profile(user_profile_folder());
    Owned profiles(text_of(text_cstr(profile.t)));
    UserUpdate u = {rec, failure, true, path_parent(profiles.t) ? text_cstr(profiles.t) : nullptr};
    if (current.t && profile.t) each_user_path(current.t, profile.t, update_user_copy, &u);
    ok = u.ok && ok;
  }
  return ok;
}

Text* install_failure_message(Text* failure) {
  Text* t = text_new();
  if (t) setup_message(t, SETUP_MSG_FAILED);
  if (t && failure && text_length(failure) > 0) {
    text_bottom(t);
    text_puts(t, "\n\n");
    text_insert(t, failure, TI_WHOLE, -1);
  }
  return t;
}

// ---- the per-user settings file ----

void user_settings_reset(Text* settings) {
  text_clear(settings);
}

bool user_settings_update(Text* rec, TextArg path) {
  Owned s(text_new());
  if (!s.t) return false;
  text_load(s.t, path, TL_READ_ONLY_CONTENTS);  // a missing file is an empty record
  bool repair = setup_get(rec, ID("RESCUE")) != 0;
  if (repair) user_settings_reset(s.t);
  bool ok = header_set(s.t, ID("SETUP"), SETUP_INT, repair ? 2 : 1);
  ok = header_set(s.t, ID("NEW"), SETUP_INT, setup_get(rec, ID("NEW"))) && ok;
  if (header_has(s.t, ID("SPEAK"), HK_ID) || setup_get(rec, ID("SPEAK")))
    ok = header_set(s.t, ID("SPEAK"), SETUP_INT, setup_get(rec, ID("SPEAK"))) && ok;
  Owned icon(setup_get_text(rec, ID("ICON")));
  ok = icon.t && header_set(s.t, ID("ICON"), SETUP_STR, text_cstr(icon.t)) && ok;
  ok = header_set(s.t, ID("COMMON"), SETUP_INT, setup_get(rec, ID("COMMON"))) && ok;
  int version = 0;
  header_get(s.t, ID("CFGVER"), SETUP_INT, &version);
  if (version < 100) ok = header_set(s.t, ID("SCHMAT"), SETUP_INT, 0) && ok;
  ok = header_set(s.t, ID("CFGVER"), SETUP_INT, 100) && ok;
  // The path may be a Text that the save must not see change.
  Owned name(text_of(str_of(path)));
  return ok && name.t && text_save_to(s.t, text_cstr(name.t));
}

// ---- registry records ----

bool hist_load(Text* rec) {
  RegRoot root = setup_get(rec, ID("COMMON")) ? REG_MACHINE : REG_USER;
  char* folder = reg_get_string(root, SETUP_HIST_KEY, "folder");
  if (!folder) return false;
  bool ok = setup_set_text(rec, ID("HIST"), folder);
  std::free(folder);
  return ok;
}

bool hist_save(Text* rec) {
  RegRoot root = setup_get(rec, ID("COMMON")) ? REG_MACHINE : REG_USER;
  Owned folder(setup_folder(rec));
  if (text_length(folder.t) == 0) return false;
  return reg_logged(reg_set_string(root, SETUP_HIST_KEY, "folder", text_cstr(folder.t)), root,
                    SETUP_HIST_KEY);
}

bool uninstall_entry(Text* rec, const char* name, const char* command, bool remove) {
  const char* key = SETUP_UNINSTALL_KEY;
  if (remove) {
    uint32_t e = reg_delete_key(REG_MACHINE, key);
    return e == 0 || !reg_key_exists(REG_MACHINE, key);
  }
  Owned folder(setup_folder(rec));
  Owned exe(setup_folder_exe(rec));
  Owned quiet(format_text("%s -silent", command ? command : ""));
  const char* f = folder.t ? text_cstr(folder.t) : "";
  const char* strings[][2] = {
      {"DisplayName", name},
      {"UninstallString", command},
      {"DisplayIcon", exe.t ? text_cstr(exe.t) : ""},
      {"DisplayVersion", SETUP_VERSION},
      {"Publisher", SETUP_VENDOR},
      {"InstallLocation", f},
      {"QuietUninstallString", quiet.t ? text_cstr(quiet.t) : ""},
  };
  bool ok = true;
  for (const auto& s : strings)
    ok = reg_logged(reg_set_string(REG_MACHINE, key, s[0], s[1] ? s[1] : ""), REG_MACHINE, key) &&
         ok;
  const struct {
    const char* name;
    uint32_t value;
  } numbers[] = {
      {"EstimatedSize", (uint32_t)setup_get(rec, ID("INSTKB"))}, {"NoModify", 1}, {"NoRepair", 0}};
  for (const auto& d : numbers)
    ok = reg_logged(reg_set_dword(REG_MACHINE, key, d.name, d.value), REG_MACHINE, key) && ok;
  return ok;
}

// ---- shortcuts ----

namespace {

void link_at(PackedId where, const char* name, Text* target, const char* arguments, int icon,
             bool remove) {
  Owned folder(special_folder(where));
  if (!folder.t) return;
  Owned file(format_text("%s.lnk", name));
  Owned link(child(folder.t, text_cstr(file.t)));
  if (!link.t) return;
  char line[1200];
  if (remove) {
    if (file_is_file(link.t) && file_delete(link.t))
      notify_log(buf_printf(line, sizeof line, "del: %s\n", link.t));
    return;
  }
  // A link that cannot be saved is left out; the log says why.
  uint32_t e = shell_link_create(text_cstr(link.t), text_cstr(target), arguments, icon);
  if (e) log_failure(text_cstr(link.t), e, nullptr);
}

}  // namespace

void shortcuts_renamed(Text* rec, Text* folder) {
  Owned path(child(folder, SETUP_USER_SETTINGS));
  Owned installed(text_new());
  if (!path.t || !file_is_file(path.t) || !text_load(installed.t, path.t, TL_READ_ONLY_CONTENTS))
    return;
  Owned before(setup_get_text(installed.t, ID("ICON")));
  Owned now(setup_get_text(rec, ID("ICON")));
  const char* name = text_cstr(before.t);
  if (!name || !*name || same_path(name, text_cstr(now.t)) || !pak_name_is_safe(name)) return;
  bool common = setup_get(installed.t, ID("COMMON")) != 0;
  link_at(common ? ID("STARTC") : ID("STARTP"), name, nullptr, nullptr, 0, true);
  link_at(ID("DESK"), name, nullptr, nullptr, 0, true);
}

void shortcuts(Text* rec, const char* target, bool remove) {
  static const struct {
    const char* name;  // null: ICON
    const char* target;
    const char* arguments;
    int icon;
    PackedId desktop;
  } rows[] = {{nullptr, SETUP_EDITOR_EXE, nullptr, 0, ID("REGDT")},
              {"DO Rived", SETUP_EDITOR_EXE, "@board", 1, ID("REGBRD")},
              {"RU Zirar", SETUP_EDITOR_EXE, "@txfile", 3, ID("REGFIR")}};
  Owned base(target ? text_of(target) : program_path());
  if (!base.t) return;
  bool common = setup_get(rec, ID("COMMON")) != 0;
  for (int k = 0; k < 3; ++k) {
    Owned icon(rows[k].name ? nullptr : setup_get_text(rec, ID("ICON")));
    const char* name = rows[k].name ? rows[k].name : text_cstr(icon.t);
    // The name becomes a file name: one that names another folder is not used.
    if (pak_name_is_safe(name)) {
      Owned exe(text_of(text_cstr(base.t)));
      path_join(exe.t, rows[k].target);
      if (remove || (k == 0 && setup_get(rec, ID("REGSM"))))
        link_at(common ? ID("STARTC") : ID("STARTP"), name, exe.t, rows[k].arguments, rows[k].icon,
                remove);
      if (remove || setup_get(rec, rows[k].desktop))
        link_at(ID("DESK"), name, exe.t, rows[k].arguments, rows[k].icon, remove);
    }
  }
}

// ---- every user's folders ----

Text* user_profile_folder() {
  Text* t = special_folder(ID("DESK"));
  if (t && !path_parent(t)) {
    text_free(t);
    return nullptr;
  }
  return t;
}

int each_user_path(TextArg current, TextArg profile, UserPathVisit visit, void* context) {
  const char* c = str_of(current);
  const char* p = str_of(profile);
  if (!c || !p || !*p) return 0;
  int64_t cn = (int64_t)std::strlen(c);
  Owned prof(text_of(p));
  path_strip_separator(prof.t, 0);
  int64_t n = text_length(prof.t);
  if (cn <= n + 1 || path_compare(c, text_cstr(prof.t), n) != 0 || (c[n] != '\\' && c[n] != '/'))
    return 0;
  Owned rest(text_of(c + n + 1));
  Owned profiles(text_of(text_cstr(prof.t)));
  if (!path_parent(profiles.t)) return 0;
  Owned pattern(child(profiles.t, "*"));
  FileFindData fd;
  FindHandle f = file_find_first(pattern.t, &fd);
  if (f == FIND_INVALID) return 0;
  int count = 0;
  do {
    if (!(fd.attributes & FSYS_ATTR_DIRECTORY) || std::strcmp(fd.name, ".") == 0 ||
        std::strcmp(fd.name, "..") == 0)
      continue;
    Owned user(child(profiles.t, fd.name));
    Owned path(child(user.t, text_cstr(rest.t)));
    if (!path.t) continue;
    visit(context, text_cstr(path.t));
    ++count;
  } while (file_find_next(f, &fd));
  file_find_close(f);
  return count;
}

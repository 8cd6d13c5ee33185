// The installation: questions, walk mode 1 with its atomic file writes, the per-user settings
// file, the administrator probe, the registry rows and the shortcuts.

#include "setup/install.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "core/codepage.h"
#include "core/format.h"
#include "core/header.h"
#include "files/file.h"
#include "files/path.h"
#include "files/save.h"
#include "setup/destination.h"
#include "setup/manifest.h"
#include "setup/ordered_work.h"
#include "setup/registry.h"
#include "setup/setup_texts.h"
#include "setup/shell.h"
#include "ui/notify.h"

namespace {

void log_failure(const char* what, uint32_t code, Text* failure) {
  install_log_failure(what, code, failure);
}

// Registry writes do not fail the installation; a key that cannot be written is logged.
bool reg_logged(uint32_t code, RegRoot root, const char* key) {
  if (!code) return true;
  char what[1200];
  buf_printf(what, sizeof what, "%s\\%s", reg_root_name(root), key);
  log_failure(what, code, nullptr);
  return false;
}

// ---- files put in place all at once ----
//
// Every file of an installation is first written under a temporary name beside its place
// ("NAME.zq~N"); only when all of them are written and checked do they take their places, each
// old file moved aside to a backup ("NAME.zq~bN") until the last one is in. A failure before that
// puts everything back: the temporaries go, the backups return, the folders this run made go.

// One file to put in place.
struct StagedFile {
  Text* path;    // its place
  Text* temp;    // written first (null until made)
  Text* backup;  // the old file's second name, or the old file moved aside (null: none)
  bool linked;   // backup is a second name: the old file is still in place until replaced
  int entry;     // the package entry it comes from; -1 for a settings file
  FileTime time;
  bool timed;
  bool placed;  // renamed into its place
};

// The files and the folders of one run.
struct FileSet {
  StagedFile* files;
  int count, capacity;
  Text** made;  // folders this run created, outermost first
  int made_count, made_capacity;
  Text* failure;
};

StagedFile* add_file(FileSet* set, Text* path) {
  if (!path) return nullptr;
  if (set->count == set->capacity) {
    int cap = set->capacity ? set->capacity * 2 : 64;
    StagedFile* more = (StagedFile*)std::realloc(set->files, sizeof(StagedFile) * (size_t)cap);
    if (!more) {
      text_free(path);
      return nullptr;
    }
    set->files = more;
    set->capacity = cap;
  }
  StagedFile* f = &set->files[set->count++];
  *f = StagedFile{};
  f->path = path;
  f->entry = -1;
  return f;
}

bool remember_folder(FileSet* set, const char* dir) {
  if (set->made_count == set->made_capacity) {
    int cap = set->made_capacity ? set->made_capacity * 2 : 8;
    Text** more = (Text**)std::realloc(set->made, sizeof(Text*) * (size_t)cap);
    if (!more) return false;
    set->made = more;
    set->made_capacity = cap;
  }
  set->made[set->made_count] = text_new_from(dir);
  return set->made[set->made_count++] != nullptr;
}

void free_set(FileSet* set) {
  for (int k = 0; k < set->count; ++k) {
    text_free(set->files[k].path);
    text_free(set->files[k].temp);
    text_free(set->files[k].backup);
  }
  std::free(set->files);
  for (int k = 0; k < set->made_count; ++k) text_free(set->made[k]);
  std::free(set->made);
}

// Creates a folder with every missing level, remembering each level it made so that a failed
// run can take them away again. A link where a folder of the installation should be is refused:
// what is written below it would land somewhere else. (The levels above are the user's choice,
// and under Wine the shell folders themselves are links.)
bool make_level(FileSet* set, const char* dir, bool own, uint32_t* error) {
  *error = 0;
  FileFindData fd;
  if (file_find_data(dir, &fd)) {
    if ((own && (fd.attributes & FSYS_ATTR_REPARSE_POINT)) ||
        !(fd.attributes & FSYS_ATTR_DIRECTORY)) {
      *error = os_access_denied();
      return false;
    }
    return true;
  }
  TextOwner parent(text_new_from(dir));
  path_strip_separator(parent.t, 0);
  if (path_parent(parent.t) && text_length(parent.t) > 0 && !path_is_drive_root(parent.t) &&
      !make_level(set, text_cstr(parent.t), false, error))
    return false;
  // The one place where the installation makes a folder.
  if (!folder_create(dir, nullptr) && !file_is_folder(dir)) {
    *error = os_last_error();
    return false;
  }
  return remember_folder(set, dir);
}

bool make_folder(FileSet* set, const char* dir, uint32_t* error) {
  return make_level(set, dir, true, error);
}

// A new file beside path that nothing else uses, named path + ".zq~" + tag + a number.
FileHandle create_sibling(const char* path, Text** name, uint32_t* error) {
  for (int i = 1; i <= 99; ++i) {
    Text* t = format_text("%s.zq~%d", path, (int64_t)i);
    if (!t) return FILE_INVALID;
    FileHandle h = file_create_new(text_cstr(t), FSYS_WRITE, 0, FSYS_SEQUENTIAL);
    if (h != FILE_INVALID) {
      *name = t;
      return h;
    }
    *error = os_last_error();
    bool taken = file_find_data(text_cstr(t), nullptr);
    text_free(t);
    if (!taken) break;
  }
  return FILE_INVALID;
}

// Removes what a killed run left beside path: files named path + a temporary suffix. Only
// names the installation makes itself go; a link among them goes as a link.
void sweep_leftovers(const char* path) {
  TextOwner pattern(format_text("%s.zq~*", path));
  TextOwner dir(text_new_from(path));
  if (!pattern.t || !dir.t || !path_parent(dir.t)) return;
  const char* base = path_file_name(path);
  size_t base_n = std::strlen(base);
  FileFindData fd;
  FindHandle f = file_find_first(pattern.t, &fd);
  if (f == FIND_INVALID) return;
  do {
    if ((fd.attributes & FSYS_ATTR_DIRECTORY) || !install_is_temporary(fd.name) ||
        std::strlen(fd.name) <= base_n || path_compare(fd.name, base, (int64_t)base_n) != 0 ||
        std::strncmp(fd.name + base_n, ".zq~", 4) != 0)
      continue;
    TextOwner old(path_child(dir.t, fd.name));
    char line[1200];
    if (old.t && file_delete(old.t)) notify_log(buf_printf(line, sizeof line, "del: %s\n", old.t));
  } while (file_find_next(f, &fd));
  file_find_close(f);
}

// A temporary beside f's place holding the Text as a save writes it.
bool stage_text(FileSet* set, StagedFile* f, Text* t) {
  uint32_t code = 0;
  FileHandle h = create_sibling(text_cstr(f->path), &f->temp, &code);
  if (h == FILE_INVALID) {
    install_log_failure(text_cstr(f->path), code, set->failure);
    return false;
  }
  file_close(h);
  if (text_save_to(t, text_cstr(f->temp))) return true;
  install_log_failure(text_cstr(f->path), os_last_error(), set->failure);
  return false;
}

// Puts every staged file in its place; on the first failure, false (undo_set puts things back).
bool commit_set(FileSet* set) {
  for (int k = 0; k < set->count; ++k) {
    StagedFile* f = &set->files[k];
    const char* path = text_cstr(f->path);
    if (file_find_data(path, nullptr)) {
      // The old file keeps a second name until every file is in place. Where the file system has
      // no second names it is moved aside instead (a link planted in its place is moved, never
      // followed; Wine, which shows links as plain files, follows them when it renames).
      for (int i = 1; i <= 99 && !f->backup; ++i) {
        Text* b = format_text("%s.zq~b%d", path, (int64_t)i);
        if (b && file_link(f->path, b))
          f->backup = b, f->linked = true;
        else if (b && !file_find_data(b, nullptr) && file_move(f->path, b))
          f->backup = b;
        else
          text_free(b);
      }
      if (!f->backup) {
        install_log_failure(path, os_last_error(), set->failure);
        return false;
      }
    }
    // The one place where a file of the installation takes its place.
    if (!file_move(f->temp, f->path, f->linked)) {
      install_log_failure(path, os_last_error(), set->failure);
      return false;
    }
    f->placed = true;
  }
  return true;
}

// Puts back what a failed run changed: its files out, the old ones back, its folders away.
void undo_set(FileSet* set) {
  for (int k = set->count - 1; k >= 0; --k) {
    StagedFile* f = &set->files[k];
    if (f->temp && !f->placed) file_delete(f->temp);
    if (f->linked && !f->placed) {
      file_delete(f->backup);  // the old file never left its place
    } else if (f->backup) {
      // The old file back over the new one (or into the place the move emptied).
      if (!file_move(f->backup, f->path, true))
        install_log_failure(text_cstr(f->backup), os_last_error(), nullptr);
    } else if (f->placed) {
      file_delete(f->path);
    }
  }
  // Innermost first; a folder that holds anything not ours stays.
  for (int k = set->made_count - 1; k >= 0; --k) {
    char line[1200];
    if (folder_remove(set->made[k]))
      notify_log(buf_printf(line, sizeof line, "rmdir: %s\n", set->made[k]));
  }
}

// After a successful run the backups go; one that cannot is swept by the next run.
void drop_backups(FileSet* set) {
  for (int k = 0; k < set->count; ++k)
    if (set->files[k].backup && !file_delete(set->files[k].backup))
      install_log_failure(text_cstr(set->files[k].backup), os_last_error(), nullptr);
}

// ---- the package's entries ----

// An entry as the walk gave it, kept beyond the visit; its data stays in the package.
struct StagedEntry {
  PakEntry entry;  // header null, name owned
  uint8_t* bytes;  // decoded (work step)
  size_t n;
  int error;
  int first, files;  // its files in the set
};

struct InstallRun {
  Text* rec;
  Text* folder;
  Text* failure;
  FileSet set;
  StagedEntry* entries;
  int count, capacity;
  bool failed;
  uint64_t bytes;
  std::atomic<bool> stop;  // a failure: the decoding threads skip what is left
};

bool keep_entry(void* context, const PakEntry* e) {
  InstallRun* r = (InstallRun*)context;
  if (r->count == r->capacity) {
    int cap = r->capacity ? r->capacity * 2 : 64;
    StagedEntry* more = (StagedEntry*)std::realloc(r->entries, sizeof(StagedEntry) * (size_t)cap);
    if (!more) return false;
    r->entries = more;
    r->capacity = cap;
  }
  StagedEntry* s = &r->entries[r->count];
  *s = StagedEntry{};
  s->entry = *e;
  s->entry.header = nullptr;
  s->entry.date = "";
  s->entry.name = strdup(e->name);
  if (!s->entry.name) return false;
  // Dictionaries are written as stored, whatever their header says.
  if (pak_is_dictionary(e->name)) s->entry.compressed = false;
  ++r->count;
  return true;
}

void fail_run(InstallRun* r, const char* what, uint32_t code) {
  install_log_failure(what, code, r->failure);
  r->failed = true;
  r->stop = true;
}

// The longest path the file layer opens (MAX_PATH less its NUL), counted in UTF-16 units.
enum { INSTALL_PATH_MAX = 259 };

int64_t wide_units(const char* path) {
  int n = to_wide(path, (int)std::strlen(path), nullptr, 0);
  return n;
}

// Plans every file: its place, checked against the path limit and against what is there now
// (a folder or a read-only file in the way fails before anything is written).
bool plan_files(InstallRun* r) {
  FileTime sample = pak_sample_time();
  for (int i = 0; i < r->count; ++i) {
    StagedEntry* s = &r->entries[i];
    PakDestination dest[2];
    int nd = pak_destinations(s->entry.name, dest);
    s->first = r->set.count;
    for (int k = 0; k < nd; ++k) {
      TextOwner dir(path_child(r->folder, dest[k].folder));
      StagedFile* f = dir.t ? add_file(&r->set, path_child(dir.t, s->entry.name)) : nullptr;
      if (!f) {
        fail_run(r, "out of memory", 0);
        return false;
      }
      f->entry = i;
      f->timed = dest[k].sample_time || s->entry.has_time;
      f->time = dest[k].sample_time ? sample : s->entry.time;
      ++s->files;
      const char* path = text_cstr(f->path);
      if (wide_units(path) + PAK_TEMP_SUFFIX_MAX > INSTALL_PATH_MAX) {
        char what[1400];
        fail_run(r, buf_printf(what, sizeof what, "%s: path too long", path), 0);
        return false;
      }
      FileFindData fd;
      if (file_find_data(path, &fd) && !(fd.attributes & FSYS_ATTR_REPARSE_POINT) &&
          (fd.attributes & (FSYS_ATTR_READONLY | FSYS_ATTR_DIRECTORY))) {
        fail_run(r, path, os_access_denied());  // a read-only file is the user's to keep
        return false;
      }
    }
  }
  return true;
}

// Makes the folders the files go to ("sample" always), and sweeps the leftovers of a killed run.
bool make_folders(InstallRun* r) {
  TextOwner sample(path_child(r->folder, "sample"));
  const char* const first[] = {text_cstr(r->folder), text_cstr(sample.t)};
  uint32_t code = 0;
  for (const char* dir : first) {
    if (make_folder(&r->set, dir, &code)) continue;
    char message[1200];
    // A plain message: a silent run logs it and goes on to fail.
    setup_ask(r->rec, buf_printf(message, sizeof message, "%sが作成できません", dir), SETUP_ASK_OK,
              NOTIFY_YES);
    fail_run(r, dir, code);
    return false;
  }
  for (int k = 0; k < r->set.count; ++k) {
    // Each level from the file's folder up to the installation folder is ours ("qmac" too).
    TextOwner dir(text_new_from(text_cstr(r->set.files[k].path)));
    bool ok = dir.t && path_parent(dir.t);
    for (bool first = true; ok && path_inside(text_cstr(dir.t), text_cstr(r->folder), first);
         first = false) {
      ok = make_folder(&r->set, text_cstr(dir.t), &code) && path_parent(dir.t);
    }
    if (!ok) {
      fail_run(r, dir.t ? text_cstr(dir.t) : "?", code);
      return false;
    }
    sweep_leftovers(text_cstr(r->set.files[k].path));
  }
  return true;
}

// Decodes one entry (any thread): the stream completely, and its checksum.
void decode_step(void* context, int i) {
  InstallRun* r = (InstallRun*)context;
  StagedEntry* s = &r->entries[i];
  if (r->stop) return;
  s->bytes = pak_entry_data(&s->entry, &s->n, &s->error);
}

// Writes one decoded entry into the temporaries of its files (this thread, in order).
void write_step(void* context, int i) {
  InstallRun* r = (InstallRun*)context;
  StagedEntry* s = &r->entries[i];
  if (!r->failed && !s->bytes) {
    char what[1200];
    fail_run(r, buf_printf(what, sizeof what, "%s: %s", s->entry.name, pak_error_text(s->error)),
             0);
  }
  for (int k = 0; k < s->files && !r->failed; ++k) {
    StagedFile* f = &r->set.files[s->first + k];
    uint32_t code = 0;
    FileHandle h = create_sibling(text_cstr(f->path), &f->temp, &code);
    bool ok = h != FILE_INVALID && file_write(h, s->bytes, (int64_t)s->n) == (int64_t)s->n &&
              (!f->timed || file_set_time(h, f->time)) && file_flush(h);
    if (!ok && h != FILE_INVALID) code = os_last_error();
    file_close(h);
    if (!ok)
      fail_run(r, text_cstr(f->path), code);
    else
      r->bytes += s->n;
  }
  std::free(s->bytes);
  s->bytes = nullptr;
}

bool stage_entries(InstallRun* r) {
  int threads = ordered_work_threads();
  OrderedSteps steps = {nullptr, decode_step, write_step, r};
  ordered_work(r->count, threads, threads * 2, &steps);
  return !r->failed;
}

void free_run(InstallRun* r) {
  for (int i = 0; i < r->count; ++i) {
    std::free((char*)r->entries[i].entry.name);
    std::free(r->entries[i].bytes);
  }
  std::free(r->entries);
  free_set(&r->set);
}

// Loads a settings file into t, never through a link: a link planted where the file belongs
// reads as a missing file (and is replaced when the file is saved).
void load_settings(Text* t, const char* path) {
  FileFindData fd;
  if (file_find_data(path, &fd) &&
      !(fd.attributes & (FSYS_ATTR_REPARSE_POINT | FSYS_ATTR_DIRECTORY)))
    text_load(t, path, TL_READ_ONLY_CONTENTS);
}

// The per-user settings record at path with the installation's keys applied (a new Text).
Text* user_settings_record(Text* rec, const char* path);

// Stages a settings Text under path in the set; false (logged) when it cannot be.
bool stage_settings_text(FileSet* set, const char* path, Text* t) {
  StagedFile* f = t ? add_file(set, text_new_from(path)) : nullptr;
  if (!f) {
    install_log_failure(path, 0, set->failure);
    return false;
  }
  sweep_leftovers(path);
  return stage_text(set, f, t);
}

struct UserUpdate {
  Text* rec;
  FileSet* set;
  bool ok;
  const char* profiles;  // the folder of the users' profiles
};

// A manifest Text staged in the set under its folder's "zqfiles.lst".
bool stage_manifest(FileSet* set, const Manifest* m) {
  TextOwner path(path_child(m->folder, MANIFEST_NAME));
  return path.t && stage_settings_text(set, text_cstr(path.t), m->records);
}

// One user's copy, written only when no folder on its path from the user's profile is a link:
// a user could point the folder at any file of the machine, and the copy is written by an
// administrator. What is written there is recorded in that folder's manifest.
void stage_user_copy(void* context, const char* path) {
  UserUpdate* u = (UserUpdate*)context;
  if (!u->ok || !file_find_data(path, nullptr)) return;
  if (user_path_has_link(path, u->profiles)) {
    char line[1200];
    notify_log(buf_printf(line, sizeof line, "skip (link): %s\n", path));
    return;
  }
  TextOwner t(user_settings_record(u->rec, path));
  u->ok = stage_settings_text(u->set, path, t.t);
  TextOwner dir(text_new_from(path));
  Manifest made;
  if (!u->ok || !dir.t || !path_parent(dir.t)) return;
  manifest_load(&made, dir.t);  // an empty one when there is none yet
  u->ok = made.records && manifest_add_staged(&made, path, nullptr, true) &&
          stage_manifest(u->set, &made);
  manifest_free(&made);
}

// Records what the run will have made in the installation folder: the folders it created and
// every file staged there, with the size and time of the temporary that takes its place.
bool record_made(const FileSet* set, Manifest* made) {
  for (int k = 0; k < set->made_count; ++k) manifest_add_folder(made, set->made[k]);
  for (int k = 0; k < set->count; ++k) {
    const StagedFile* f = &set->files[k];
    FileFindData fd;
    if (!path_inside(text_cstr(f->path), text_cstr(made->folder), false)) continue;
    // Settings files are the product's whatever the editor writes into them later.
    bool by_name = f->entry < 0;
    if (!by_name && !file_find_data(f->temp, &fd)) return false;
    if (!manifest_add_staged(made, f->path, by_name ? nullptr : &fd, by_name)) return false;
  }
  return true;
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

void install_log_failure(const char* what, uint32_t code, Text* failure) {
  // With a code the system's reason follows; without one, what already says it.
  TextOwner reason(code ? os_error_text(code) : nullptr);
  char line[1600];
  if (reason.t)
    buf_printf(line, sizeof line, "%s: %s", what, reason.t);
  else
    buf_printf(line, sizeof line, "%s", what);
  char logged[1700];
  notify_log(buf_printf(logged, sizeof logged, "fail: %s\n", line));
  if (failure) text_printf(failure, "%s\n", line);
}

// ---- temporaries ----

bool install_is_temporary(const char* name) {
  const char* mark = name ? std::strstr(name, ".zq~") : nullptr;
  if (!mark || mark == name) return false;
  for (const char* next; (next = std::strstr(mark + 1, ".zq~"));) mark = next;
  const char* p = mark + 4;
  if (*p == 'b') ++p;
  int digits = 0;
  while (*p >= '0' && *p <= '9') ++p, ++digits;
  return *p == 0 && digits >= 1 && digits <= 2;
}

// ---- questions ----

int setup_ask(Text* rec, const char* message, unsigned kind, int silent_answer) {
  if (!setup_get(rec, ID("SILENT"))) return notify_box(message, kind);
  // One log line, ended.
  size_t n = std::strlen(message);
  if (n > 0 && message[n - 1] == '\n') {
    notify_log(message);
  } else {
    TextOwner line(format_text("%s\n", message));
    notify_log(line.t ? text_cstr(line.t) : message);
  }
  return silent_answer;
}

// ---- installation ----

bool pak_install(Text* rec, const PakBlock* pak, Text* failure) {
  TextOwner folder(setup_folder(rec));
  if (!pak || text_length(folder.t) == 0) {
    if (failure) text_puts(failure, pak ? "no installation folder\n" : "no package\n");
    return false;
  }
  // The package as a whole first: a bad or repeated name, or a damaged walk, refuses it before
  // anything is written.
  TextOwner report(text_new());
  if (!pak_names_check(pak, report.t)) {
    text_top(report.t);
    for (const char* line = text_cstr(report.t); *line;) {
      size_t n = std::strcspn(line, "\r\n");
      char what[1200];
      buf_printf(what, sizeof what, "%s", line);
      if (n < sizeof what) what[n] = 0;
      log_failure(what, 0, failure);
      line += n;
      while (*line == '\r' || *line == '\n') ++line;
    }
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
    char what[1600];
    log_failure(buf_printf(what, sizeof what, "%s: %s", folder.t, why), 0, failure);
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
  // The shortcuts' name as the installation there recorded it, before its settings are replaced.
  TextOwner settings(path_child(folder.t, SETUP_USER_SETTINGS));
  TextOwner installed(text_new());
  if (settings.t && installed.t) load_settings(installed.t, text_cstr(settings.t));

  InstallRun r = {};
  r.rec = rec;
  r.folder = folder.t;
  r.failure = failure;
  r.set.failure = failure;
  r.stop = false;
  uint32_t where = 0;
  PakStatus status = pak_walk(pak, keep_entry, &r, &where);
  if (status != PAK_END) {
    char what[400];
    buf_printf(what, sizeof what, "package at %d: %s", (int64_t)where,
               status == PAK_STOPPED ? pak_status_text(PAK_NO_MEMORY) : pak_status_text(status));
    fail_run(&r, what, 0);
  }
  // Every entry decoded, checked and written beside its place; then the settings files; and
  // only then everything takes its place at once.
  bool ok = !r.failed && plan_files(&r) && make_folders(&r) && stage_entries(&r);
  if (ok) {
    TextOwner user(user_settings_record(rec, text_cstr(settings.t)));
    ok = stage_settings_text(&r.set, text_cstr(settings.t), user.t);
    TextOwner probe_path(path_child(folder.t, "idtemp.sys"));
    TextOwner probe(text_new());
    if (ok && probe.t) {
      load_settings(probe.t, text_cstr(probe_path.t));  // the file's code stays
      text_clear(probe.t);
      text_puts(probe.t, "管理者権限調査用のファイル\r\n削除しないでください\r\n");
    }
    ok = ok && stage_settings_text(&r.set, text_cstr(probe_path.t), probe.t);
    if (ok && setup_get(rec, ID("COMMON"))) {
      TextOwner current(current_user_settings());
      TextOwner profile(user_profile_folder());
      TextOwner profiles(text_new_from(text_cstr(profile.t)));
      UserUpdate u = {rec, &r.set, true, path_parent(profiles.t) ? text_cstr(profiles.t) : nullptr};
      if (current.t && profile.t) each_user_path(current.t, profile.t, stage_user_copy, &u);
      ok = u.ok;
    }
    // The manifest takes its place with the files it names.
    ok = ok && record_made(&r.set, &made) && stage_manifest(&r.set, &made);
  }
  ok = ok && commit_set(&r.set);
  if (ok)
    drop_backups(&r.set);
  else
    undo_set(&r.set);
  setup_set(rec, ID("INSTKB"), (int)((r.bytes + 1023) / 1024));
  free_run(&r);
  manifest_free(&made);
  if (!ok) return false;

  // Registration: a key or a link that cannot be written is logged and skipped.
  TextOwner exe(setup_folder_exe(rec));
  shortcuts_renamed(rec, installed.t);
  shortcuts(rec, text_cstr(exe.t), false);
  hist_save(rec);
  if (setup_get(rec, ID("REGEXE"))) {
    const char* path = text_cstr(exe.t);
    TextOwner command(format_text("\"%s\" \"%%1\"", path));
    reg_logged(reg_set_string(REG_CLASSES, "Applications\\zqeditor.exe", nullptr, path),
               REG_CLASSES, "Applications\\zqeditor.exe");
    const char* open = "Applications\\zqeditor.exe\\shell\\open\\command";
    reg_logged(reg_set_string(REG_CLASSES, open, nullptr, text_cstr(command.t)), REG_CLASSES, open);
    const char* app = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zqeditor.exe";
    reg_logged(reg_set_string(REG_MACHINE, app, nullptr, path), REG_MACHINE, app);
  }
  return true;
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

namespace {

Text* user_settings_record(Text* rec, const char* path) {
  Text* s = text_new();
  if (!s) return nullptr;
  load_settings(s, path);  // a missing file is an empty record
  bool repair = setup_get(rec, ID("RESCUE")) != 0;
  if (repair) user_settings_reset(s);
  bool ok = header_set(s, ID("SETUP"), SETUP_INT, repair ? 2 : 1);
  ok = header_set(s, ID("NEW"), SETUP_INT, setup_get(rec, ID("NEW"))) && ok;
  if (header_has(s, ID("SPEAK"), HK_ID) || setup_get(rec, ID("SPEAK")))
    ok = header_set(s, ID("SPEAK"), SETUP_INT, setup_get(rec, ID("SPEAK"))) && ok;
  TextOwner icon(setup_get_text(rec, ID("ICON")));
  ok = icon.t && header_set(s, ID("ICON"), SETUP_STR, text_cstr(icon.t)) && ok;
  ok = header_set(s, ID("COMMON"), SETUP_INT, setup_get(rec, ID("COMMON"))) && ok;
  int version = 0;
  header_get(s, ID("CFGVER"), SETUP_INT, &version);
  if (version < 100) ok = header_set(s, ID("SCHMAT"), SETUP_INT, 0) && ok;
  ok = header_set(s, ID("CFGVER"), SETUP_INT, 100) && ok;
  if (!ok) {
    text_free(s);
    return nullptr;
  }
  return s;
}

}  // namespace

bool user_settings_update(Text* rec, TextArg path) {
  // The path may be a Text that the save must not see change.
  TextOwner name(text_new_from(text_arg_cstr(path)));
  if (!name.t || text_length(name.t) == 0) return false;
  TextOwner s(user_settings_record(rec, text_cstr(name.t)));
  FileSet set = {};
  bool ok = s.t && stage_settings_text(&set, text_cstr(name.t), s.t) && commit_set(&set);
  if (ok)
    drop_backups(&set);
  else
    undo_set(&set);
  free_set(&set);
  return ok;
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
  TextOwner folder(setup_folder(rec));
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
  TextOwner folder(setup_folder(rec));
  TextOwner exe(setup_folder_exe(rec));
  TextOwner quiet(format_text("%s -silent", command ? command : ""));
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
  TextOwner folder(special_folder(where));
  if (!folder.t) return;
  TextOwner file(format_text("%s.lnk", name));
  TextOwner link(path_child(folder.t, text_cstr(file.t)));
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

void shortcuts_renamed(Text* rec, Text* installed) {
  if (!installed) return;
  TextOwner before(setup_get_text(installed, ID("ICON")));
  TextOwner now(setup_get_text(rec, ID("ICON")));
  const char* name = text_cstr(before.t);
  if (!name || !*name || path_same(name, text_cstr(now.t)) || !pak_name_is_safe(name)) return;
  bool common = setup_get(installed, ID("COMMON")) != 0;
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
  TextOwner base(target ? text_new_from(target) : program_path());
  if (!base.t) return;
  bool common = setup_get(rec, ID("COMMON")) != 0;
  for (int k = 0; k < 3; ++k) {
    TextOwner icon(rows[k].name ? nullptr : setup_get_text(rec, ID("ICON")));
    const char* name = rows[k].name ? rows[k].name : text_cstr(icon.t);
    // The name becomes a file name: one that names another folder is not used.
    if (pak_name_is_safe(name)) {
      TextOwner exe(text_new_from(text_cstr(base.t)));
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
  const char* c = text_arg_cstr(current);
  const char* p = text_arg_cstr(profile);
  if (!c || !p || !*p) return 0;
  int64_t cn = (int64_t)std::strlen(c);
  TextOwner prof(text_new_from(p));
  path_strip_separator(prof.t, 0);
  int64_t n = text_length(prof.t);
  if (cn <= n + 1 || path_compare(c, text_cstr(prof.t), n) != 0 || (c[n] != '\\' && c[n] != '/'))
    return 0;
  TextOwner rest(text_new_from(c + n + 1));
  TextOwner profiles(text_new_from(text_cstr(prof.t)));
  if (!path_parent(profiles.t)) return 0;
  TextOwner pattern(path_child(profiles.t, "*"));
  FileFindData fd;
  FindHandle f = file_find_first(pattern.t, &fd);
  if (f == FIND_INVALID) return 0;
  int count = 0;
  do {
    if (!(fd.attributes & FSYS_ATTR_DIRECTORY) || std::strcmp(fd.name, ".") == 0 ||
        std::strcmp(fd.name, "..") == 0)
      continue;
    TextOwner user(path_child(profiles.t, fd.name));
    TextOwner path(path_child(user.t, text_cstr(rest.t)));
    if (!path.t) continue;
    visit(context, text_cstr(path.t));
    ++count;
  } while (file_find_next(f, &fd));
  file_find_close(f);
  return count;
}

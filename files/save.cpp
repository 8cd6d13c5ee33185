// Saving Texts: whole and region saves through a sibling file and an atomic replace, held
// handles, backups and the character check.

#include "files/save.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "core/strbuf.h"
#include "files/file.h"
#include "files/file_util.h"
#include "files/path.h"
#include "ui/notify.h"

namespace {

uint8_t g_backup_settings;
char* g_bakdir;
SaveCharDialog g_dialog;
PackedId g_choice = ID("JUMP");

constexpr int64_t CHECK_LIMIT = 2000000;  // longer Texts are not searched for SJIS-EX characters
constexpr int SIBLING_TRIES = 100;

bool calls_handler(const Text* t) {
  return t->command && (t->command_kind == TX_CMD_CALL || t->command_kind == TX_CMD_CALL3);
}

void status_text(Text* msg) {
  notify_status(text_cstr(msg));
  text_free(msg);
}

bool is_ex(const char* p) {
  return char_is((unsigned char)*p, CC_EXT) && char_len(p) >= 3;
}

// Position of the first SJIS-EX character, or -1.
TextPos first_ex(Text* t) {
  const char* s = text_cstr(t);
  int64_t n = text_length(t);
  for (const char* p = s; p < s + n; p += char_len(p))
    if (is_ex(p)) return (TextPos)(p - s);
  return -1;
}

// Every SJIS-EX character (three bytes or a six-byte pair) becomes one "?"; returns the count.
int replace_ex(Text* t) {
  const char* s = text_cstr(t);
  int64_t n = text_length(t);
  StrBuf out;
  int count = 0;
  for (const char* p = s; p < s + n;) {
    int len = char_len(p);
    if (is_ex(p)) {
      out.add("?", 1);
      ++count;
    } else {
      out.add(p, (size_t)len);
    }
    p += len;
  }
  if (count == 0 || out.failed) return out.failed ? 0 : count;
  text_clear(t);
  text_insert(t, out.str(), TI_RAW, (int64_t)out.len);
  text_top(t);
  return count;
}

PackedId builtin_dialog(Text*, const char* title, Text* items, PackedId initial) {
  Text* msg = format_text("%s\n%s", title, items);
  (void)initial;
  int answer = notify_box(text_cstr(msg), 1);
  text_free(msg);
  return answer == NOTIFY_YES ? g_choice : 0;
}

// A new file beside `name` that nothing else uses; its name goes into *tmp.
FileHandle create_sibling(const char* name, Text** tmp) {
  for (int i = 1; i <= SIBLING_TRIES; ++i) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".zq~%d", i);
    Text* t = text_new_from(name);
    if (!t) return FILE_INVALID;
    text_bottom(t);
    text_insert(t, suffix, TI_RAW, (int64_t)std::strlen(suffix));
    FileHandle h = file_create_new(t, FSYS_WRITE, 0, FSYS_SEQUENTIAL);
    if (h != FILE_INVALID) {
      *tmp = t;
      return h;
    }
    bool taken = file_find_data(t, nullptr);
    text_free(t);
    if (!taken) return FILE_INVALID;  // not a name clash: the folder refuses
  }
  return FILE_INVALID;
}

void record_time(Text* t, TextFile* f) {
  FileFindData d;
  if (t->file_name && file_find_data(t->file_name, &d)) f->written = d.written;
}

// Reads the whole file behind a handle into a new Text.
Text* read_handle(FileHandle h) {
  int64_t size = file_size(h);
  Text* c = text_new();
  if (!c || size < 0) {
    text_free(c);
    return nullptr;
  }
  char* buf = size > 0 ? (char*)std::malloc((size_t)size) : nullptr;
  bool ok = size == 0 || (buf && file_seek(h, 0) == 0 && file_read(h, buf, size) == size &&
                          text_insert(c, buf, TI_RAW, size) == size);
  std::free(buf);
  if (!ok) {
    text_free(c);
    return nullptr;
  }
  return c;
}

// A region goes back into its file the way a whole save does: the part before it, the text and
// the part after it are written into a new file beside the old one, which takes the old one's
// place only when everything is on the disk. A failure leaves the old file as it was.
bool save_region(Text* t, TextFile* f) {
  if (!save_char_check(t)) return false;
  const char* name = t->file_name;
  FileHandle in = file_open_read(name, FSYS_READ, FSYS_SHARE_READ, FSYS_SEQUENTIAL);
  if (in == FILE_INVALID) return false;
  int64_t size = file_size(in), at = f->region_offset;
  int64_t rest = at + f->region_length;  // where the part after the region starts
  if (rest > size) rest = size;
  Text* tmp = nullptr;
  FileHandle out = FILE_INVALID;
  bool ok = size >= 0 && at >= 0 && at <= size;
  if (ok) out = create_sibling(name, &tmp);
  ok = ok && out != FILE_INVALID && file_copy_range(in, 0, at, out) &&
       text_write_handle(t, out, 0, text_length(t)) &&
       file_copy_range(in, rest, size - rest, out) && file_flush(out);
  file_close(out);
  file_close(in);
  ok = ok && file_replace(tmp, name);
  if (!ok && tmp) file_delete(tmp);
  text_free(tmp);
  if (ok) f->region_length = text_length(t);
  return ok;
}

bool save_through_handle(Text* t) {
  FileHandle h = (FileHandle)t->file_handle;
  if (!save_char_check(t)) return false;
  return file_rewind(h) && file_set_end(h) && text_write_handle(t, h, 0, text_length(t));
}

}  // namespace

// ---- settings ----

void backup_set_settings(uint8_t byte) {
  g_backup_settings = byte;
}
uint8_t backup_settings() {
  return g_backup_settings;
}
int backup_mode() {
  return (g_backup_settings >> 3) & 0xF;
}
void backup_set_dir(const char* bakdir) {
  std::free(g_bakdir);
  g_bakdir = bakdir ? dup_str(bakdir) : nullptr;
}
void save_char_set_dialog(SaveCharDialog dialog) {
  g_dialog = dialog;
}
void save_char_set_choice(PackedId choice) {
  g_choice = choice;
}

// ---- writing ----

bool text_write_handle(Text* t, FileHandle h, TextPos from, TextPos to) {
  if (!t || h == FILE_INVALID) return false;
  int64_t n = text_length(t);
  if (from < 0) from = 0;
  if (to < 0 || to > n) to = n;
  if (from >= to) return true;
  if (!t->buffer) return false;
  // Before the gap: logical = physical; after it: shifted by the gap.
  int64_t a_end = to < t->gap_start ? to : t->gap_start;
  if (from < a_end && file_write(h, t->buffer + from, a_end - from) != a_end - from) return false;
  int64_t b_from = from > t->gap_start ? from : t->gap_start;
  if (b_from < to) {
    int64_t shift = t->gap_end - t->gap_start;
    if (file_write(h, t->buffer + b_from + shift, to - b_from) != to - b_from) return false;
  }
  return true;
}

bool text_save_to(Text* t, TextArg path) {
  if (!t || !path.p) return false;
  if (calls_handler(t)) {
    bool ok = t->command(t, ID("SAVETO"), (intptr_t)text_arg_cstr(path), 0) != 0;
    t->command(t, ID("SAVED"), ok, 0);
    return ok;
  }
  if (!save_char_check(t)) return false;
  char* name = dup_str(text_arg_cstr(path));
  if (!name || !*name) {
    std::free(name);
    return false;
  }
  Text* tmp = nullptr;
  FileHandle h = create_sibling(name, &tmp);
  bool ok = h != FILE_INVALID && text_write_handle(t, h, 0, text_length(t)) && file_flush(h);
  file_close(h);
  ok = ok && file_replace(tmp, name);
  if (!ok && tmp) file_delete(tmp);
  text_free(tmp);
  std::free(name);
  return ok;
}

bool text_save(Text* t) {
  if (!t) return false;
  if (calls_handler(t)) {
    bool ok = t->command(t, ID("SAVE"), 0, 0) != 0;
    t->command(t, ID("SAVED"), ok, 0);
    return ok;
  }
  if (!(t->flags & TX_MODIFIED)) return true;
  TextFile* f = text_file(t);
  if (!f || (!t->file_name && !t->file_handle)) return false;
  if (t->view) notify_status("保存中...");
  // The held handle reads; the save needs the file to itself for the time being.
  bool reopen = t->file_handle && t->file_name && (t->flags & TX_CLOSE_FILE);
  if (reopen) text_close_handle(t);

  if ((f->flags & TF_DOCUMENT) && backup_mode() != 0 && t->file_name &&
      file_is_file(t->file_name) && !backup_make(t)) {
    Text* msg = format_text("バックアップが作成できませんでした:\n\t%s\n", t->file_name);
    status_text(msg);
    fsys_sleep(100);
  }

  bool ok;
  if ((f->flags & TF_REGION) && t->file_name)
    ok = save_region(t, f);
  else if (t->file_handle && !t->file_name)
    ok = save_through_handle(t);
  else
    ok = text_save_to(t, t->file_name);

  if (reopen) {
    FileHandle h =
        file_open_read(t->file_name, FSYS_READ, text_lock_share(f->lock), FSYS_SEQUENTIAL);
    if (h != FILE_INVALID) {
      t->file_handle = h;
      t->flags |= TX_CLOSE_FILE;
    }
  }
  if (ok) {
    t->flags &= ~TX_MODIFIED;
    f->flags &= ~TF_NEW;
    record_time(t, f);
  }
  if (t->view || !ok) notify_status(ok ? "保存しました" : "保存に失敗しました");
  return ok;
}

bool text_write_back(Text* t) {
  if (!t || !(t->flags & TX_MODIFIED)) return false;
  bool ok;
  TextFile* f = (TextFile*)t->file_data;
  if (t->file_name) {
    text_close_handle(t);
    // A region goes back into its place; the rest of the file is not the Text's to replace.
    ok = (f && (f->flags & TF_REGION)) ? save_region(t, f) : text_save_to(t, t->file_name);
  } else {
    ok = t->file_handle && save_through_handle(t);
  }
  if (ok) t->flags &= ~TX_MODIFIED;
  return ok;
}

// ---- backups ----

bool backup_folder(Text* path) {
  if (!path) return false;
  if (g_bakdir && *g_bakdir) {
    Text* c = text_new_from(text_cstr(path));
    path_join(c, g_bakdir);
    bool ok = c && text_length(c) > 0 && folder_create_all(c);
    if (ok) text_assign(path, text_cstr(c));
    text_free(c);
    if (ok) return true;
  }
  path_root(path);
  path_add_separator(path);
  path_join(path, "bak");
  return folder_create_all(path);
}

namespace {

struct BackupEntry {
  char* path;
  char time[24];
};

int compare_entries(const void* a, const void* b) {
  const BackupEntry* x = (const BackupEntry*)a;
  const BackupEntry* y = (const BackupEntry*)b;
  int c = std::strcmp(x->time, y->time);
  return c ? c : std::strcmp(x->path, y->path);
}

void print_time(char* out, size_t size, FileTime t) {
  CalendarTime c{};
  filetime_to_local(t, &c);
  std::snprintf(out, size, "%04d/%02d/%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
}

// Deletes the oldest time-stamped backups of `stem`+`ext` until BACKUP_KEEP remain.
void prune_backups(const char* stem, const char* ext) {
  StrBuf pattern;
  pattern.add(stem);
  pattern.add("_2???????_??????*");
  pattern.add(ext);
  if (pattern.failed) return;
  BackupEntry* list = nullptr;
  int count = 0, cap = 0;
  FileFindData d;
  FindHandle f = file_find_first(pattern.str(), &d);
  for (bool more = f != FIND_INVALID; more; more = file_find_next(f, &d)) {
    if (d.attributes & FSYS_ATTR_DIRECTORY) continue;
    if (count == cap) {
      cap = cap ? cap * 2 : 128;
      BackupEntry* grown = (BackupEntry*)std::realloc(list, sizeof(BackupEntry) * (size_t)cap);
      if (!grown) break;
      list = grown;
    }
    Text* p = text_new_from(stem);
    path_join(p, d.name);
    list[count].path = dup_str(text_cstr(p));
    text_free(p);
    print_time(list[count].time, sizeof list[count].time, d.written);
    if (list[count].path) ++count;
  }
  file_find_close(f);
  if (count > BACKUP_KEEP) {
    std::qsort(list, (size_t)count, sizeof(BackupEntry), compare_entries);
    for (int i = 0; i < count - BACKUP_KEEP; ++i) file_delete(list[i].path);
  }
  for (int i = 0; i < count; ++i) std::free(list[i].path);
  std::free(list);
}

// The time-stamped name for `dst` (a path Text), "~1" to "~999" when taken.
void stamp_name(Text* dst, FileTime written) {
  char* ext = dup_str(path_extension(dst));
  path_set_extension(dst, nullptr);
  char* stem = dup_str(text_cstr(dst));
  if (!ext || !stem) {
    std::free(ext);
    std::free(stem);
    return;
  }
  prune_backups(stem, ext);
  CalendarTime c{};
  filetime_to_local(written, &c);
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "_%04d%02d%02d_%02d%02d%02d", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
  StrBuf base;
  base.add(stem);
  base.add(stamp);
  text_assign(dst, base.str());
  text_bottom(dst);
  text_insert(dst, ext, TI_RAW, (int64_t)std::strlen(ext));
  for (int i = 1; i <= 999 && file_find_data(dst, nullptr); ++i) {
    char num[12];
    std::snprintf(num, sizeof num, "~%d", i);
    StrBuf n;
    n.add(base.str());
    n.add(num);
    n.add(ext);
    text_assign(dst, n.str());
  }
  std::free(ext);
  std::free(stem);
}

}  // namespace

bool backup_make(Text* t) {
  if (!t || !t->file_name) return false;
  TextFile* f = text_file(t);
  int m = backup_mode();
  if (!f || m == 0) return false;
  if ((f->flags & TF_REGION) && (m == 5 || t->file_handle)) return false;
  const char* name = t->file_name;
  Text* dst = text_new_from(name);
  if (!dst) return false;
  if (m & 1) {
    if (!backup_folder(dst)) {
      text_free(dst);
      return false;
    }
    path_add_separator(dst);
    path_join(dst, path_file_name(name));
  }
  FileTime written = f->written;
  if (written.ticks == 0) {
    FileFindData d;
    if (file_find_data(name, &d)) written = d.written;
  }
  if (m == 5)
    stamp_name(dst, written);
  else if (m == 2)
    path_set_extension(dst, ".bak");
  else if (m == 10)
    path_add_extension(dst, ".bak");

  bool ok = false;
  if (path_compare(dst, name, -1) == 0) {
    ok = false;  // the backup would be the file itself
  } else if (t->file_handle) {
    Text* copy = read_handle((FileHandle)t->file_handle);
    ok = copy && text_save_to(copy, dst);
    text_free(copy);
    if (ok && written.ticks) {
      FileHandle h = file_open_read(dst, FSYS_WRITE, 0, 0);
      file_set_time(h, written);
      file_close(h);
    }
  } else if (file_is_file(name)) {
    ok = file_copy(name, dst, false);
  }
  text_free(dst);
  return ok;
}

// ---- the character check ----

bool save_char_check(Text* t) {
  if (!t) return false;
  TextFile* f = (TextFile*)t->file_data;
  if (!f || !(f->flags & TF_MAY_EX) || (f->flags & TF_NEVER_ASK)) return true;
  f->flags &= ~TF_CANCELLED;
  switch ((PackedId)text_prop(t, ID("_KC"))) {
    case ID("UNI"):
    case ID("UTF"):
    case ID("EURO"):
    case ID("UNIB"):
    case ID("UTFB"):
    case ID("UNIBE"):
    case ID("SJISEX"):
      return true;
    default:
      break;
  }
  if ((f->flags & TF_BINARY) || text_length(t) > CHECK_LIMIT) return true;
  TextPos first = first_ex(t);
  if (first < 0) return true;

  Text* items = text_new();
  text_puts(items, "UTF(rb)\tUTF-8で保存(&T)\n");
  text_puts(items, "UNI(rb)\tUnicodeで保存(&U)\n");
  text_puts(items, "UNIB(rb)\tUnicode(BOMなし)で保存(&B)\n");
  text_puts(items, "SJISEX(rb)\tSJIS-EX(ZQ拡張)で保存(&S)\n");
  text_puts(items, "SJIS(rb)\t該当文字を?で置換して保存(&Z)\n");
  text_puts(items, "JUMP(rb)\t該当箇所を表示(&X)\n");
  items->flags |= TX_WHOLE;
  PackedId choice =
      (g_dialog ? g_dialog : builtin_dialog)(t, "Unicode特有文字があります", items, ID("JUMP"));
  text_free(items);

  switch (choice) {
    case ID("SJIS"): {
      int n = replace_ex(t);
      status_text(format_text("%d個置換しました", n));
      return true;
    }
    case ID("UTF"):
    case ID("UNI"):
    case ID("UNIB"):
    case ID("SJISEX"):
      text_set_prop(t, ID("_KC"), (intptr_t)choice);
      status_text(format_text("%idで保存", choice));
      return true;
    case ID("JUMP"):
      text_seek(t, first);
      break;
    default:
      break;
  }
  f->flags |= TF_CANCELLED;
  return false;
}

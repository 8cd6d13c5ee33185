// The file access layer over internal paths, the in-place region moves, temporary copies and the
// loading of a file into a Text.

#include "files/file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "files/file_fault.h"
#include "files/file_util.h"
#include "files/path.h"
#include "files/save.h"
#include "ui/notify.h"

namespace {

int g_open_count;
int g_fail_write = -1;
Text* g_temp_copies;  // "target\ttemporary\n" records

constexpr int64_t MOVE_CHUNK = 0x100000;  // 1 MiB per step of a region move
constexpr int64_t SMALL_TAIL = 100000;    // a shorter tail moves in one buffer
constexpr int64_t EMPTY_BUFFER = 250;     // an empty loaded Text keeps this much room

// Resolves, calls, frees: the shape of every name-taking wrapper.
template <class F>
auto with_path(TextArg path, F f) {
  char16_t* w = path_resolve(path);
  auto r = f(w);
  std::free(w);
  return r;
}

FileHandle counted(FileHandle h) {
  if (h != FILE_INVALID) ++g_open_count;
  return h;
}

void fill_name(FileFindData* d) {
  if (!d) return;
  d->name[0] = 0;
  int n = to_narrow(d->wide_name, -1, d->name, (int)sizeof d->name - 1);
  d->name[n > 0 ? (n < (int)sizeof d->name ? n : (int)sizeof d->name - 1) : 0] = 0;
}

// "%d%%" on the status line when the share moved on.
void progress(int64_t total, int64_t remaining, int* last) {
  if (total <= 0) return;
  int pct = (int)((total - remaining) * 100 / total);
  if (pct == *last) return;
  *last = pct;
  char msg[16];
  std::snprintf(msg, sizeof msg, "%d%%", pct);
  notify_status(msg);
}

bool read_at(FileHandle h, int64_t at, void* buf, int64_t n) {
  return file_seek(h, at) == at && file_read(h, buf, n) == n;
}
bool write_at(FileHandle h, int64_t at, const void* buf, int64_t n) {
  return file_seek(h, at) == at && file_write(h, buf, n) == n;
}

// ---- the Text binding hooks ----

void hook_write_back(Text* t) {
  text_write_back(t);
}
void hook_save(Text* t) {
  text_save(t);
}
void hook_release(Text* t) {
  text_close_handle(t);
  std::free(t->file_data);
  t->file_data = nullptr;
}

void ensure_hooks() {
  static bool installed;
  if (installed) return;
  installed = true;
  static const TextFileHooks hooks = {hook_write_back, hook_save, hook_release};
  text_set_file_hooks(&hooks);
}

// Puts n bytes of a fresh buffer in place of the Text's storage; the caller fills it.
char* take_buffer(Text* t, int64_t size, int64_t gap, bool at_start) {
  if (!text_reset_capacity(t, size + gap) || !t->buffer) return nullptr;
  if (at_start) {
    t->gap_start = size;
    t->gap_end = size + gap;
    return t->buffer;
  }
  t->gap_start = 0;
  t->gap_end = gap;
  return t->buffer + gap;
}

}  // namespace

// ---- queries ----

bool file_find_data(TextArg path, FileFindData* out) {
  const char* s = text_arg_cstr(path);
  if (!s || !*s) return false;
  if (s[1] == ':' && s[2] == 0) {
    if (out) {
      std::memset(out, 0, sizeof *out);
      out->attributes = FSYS_ATTR_DIRECTORY;
    }
    return true;
  }
  FindHandle f = file_find_first(path, out);
  if (f == FIND_INVALID) return false;
  file_find_close(f);
  return true;
}

bool file_is_folder(TextArg path) {
  FileFindData d;
  return file_find_data(path, &d) && (d.attributes & FSYS_ATTR_DIRECTORY);
}

bool file_is_file(TextArg path) {
  FileFindData d;
  return file_find_data(path, &d) && !(d.attributes & FSYS_ATTR_DIRECTORY);
}

bool file_is_link(TextArg path) {
  FileFindData d;
  return file_find_data(path, &d) && (d.attributes & FSYS_ATTR_REPARSE_POINT);
}

Text* file_final_path(TextArg path) {
  char16_t* w = with_path(path, [](char16_t* p) { return p ? fsys_final_path(p) : nullptr; });
  Text* t = w ? text_from_wide(w) : nullptr;
  std::free(w);
  return t;
}

PackedId path_classify(TextArg path) {
  const char* s = text_arg_cstr(path);
  if (!s || !*s) return ID("FILEN");
  if (std::strpbrk(s, "*?")) return ID("MASK");
  if (path_is_drive_root(s)) return ID("FOLDER");
  FileFindData d;
  if (!file_find_data(s, &d)) return ID("FILEN");
  if (!(d.attributes & FSYS_ATTR_DIRECTORY)) return ID("FILE");
  return path_has_extension(s, ".mbx") ? ID("MBX") : ID("FOLDER");
}

// ---- handles ----

FileHandle file_open_read(TextArg path, uint32_t access, uint32_t share, uint32_t flags) {
  return counted(with_path(path, [&](char16_t* w) {
    return w ? fsys_open(w, access, share, FSYS_OPEN_EXISTING, flags) : FILE_INVALID;
  }));
}

FileHandle file_create_ex(TextArg path, uint32_t access, uint32_t share, uint32_t flags,
                          bool always) {
  return counted(with_path(path, [&](char16_t* w) {
    if (!w) return FILE_INVALID;
    FileHandle h =
        always ? FILE_INVALID : fsys_open(w, access, share, FSYS_TRUNCATE_EXISTING, flags);
    if (h == FILE_INVALID) h = fsys_open(w, access, share, FSYS_CREATE_ALWAYS, flags);
    return h;
  }));
}

FileHandle file_create_new(TextArg path, uint32_t access, uint32_t share, uint32_t flags) {
  return counted(with_path(path, [&](char16_t* w) {
    return w ? fsys_open(w, access, share, FSYS_CREATE_NEW, flags) : FILE_INVALID;
  }));
}

FileHandle file_create(TextArg path, uint32_t access, uint32_t share, uint32_t flags) {
  return file_create_ex(path, access, share, flags, false);
}

void file_close(FileHandle h) {
  if (h == FILE_INVALID) return;
  if (fsys_close(h)) --g_open_count;
}

int64_t file_read(FileHandle h, void* buffer, int64_t n) {
  if (h == FILE_INVALID || n < 0) return -1;
  return n == 0 ? 0 : fsys_read(h, buffer, n);
}

int64_t file_write(FileHandle h, const void* buffer, int64_t n) {
  if (h == FILE_INVALID || n < 0) return -1;
  if (g_fail_write >= 0 && g_fail_write-- == 0) return -1;
  return n == 0 ? 0 : fsys_write(h, buffer, n);
}

int64_t file_seek(FileHandle h, int64_t offset) {
  return h == FILE_INVALID || offset < 0 ? -1 : fsys_seek(h, offset);
}
int64_t file_tell(FileHandle h) {
  return h == FILE_INVALID ? -1 : fsys_tell(h);
}
int64_t file_size(FileHandle h) {
  return h == FILE_INVALID ? -1 : fsys_size(h);
}
bool file_rewind(FileHandle h) {
  return file_seek(h, 0) == 0;
}
bool file_set_end(FileHandle h) {
  return h != FILE_INVALID && fsys_set_end(h);
}
bool file_flush(FileHandle h) {
  return h != FILE_INVALID && fsys_flush(h);
}
bool file_get_time(FileHandle h, FileTime* written) {
  return h != FILE_INVALID && fsys_get_time(h, written);
}
bool file_set_time(FileHandle h, FileTime written) {
  return h != FILE_INVALID && fsys_set_time(h, written);
}
int file_open_count() {
  return g_open_count;
}

uint8_t* file_read_whole(FileHandle h, size_t* length) {
  *length = 0;
  int64_t size = file_size(h);
  if (size < 0 || (uint64_t)size >= SIZE_MAX || file_seek(h, 0) != 0) return nullptr;
  uint8_t* b = (uint8_t*)std::malloc((size_t)size + 1);
  if (!b || file_read(h, b, size) != size) {
    std::free(b);
    return nullptr;
  }
  b[size] = 0;
  *length = (size_t)size;
  return b;
}

uint8_t* file_read_all(TextArg path, size_t* length) {
  *length = 0;
  FileHandle h = file_open_read(path, FSYS_READ, FSYS_SHARE_READ, FSYS_SEQUENTIAL);
  if (h == FILE_INVALID) return nullptr;
  uint8_t* b = file_read_whole(h, length);
  file_close(h);
  return b;
}
void file_fail_write_after(int n) {
  g_fail_write = n;
}

// ---- names ----

bool file_delete(TextArg path) {
  return with_path(path, [](char16_t* w) { return fsys_delete(w); });
}
bool folder_create(TextArg path, void* security) {
  return with_path(path, [&](char16_t* w) { return fsys_mkdir(w, security); });
}
bool folder_remove(TextArg path) {
  return with_path(path, [](char16_t* w) { return fsys_rmdir(w); });
}

bool folder_create_all(TextArg path) {
  if (file_is_folder(path)) return true;
  Text* parent = text_new_from(text_arg_cstr(path));
  if (!parent) return false;
  path_strip_separator(parent, 2);
  bool ok = false;
  Text* up = text_new_from(text_cstr(parent));
  if (up && path_parent(up) && text_length(up) > 0 && !file_is_folder(up)) folder_create_all(up);
  text_free(up);
  ok = folder_create(parent, nullptr) || file_is_folder(parent);
  text_free(parent);
  return ok;
}

bool file_copy(TextArg from, TextArg to, bool fail_if_exists) {
  char16_t* a = path_resolve(from);
  char16_t* b = path_resolve(to);
  bool ok = a && b && fsys_copy(a, b, fail_if_exists);
  std::free(a);
  std::free(b);
  return ok;
}

namespace {

bool fsys_move_new(const char16_t* a, const char16_t* b) {
  return fsys_move(a, b, false);
}
bool fsys_move_replacing(const char16_t* a, const char16_t* b) {
  return fsys_move(a, b, true);
}

// Runs a two-path primitive on the system paths of two internal ones.
bool with_two_paths(TextArg source, TextArg target, bool (*op)(const char16_t*, const char16_t*)) {
  char16_t* a = path_resolve(source);
  char16_t* b = path_resolve(target);
  bool ok = a && b && op(a, b);
  std::free(a);
  std::free(b);
  return ok;
}

}  // namespace

bool file_replace(TextArg source, TextArg target) {
  return with_two_paths(source, target, fsys_replace);
}

bool file_move(TextArg source, TextArg target, bool replace) {
  return with_two_paths(source, target, replace ? fsys_move_replacing : fsys_move_new);
}

bool file_link(TextArg source, TextArg target) {
  return with_two_paths(source, target, fsys_link);
}

bool file_set_attributes(TextArg path, uint32_t attributes) {
  return with_path(path, [&](char16_t* w) { return fsys_set_attributes(w, attributes); });
}

FindHandle file_find_first(TextArg pattern, FileFindData* out) {
  FindHandle f =
      with_path(pattern, [&](char16_t* w) { return w ? fsys_find_first(w, out) : FIND_INVALID; });
  if (f != FIND_INVALID) fill_name(out);
  return f;
}

bool file_find_next(FindHandle f, FileFindData* out) {
  if (!fsys_find_next(f, out)) return false;
  fill_name(out);
  return true;
}

void file_find_close(FindHandle f) {
  fsys_find_close(f);
}

// ---- regions ----

bool file_insert_space(FileHandle h, int64_t n) {
  int64_t p = file_tell(h), e = file_size(h);
  if (p < 0 || e < 0 || n < 0) return false;
  if (n == 0) return true;
  if (p > e) p = e;
  char* buf = (char*)std::malloc(MOVE_CHUNK);
  if (!buf) return false;
  bool ok = file_seek(h, e + n) == e + n && file_set_end(h);
  int64_t total = e - p, remaining = total, src = e, dst = e + n;
  int last = -1;
  while (ok && remaining > 0) {
    progress(total, remaining, &last);
    int64_t chunk = remaining < MOVE_CHUNK ? remaining : MOVE_CHUNK;
    ok = read_at(h, src - chunk, buf, chunk) && write_at(h, dst - chunk, buf, chunk);
    src -= chunk;
    dst -= chunk;
    remaining -= chunk;
  }
  std::free(buf);
  file_seek(h, p);
  return ok;
}

bool file_remove_bytes(FileHandle h, int64_t n) {
  int64_t p = file_tell(h), e = file_size(h);
  if (p < 0 || e < 0 || n < 0) return false;
  if (n == 0) return true;
  if (p + n >= e) {
    bool ok = file_seek(h, p) == p && file_set_end(h);
    file_seek(h, p);
    return ok;
  }
  int64_t tail = e - p - n;
  int64_t size = tail <= SMALL_TAIL ? tail : MOVE_CHUNK;
  char* buf = (char*)std::malloc((size_t)size);
  if (!buf) return false;
  bool ok = true;
  int64_t done = 0;
  int last = -1;
  while (ok && done < tail) {
    if (tail > SMALL_TAIL) progress(tail, tail - done, &last);
    int64_t chunk = tail - done < size ? tail - done : size;
    ok = read_at(h, p + n + done, buf, chunk) && write_at(h, p + done, buf, chunk);
    done += chunk;
  }
  std::free(buf);
  if (ok) ok = file_seek(h, e - n) == e - n && file_set_end(h);
  file_seek(h, p);
  return ok;
}

bool file_copy_range(FileHandle from, int64_t offset, int64_t n, FileHandle to) {
  if (n < 0 || offset < 0) return false;
  if (n == 0) return true;
  int64_t size = n <= SMALL_TAIL ? n : MOVE_CHUNK;
  char* buf = (char*)std::malloc((size_t)size);
  if (!buf) return false;
  bool ok = file_seek(from, offset) == offset;
  int last = -1;
  for (int64_t done = 0; ok && done < n;) {
    if (n > SMALL_TAIL) progress(n, n - done, &last);
    int64_t chunk = n - done < size ? n - done : size;
    ok = file_read(from, buf, chunk) == chunk && file_write(to, buf, chunk) == chunk;
    done += chunk;
  }
  std::free(buf);
  return ok;
}

// ---- temporary files ----

Text* temp_file_name(const char*) {
  char16_t* dir = fsys_temp_dir();
  char16_t* name = dir ? fsys_temp_file(dir, u"txo") : nullptr;
  Text* t = text_from_wide(name);
  std::free(dir);
  std::free(name);
  return t;
}

bool temp_copy_write(TextArg target, const void* buffer, int64_t n) {
  const char* s = text_arg_cstr(target);
  if (!s || n < 0) return false;
  char* target_copy = dup_str(s);
  Text* tmp = temp_file_name(nullptr);
  if (!tmp || !target_copy) {
    std::free(target_copy);
    text_free(tmp);
    return false;
  }
  file_delete(tmp);
  path_set_extension(tmp, path_extension(target_copy));
  FileHandle h = file_create(tmp, FSYS_WRITE, 0, FSYS_SEQUENTIAL);
  bool ok = h != FILE_INVALID && file_write(h, buffer, n) == n;
  file_close(h);
  if (ok) {
    if (!g_temp_copies) g_temp_copies = text_new();
    text_bottom(g_temp_copies);
    ok = g_temp_copies && text_printf(g_temp_copies, "%cs\t%cs\n", target_copy, tmp) > 0;
  }
  if (!ok) file_delete(tmp);
  std::free(target_copy);
  text_free(tmp);
  return ok;
}

// Walks the records of the list: calls f(target, temporary) until it returns true.
template <class F>
static bool each_temp_copy(F f) {
  if (!g_temp_copies) return false;
  char* all = dup_str(text_cstr(g_temp_copies));
  if (!all) return false;
  bool found = false;
  for (char* line = all; *line && !found;) {
    char* end = line + std::strcspn(line, "\r\n");
    char* next = end + std::strspn(end, "\r\n");
    *end = 0;
    char* tab = std::strchr(line, '\t');
    if (tab) {
      *tab = 0;
      found = f(line, tab + 1);
    }
    line = next;
  }
  std::free(all);
  return found;
}

Text* temp_copy_find(TextArg target) {
  const char* s = text_arg_cstr(target);
  if (!s) return nullptr;
  char* name = dup_str(path_file_name(s));
  Text* result = nullptr;
  each_temp_copy([&](const char* t, const char* tmp) {
    if (path_compare(path_file_name(t), name, -1) != 0) return false;
    result = text_new_from(tmp);
    return true;
  });
  std::free(name);
  return result;
}

void temp_copy_cleanup() {
  each_temp_copy([](const char*, const char* tmp) {
    file_delete(tmp);
    return false;
  });
  text_free(g_temp_copies);
  g_temp_copies = nullptr;
}

// ---- the file binding of a Text ----

TextFile* text_file(Text* t) {
  if (!t) return nullptr;
  ensure_hooks();
  if (!t->file_data) t->file_data = std::calloc(1, sizeof(TextFile));
  return (TextFile*)t->file_data;
}

bool text_set_region(Text* t, int64_t offset, int64_t length) {
  TextFile* f = text_file(t);
  if (!f) return false;
  f->flags |= TF_REGION;
  f->region_offset = offset;
  f->region_length = length;
  return true;
}

uint32_t text_lock_share(int lock) {
  if (lock <= 0) return FSYS_SHARE_READ | FSYS_SHARE_WRITE;
  return lock == 1 ? (uint32_t)FSYS_SHARE_READ : 0u;
}

void text_close_handle(Text* t) {
  if (!t || !t->file_handle) return;
  if (t->flags & TX_CLOSE_FILE) file_close((FileHandle)t->file_handle);
  t->file_handle = nullptr;
  t->flags &= ~TX_CLOSE_FILE;
}

bool text_bind_name(Text* t, const char* name) {
  if (!t) return false;
  text_close_handle(t);
  char* copy = name ? dup_str(name) : nullptr;
  if (name && !copy) return false;
  std::free(t->file_name);
  t->file_name = copy;
  return true;
}

bool text_load(Text* t, TextArg path, unsigned mode) {
  if (!t || !path.p) return false;
  char* name = dup_str(text_arg_cstr(path));
  if (!name) return false;
  ensure_hooks();
  if (t->command && (t->command_kind == TX_CMD_CALL || t->command_kind == TX_CMD_CALL3)) {
    bool ok = t->command(t, ID("LOAD"), (intptr_t)name, mode) != 0;
    t->command(t, ID("LOADED"), ok, 0);
    std::free(name);
    return ok;
  }
  TextFile* f = text_file(t);
  if (!f) {
    std::free(name);
    return false;
  }
  if (mode & TL_REBIND) {
    bool ok = text_bind_name(t, name);
    std::free(name);
    return ok;
  }
  bool bind = !(mode & TL_READ_ONLY_CONTENTS);
  if (bind) {
    text_bind_name(t, nullptr);
    f->flags &= TF_DOCUMENT | TF_REGION | TF_TRUNCATE | TF_MAY_EX | TF_NEVER_ASK | TF_BINARY;
    f->lock = 0;
    f->written = FileTime{0};
  }
  text_clear(t);
  if (mode & (TL_BIND_ONLY | TL_BIND_ONLY2)) {
    text_reset_capacity(t, EMPTY_BUFFER);
    text_bind_name(t, name);
    f->flags |= TF_NEW;
    t->flags &= ~TX_MODIFIED;
    std::free(name);
    return true;
  }

  int lock = (int)(mode & TL_LOCK);
  if (lock > 2) lock = 2;
  FileFindData fd;
  // A folder is present but can never be read as a file.
  bool present = file_find_data(name, &fd);
  bool exists = present && !(fd.attributes & FSYS_ATTR_DIRECTORY);
  if (!present && (mode & TL_CREATE)) {
    file_close(file_create_ex(name, FSYS_WRITE, 0, 0, true));
    exists = present = file_is_file(name);
  }
  if (exists && (f->flags & TF_DOCUMENT)) {
    FileHandle rw = file_open_read(name, FSYS_READ | FSYS_WRITE, text_lock_share(lock), 0);
    if (rw == FILE_INVALID) {
      f->flags |= TF_READ_ONLY;
      lock = 0;
    }
    file_close(rw);
  }
  FileHandle h = exists ? file_open_read(name, FSYS_READ, text_lock_share(lock), FSYS_SEQUENTIAL)
                        : FILE_INVALID;
  if (h == FILE_INVALID && exists && lock > 0) {
    h = file_open_read(name, FSYS_READ, text_lock_share(0), FSYS_SEQUENTIAL);
    if (h != FILE_INVALID) {
      f->flags |= TF_NO_LOCK;
      lock = 0;
    }
  }

  if (h != FILE_INVALID) {
    int64_t size = file_size(h);
    int64_t offset = 0;
    if (f->flags & TF_REGION) {
      offset = f->region_offset < size ? f->region_offset : size;
      if (offset < 0) offset = 0;
      if (f->region_length >= 0 && f->region_length < size - offset)
        size = f->region_length;
      else
        size -= offset;
    }
    bool ok = size >= 0;
    if (ok && size == 0) {
      ok = text_reset_capacity(t, EMPTY_BUFFER);
    } else if (ok) {
      int64_t gap = t->initial_increment ? t->initial_increment : 8192;
      char* at = take_buffer(t, size, gap, (mode & TL_AT_START) != 0);
      ok = at && file_seek(h, offset) == offset && file_read(h, at, size) == size;
      if (!ok)
        text_reset_capacity(t, EMPTY_BUFFER);
      else if (t->line_index) {
        // The index was built for the empty buffer; build it again for the contents.
        Text* x = t->line_index;
        t->line_index = nullptr;
        text_free(x);
        text_line_index(t);
      }
    }
    text_top(t);
    t->flags &= ~TX_MODIFIED;
    if (ok && (f->flags & TF_REGION)) f->region_length = size;
    if (ok && bind) {
      file_get_time(h, &f->written);
      text_bind_name(t, name);
      f->lock = lock;
      if (lock > 0) {
        t->file_handle = h;
        t->flags |= TX_CLOSE_FILE;
        h = FILE_INVALID;
      }
    }
    file_close(h);
    if (ok && (mode & TL_TAGS)) {
      static const char tag[] = "text-header:";
      char head[sizeof tag];
      if (text_copy_out(t, 0, head, (int64_t)sizeof tag - 1) == (int64_t)sizeof tag - 1 &&
          std::memcmp(head, tag, sizeof tag - 1) == 0)
        f->flags |= TF_TAGGED;
    }
    std::free(name);
    return ok;
  }

  bool ok = false;
  if (!present && bind) {
    text_reset_capacity(t, EMPTY_BUFFER);
    text_bind_name(t, name);
    f->flags |= TF_NEW;
    t->flags &= ~TX_MODIFIED;
    ok = true;
  } else if (present && (mode & TL_WARN)) {
    Text* msg = format_text(
        "ファイルを開けません\n%"
        "cs\n\n他のアプリケーションでファイルを開いていないか、ご確認ください。\n",
        name);
    notify_box(text_cstr(msg), 0);
    text_free(msg);
  }
  std::free(name);
  return ok;
}

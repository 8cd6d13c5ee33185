// File-system primitives of the native build: POSIX calls behind the interface of the Win32 twin.
// System paths arrive as UTF-16 and become UTF-8 here, each "\" a "/" (an internal path uses both
// as separators; a Shift-JIS trail byte 0x5C has already become part of its character in
// UTF-16). Windows sharing modes have no POSIX counterpart and are not enforced.

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE 1  // <linux/fs.h>
#endif
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/utf8.h"
#include "files/fsys.h"

namespace {

// 100 ns units from 1601-01-01 to 1970-01-01.
constexpr uint64_t EPOCH_DIFF = 116444736000000000ull;

int fd_of(FileHandle h) {
  return (int)(intptr_t)h;
}
FileHandle handle_of(int fd) {
  return reinterpret_cast<FileHandle>(intptr_t(fd));
}

FileTime time_of(const struct timespec& ts) {
  int64_t t = (int64_t)ts.tv_sec * 10000000 + ts.tv_nsec / 100;
  return FileTime{(uint64_t)(t + (int64_t)EPOCH_DIFF)};
}

struct timespec timespec_of(FileTime t) {
  int64_t u = (int64_t)t.ticks - (int64_t)EPOCH_DIFF;
  struct timespec ts;
  ts.tv_sec = u / 10000000;
  ts.tv_nsec = (long)(u % 10000000) * 100;
  if (ts.tv_nsec < 0) {
    ts.tv_nsec += 1000000000;
    ts.tv_sec -= 1;
  }
  return ts;
}

// UTF-16 to UTF-8, "\" to "/". Unpaired surrogates become U+FFFD.
char* utf8_of(const char16_t* w) {
  if (!w) return nullptr;
  size_t n = 0;
  while (w[n]) ++n;
  char* out = (char*)std::malloc(n * 3 + 1);
  if (!out) return nullptr;
  char* o = out;
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = w[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c == '\\') c = '/';
    o += utf8_put(c, o);
  }
  *o = 0;
  return out;
}

// UTF-8 to UTF-16 into a buffer of `cap` units (cut to fit); invalid bytes become U+FFFD.
size_t wide_into(const char* s, char16_t* out, size_t cap) {
  size_t k = 0;
  const unsigned char* p = (const unsigned char*)s;
  while (*p && k + 1 < cap) {
    uint32_t c = *p;
    int more = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (more < 0) {
      c = 0xFFFD;
      ++p;
    } else {
      c = more == 0 ? c : more == 1 ? (c & 0x1F) : more == 2 ? (c & 0x0F) : (c & 0x07);
      ++p;
      for (int i = 0; i < more; ++i) {
        if ((*p & 0xC0) != 0x80) {
          c = 0xFFFD;
          break;
        }
        c = (c << 6) | (*p++ & 0x3F);
      }
    }
    if (c >= 0x10000) {
      if (k + 2 >= cap) break;
      c -= 0x10000;
      out[k++] = (char16_t)(0xD800 + (c >> 10));
      out[k++] = (char16_t)(0xDC00 + (c & 0x3FF));
    } else {
      out[k++] = (char16_t)c;
    }
  }
  if (cap) out[k] = 0;
  return k;
}

char16_t* wide_of(const char* s) {
  if (!s) return nullptr;
  size_t cap = std::strlen(s) + 1;
  char16_t* w = (char16_t*)std::malloc(cap * sizeof(char16_t));
  if (w) wide_into(s, w, cap);
  return w;
}

// "dir/" + extra as a new UTF-16 string.
char16_t* wide_folder(const char* dir, const char* extra) {
  size_t n = std::strlen(dir), m = extra ? std::strlen(extra) : 0;
  char* s = (char*)std::malloc(n + m + 2);
  if (!s) return nullptr;
  std::memcpy(s, dir, n);
  if (extra) {
    if (n == 0 || s[n - 1] != '/') s[n++] = '/';
    std::memcpy(s + n, extra, m);
    n += m;
  }
  s[n] = 0;
  char16_t* w = wide_of(s);
  std::free(s);
  return w;
}

// st is what lstat saw; a link is reported as the link (as Windows reports a reparse point),
// a folder when it points at one (is_dir).
void fill_find_data(const struct stat& st, const char* name, bool is_dir, FileFindData* out) {
  if (!out) return;
  std::memset(out, 0, sizeof *out);
  out->attributes = is_dir ? FSYS_ATTR_DIRECTORY : FSYS_ATTR_ARCHIVE;
  if (S_ISLNK(st.st_mode)) out->attributes |= FSYS_ATTR_REPARSE_POINT;
  if (!(st.st_mode & S_IWUSR)) out->attributes |= FSYS_ATTR_READONLY;
  if (name[0] == '.' && name[1] && std::strcmp(name, "..") != 0)
    out->attributes |= FSYS_ATTR_HIDDEN;
  out->created = time_of(st.st_ctim);
  out->accessed = time_of(st.st_atim);
  out->written = time_of(st.st_mtim);
  out->size = is_dir || S_ISLNK(st.st_mode) ? 0 : (uint64_t)st.st_size;
  wide_into(name, out->wide_name, sizeof out->wide_name / sizeof out->wide_name[0]);
}

// Windows wildcards: "*" any run, "?" one character; ASCII letters match in either case.
bool wild_match(const char* pat, const char* s) {
  const char *star = nullptr, *resume = nullptr;
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
  auto step = [](const char* p) {
    unsigned char c = (unsigned char)*p;
    int n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    while (--n > 0 && p[1]) ++p;
    return p + 1;
  };
  while (*s) {
    if (*pat == '*') {
      star = ++pat;
      resume = s;
    } else if (*pat == '?') {
      ++pat;
      s = step(s);
    } else if (*pat && lower((unsigned char)*pat) == lower((unsigned char)*s)) {
      ++pat;
      ++s;
    } else if (star) {
      pat = star;
      s = resume = step(resume);
    } else {
      return false;
    }
  }
  while (*pat == '*') ++pat;
  return *pat == 0;
}

// lstat of the entry; *is_dir also for a link to a folder.
bool entry_stat(const char* path, struct stat* st, bool* is_dir) {
  if (lstat(path, st) != 0) return false;
  struct stat target;
  *is_dir = S_ISDIR(st->st_mode) ||
            (S_ISLNK(st->st_mode) && stat(path, &target) == 0 && S_ISDIR(target.st_mode));
  return true;
}

struct PosixFind {
  DIR* dir;
  char* folder;   // with a trailing "/"
  char* pattern;  // last component
};

bool find_step(PosixFind* f, FileFindData* out) {
  while (struct dirent* e = readdir(f->dir)) {
    if (!wild_match(f->pattern, e->d_name)) continue;
    size_t n = std::strlen(f->folder), m = std::strlen(e->d_name);
    char* full = (char*)std::malloc(n + m + 1);
    if (!full) return false;
    std::memcpy(full, f->folder, n);
    std::memcpy(full + n, e->d_name, m + 1);
    struct stat st;
    bool is_dir = false;
    bool ok = entry_stat(full, &st, &is_dir);
    std::free(full);
    if (!ok) continue;
    fill_find_data(st, e->d_name, is_dir, out);
    return true;
  }
  return false;
}

}  // namespace

FileHandle fsys_open(const char16_t* path, uint32_t access, uint32_t, uint32_t disposition,
                     uint32_t flags) {
  char* p = utf8_of(path);
  if (!p) return FILE_INVALID;
  int o = (access & FSYS_WRITE) ? ((access & FSYS_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (disposition) {
    case FSYS_CREATE_NEW:
      o |= O_CREAT | O_EXCL;
      break;
    case FSYS_CREATE_ALWAYS:
      o |= O_CREAT | O_TRUNC;
      break;
    case FSYS_OPEN_ALWAYS:
      o |= O_CREAT;
      break;
    case FSYS_TRUNCATE_EXISTING:
      o |= O_TRUNC;
      break;
    default:
      break;
  }
  if (flags & FSYS_WRITE_THROUGH) o |= O_DSYNC;
  // Without blocking: opening a FIFO would wait for a writer.
  int fd = open(p, o | O_CLOEXEC | O_NONBLOCK, 0666);
  // Only regular files: a folder, a FIFO or a device is no file of this layer (on Windows a folder
  // does not open either).
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    fd = -1;
  }
  if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::free(p);
  return fd < 0 ? FILE_INVALID : handle_of(fd);
}

bool fsys_close(FileHandle h) {
  return h != FILE_INVALID && close(fd_of(h)) == 0;
}

int64_t fsys_read(FileHandle h, void* buffer, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    ssize_t r = read(fd_of(h), (char*)buffer + done, (size_t)(n - done));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return done ? done : -1;
    if (r == 0) break;
    done += r;
  }
  return done;
}

int64_t fsys_write(FileHandle h, const void* buffer, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    ssize_t r = write(fd_of(h), (const char*)buffer + done, (size_t)(n - done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return done ? done : -1;
    done += r;
  }
  return done;
}

int64_t fsys_seek(FileHandle h, int64_t offset) {
  off_t r = lseek(fd_of(h), (off_t)offset, SEEK_SET);
  return r < 0 ? -1 : (int64_t)r;
}

int64_t fsys_tell(FileHandle h) {
  off_t r = lseek(fd_of(h), 0, SEEK_CUR);
  return r < 0 ? -1 : (int64_t)r;
}

int64_t fsys_size(FileHandle h) {
  struct stat st;
  return fstat(fd_of(h), &st) == 0 ? (int64_t)st.st_size : -1;
}

bool fsys_set_end(FileHandle h) {
  int64_t pos = fsys_tell(h);
  return pos >= 0 && ftruncate(fd_of(h), (off_t)pos) == 0;
}

bool fsys_flush(FileHandle h) {
  return fsync(fd_of(h)) == 0;
}

bool fsys_get_time(FileHandle h, FileTime* written) {
  struct stat st;
  if (fstat(fd_of(h), &st) != 0) return false;
  if (written) *written = time_of(st.st_mtim);
  return true;
}

bool fsys_set_time(FileHandle h, FileTime written) {
  struct timespec ts[2];
  ts[0].tv_sec = 0;
  ts[0].tv_nsec = UTIME_OMIT;
  ts[1] = timespec_of(written);
  return futimens(fd_of(h), ts) == 0;
}

FindHandle fsys_find_first(const char16_t* pattern, FileFindData* out) {
  char* p = utf8_of(pattern);
  if (!p) return FIND_INVALID;
  char* slash = std::strrchr(p, '/');
  const char* last = slash ? slash + 1 : p;
  if (!std::strpbrk(last, "*?")) {
    // No wildcard: the entry itself (also a bare "/" or a name with a trailing separator).
    struct stat st;
    bool is_dir = false;
    size_t n = std::strlen(p);
    // "link/" names the folder the link points to, as a trailing separator does on Windows.
    bool through = n > 1 && p[n - 1] == '/';
    bool ok;
    if (through) {
      ok = stat(p, &st) == 0;
      is_dir = ok && S_ISDIR(st.st_mode);
    } else {
      ok = entry_stat(p, &st, &is_dir);
    }
    if (ok && out) {
      while (n > 1 && p[n - 1] == '/') p[--n] = 0;
      const char* s = std::strrchr(p, '/');
      fill_find_data(st, s && s[1] ? s + 1 : p, is_dir, out);
    }
    std::free(p);
    if (!ok) return FIND_INVALID;
    PosixFind* f = (PosixFind*)std::calloc(1, sizeof(PosixFind));
    return f ? (FindHandle)f : FIND_INVALID;
  }
  PosixFind* f = (PosixFind*)std::calloc(1, sizeof(PosixFind));
  if (!f) {
    std::free(p);
    return FIND_INVALID;
  }
  f->pattern = strdup(last);
  if (slash) {
    slash[1] = 0;
    f->folder = p;
  } else {
    std::free(p);
    f->folder = strdup("./");
  }
  f->dir = f->folder && f->pattern ? opendir(f->folder) : nullptr;
  FileFindData scratch;
  if (!f->dir || !find_step(f, out ? out : &scratch)) {
    fsys_find_close(f);
    return FIND_INVALID;
  }
  return f;
}

bool fsys_find_next(FindHandle h, FileFindData* out) {
  PosixFind* f = (PosixFind*)h;
  if (h == FIND_INVALID || !f || !f->dir) return false;
  FileFindData scratch;
  return find_step(f, out ? out : &scratch);
}

void fsys_find_close(FindHandle h) {
  if (h == FIND_INVALID || !h) return;
  PosixFind* f = (PosixFind*)h;
  if (f->dir) closedir(f->dir);
  std::free(f->folder);
  std::free(f->pattern);
  std::free(f);
}

bool fsys_delete(const char16_t* path) {
  char* p = utf8_of(path);
  struct stat st;
  bool ok = p && lstat(p, &st) == 0 && !S_ISDIR(st.st_mode) && unlink(p) == 0;
  std::free(p);
  return ok;
}

bool fsys_mkdir(const char16_t* path, void*) {
  char* p = utf8_of(path);
  bool ok = p && mkdir(p, 0777) == 0;
  std::free(p);
  return ok;
}

bool fsys_rmdir(const char16_t* path) {
  char* p = utf8_of(path);
  bool ok = p && rmdir(p) == 0;
  std::free(p);
  return ok;
}

bool fsys_copy(const char16_t* from, const char16_t* to, bool fail_if_exists) {
  char* a = utf8_of(from);
  char* b = utf8_of(to);
  bool ok = false;
  int in = a ? open(a, O_RDONLY | O_CLOEXEC) : -1;
  struct stat st;
  if (in >= 0 && fstat(in, &st) == 0 && !S_ISDIR(st.st_mode) && b) {
    int out = open(b, O_WRONLY | O_CREAT | O_CLOEXEC | (fail_if_exists ? O_EXCL : O_TRUNC),
                   st.st_mode & 0777);
    if (out >= 0) {
      static char buf[1 << 16];
      ok = true;
      for (;;) {
        int64_t r = fsys_read(handle_of(in), buf, sizeof buf);
        if (r == 0) break;
        if (r < 0 || fsys_write(handle_of(out), buf, r) != r) {
          ok = false;
          break;
        }
      }
      struct timespec ts[2] = {st.st_atim, st.st_mtim};
      if (ok) futimens(out, ts);  // a copy keeps the last-write time, as on Windows
      if (close(out) != 0) ok = false;
      if (!ok) unlink(b);
    }
  }
  if (in >= 0) close(in);
  std::free(a);
  std::free(b);
  return ok;
}

bool fsys_set_attributes(const char16_t* path, uint32_t attributes) {
  char* p = utf8_of(path);
  struct stat st;
  bool ok = p && stat(p, &st) == 0;
  if (ok) {
    mode_t m = st.st_mode & 07777;
    m = (attributes & FSYS_ATTR_READONLY) ? (m & ~0222) : (m | S_IWUSR);
    ok = chmod(p, m) == 0;
  }
  std::free(p);
  return ok;
}

bool fsys_move(const char16_t* source, const char16_t* target, bool replace) {
  char* a = utf8_of(source);
  char* b = utf8_of(target);
  bool ok = false;
  if (a && b && replace) {
    ok = rename(a, b) == 0;
  } else if (a && b) {
    ok = syscall(SYS_renameat2, AT_FDCWD, a, AT_FDCWD, b, RENAME_NOREPLACE) == 0;
    // A file system without the flag: a second name, then the first one goes (never a link's
    // target: linkat does not follow without AT_SYMLINK_FOLLOW).
    if (!ok && (errno == EINVAL || errno == ENOSYS)) ok = link(a, b) == 0 && unlink(a) == 0;
  }
  std::free(a);
  std::free(b);
  return ok;
}

bool fsys_link(const char16_t* source, const char16_t* target) {
  char* a = utf8_of(source);
  char* b = utf8_of(target);
  bool ok = a && b && link(a, b) == 0;
  std::free(a);
  std::free(b);
  return ok;
}

bool fsys_replace(const char16_t* source, const char16_t* target) {
  char* a = utf8_of(source);
  char* b = utf8_of(target);
  bool ok = false;
  if (a && b) {
    struct stat st;
    bool exists = stat(b, &st) == 0;
    // A read-only target stays, as it does on Windows.
    if (exists && !(st.st_mode & S_IWUSR)) {
      std::free(a);
      std::free(b);
      return false;
    }
    if (exists) chmod(a, st.st_mode & 07777);
    ok = rename(a, b) == 0;
    if (ok) {
      // The new directory entry on the disk as well.
      char* slash = std::strrchr(b, '/');
      if (slash) *slash = 0;
      int d = open(slash ? (slash == b ? "/" : b) : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (d >= 0) {
        fsync(d);
        close(d);
      }
    }
  }
  std::free(a);
  std::free(b);
  return ok;
}

char16_t* fsys_program_path() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return nullptr;
  buf[n] = 0;
  return wide_of(buf);
}

char16_t* fsys_current_dir() {
  char buf[4096];
  return getcwd(buf, sizeof buf) ? wide_of(buf) : nullptr;
}

char16_t* fsys_temp_dir() {
  const char* t = std::getenv("TMPDIR");
  return wide_folder(t && *t ? t : "/tmp", "");
}

char16_t* fsys_temp_file(const char16_t* dir, const char16_t* prefix) {
  char* d = utf8_of(dir);
  char* p = utf8_of(prefix);
  char16_t* result = nullptr;
  if (d && p) {
    size_t n = std::strlen(d);
    char* name = (char*)std::malloc(n + std::strlen(p) + 16);
    if (name) {
      std::strcpy(name, d);
      if (n && name[n - 1] != '/') std::strcat(name, "/");
      std::strcat(name, p);
      std::strcat(name, "XXXXXX.tmp");
      int fd = mkstemps(name, 4);
      if (fd >= 0) {
        close(fd);
        result = wide_of(name);
      }
      std::free(name);
    }
  }
  std::free(d);
  std::free(p);
  return result;
}

char16_t* fsys_user_name() {
  struct passwd* pw = getpwuid(geteuid());
  const char* name = pw && pw->pw_name ? pw->pw_name : std::getenv("USER");
  if (!name) return nullptr;
  char16_t* w = (char16_t*)std::malloc(101 * sizeof(char16_t));
  if (w) wide_into(name, w, 101);
  return w;
}

// There is no Windows folder: its "drive" is the root of the file system.
char16_t* fsys_windows_folder() {
  return wide_of("/");
}

// The special folders of the native build:
//   CSIDL                     folder
//   2  programs (user)        $XDG_DATA_HOME/applications, else ~/.local/share/applications
//   5  documents              $XDG_DOCUMENTS_DIR, else ~/Documents
//   16 desktop                $XDG_DESKTOP_DIR, else ~/Desktop
//   23 programs (common)      /usr/share/applications
//   26 application data       $XDG_CONFIG_HOME, else ~/.config
//   35 common application data the first of $XDG_CONFIG_DIRS, else /etc/xdg
//   38 program files          /opt
// Any other value, or a home-relative folder without $HOME, gives null.
char16_t* fsys_shell_folder(int csidl) {
  const char* home = std::getenv("HOME");
  auto env = [](const char* name) -> const char* {
    const char* v = std::getenv(name);
    return v && *v == '/' ? v : nullptr;
  };
  auto under_home = [&](const char* rest) -> char16_t* {
    return home && *home ? wide_folder(home, rest) : nullptr;
  };
  switch (csidl) {
    case SHF_PROGRAMS:
      if (const char* v = env("XDG_DATA_HOME")) return wide_folder(v, "applications");
      return under_home(".local/share/applications");
    case SHF_DOCUMENTS:
      if (const char* v = env("XDG_DOCUMENTS_DIR")) return wide_of(v);
      return under_home("Documents");
    case SHF_DESKTOP:
      if (const char* v = env("XDG_DESKTOP_DIR")) return wide_of(v);
      return under_home("Desktop");
    case SHF_COMMON_PROGRAMS:
      return wide_of("/usr/share/applications");
    case SHF_APPDATA:
      if (const char* v = env("XDG_CONFIG_HOME")) return wide_of(v);
      return under_home(".config");
    case SHF_COMMON_APPDATA: {
      const char* v = env("XDG_CONFIG_DIRS");
      if (!v) return wide_of("/etc/xdg");
      const char* colon = std::strchr(v, ':');
      char* first = strndup(v, colon ? (size_t)(colon - v) : std::strlen(v));
      char16_t* w = wide_of(first);
      std::free(first);
      return w;
    }
    case SHF_PROGRAM_FILES:
      return wide_of("/opt");
    default:
      return nullptr;
  }
}

char16_t* fsys_final_path(const char16_t* path) {
  char* p = utf8_of(path);
  char* r = p ? realpath(p, nullptr) : nullptr;
  char16_t* w = r ? wide_of(r) : nullptr;
  std::free(p);
  std::free(r);
  return w;
}

void* fsys_load_system_library(const char16_t*) {
  return nullptr;
}

void fsys_sleep(uint32_t ms) {
  struct timespec ts = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

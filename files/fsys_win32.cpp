// File-system primitives of the Windows build: the wide Win32 API.

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "files/fsys.h"

namespace {

const wchar_t* W(const char16_t* s) {
  return reinterpret_cast<const wchar_t*>(s);
}

FileTime time_of(const FILETIME& ft) {
  return FileTime{((uint64_t)ft.dwHighDateTime << 32) | ft.dwLowDateTime};
}

FILETIME filetime_of(FileTime t) {
  FILETIME ft;
  ft.dwLowDateTime = (DWORD)t.ticks;
  ft.dwHighDateTime = (DWORD)(t.ticks >> 32);
  return ft;
}

char16_t* dup_wide(const wchar_t* s, size_t n) {
  char16_t* w = (char16_t*)std::malloc((n + 1) * sizeof(char16_t));
  if (!w) return nullptr;
  std::memcpy(w, s, n * sizeof(char16_t));
  w[n] = 0;
  return w;
}

void fill_find_data(const WIN32_FIND_DATAW& fd, FileFindData* out) {
  if (!out) return;
  std::memset(out, 0, sizeof *out);
  out->attributes = fd.dwFileAttributes;
  out->created = time_of(fd.ftCreationTime);
  out->accessed = time_of(fd.ftLastAccessTime);
  out->written = time_of(fd.ftLastWriteTime);
  out->size = ((uint64_t)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
  static_assert(sizeof out->wide_name == sizeof fd.cFileName, "MAX_PATH names");
  std::memcpy(out->wide_name, fd.cFileName, sizeof out->wide_name);
}

// Transfers are split so that each fits a DWORD.
constexpr int64_t CHUNK = 1 << 30;

}  // namespace

FileHandle fsys_open(const char16_t* path, uint32_t access, uint32_t share, uint32_t disposition,
                     uint32_t flags) {
  if (!path) return FILE_INVALID;
  HANDLE h = CreateFileW(W(path), access, share, nullptr, disposition,
                         flags | FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? FILE_INVALID : (FileHandle)h;
}

bool fsys_close(FileHandle h) {
  return h != FILE_INVALID && CloseHandle((HANDLE)h) != 0;
}

int64_t fsys_read(FileHandle h, void* buffer, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    DWORD got = 0;
    DWORD want = (DWORD)(n - done < CHUNK ? n - done : CHUNK);
    if (!ReadFile((HANDLE)h, (char*)buffer + done, want, &got, nullptr)) return done ? done : -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

int64_t fsys_write(FileHandle h, const void* buffer, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    DWORD put = 0;
    DWORD want = (DWORD)(n - done < CHUNK ? n - done : CHUNK);
    if (!WriteFile((HANDLE)h, (const char*)buffer + done, want, &put, nullptr) || put == 0)
      return done ? done : -1;
    done += put;
  }
  return done;
}

int64_t fsys_seek(FileHandle h, int64_t offset) {
  LARGE_INTEGER to, now;
  to.QuadPart = offset;
  if (!SetFilePointerEx((HANDLE)h, to, &now, FILE_BEGIN)) return -1;
  return now.QuadPart;
}

int64_t fsys_tell(FileHandle h) {
  LARGE_INTEGER zero, now;
  zero.QuadPart = 0;
  if (!SetFilePointerEx((HANDLE)h, zero, &now, FILE_CURRENT)) return -1;
  return now.QuadPart;
}

int64_t fsys_size(FileHandle h) {
  LARGE_INTEGER size;
  return GetFileSizeEx((HANDLE)h, &size) ? size.QuadPart : -1;
}

bool fsys_set_end(FileHandle h) {
  return SetEndOfFile((HANDLE)h) != 0;
}
bool fsys_flush(FileHandle h) {
  return FlushFileBuffers((HANDLE)h) != 0;
}

bool fsys_get_time(FileHandle h, FileTime* written) {
  FILETIME w;
  if (!GetFileTime((HANDLE)h, nullptr, nullptr, &w)) return false;
  if (written) *written = time_of(w);
  return true;
}

bool fsys_set_time(FileHandle h, FileTime written) {
  FILETIME w = filetime_of(written);
  return SetFileTime((HANDLE)h, nullptr, nullptr, &w) != 0;
}

FindHandle fsys_find_first(const char16_t* pattern, FileFindData* out) {
  if (!pattern) return FIND_INVALID;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(W(pattern), &fd);
  if (h == INVALID_HANDLE_VALUE) return FIND_INVALID;
  fill_find_data(fd, out);
  return (FindHandle)h;
}

bool fsys_find_next(FindHandle f, FileFindData* out) {
  if (f == FIND_INVALID) return false;
  WIN32_FIND_DATAW fd;
  if (!FindNextFileW((HANDLE)f, &fd)) return false;
  fill_find_data(fd, out);
  return true;
}

void fsys_find_close(FindHandle f) {
  if (f != FIND_INVALID) FindClose((HANDLE)f);
}

bool fsys_delete(const char16_t* path) {
  return path && DeleteFileW(W(path));
}
bool fsys_mkdir(const char16_t* path, void* security) {
  return path && CreateDirectoryW(W(path), (LPSECURITY_ATTRIBUTES)security);
}
bool fsys_rmdir(const char16_t* path) {
  return path && RemoveDirectoryW(W(path));
}
bool fsys_copy(const char16_t* from, const char16_t* to, bool fail_if_exists) {
  return from && to && CopyFileW(W(from), W(to), fail_if_exists);
}
bool fsys_set_attributes(const char16_t* path, uint32_t attributes) {
  return path && SetFileAttributesW(W(path), attributes);
}

bool fsys_replace(const char16_t* source, const char16_t* target) {
  if (!source || !target) return false;
  DWORD attributes = GetFileAttributesW(W(target));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);  // a read-only file is not overwritten
    return false;
  }
  bool moved = attributes != INVALID_FILE_ATTRIBUTES &&
               ReplaceFileW(W(target), W(source), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                            nullptr);
  // No target yet, or a file system without ReplaceFileW. (When ReplaceFileW fails after it
  // has taken the target away, the move below puts the new file in its place.)
  if (!moved)
    moved = MoveFileExW(W(source), W(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  // The new file wears the old one's attributes (hidden, system...), whichever way it came.
  if (moved && attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(W(target), attributes);
  return moved;
}

bool fsys_move(const char16_t* source, const char16_t* target, bool replace) {
  DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  return source && target && MoveFileExW(W(source), W(target), flags);
}

bool fsys_link(const char16_t* source, const char16_t* target) {
  return source && target && CreateHardLinkW(W(target), W(source), nullptr);
}

char16_t* fsys_program_path() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  return dup_wide(buf, n);
}

char16_t* fsys_current_dir() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryW(MAX_PATH, buf);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  return dup_wide(buf, n);
}

char16_t* fsys_temp_dir() {
  wchar_t buf[500];
  DWORD n = GetTempPathW(500, buf);
  if (n == 0 || n >= 500) return nullptr;
  return dup_wide(buf, n);
}

char16_t* fsys_temp_file(const char16_t* dir, const char16_t* prefix) {
  wchar_t buf[MAX_PATH + 1];
  if (!dir || !GetTempFileNameW(W(dir), W(prefix), 0, buf)) return nullptr;
  return dup_wide(buf, wcslen(buf));
}

char16_t* fsys_user_name() {
  wchar_t buf[101];
  DWORD n = 100;
  if (!GetUserNameW(buf, &n)) return nullptr;
  buf[100] = 0;
  return dup_wide(buf, wcslen(buf));
}

char16_t* fsys_windows_folder() {
  wchar_t buf[MAX_PATH + 1];
  UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  return dup_wide(buf, n);
}

char16_t* fsys_final_path(const char16_t* path) {
  if (!path) return nullptr;
  // Folders open only with backup semantics; no access is asked, so nothing is locked.
  HANDLE h = CreateFileW(W(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  wchar_t buf[1024];
  DWORD n = GetFinalPathNameByHandleW(h, buf, 1024, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(h);
  if (n == 0 || n >= 1024) return nullptr;
  const wchar_t* s = buf;
  if (std::wcsncmp(s, L"\\\\?\\UNC\\", 8) == 0) {
    buf[6] = L'\\';  // "\\?\UNC\server" becomes "\\server"
    s = buf + 6;
  } else if (std::wcsncmp(s, L"\\\\?\\", 4) == 0) {
    s = buf + 4;
  }
  return dup_wide(s, std::wcslen(s));
}

void* fsys_load_system_library(const char16_t* name) {
  wchar_t path[MAX_PATH];
  UINT n = GetSystemDirectoryW(path, MAX_PATH);
  size_t k = wcslen((const wchar_t*)name);
  if (n == 0 || n + 1 + k >= MAX_PATH) return nullptr;
  path[n] = L'\\';
  memcpy(path + n + 1, name, (k + 1) * sizeof(wchar_t));
  return LoadLibraryW(path);
}

char16_t* fsys_shell_folder(int csidl) {
  typedef HRESULT(WINAPI * GetFolderPath)(HWND, int, HANDLE, DWORD, LPWSTR);
  static HMODULE lib;
  static bool tried;
  if (!tried) {
    tried = true;
    lib = (HMODULE)fsys_load_system_library(u"Shfolder.dll");
  }
  if (!lib) return nullptr;
  GetFolderPath fn = (GetFolderPath)(void*)GetProcAddress(lib, "SHGetFolderPathW");
  if (!fn) return nullptr;
  wchar_t buf[MAX_PATH + 1];
  buf[0] = 0;
  if (FAILED(fn(nullptr, csidl, nullptr, 0, buf)) || buf[0] == 0) return nullptr;
  return dup_wide(buf, wcslen(buf));
}

void fsys_sleep(uint32_t ms) {
  Sleep(ms);
}

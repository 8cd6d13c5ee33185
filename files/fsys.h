#pragma once
// File-system primitives: the one narrow layer between the file access layer and the OS. Paths
// here are system paths (UTF-16, NUL-terminated); the portable layer above resolves internal
// names into them. fsys_win32.cpp calls the wide Win32 API; fsys_posix.cpp puts POSIX calls in
// its place (UTF-16 becomes UTF-8, "\" becomes "/", and sharing modes are not enforced).
//
// Offsets and sizes are 64-bit throughout. Returned strings are malloc'd; the caller frees them.

#include <cstdint>

#include "core/clock.h"

typedef void* FileHandle;
inline FileHandle const FILE_INVALID = reinterpret_cast<FileHandle>(intptr_t(-1));
typedef void* FindHandle;
inline FindHandle const FIND_INVALID = reinterpret_cast<FindHandle>(intptr_t(-1));

// Access, sharing, dispositions, flags and attributes: the values of the Win32 API.
enum : uint32_t { FSYS_READ = 0x80000000u, FSYS_WRITE = 0x40000000u };
enum : uint32_t { FSYS_SHARE_READ = 1, FSYS_SHARE_WRITE = 2, FSYS_SHARE_DELETE = 4 };
enum : uint32_t {
  FSYS_CREATE_NEW = 1,
  FSYS_CREATE_ALWAYS = 2,
  FSYS_OPEN_EXISTING = 3,
  FSYS_OPEN_ALWAYS = 4,
  FSYS_TRUNCATE_EXISTING = 5,
};
enum : uint32_t { FSYS_SEQUENTIAL = 0x08000000u, FSYS_WRITE_THROUGH = 0x80000000u };
enum : uint32_t {
  FSYS_ATTR_READONLY = 0x01,
  FSYS_ATTR_HIDDEN = 0x02,
  FSYS_ATTR_DIRECTORY = 0x10,
  FSYS_ATTR_ARCHIVE = 0x20,
  FSYS_ATTR_NORMAL = 0x80,
  // A symbolic link, junction or other reparse point; a search reports the link itself, never
  // what it points to (with FSYS_ATTR_DIRECTORY when it stands for a folder).
  FSYS_ATTR_REPARSE_POINT = 0x400,
};

// What a directory search reports of one entry.
struct FileFindData {
  uint32_t attributes;
  FileTime created, accessed, written;  // UTC
  uint64_t size;
  char16_t wide_name[260];  // file-name part, as the system gives it
  char name[784];           // the same as internal text (filled by the file layer)
};

FileHandle fsys_open(const char16_t* path, uint32_t access, uint32_t share, uint32_t disposition,
                     uint32_t flags);
bool fsys_close(FileHandle h);
int64_t fsys_read(FileHandle h, void* buffer, int64_t n);         // bytes read, -1 on error
int64_t fsys_write(FileHandle h, const void* buffer, int64_t n);  // bytes written, -1 on error
int64_t fsys_seek(FileHandle h, int64_t offset);                  // from the start; -1 on error
int64_t fsys_tell(FileHandle h);
int64_t fsys_size(FileHandle h);
bool fsys_set_end(FileHandle h);  // cut (or extend) the file at the current position
bool fsys_flush(FileHandle h);    // every written byte on the disk
bool fsys_get_time(FileHandle h, FileTime* written);
bool fsys_set_time(FileHandle h, FileTime written);  // creation and access times unchanged

// Directory search with "*" and "?" in the last component. Links are reported as links
// (FSYS_ATTR_REPARSE_POINT), with the link's own times and size.
FindHandle fsys_find_first(const char16_t* pattern, FileFindData* out);
bool fsys_find_next(FindHandle f, FileFindData* out);
void fsys_find_close(FindHandle f);

bool fsys_delete(const char16_t* path);
bool fsys_mkdir(const char16_t* path, void* security);
bool fsys_rmdir(const char16_t* path);
bool fsys_copy(const char16_t* from, const char16_t* to, bool fail_if_exists);
bool fsys_set_attributes(const char16_t* path, uint32_t attributes);
// Puts `source` in the place of `target` in one step (the target may exist); the target's
// attributes are kept. On failure both files are as they were.
bool fsys_replace(const char16_t* source, const char16_t* target);
// Renames `source` to `target`, failing when the target exists (replace: putting the source in
// its place); a link is renamed itself, never followed.
bool fsys_move(const char16_t* source, const char16_t* target, bool replace = false);
// A second name `target` for the file `source` (a hard link); false where the file system has none.
bool fsys_link(const char16_t* source, const char16_t* target);

char16_t* fsys_program_path();  // the executable's full path (at most 260 units on Windows)
char16_t* fsys_current_dir();   // at most 260 units
char16_t* fsys_temp_dir();      // with a trailing separator
char16_t* fsys_temp_file(const char16_t* dir, const char16_t* prefix);  // creates it empty
char16_t* fsys_user_name();                                             // at most 100 units
char16_t* fsys_windows_folder();
// The final path the system resolves for an existing file or folder: absolute, long names, every
// link followed ("\\?\" taken off on Windows). Null when it does not exist.
char16_t* fsys_final_path(const char16_t* path);
// A library of the system folder, loaded by its full path so that no copy beside the program or
// in the current folder is ever taken (Windows; null natively).
void* fsys_load_system_library(const char16_t* name);
// A CSIDL folder: through "Shfolder.dll" on Windows, the table of home and XDG folders natively.
char16_t* fsys_shell_folder(int csidl);
void fsys_sleep(uint32_t ms);

// CSIDL values the system asks for.
enum : int {
  SHF_PROGRAMS = 2,
  SHF_DOCUMENTS = 5,
  SHF_DESKTOP = 16,
  SHF_COMMON_PROGRAMS = 23,
  SHF_APPDATA = 26,
  SHF_LOCAL_APPDATA = 28,
  SHF_COMMON_APPDATA = 35,
  SHF_PROGRAM_FILES = 38,
  SHF_PROGRAM_FILES_X86 = 42,
};

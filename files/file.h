#pragma once
// The file access layer: thin wrappers over the file primitives that take internal paths (each
// name goes through path_resolve), directory searches, temporary names and copies, growing and
// shrinking a region of a file in place, and the file binding of a Text (text_load).
//
// Handles are FileHandle (FILE_INVALID on failure); sizes and offsets are 64-bit. No wrapper
// shows a message, except text_load with TL_WARN.

#include <cstddef>
#include <cstdint>

#include "core/ids.h"
#include "core/text.h"
#include "files/fsys.h"

// ---- queries ----
// True when the path exists; a bare drive ("D:") counts as a folder without a system call.
bool file_find_data(TextArg path, FileFindData* out);
bool file_is_folder(TextArg path);
bool file_is_file(TextArg path);
// True when the path itself is a link (symbolic link, junction, other reparse point).
bool file_is_link(TextArg path);
// The final path the system resolves for an existing file or folder (links followed, long names),
// as a new Text; null when it does not exist.
Text* file_final_path(TextArg path);
// FILEN (empty or missing), MASK ("*" or "?"), FOLDER (drive root or folder), FILE, MBX (a
// folder ending ".mbx").
PackedId path_classify(TextArg path);

// ---- handles ----
FileHandle file_open_read(TextArg path, uint32_t access, uint32_t share, uint32_t flags);
// Truncates an existing file first, and only when that fails creates it anew.
FileHandle file_create(TextArg path, uint32_t access, uint32_t share, uint32_t flags);
// As file_create; with `always` straight to creating anew.
FileHandle file_create_ex(TextArg path, uint32_t access, uint32_t share, uint32_t flags,
                          bool always);
// Creates a file that must not exist yet.
FileHandle file_create_new(TextArg path, uint32_t access, uint32_t share, uint32_t flags);
void file_close(FileHandle h);  // the invalid handle is ignored
int64_t file_read(FileHandle h, void* buffer, int64_t n);
int64_t file_write(FileHandle h, const void* buffer, int64_t n);
int64_t file_seek(FileHandle h, int64_t offset);  // from the start; the new position or -1
int64_t file_tell(FileHandle h);
int64_t file_size(FileHandle h);  // -1 on error
bool file_rewind(FileHandle h);
bool file_set_end(FileHandle h);
bool file_flush(FileHandle h);  // every written byte on the disk
bool file_get_time(FileHandle h, FileTime* written);
bool file_set_time(FileHandle h, FileTime written);
int file_open_count();  // handles opened through this layer and not yet closed
// A whole file in a new buffer (malloc; the caller frees) with one NUL byte after it, its length
// in *length; null when it cannot be opened or read. The handle form reads an open file from its
// start and touches nothing but the handle, so threads may each read their own.
uint8_t* file_read_all(TextArg path, size_t* length);
uint8_t* file_read_whole(FileHandle h, size_t* length);

// ---- names ----
bool file_delete(TextArg path);
bool folder_create(TextArg path, void* security);
bool folder_create_all(TextArg path);  // with every missing level
bool folder_remove(TextArg path);
bool file_copy(TextArg from, TextArg to, bool fail_if_exists);
// Puts `source` in the place of `target` in one step; on failure both stay as they were.
bool file_replace(TextArg source, TextArg target);
// Renames source to target; fails when the target exists (replace: takes its place). A link is
// renamed, never followed.
bool file_move(TextArg source, TextArg target, bool replace = false);
// Gives the file source the second name target (a hard link); false where there are none.
bool file_link(TextArg source, TextArg target);
bool file_set_attributes(TextArg path, uint32_t attributes);
FindHandle file_find_first(TextArg pattern, FileFindData* out);
bool file_find_next(FindHandle f, FileFindData* out);
void file_find_close(FindHandle f);

// ---- regions ----
// Opens n bytes at the current position by moving the rest of the file towards the end, or
// removes n bytes there; both show "%d%%" progress on the status line for large moves and put
// the position back. False when memory or the file fails.
bool file_insert_space(FileHandle h, int64_t n);
bool file_remove_bytes(FileHandle h, int64_t n);
// Copies n bytes from `offset` of one file to the current position of another, with the same
// progress; false when a read comes short or a write fails.
bool file_copy_range(FileHandle from, int64_t offset, int64_t n, FileHandle to);

// ---- temporary files ----
Text* temp_file_name(const char* ignored_suffix);  // creates the empty file; null on failure
// Writes a temporary copy that stands for `target` (its extension kept) and records it.
bool temp_copy_write(TextArg target, const void* buffer, int64_t n);
Text* temp_copy_find(TextArg target);  // the temporary name recorded for target's file name
void temp_copy_cleanup();              // deletes every temporary copy (shutdown)

// ---- the file binding of a Text ----
// What the file layer keeps for a Text (Text::file_data).
struct TextFile {
  uint32_t flags;         // TF_*
  int lock;               // 0 none, 1 deny writing, 2 exclusive
  FileTime written;       // last-write time when loaded or saved
  int64_t region_offset;  // with TF_REGION: the part of the file the Text holds
  int64_t region_length;
};
enum : uint32_t {
  TF_DOCUMENT = 0x001,   // a Text of an editor document
  TF_READ_ONLY = 0x002,  // could not be opened for writing
  TF_NEW = 0x004,        // bound to a file that does not exist yet
  TF_NO_LOCK = 0x008,    // opened without the lock that was asked for
  TF_REGION = 0x010,     // holds only a region of its file
  TF_TRUNCATE = 0x020,   // save by truncating the existing file, not by creating it anew
  TF_MAY_EX = 0x040,     // may hold SJIS-EX characters
  TF_NEVER_ASK = 0x080,  // never ask about characters the code cannot hold
  TF_CANCELLED = 0x100,  // the last save was cancelled by the character dialog
  TF_BINARY = 0x200,     // the view shows the Text as binary
  TF_TAGGED = 0x400,     // the first line is a "text-header:" line
};
TextFile* text_file(Text* t);  // created on demand; null for null or without memory
// Makes t hold only `length` bytes from `offset` of its file (TF_REGION): loading reads that part
// and saving writes it back into its place. False for null or without memory.
bool text_set_region(Text* t, int64_t offset, int64_t length);
// Binds t to a name (the held handle is closed); null unbinds.
bool text_bind_name(Text* t, const char* name);
// Closes a held handle (kept in the Text when the lock level is above 0).
void text_close_handle(Text* t);
// Sharing of a handle for a lock level.
uint32_t text_lock_share(int lock);

// text_load mode bits.
enum : unsigned {
  TL_LOCK = 0x3,                  // lock level
  TL_AT_START = 0x4,              // contents at the start of the buffer, gap at the end
  TL_BIND_ONLY = 0x8,             // only bind the name (a new file)
  TL_WARN = 0x10,                 // message when an existing file cannot be opened
  TL_BIND_ONLY2 = 0x20,           // as TL_BIND_ONLY
  TL_TAGS = 0x80,                 // test for a "text-header:" first line
  TL_CREATE = 0x100,              // create a missing file (empty) and bind it
  TL_READ_ONLY_CONTENTS = 0x200,  // read the contents only, no binding
  TL_REBIND = 0x8000,             // keep binding and contents, only rebind the name
};
bool text_load(Text* t, TextArg path, unsigned mode);

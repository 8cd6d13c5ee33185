#pragma once
// Text: the growable multibyte text of the system, a gap buffer with a cursor, kept in a pool of
// handles. It is the universal string, list, record and file image.
//
// Positions are logical byte offsets; -1 means none. Lines never straddle the gap (the gap is
// only ever moved to a line start, or to the end), so the cursor's line can be handed out as a
// pointer and a length. Every operation accepts a null Text and then does nothing and returns 0.
//
// Ownership: the creator frees with text_free; a holder that keeps a Text takes text_retain.
// Storage is malloc'd: running out of memory sets TX_OUT_OF_MEMORY, the operation returns 0 and
// the text is left unchanged.

#include <cstddef>
#include <cstdint>

#include "core/ids.h"

struct Text;
typedef int64_t TextPos;

// Text-or-string argument: either a Text handle or a NUL-terminated string; the pool tells which.
struct TextArg {
  const void* p;
  TextArg() : p(nullptr) {}
  TextArg(std::nullptr_t) : p(nullptr) {}
  TextArg(const Text* t) : p(t) {}
  TextArg(const char* s) : p(s) {}
};

// Flags of Text::flags.
enum : uint32_t {
  TX_MODIFIED = 0x0001,
  TX_OUT_OF_MEMORY = 0x0002,
  TX_IN_USE = 0x0004,        // slot taken (pool)
  TX_SPLIT_LONG = 0x0008,    // lines longer than 65535 bytes may be split at the gap
  TX_CR_MODE = 0x0010,       // a lone CR also ends a line
  TX_WHOLE = 0x0020,         // passed as a string, the Text stands for its whole contents
  TX_FMT_MODE = 0x00C0,      // two-bit format mode handed to the formatter
  TX_NO_TRACK = 0x0300,      // change tracking off (two bits)
  TX_RESTRICTED = 0x0400,    // the text begins at a start position supplied by the view
  TX_INDEX_10 = 0x0800,      // record array sized one record per 10 bytes of its owner
  TX_INDEX_20 = 0x1000,      // ... per 20 bytes of its owner
  TX_FROM_NEW = 0x2000,      // made by text_new
  TX_CLOSE_FILE = 0x4000,    // close the held file handle on release
  TX_SAVE_ON_FREE = 0x8000,  // save on release when modified
  TX_RECORD = 0x10000,       // marked as a header record
};

// Command handler kinds (Text::command_kind).
enum : uint8_t { TX_CMD_NONE = 0, TX_CMD_CALL = 1, TX_CMD_IGNORE = 2, TX_CMD_CALL3 = 3 };
typedef intptr_t (*TextCommandFn)(Text* t, PackedId command, intptr_t arg, uint32_t flags);

// Attachment notification modes (mark list, line index, view).
enum : int {
  TX_NOTE_INSERTED = 0,
  TX_NOTE_DELETING = 1,
  TX_NOTE_DELETED = 3,
  TX_NOTE_RELAYOUT = 4
};

// The editor's view, as the text sees it: asked before a change, told of every change.
struct TextViewOps {
  bool (*allow_change)(void* view, Text* t);
  void (*changed)(void* view, Text* t, int64_t physical, int64_t length, int mode);
  TextPos (*restricted_start)(void* view, Text* t);
};

// A mark list: positions that follow insertions and deletions (a mark at an insertion point stays
// in front of the inserted bytes; marks inside a deleted range go to its start). Once attached the
// Text owns it: text_free frees `pos` and the list itself (both malloc'd).
struct TextMarks {
  TextPos* pos;
  int count;
  int capacity;
};

// Hooks of the file layer, installed by it: writing a held file back and saving on release.
struct TextFileHooks {
  void (*write_back)(Text* t);
  void (*save)(Text* t);
  void (*release)(Text* t);  // closes the held handle and frees the binding
};
void text_set_file_hooks(const TextFileHooks* hooks);

struct TextProp {
  PackedId id;
  intptr_t value;
};
enum { TEXT_PROPS = 6 };

struct Text {
  char* buffer;  // capacity + 2 bytes; the two bytes past the capacity are NUL
  int64_t capacity;
  int64_t gap_start;
  int64_t gap_end;
  int64_t cursor;  // physical offset, -1 for none
  uint32_t record_size;
  uint32_t initial_increment;  // 0 means 8192
  uint32_t growth_increment;   // 0 means 8192
  uint32_t mod_count;
  char* file_name;
  void* file_handle;
  void* file_data;  // owned by the file layer
  TextCommandFn command;
  uint8_t command_kind;
  void* view;
  const TextViewOps* view_ops;
  Text* line_index;
  TextMarks* marks;
  Text* owner;
  void* aux;  // owned auxiliary buffer (malloc)
  uint8_t refs;
  uint8_t lock_level;  // 4 bits; while non-zero every change is refused
  uint32_t flags;
  void* lock;  // optional per-Text lock; nothing installs one
  TextProp props[TEXT_PROPS];
};

// Creation and lifetime.
Text* text_new();
Text* text_new_large();
bool text_reset_capacity(Text* t, int64_t n);
Text* text_retain(Text* t);
void text_free(Text* t);
bool text_is_handle(const void* p);
// Stricter: p is the start of a slot in use, so a number read from outside may be taken as a Text.
bool text_is_live(const void* p);
void text_lock(Text* t);    // raises the lock level
void text_unlock(Text* t);  // lowers it
// Whether a modified Text is saved when it is released (TX_SAVE_ON_FREE).
void text_set_save_on_free(Text* t, bool on);

// Properties of a Text (_KC, _LF, _FIXHED, ...): small id -> value pairs. 0 when absent.
intptr_t text_prop(const Text* t, PackedId id);
bool text_set_prop(Text* t, PackedId id, intptr_t value);

// Size and cursor.
int64_t text_length(const Text* t);
TextPos text_tell(const Text* t);
bool text_seek(Text* t, TextPos pos);
bool text_skip(Text* t, int64_t n);
bool text_skip_char(Text* t);
void text_top(Text* t);
void text_bottom(Text* t);
// Conversions between physical offsets, pointers into the buffer and positions.
TextPos text_pos_of_physical(const Text* t, int64_t physical);
int64_t text_physical_of_pos(const Text* t, TextPos pos);
TextPos text_pos_of_ptr(const Text* t, const char* p);
bool text_seek_ptr(Text* t, const char* p);
int text_byte_at(const Text* t, TextPos pos);  // byte at a position, -1 beyond the end

// Reading.
const char* text_cstr(Text* t);
const char* text_line_ptr(Text* t);
const char* text_view(TextArg src, int64_t* length);
// Copies `n` bytes from position `pos` into dst (gap-aware); returns the number copied.
int64_t text_copy_out(const Text* t, TextPos pos, char* dst, int64_t n);

// Line navigation (records in record-array mode).
TextPos text_line_start(Text* t, TextPos pos);
TextPos text_next_line_pos(Text* t, TextPos pos);
int64_t text_line_count(Text* t);
TextPos text_line_offset(Text* t, int64_t line);  // 1-based; -1 gives the length
Text* text_line_index(Text* t);                   // attaches the line index (on demand)

// Writing: insert at the cursor, leave the cursor after it, return the bytes inserted.
enum : unsigned { TI_CRLF = 1, TI_LF_TO_CRLF = 2, TI_RAW = 4, TI_WHOLE = 8 };
// TI_RAW copies `length` bytes (a Text source gives at most what lies behind its line pointer);
// TI_WHOLE takes a whole Text or a whole string; otherwise the source is read through text_view.
int64_t text_insert(Text* t, TextArg src, unsigned mode, int64_t length);
// Record-array mode: one record, the source's line (or record, or string) cut or padded with NULs.
int64_t text_puts(Text* t, TextArg src);
int64_t text_write(Text* t, TextArg src, int64_t n);
int64_t text_put_text(Text* t, TextArg src);
int64_t text_putc(Text* t, uint32_t code);
int64_t text_newline(Text* t);
int64_t text_end_line(Text* t);
int64_t text_put_wide(Text* t, const char16_t* s);

// Deleting.
int64_t text_delete(Text* t, int64_t n);
void text_clear(Text* t);

// Line-end tests at the cursor.
bool text_at_line_end(Text* t);
bool text_at_line_start(Text* t);

// The whole string a Text-or-string argument stands for (null for null).
inline const char* text_arg_cstr(TextArg a) {
  if (!a.p) return nullptr;
  return text_is_handle(a.p) ? text_cstr((Text*)a.p) : (const char*)a.p;
}

// A new Text holding s byte for byte (empty for null); null when it cannot be made whole.
Text* text_new_from(const char* s);

// The Text's string as a new copy (malloc); the Text is freed. Null gives null.
char* text_take_cstr(Text* t);

// Scoped owner of a Text for C++ call sites (tests included): frees it when the scope ends.
struct TextOwner {
  Text* t;
  TextOwner() : t(text_new()) {}
  explicit TextOwner(Text* text) : t(text) {}
  ~TextOwner() { text_free(t); }
  TextOwner(const TextOwner&) = delete;
  TextOwner& operator=(const TextOwner&) = delete;
  operator Text*() const { return t; }
  Text* operator->() const { return t; }
  Text* release() {
    Text* r = t;
    t = nullptr;
    return r;
  }
};

// Debug output of the core ("invalid text handle" and the like); tests may capture it.
typedef void (*TextDebugFn)(const char* message);
void text_set_debug(TextDebugFn fn);

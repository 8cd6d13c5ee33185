#pragma once
// Header lines: reading and writing the typed header lines of a header record.
//
// A header record is a Text of header lines (name, colon, separator, value, CR LF) up to the first
// empty line, then an optional body, in the manner of a mail message. Settings files, the set-up
// record, package entry headers, configurations and mails are header records. The other parts of
// header records have headers of their own, included here for the callers that use them together:
//   core/record_id.h     record identifiers (RecordId): made, parsed, written
//   core/record_store.h  whole records and record stores (marker lines, find, move, append)
//   core/stamp.h         creation stamps
//   core/mime.h          charset names, content types and transfer encodings
//
// Every header operation takes the record, a key and a key-and-type word (`kind`): the low byte is
// the value type (HV_*), the other bits say how the key names the header and how to search and
// write (HK_*). Reading never moves the record's cursor; writing leaves it after the written line.
//
// Tab-separated mode: a record whose Text property HEADER_TAB_MODE is non-zero
// (record_set_tab_mode) writes every header line as two tab-separated fields, "name:" TAB value, so
// that the record can be walked with text_field (field 2 is the value). Reading is the same in both
// modes.
//
// "htext:" references (HV_HTEXT): the number is the caller's own handle number (an index into a
// table the caller keeps), written in decimal; reading yields it, or 0 when the value is not a
// "htext:" reference. Numbers are non-negative.

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/ids.h"
#include "core/mime.h"
#include "core/record_id.h"
#include "core/record_store.h"
#include "core/stamp.h"
#include "core/text.h"

// Value types (low byte of kind).
inline constexpr uint32_t HV_PTR = 0;          // pointer into the record and length
inline constexpr uint32_t HV_PTR_OR_NULL = 1;  // pointer, or null when the value is empty
inline constexpr uint32_t HV_COPY = 2;         // new NUL-terminated copy (malloc; caller frees)
inline constexpr uint32_t HV_WIDE = 3;         // new UTF-16 copy (malloc; caller frees)
inline constexpr uint32_t HV_INT = 4;          // decimal; a leading letter reads a PackedId
inline constexpr uint32_t HV_TENTHS = 5;       // "1.5" <-> 15
inline constexpr uint32_t HV_HUNDREDTHS = 6;   // "1.25" <-> 125
inline constexpr uint32_t HV_ID = 7;           // PackedId, written in upper case
inline constexpr uint32_t HV_RECID = 8;        // record identifier "<a-b-c-d>"
inline constexpr uint32_t HV_LP = 9;           // "lp:" and a number
inline constexpr uint32_t HV_TEXT = 10;        // new Text holding the value (caller frees)
inline constexpr uint32_t HV_HTEXT = 11;       // "htext:" and a number
inline constexpr uint32_t HV_TYPE_MASK = 0xFF;

// Key kinds and flags.
// PackedId key, name in upper case: IMGSTY -> "IMGSTY:".
inline constexpr uint32_t HK_ID = 0x100;
// PackedId key, mail-style name: TITLE -> "Subject:", DATE -> "Date:", XCDATE -> "x:cdate:".
inline constexpr uint32_t HK_MAIL = 0x200;
// Search the header block only: from the record's second line, stopping at a marker line.
inline constexpr uint32_t HK_HEADER_ONLY = 0x400;
// Writing adds a new line even if the header exists.
inline constexpr uint32_t HK_ADD = 0x800;
// The value continues on the following lines that begin with a tab or spaces.
inline constexpr uint32_t HK_FOLDED = 0x1000;
// header_delete: every header beginning with "X" (HK_ID) or "X:" in either case (HK_MAIL).
inline constexpr uint32_t HK_DELETE_X = 0x2000;
// String key of which at most 80 bytes are used; ":" is appended when it does not end with one.
inline constexpr uint32_t HK_STRING = 0x4000;
// 64-bit packed identifier key (up to twelve characters): "NAME:".
inline constexpr uint32_t HK_LONG_ID = 0x8000;
// header_copy: a header the source lacks is written with an empty value instead of deleted.
inline constexpr uint32_t HK_COPY_EMPTY = 0x10000000;
// header_find: when absent, yields the position where a new line belongs.
inline constexpr uint32_t HK_INSERT_POS = 0x20000000;
// header_copy: nothing is done when the source and target values are already equal.
inline constexpr uint32_t HK_COPY_IF_DIFFERENT = 0x4000000;
// Without HK_ID, HK_MAIL, HK_LONG_ID or HK_STRING the key is the header name itself, colon
// included ("ext:", "Message-Id:").

enum { HEADER_STRING_KEY_MAX = 80, HEADER_NAME_MAX = 96 };

// Text property that puts a record in tab-separated mode.
inline constexpr PackedId HEADER_TAB_MODE = ID("_HTAB");

// A header key: a PackedId (HK_ID, HK_MAIL), a long packed identifier (HK_LONG_ID) or a string.
struct HeaderKey {
  uint64_t id;
  const char* name;
  HeaderKey(uint64_t packed) : id(packed), name(nullptr) {}
  HeaderKey(const char* s) : id(0), name(s) {}
  HeaderKey(std::nullptr_t) : id(0), name(nullptr) {}
};

// The header name a key gives under a kind, into buffer (HEADER_NAME_MAX bytes); its length, or
// -1 when the key is null or invalid.
int header_name(HeaderKey key, uint32_t kind, char* buffer);

// Position of the header's line, or -1 (with HK_INSERT_POS: where a new line belongs, at the end
// of the header block). A null record or key gives -1.
TextPos header_find(Text* rec, HeaderKey key, uint32_t kind);
bool header_has(Text* rec, HeaderKey key, uint32_t kind);

// Reading. Each overload accepts the value types that fit its out-parameter and returns whether
// the header exists; when it is absent, or the type does not fit, out is 0, null or empty.
// HV_PTR, HV_PTR_OR_NULL: the value in the record, up to its line end (valid until the next
// change); {null, 0} when absent (HV_PTR_OR_NULL: also when empty).
struct HeaderSpan {
  const char* p;
  int64_t n;
  explicit operator bool() const { return p != nullptr; }
};
HeaderSpan header_get(Text* rec, HeaderKey key, uint32_t kind);
// HV_INT, HV_TENTHS, HV_HUNDREDTHS, HV_ID, HV_LP, HV_HTEXT; the value is cut to the out type.
bool header_get(Text* rec, HeaderKey key, uint32_t kind, int* out);
bool header_get(Text* rec, HeaderKey key, uint32_t kind, int64_t* out);
bool header_get(Text* rec, HeaderKey key, uint32_t kind, uint32_t* out);  // ids, stamps
// HV_RECID: the empty identifier when absent.
bool header_get(Text* rec, HeaderKey key, uint32_t kind, RecordId* out);
// HV_COPY (NUL-terminated, malloc) and HV_WIDE (UTF-16, malloc); with HK_FOLDED continuation
// lines are joined, each by one space.
bool header_get(Text* rec, HeaderKey key, uint32_t kind, char** out);
bool header_get(Text* rec, HeaderKey key, uint32_t kind, char16_t** out);
// HV_TEXT: a new Text (with HK_FOLDED continuation lines joined by one space).
bool header_get(Text* rec, HeaderKey key, uint32_t kind, Text** out);

// Writing: replaces the existing line in place (a header keeps its position), or adds the line at
// the end of the header block (HK_ADD: always adds). Returns false, leaving the record unchanged,
// when the record cannot take the line, the type cannot be written, or a string value holds a line
// break without HK_FOLDED (with HK_FOLDED each line break becomes a continuation line).
// String values (HV_PTR, HV_PTR_OR_NULL): a Text contributes its cursor line, or its whole contents
// in whole-text mode.
bool header_set(Text* rec, HeaderKey key, uint32_t kind, TextArg value);
bool header_set_number(Text* rec, HeaderKey key, uint32_t kind, int64_t value);
template <class T>
requires(std::is_integral_v<T> &&
         !std::is_same_v<T, bool>) inline bool header_set(Text* rec, HeaderKey key, uint32_t kind,
                                                          T value) {
  return header_set_number(rec, key, kind, (int64_t)value);
}
bool header_set(Text* rec, HeaderKey key, uint32_t kind, const RecordId& value);

// Deletes the header line (with HK_FOLDED its continuation lines too); with HK_DELETE_X every
// X header of the header block. Returns the number of header lines deleted.
int header_delete(Text* rec, HeaderKey key, uint32_t kind);

// Copies one header's value from source to target (with HK_FOLDED the continuation lines too).
// An absent source header deletes the target's unless HK_COPY_EMPTY. Returns false on failure.
bool header_copy(Text* target, HeaderKey key, Text* source, uint32_t kind);

// Tab-separated mode (see the top of this header).
void record_set_tab_mode(Text* rec, bool on);
bool record_tab_mode(const Text* rec);

#pragma once
// Reading a record Text without moving its cursor, and comparing header names: what the header
// lines (core/header.cpp), the record store (core/record_store.cpp), record identifiers and the
// MIME words share. Not a public interface.
//
// Lines never straddle the gap (except split lines longer than 65535 bytes), so a line is read as
// one contiguous piece; every scan is bounded by the logical length as well.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/ids.h"
#include "core/record_store.h"
#include "core/strbuf.h"
#include "core/text.h"

namespace header_scan {

int64_t length_of(const Text* t);
// Contiguous bytes from pos up to the gap or the end, and how many.
const char* piece_at(const Text* t, TextPos pos, int64_t* n);
// Start of the line after the one holding pos (the length when there is none).
TextPos next_line_start(const Text* t, TextPos pos);

struct Line {
  TextPos pos;    // start of the line
  TextPos next;   // start of the next line, or the length
  const char* p;  // the line's bytes
  int64_t n;      // bytes before the line end (first CR, LF or NUL)
};
bool read_line(Text* t, TextPos pos, Line* line);

inline bool line_is_empty(const Line& l) {
  return l.n == 0 && (l.p[0] == '\r' || l.p[0] == '\n');
}
inline bool line_is_marker(const Line& l) {
  return l.n >= RECORD_MARKER_TEST_LEN && memcmp(l.p, RECORD_MARKER, RECORD_MARKER_TEST_LEN) == 0;
}
inline bool line_is_continuation(const Line& l) {
  return l.n > 0 && (l.p[0] == '\t' || l.p[0] == ' ');
}
// The value on a header's first line, whose name is m bytes long.
const char* value_of(const Line& l, int64_t m, int64_t* n);

inline int upper(int c) {
  return (c >= 'a' && c <= 'z') ? c - 32 : c;
}
inline bool is_digit(int c) {
  return c >= '0' && c <= '9';
}
inline bool is_letter(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
// Length of the character at p without reading at or past end.
int step(const char* p, const char* end);
// Whether s (n bytes) begins with name (m bytes), ASCII letters compared without case.
bool starts_with_name(const char* s, int64_t n, const char* name, int64_t m);
// A packed identifier of at most 15 bytes of p.
PackedId pack_bounded(const char* p, int64_t n);

// Copies [pos, pos + n) of a Text into a StrBuf.
bool copy_range(const Text* t, TextPos pos, int64_t n, StrBuf* out);
// A new Text holding the buffer's bytes, its cursor at the top; null without memory.
Text* text_of_buf(const StrBuf& b);
// Inserts `line` (complete, with its line end) at pos; false and nothing changed on failure.
bool insert_at(Text* t, TextPos pos, const char* line, size_t n);

}  // namespace header_scan

// Tab-separated records: walking the lines of a Text and finding fields and cells.
//
// A record is one line (fixed-size records in record-array mode); fields are separated by single
// TABs and end at the next TAB, NUL, CR or LF. A TAB is never part of a multibyte character.

#include "core/records.h"

#include <cstring>

static int64_t top_of(Text* t) {
  TextPos keep = text_tell(t);
  text_top(t);
  TextPos top = text_tell(t);
  text_seek(t, keep);
  return top < 0 ? 0 : top;
}

bool text_at_end(Text* t) {
  if (!t) return true;
  TextPos c = text_tell(t);
  if (c < 0 || c >= text_length(t)) return true;
  return (t->flags & TX_RESTRICTED) && c < top_of(t);
}

// Position of the end of the line holding pos, before its line end.
static TextPos line_content_end(Text* t, TextPos pos) {
  if (t->record_size) {
    TextPos e = text_line_start(t, pos) + t->record_size;
    return e < text_length(t) ? e : text_length(t);
  }
  TextPos next = text_next_line_pos(t, pos);
  if (next < 0) return text_length(t);
  TextPos e = next - 1;  // the LF, or a lone CR in CR mode
  if (text_byte_at(t, e) == '\n' && e > 0 && text_byte_at(t, e - 1) == '\r' &&
      e - 1 >= text_line_start(t, pos))
    --e;
  return e;
}

bool text_next_line(Text* t) {
  if (!t) return false;
  TextPos c = text_tell(t);
  int64_t n = text_length(t);
  if (c < 0) return false;
  TextPos next;
  if (t->record_size) {
    next = c - c % t->record_size + t->record_size;
    if (next > n) next = -1;
  } else {
    next = text_next_line_pos(t, c);
    if (next >= n) next = -1;
  }
  if (next < 0) {
    text_bottom(t);
    return false;
  }
  text_seek(t, next);
  return true;
}

bool text_prev_line(Text* t) {
  if (!t) return false;
  TextPos c = text_tell(t);
  if (c < 0) return false;
  TextPos top = top_of(t);
  TextPos start = text_line_start(t, c);
  if (start <= top) {
    text_top(t);
    return false;
  }
  text_seek(t, text_line_start(t, start - 1));
  return true;
}

void text_line_begin(Text* t) {
  TextPos c = text_tell(t);
  if (c >= 0) text_seek(t, text_line_start(t, c));
}

void text_line_finish(Text* t) {
  TextPos c = text_tell(t);
  if (c >= 0) text_seek(t, line_content_end(t, c));
}

bool text_goto_line(Text* t, int64_t n) {
  if (!t || n < 1) return false;
  TextPos a = text_line_offset(t, n);
  return a >= 0 && text_seek(t, a);
}

static inline bool field_end(char c) {
  return c == '\t' || c == 0 || c == '\r' || c == '\n';
}

const char* text_field(TextArg rec, int n) {
  if (!rec.p || n <= 0) return nullptr;
  const char* p = text_is_handle(rec.p) ? text_line_ptr((Text*)rec.p) : (const char*)rec.p;
  for (int i = 1; i < n; ++i) {
    while (!field_end(*p)) p += char_len(p);
    if (*p != '\t') return nullptr;
    ++p;
  }
  return p;
}

PackedId text_id(TextArg rec) {
  return id_pack(text_field(rec, 1));
}

const char* text_cell(TextArg rec, int64_t* length) {
  if (length) *length = 0;
  if (!rec.p) return "";
  if (!text_is_handle(rec.p)) {
    const char* s = (const char*)rec.p;
    if (length) *length = (int64_t)strlen(s);
    return s;
  }
  Text* t = (Text*)rec.p;
  TextPos c = text_tell(t);
  if (c < 0) return "";
  const char* line = text_line_ptr(t);
  TextPos start = text_line_start(t, c);
  int64_t line_len = line_content_end(t, c) - start;
  int64_t at = c - start;
  if (at > line_len) at = line_len;
  int64_t b = at;
  while (b > 0 && line[b - 1] != '\t') --b;
  int64_t e = at;
  while (e < line_len && line[e] != '\t') ++e;
  if (length) *length = e - b;
  return line + b;
}

// Walks a cell character by character and gives its bytes folded for comparison.
struct FoldWalker {
  const unsigned char* s;
  int64_t start = 0, n = 0;  // the current character
  unsigned flags;
  unsigned char at(int64_t i) {
    while (i >= start + n) {
      start += n;
      n = char_len((const char*)s + start);
    }
    unsigned char c = s[i];
    if (!flags) return c;
    if (n == 1 && c >= 'A' && c <= 'Z') return c | 0x20;
    // Full-width Latin capitals (0x8260..0x8279) fold onto the small letters (0x8281..0x829A).
    if ((flags & 0x100) && n == 2 && i == start + 1 && s[start] == 0x82 && c >= 0x60 && c <= 0x79)
      return (unsigned char)(c + 0x21);
    return c;
  }
};

int text_cell_compare(TextArg a, TextArg b, unsigned flags) {
  int64_t na = 0, nb = 0;
  const char* pa = a.p ? text_cell(a, &na) : "";
  const char* pb = b.p ? text_cell(b, &nb) : "";
  int64_t m = na < nb ? na : nb;
  if (flags & (1 | 0x100)) {
    FoldWalker wa{(const unsigned char*)pa, 0, 0, flags};
    FoldWalker wb{(const unsigned char*)pb, 0, 0, flags};
    for (int64_t i = 0; i < m; ++i) {
      unsigned char ca = wa.at(i), cb = wb.at(i);
      if (ca != cb) return ca < cb ? -1 : 1;
    }
  } else if (m > 0) {
    int r = memcmp(pa, pb, (size_t)m);
    if (r) return r < 0 ? -1 : 1;
  }
  return na < nb ? -1 : (na > nb ? 1 : 0);
}

int64_t text_delete_to_line_end(Text* t) {
  TextPos c = text_tell(t);
  if (c < 0) return 0;
  int64_t n = line_content_end(t, c) - c;
  return n > 0 ? text_delete(t, n) : 0;
}

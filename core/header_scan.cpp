// Reading a record Text without moving its cursor, and comparing header names.

#include "core/header_scan.h"

#include "core/ids.h"

namespace header_scan {

int64_t length_of(const Text* t) {
  return t ? text_length(t) : 0;
}

const char* piece_at(const Text* t, TextPos pos, int64_t* n) {
  int64_t len = text_length(t);
  if (!t->buffer || pos < 0 || pos >= len) {
    *n = 0;
    return "";
  }
  if (pos < t->gap_start) {
    *n = t->gap_start - pos;
    return t->buffer + pos;
  }
  *n = len - pos;
  return t->buffer + pos + (t->gap_end - t->gap_start);
}

TextPos next_line_start(const Text* t, TextPos pos) {
  int64_t len = text_length(t);
  while (pos < len) {
    int64_t n;
    const char* p = piece_at(t, pos, &n);
    const void* lf = memchr(p, '\n', (size_t)n);
    if (lf) return pos + ((const char*)lf - p) + 1;
    pos += n;
  }
  return len;
}

bool read_line(Text* t, TextPos pos, Line* line) {
  if (pos < 0 || pos >= length_of(t)) return false;
  int64_t avail;
  line->pos = pos;
  line->p = piece_at(t, pos, &avail);
  line->next = next_line_start(t, pos);
  if (avail < line->next - pos) {
    // A split long line straddles the gap: the Text closes the gap over the cursor's line.
    TextPos save = text_tell(t);
    if (text_seek(t, pos)) {
      line->p = text_line_ptr(t);
      avail = line->next - pos;
    }
    if (save >= 0) text_seek(t, save);
  }
  if (avail > line->next - pos) avail = line->next - pos;
  int64_t i = 0;
  while (i < avail && line->p[i] != '\r' && line->p[i] != '\n' && line->p[i] != 0) ++i;
  line->n = i;
  return true;
}

int step(const char* p, const char* end) {
  unsigned char c = (unsigned char)*p;
  if ((char_class[c] & CC_LEAD) && end - p >= 2 && (char_class[(unsigned char)p[1]] & CC_TRAIL))
    return 2;
  if ((char_class[c] & CC_EXT) && end - p >= 3 && (unsigned char)p[1] >= 0x40 &&
      (unsigned char)p[2] >= 0x40)
    return 3;
  return 1;
}

bool starts_with_name(const char* s, int64_t n, const char* name, int64_t m) {
  if (n < m) return false;
  const char* end = name + m;
  for (const char* q = name; q < end;) {
    int k = step(q, end);
    if (k == 1) {
      if (upper((unsigned char)*q) != upper((unsigned char)*s)) return false;
    } else if (memcmp(q, s, (size_t)k) != 0) {
      return false;
    }
    q += k;
    s += k;
  }
  return true;
}

const char* value_of(const Line& l, int64_t m, int64_t* n) {
  const char* v = l.p + m;
  const char* e = l.p + l.n;
  if (v < e && *v == '\t') {
    ++v;
  } else {
    while (v < e && *v == ' ') ++v;
  }
  *n = e - v;
  return v;
}

PackedId pack_bounded(const char* p, int64_t n) {
  char tmp[16];
  if (n > 15) n = 15;
  memcpy(tmp, p, (size_t)n);
  tmp[n] = 0;
  return id_pack(tmp);
}

bool copy_range(const Text* t, TextPos pos, int64_t n, StrBuf* out) {
  while (n > 0) {
    int64_t k;
    const char* p = piece_at(t, pos, &k);
    if (k == 0) return false;
    if (k > n) k = n;
    out->add(p, (size_t)k);
    pos += k;
    n -= k;
  }
  return !out->failed;
}

bool insert_at(Text* t, TextPos pos, const char* line, size_t n) {
  if (!text_seek(t, pos)) return false;
  return text_write(t, line, (int64_t)n) == (int64_t)n;
}

Text* text_of_buf(const StrBuf& b) {
  Text* t = text_new();
  if (!t) return nullptr;
  if (b.len > 0 && text_write(t, b.s, (int64_t)b.len) != (int64_t)b.len) {
    text_free(t);
    return nullptr;
  }
  text_top(t);
  return t;
}

}  // namespace header_scan

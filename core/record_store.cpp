// The record store: records one after another in a Text, each opened by a marker line.

#include "core/record_store.h"

#include <cstring>

#include "core/clock.h"
#include "core/format.h"
#include "core/header.h"
#include "core/header_scan.h"
#include "core/mime.h"
#include "core/stamp.h"
#include "core/strbuf.h"

using namespace header_scan;

namespace {

bool config_name_matches(const char* v, const char* e, PackedId name, unsigned flags) {
  char want[8];
  id_unpack(name, want);
  size_t wn = strlen(want);
  if (wn == 0) return false;
  const char* p = v;
  while (p <= e) {
    const char* q = p;
    if (flags & RECORD_FIND_LIST) {
      while (q < e && *q != ';') ++q;
    } else {
      q = e;
    }
    const char* a = p;
    const char* b = q;
    while (a < b && (*a == ' ' || *a == '\t')) ++a;
    while (b > a && (b[-1] == ' ' || b[-1] == '\t')) --b;
    if ((size_t)(b - a) == wn && starts_with_name(a, b - a, want, (int64_t)wn)) return true;
    if (q >= e) break;
    p = q + 1;
  }
  return false;
}

bool buf_starts_with_marker(const StrBuf& b) {
  return b.len >= RECORD_MARKER_TEST_LEN && memcmp(b.s, RECORD_MARKER, RECORD_MARKER_TEST_LEN) == 0;
}

}  // namespace

bool record_init(Text* rec, const char* title) {
  if (!rec) return false;
  text_clear(rec);
  bool ok = header_set(rec, "Message-Id:", HV_RECID, identifier_new());
  FileTime now = clock_now();
  char date[80];
  buf_printf(date, sizeof date, "%t", &now);
  ok = ok && header_set(rec, ID("DATE"), HK_MAIL, date);
  ok = ok && header_set(rec, ID("XCDATE"), HK_MAIL | HV_INT, stamp_now());
  ok = ok && header_set(rec, ID("XEDATE"), HK_MAIL | HV_INT, 0);
  ok = ok && header_set(rec, ID("XYDATE"), HK_MAIL | HV_INT, 0);
  ok = ok && header_set(rec, ID("TITLE"), HK_MAIL, title ? title : "");
  char ctype[64];
  buf_printf(ctype, sizeof ctype, "text/plain; charset=%s", mime_charset_name(ID("SJISEX")));
  ok = ok && header_set(rec, ID("CTYPE"), HK_MAIL, ctype);
  rec->flags |= TX_RECORD;
  text_top(rec);
  return ok;
}

Text* record_new(const char* title) {
  Text* rec = text_new();
  if (rec && !record_init(rec, title)) {
    text_free(rec);
    return nullptr;
  }
  return rec;
}

RecordId record_identifier(Text* rec) {
  RecordId id{};
  if (header_get(rec, "Message-Id:", HV_RECID, &id)) return id;
  HeaderSpan v = header_get(rec, "Config:", HV_PTR);
  if (v) {
    PackedId name = pack_bounded(v.p, v.n);
    if (name) return identifier_config(name);
  }
  return RecordId{};
}

bool record_set_identifier(Text* rec, const RecordId& id) {
  if (identifier_is_config(id)) {
    char name[8];
    return header_set(rec, "Config:", HV_PTR, id_unpack(id.w[3], name));
  }
  return header_set(rec, "Message-Id:", HV_RECID, id);
}

bool record_is_marker(const Text* store, TextPos pos) {
  if (!store || pos < 0 || (pos > 0 && text_byte_at(store, pos - 1) != '\n')) return false;
  for (int i = 0; i < RECORD_MARKER_TEST_LEN; ++i) {
    if (text_byte_at(store, pos + i) != (unsigned char)RECORD_MARKER[i]) return false;
  }
  return true;
}

TextPos record_next_marker(Text* store, TextPos pos) {
  if (!store) return -1;
  Line l;
  for (TextPos p = pos < 0 ? 0 : next_line_start(store, pos); read_line(store, p, &l); p = l.next) {
    if (line_is_marker(l)) return p;
  }
  return -1;
}

TextPos record_previous_marker(Text* store, TextPos pos) {
  if (!store) return -1;
  TextPos limit = (pos < 0 || pos > length_of(store)) ? length_of(store) : pos;
  TextPos found = -1;
  Line l;
  for (TextPos p = 0; p < limit && read_line(store, p, &l); p = l.next) {
    if (line_is_marker(l)) found = p;
  }
  return found;
}

TextPos record_find(Text* store, const RecordId& id, int64_t* length, unsigned flags) {
  if (length) *length = 0;
  if (!store || identifier_is_empty(id)) return -1;
  const char* key = identifier_key(id);
  int64_t m = (int64_t)strlen(key);
  bool config = identifier_is_config(id);
  TextPos start = 0;
  bool in_header = true;
  Line l;
  for (TextPos p = 0; read_line(store, p, &l); p = l.next) {
    if (line_is_marker(l)) {
      start = p;
      in_header = true;
      continue;
    }
    if (line_is_empty(l)) in_header = false;
    if (!in_header || !starts_with_name(l.p, l.n, key, m)) continue;
    int64_t n;
    const char* v = value_of(l, m, &n);
    bool match =
        config ? config_name_matches(v, v + n, id.w[3], flags) : identifier_parse(v, n) == id;
    if (!match) continue;
    TextPos end = record_next_marker(store, p);
    if (end < 0) end = length_of(store);
    if (length) *length = end - start;
    return start;
  }
  return -1;
}

Text* record_extract(Text* store, const RecordId& id, unsigned flags) {
  int64_t n;
  TextPos pos = record_find(store, id, &n, flags);
  if (pos < 0) return nullptr;
  StrBuf b;
  if (!copy_range(store, pos, n, &b)) return nullptr;
  Text* t = text_of_buf(b);
  if (!t) return nullptr;
  t->flags |= TX_RECORD;
  return t;
}

bool record_remove(Text* store, const RecordId& id, unsigned flags) {
  int64_t n;
  TextPos pos = record_find(store, id, &n, flags);
  if (pos < 0) return false;
  return text_seek(store, pos) && text_delete(store, n) == n;
}

bool record_move(Text* store, const RecordId& id, int direction, unsigned flags) {
  int64_t n;
  TextPos pos = record_find(store, id, &n, flags);
  if (pos < 0 || direction == 0) return false;
  int64_t len = length_of(store);
  StrBuf block;
  TextPos dest;
  if (direction < 0) {
    if (pos == 0) return false;
    TextPos prev = record_previous_marker(store, pos);
    dest = prev < 0 ? 0 : prev;
  } else {
    if (pos + n >= len) return false;
    dest = record_next_marker(store, pos + n);
    if (dest < 0) dest = len;
    // The record that ends the store may lack its line end.
    if (dest == len && text_byte_at(store, len - 1) != '\n') block.add("\r\n");
  }
  StrBuf rec;
  if (!copy_range(store, pos, n, &rec)) return false;
  if (!buf_starts_with_marker(rec)) block.add(RECORD_MARKER, RECORD_MARKER_LEN);
  block.add(rec.s, rec.len);
  if (rec.len == 0 || rec.s[rec.len - 1] != '\n') block.add("\r\n");
  // A first record without marker that now follows another record needs one.
  if (direction < 0 && dest == 0 && !record_is_marker(store, 0))
    block.add(RECORD_MARKER, RECORD_MARKER_LEN);
  if (block.failed) return false;
  if (!insert_at(store, dest, block.s, block.len)) return false;
  TextPos old = direction < 0 ? pos + (TextPos)block.len : pos;
  if (!text_seek(store, old) || text_delete(store, n) != n) {
    text_seek(store, dest);
    text_delete(store, (int64_t)block.len);
    return false;
  }
  return true;
}

TextPos record_append(Text* store, TextArg record) {
  if (!store || !record.p) return -1;
  StrBuf rec;
  if (text_is_handle(record.p)) {
    const Text* r = (const Text*)record.p;
    if (!copy_range(r, 0, length_of(r), &rec)) return -1;
  } else {
    rec.add((const char*)record.p);
  }
  if (rec.failed) return -1;
  int64_t len = length_of(store);
  StrBuf block;
  if (len > 0 && text_byte_at(store, len - 1) != '\n') block.add("\r\n");
  TextPos at = len + (TextPos)block.len;
  if (!buf_starts_with_marker(rec)) block.add(RECORD_MARKER, RECORD_MARKER_LEN);
  block.add(rec.s, rec.len);
  if (rec.len > 0 && rec.s[rec.len - 1] != '\n') block.add("\r\n");
  if (block.failed) return -1;
  if (!insert_at(store, len, block.s, block.len)) return -1;
  return at;
}

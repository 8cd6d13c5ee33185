// Header reading on fuzzed records: every value type of header_get, the key kinds and flags, and
// the store walks, on a Text made from the input. Nothing may read outside the Text or leak.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/header.h"
#include "core/text.h"

namespace {

const PackedId kIds[] = {ID("A"), ID("DATE"), ID("TITLE"), ID("XCDATE"), ID("MID"), ID("X")};
const char* const kNames[] = {"a:", "Message-Id:", "Config:", "x:cdate:", "Subject:", ":"};

void read_all(Text* rec, HeaderKey key, uint32_t kind) {
  HeaderSpan v = header_get(rec, key, kind | HV_PTR);
  if (v) {
    volatile char sink = 0;
    for (int64_t i = 0; i < v.n; ++i) sink = sink ^ v.p[i];  // the whole value must be readable
  }
  header_get(rec, key, kind | HV_PTR_OR_NULL);
  header_has(rec, key, kind);
  header_find(rec, key, kind | HK_INSERT_POS);
  for (uint32_t t : {HV_INT, HV_TENTHS, HV_HUNDREDTHS, HV_ID, HV_LP, HV_HTEXT}) {
    int64_t number;
    header_get(rec, key, kind | t, &number);
  }
  RecordId id;
  header_get(rec, key, kind | HV_RECID, &id);
  char* s = nullptr;
  if (header_get(rec, key, kind | HV_COPY, &s)) {
    if (s) mime_content_type_id(s), mime_transfer_encoding_id(s);
    free(s);
  }
  char16_t* w = nullptr;
  header_get(rec, key, kind | HV_WIDE, &w);
  free(w);
  Text* t = nullptr;
  header_get(rec, key, kind | HV_TEXT, &t);
  text_free(t);
}

// Writing on the same fuzzed record: a value that was written reads back unchanged, and store
// edits change the length only by what they are allowed to add or take away.
void write_checks(Text* rec, uint32_t flags, const RecordId& probe) {
  const char* value = " value\tx";
  for (uint32_t kind : {HK_ID, HK_MAIL}) {
    if (header_set(rec, ID("TITLE"), kind | flags, value)) {
      HeaderSpan v = header_get(rec, ID("TITLE"), kind | flags | HV_PTR);
      if (!v || v.n != (int64_t)strlen(value) || memcmp(v.p, value, strlen(value)) != 0) abort();
    }
    if (header_set(rec, ID("XCDATE"), kind | flags | HV_INT, 12345)) {
      int n = 0;
      if (!header_get(rec, ID("XCDATE"), kind | flags | HV_INT, &n) || n != 12345) abort();
    }
  }
  header_delete(rec, ID("TITLE"), HK_MAIL | flags);
  header_delete(rec, nullptr, HK_ID | HK_DELETE_X | flags);
  header_copy(rec, ID("A"), rec, HK_ID | flags | HK_COPY_IF_DIFFERENT);
  int64_t before = text_length(rec), n = 0;
  if (record_find(rec, probe, &n) >= 0) {
    if (record_move(rec, probe, (flags & HK_FOLDED) ? 1 : -1)) {
      int64_t grown = text_length(rec) - before;
      if (grown < 0 || grown > 2 * RECORD_MARKER_LEN + 4) abort();
    }
    before = text_length(rec);
    if (record_find(rec, probe, &n) >= 0 && record_remove(rec, probe) &&
        text_length(rec) != before - n)
      abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char_class_init();
  if (size < 1) return 0;
  uint8_t sel = data[0];
  Text* rec = text_new();
  if (!rec) return 0;
  // The first byte chooses where the gap and cursor sit, so that reads meet both layouts.
  text_write(rec, (const char*)data + 1, (int64_t)size - 1);
  if (sel & 1) {
    TextPos mid = (TextPos)((size - 1) / 2);
    text_seek(rec, mid);
    if (text_write(rec, "\n", 1) == 1 && text_seek(rec, mid)) text_delete(rec, 1);
  }
  text_top(rec);
  uint32_t flags = ((sel & 2) ? HK_HEADER_ONLY : 0) | ((sel & 4) ? HK_FOLDED : 0);
  for (PackedId id : kIds) {
    read_all(rec, id, HK_ID | flags);
    read_all(rec, id, HK_MAIL | flags);
  }
  for (const char* name : kNames) {
    read_all(rec, name, flags);
    read_all(rec, name, HK_STRING | flags);
  }
  read_all(rec, (uint64_t)0x43A3163A81075074ull, HK_LONG_ID | flags);
  // Store walks over the same bytes.
  record_identifier(rec);
  RecordId probe = identifier_parse((const char*)data + 1, (int64_t)size - 1);
  int64_t n;
  record_find(rec, probe, &n, (sel & 8) ? RECORD_FIND_LIST : 0);
  record_find(rec, identifier_config(ID("CPP")), &n, RECORD_FIND_LIST);
  for (TextPos p = record_next_marker(rec, -1); p >= 0; p = record_next_marker(rec, p)) {
  }
  record_previous_marker(rec, -1);
  if (sel & 16) write_checks(rec, flags, probe);
  text_free(rec);
  return 0;
}

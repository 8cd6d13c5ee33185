#pragma once
// Record identifiers: the four-word identifier of a header record, its text form, the parser that
// also takes foreign (mail) identifiers, and configuration identifiers.

#include <cstdint>

#include "core/ids.h"

// Record identifier: four 32-bit words, text form "<%zd-%zd-%zd-%zd>" (lower-case base 36).
struct RecordId {
  uint32_t w[4];
};
inline bool operator==(const RecordId& a, const RecordId& b) {
  return a.w[0] == b.w[0] && a.w[1] == b.w[1] && a.w[2] == b.w[2] && a.w[3] == b.w[3];
}
inline bool identifier_is_empty(const RecordId& id) {
  return id == RecordId{};
}
enum { RECORD_ID_TEXT_MAX = 40 };  // "<" + 4 x 7 digits + 3 "-" + ">" + NUL fits

// A new identifier from the local time (word 0), a process-wide counter, the thread and the
// seconds (word 1), the millisecond tick count (word 2) and a process-wide seed made once from the
// clock (word 3).
RecordId identifier_new();
// Parses an identifier text, stopping at NUL, CR, LF or after length bytes (length -1: up to the
// NUL). An optional "<" is skipped. Own forms: four base-36 fields joined by "-" ("<a-b-c-d>"), or
// an optional pair of letters and four decimal fields each after a "." ("ab.1.2.3.4"); either
// must end at the end or at ">", and each field must fit 32 bits. An empty value gives the empty
// identifier. Anything else is a foreign identifier and is hashed: in the part before "@" (or ">"
// or the end), its digits, in order, make groups of ten, group g added to word g mod 4; then its
// letters (either case, A = 0) make groups of six read in base 26, added to the words that follow
// in turn (the group counter goes on from the digit groups); the part after "@" (up to ">") adds
// to word 3 the sum of its letters and digits taken in chunks of six, each read in base 36. Word 0
// is then taken modulo 2000000000 (0 becomes 1999999999) and a word 1 of 0 becomes 1999999999.
// Partial last groups count; sums wrap modulo 2^32.
RecordId identifier_parse(const char* text, int64_t length = -1);
// "<%zd-%zd-%zd-%zd>" into buffer (RECORD_ID_TEXT_MAX bytes); returns buffer.
char* identifier_format(const RecordId& id, char* buffer);

// Configuration identifiers: {0, 0, CONFIG, name}; such a record is keyed by "Config:" and the
// name.
RecordId identifier_config(PackedId name);
bool identifier_is_config(const RecordId& id);
// The key header of an identifier: "Config:" or "Message-Id:".
const char* identifier_key(const RecordId& id);

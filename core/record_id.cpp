// Record identifiers: made, parsed (own forms and the hash of foreign ones) and written.

#include "core/record_id.h"

#include <atomic>

#include "core/clock.h"
#include "core/format.h"
#include "core/header_scan.h"

using namespace header_scan;

namespace {

int b36(int c) {
  if (is_digit(c)) return c - '0';
  if (is_letter(c)) return upper(c) - 'A' + 10;
  return -1;
}

// Four base-36 fields joined by '-', then the end or '>'.
bool parse_base36(const char* p, const char* e, RecordId* out) {
  RecordId r{};
  for (int f = 0; f < 4; ++f) {
    if (f > 0) {
      if (p >= e || *p != '-') return false;
      ++p;
    }
    uint64_t v = 0;
    int k = 0;
    for (; p < e && b36((unsigned char)*p) >= 0; ++p, ++k) {
      v = v * 36 + (uint64_t)b36((unsigned char)*p);
      if (k >= 7 || v > 0xFFFFFFFFull) return false;
    }
    if (k == 0) return false;
    r.w[f] = (uint32_t)v;
  }
  if (p < e && *p != '>') return false;
  *out = r;
  return true;
}

// Four decimal fields each introduced by '.', then the end or '>'.
bool parse_dotted(const char* p, const char* e, RecordId* out) {
  RecordId r{};
  for (int f = 0; f < 4; ++f) {
    if (p >= e || *p != '.') return false;
    ++p;
    uint64_t v = 0;
    int k = 0;
    for (; p < e && is_digit(*p); ++p, ++k) {
      v = v * 10 + (uint64_t)(*p - '0');
      if (k >= 10 || v > 0xFFFFFFFFull) return false;
    }
    if (k == 0) return false;
    r.w[f] = (uint32_t)v;
  }
  if (p < e && *p != '>') return false;
  *out = r;
  return true;
}

// The hash of a foreign message identifier (see identifier_parse in the header).
RecordId hash_foreign(const char* p, const char* e) {
  RecordId r{};
  const char* local_end = p;
  while (local_end < e && *local_end != '@' && *local_end != '>') local_end += step(local_end, e);
  if (local_end > e) local_end = e;
  // Digits in groups of ten: group g is added to word g mod 4.
  unsigned g = 0;
  uint32_t acc = 0;
  int count = 0;
  for (const char* q = p; q < local_end; q += step(q, local_end)) {
    if (!is_digit(*q)) continue;
    acc = acc * 10 + (uint32_t)(*q - '0');
    if (++count == 10) {
      r.w[g++ % 4] += acc;
      acc = 0;
      count = 0;
    }
  }
  if (count > 0) r.w[g++ % 4] += acc;
  // Letters in groups of six, base 26 (A = 0), added to the words that follow in turn.
  acc = 0;
  count = 0;
  for (const char* q = p; q < local_end; q += step(q, local_end)) {
    if (!is_letter(*q)) continue;
    acc = acc * 26 + (uint32_t)(upper(*q) - 'A');
    if (++count == 6) {
      r.w[g++ % 4] += acc;
      acc = 0;
      count = 0;
    }
  }
  if (count > 0) r.w[g++ % 4] += acc;
  // The domain: its letters and digits in chunks of six, each read in base 36, summed into word 3.
  if (local_end < e && *local_end == '@') {
    const char* q = local_end + 1;
    const char* de = q;
    while (de < e && *de != '>') de += step(de, e);
    if (de > e) de = e;
    uint32_t sum = 0;
    acc = 0;
    count = 0;
    for (; q < de; q += step(q, de)) {
      int d = b36((unsigned char)*q);
      if (d < 0 || step(q, de) != 1) continue;
      acc = acc * 36 + (uint32_t)d;
      if (++count == 6) {
        sum += acc;
        acc = 0;
        count = 0;
      }
    }
    if (count > 0) sum += acc;
    r.w[3] += sum;
  }
  r.w[0] %= 2000000000u;
  if (r.w[0] == 0) r.w[0] = 1999999999u;
  if (r.w[1] == 0) r.w[1] = 1999999999u;
  return r;
}

}  // namespace

RecordId identifier_new() {
  static std::atomic<uint32_t> counter{0};
  static std::atomic<uint32_t> seed{0};
  FileTime now = clock_now();
  CalendarTime c{};
  if (!filetime_to_local(now, &c)) filetime_to_calendar(now, &c);
  uint32_t ticks = clock_ticks_ms();
  RecordId r;
  r.w[0] = ((uint32_t)c.year * 10000u + (uint32_t)c.month * 744u + (uint32_t)c.day * 24u +
            (uint32_t)c.hour - 768u) *
               100u +
           (uint32_t)c.minute;
  r.w[1] = (counter.fetch_add(1) + 1) + (clock_thread_id() << 16) + (uint32_t)c.second * 10000000u;
  r.w[2] = ticks;
  // The seed is made once per process from the clock (no window handle is at hand here).
  uint32_t s = seed.load();
  if (!s) {
    s = ticks ^ (uint32_t)now.ticks ^ (uint32_t)(now.ticks >> 32) ^
        (clock_thread_id() * 2654435761u);
    if (!s) s = 1;
    uint32_t expected = 0;
    if (!seed.compare_exchange_strong(expected, s)) s = expected;
  }
  r.w[3] = s;
  return r;
}

RecordId identifier_parse(const char* text, int64_t length) {
  RecordId r{};
  if (!text) return r;
  const char* e = text;
  if (length < 0) {
    while (*e && *e != '\r' && *e != '\n') ++e;
  } else {
    while (e < text + length && *e && *e != '\r' && *e != '\n') ++e;
  }
  const char* p = text;
  if (p == e) return r;
  if (*p == '<') ++p;
  if (p < e && b36((unsigned char)*p) >= 0 && parse_base36(p, e, &r)) return r;
  const char* q = p;
  if (e - q >= 3 && is_letter(q[0]) && is_letter(q[1]) && q[2] == '.') q += 2;
  if (q < e && *q == '.' && parse_dotted(q, e, &r)) return r;
  return hash_foreign(p, e);
}

char* identifier_format(const RecordId& id, char* buffer) {
  buf_printf(buffer, RECORD_ID_TEXT_MAX, "<%zd-%zd-%zd-%zd>", id.w[0], id.w[1], id.w[2], id.w[3]);
  return buffer;
}

RecordId identifier_config(PackedId name) {
  return RecordId{{0, 0, ID("CONFIG"), name}};
}

bool identifier_is_config(const RecordId& id) {
  return id.w[0] == 0 && id.w[1] == 0 && id.w[2] == ID("CONFIG") && id.w[3] != 0;
}

const char* identifier_key(const RecordId& id) {
  return identifier_is_config(id) ? "Config:" : "Message-Id:";
}

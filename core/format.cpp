// The formatter. The output of one call is collected in a Sink (a local buffer that moves to the
// heap when it grows) and goes into its Text in one insertion, which is what the temporary Text
// of a whole-Text insertion would give, without taking a pool slot per call.

#include "core/format.h"

#include <cstdlib>
#include <cstring>

#include "core/codepage.h"
#include "core/records.h"

namespace {

// Longest width a conversion is padded to: a bad '*' argument must not ask for gigabytes.
const int kWidthMax = 255;

// Output of one formatting call. The first failure to grow is sticky: later writes do nothing
// and the caller checks `failed` once at the end.
struct Sink {
  char* p;
  size_t len = 0;
  size_t cap;
  bool failed = false;
  char local[512];

  Sink() : p(local), cap(sizeof local) {}
  ~Sink() {
    if (p != local) free(p);
  }
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  // Room for n more bytes, or null (and failed) when memory runs out.
  char* room(size_t n) {
    if (failed) return nullptr;
    if (n > cap - len) {
      if (n > SIZE_MAX / 2 - len) return fail();
      size_t want = cap * 2 > len + n ? cap * 2 : len + n;
      char* q = (char*)(p == local ? malloc(want) : realloc(p, want));
      if (!q) return fail();
      if (p == local) memcpy(q, local, len);
      p = q;
      cap = want;
    }
    return p + len;
  }
  char* fail() {
    failed = true;
    return nullptr;
  }
  void put(const void* s, size_t n) {
    if (n == 0) return;
    char* d = room(n);
    if (!d) return;
    memcpy(d, s, n);
    len += n;
  }
  void put(char c) { put(&c, 1); }
  void fill(char c, size_t n) {
    char* d = room(n);
    if (!d) return;
    memset(d, c, n);
    len += n;
  }
};

// The argument list; reading past its end gives 0 rather than someone else's memory.
struct Args {
  const uint64_t* a;
  int n;
  int i = 0;
  uint64_t next() { return a && i < n ? a[i++] : 0; }
  int next_int() { return (int32_t)(uint32_t)next(); }
  const void* next_ptr() { return (const void*)(uintptr_t)next(); }
};

TextArg as_arg(const void* p) {
  TextArg a;
  a.p = p;
  return a;
}

// The text a Text-or-string argument stands for (text_view); null prints nothing.
const char* view_of(const void* p, size_t* n) {
  *n = 0;
  if (!p) return nullptr;
  int64_t len = 0;
  const char* s = text_view(as_arg(p), &len);
  if (!s || len <= 0) return nullptr;
  *n = (size_t)len;
  return s;
}

// Length of the character at p, never reaching beyond `left` bytes.
size_t step(const char* p, size_t left) {
  size_t n = (size_t)char_len(p);
  return n == 0 ? 1 : (n > left ? left : n);
}

// Bytes of whole characters from s[0, n) that fit in max bytes.
size_t cut_chars(const char* s, size_t n, size_t max) {
  size_t k = 0;
  while (k < n) {
    size_t c = step(s + k, n - k);
    if (k + c > max) break;
    k += c;
  }
  return k;
}

// Copies s[0, n) writing every bare LF (not preceded by CR) as CR LF. LF is never part of a
// multibyte character (trail bytes are 0x40 and above), so a byte search is safe.
void put_crlf(Sink& out, const char* s, size_t n) {
  size_t start = 0;
  while (start < n) {
    const char* lf = (const char*)memchr(s + start, '\n', n - start);
    if (!lf) break;
    size_t i = (size_t)(lf - s);
    if (i > 0 && s[i - 1] == '\r') {
      out.put(s + start, i + 1 - start);
    } else {
      out.put(s + start, i - start);
      out.put("\r\n", 2);
    }
    start = i + 1;
  }
  out.put(s + start, n - start);
}

// Digits of v in a base (10, 16 or 36), written backwards ending at `end`; returns the start.
char* put_digits(uint64_t v, unsigned base, bool upper, char* end) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdefghijklmnopqrstuvwxyz";
  char* p = end;
  if (base == 10) {  // the common case, with a constant divisor
    do {
      *--p = (char)('0' + v % 10);
      v /= 10;
    } while (v);
    return p;
  }
  do {
    *--p = digits[v % base];
    v /= base;
  } while (v);
  return p;
}

// A small buffer for the buffered conversions. Its longest product is the %t form with its zone
// (about 30 bytes); %m is at most 4 x 7 + 5.
struct Local {
  char b[64];
  size_t n = 0;
  void put(char c) { b[n++] = c; }
  void put(const char* s) {
    while (*s) b[n++] = *s++;
  }
  void num(uint64_t v, unsigned base = 10, bool upper = false) {
    char tmp[24];
    char* e = tmp + sizeof tmp;
    char* s = put_digits(v, base, upper, e);
    memcpy(b + n, s, (size_t)(e - s));
    n += (size_t)(e - s);
  }
  // Decimal with at least `digits` digits (zero-filled), as "%02d" / "%04d".
  void num_pad(unsigned v, int digits) {
    char tmp[12];
    char* e = tmp + sizeof tmp;
    char* s = put_digits(v, 10, false, e);
    for (int k = (int)(e - s); k < digits; ++k) put('0');
    memcpy(b + n, s, (size_t)(e - s));
    n += (size_t)(e - s);
  }
};

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// "08:14:07"
void put_clock(Local& o, const CalendarTime& c) {
  o.num_pad((unsigned)c.hour, 2);
  o.put(':');
  o.num_pad((unsigned)c.minute, 2);
  o.put(':');
  o.num_pad((unsigned)c.second, 2);
}

// "29 May 2018 08:14:07"
void put_mail_date(Local& o, const CalendarTime& c) {
  o.num_pad((unsigned)c.day, 2);
  o.put(' ');
  o.put(kMonths[c.month - 1]);
  o.put(' ');
  o.num_pad((unsigned)c.year, 4);
  o.put(' ');
  put_clock(o, c);
}

// %t %gt %yt. The %t form shifts by the same standard bias it prints, so that the stamp names
// the right instant also while daylight saving is in force (%yt shows the wall clock).
void put_time(Local& o, const FileTime* ft, int kind) {
  if (!ft || ft->ticks > FILETIME_MAX) return;
  CalendarTime c;
  if (kind == 'y') {
    if (!filetime_to_local(*ft, &c)) return;
    o.num_pad((unsigned)c.year, 4);
    o.put('/');
    o.num_pad((unsigned)c.month, 2);
    o.put('/');
    o.num_pad((unsigned)c.day, 2);
    o.put(' ');
    put_clock(o, c);
    return;
  }
  if (kind == 'g') {
    if (filetime_to_calendar(*ft, &c)) put_mail_date(o, c);
    return;
  }
  int bias = 0;
  if (!clock_zone_bias(&bias)) bias = 0;
  int64_t shift = -(int64_t)bias * (int64_t)FILETIME_TICKS_PER_MINUTE;  // local = UTC - bias
  if (shift < 0 && ft->ticks < (uint64_t)-shift) return;
  FileTime local = {ft->ticks + (uint64_t)shift};
  if (!filetime_to_calendar(local, &c)) return;
  put_mail_date(o, c);
  o.put(' ');
  o.put(bias <= 0 ? '+' : '-');
  unsigned a = (unsigned)(bias < 0 ? -bias : bias);
  o.num_pad(a / 60 % 100, 2);
  o.num_pad(a % 60, 2);
}

// %c: the character as text_putc writes it; a code above 0xFFFFFF is a surrogate pair (high
// unit in the upper half) and takes the six-byte escape form.
void put_char(Sink& out, uint32_t code) {
  char b[6];
  size_t n = 0;
  if (code < 0x100) {
    b[n++] = (char)code;
  } else if (code <= 0xFFFF) {
    b[n++] = (char)(code >> 8);
    b[n++] = (char)code;
  } else if (code <= 0xFFFFFF) {
    b[n++] = (char)(code >> 16);
    b[n++] = (char)(code >> 8);
    b[n++] = (char)code;
  } else {
    const uint32_t units[2] = {code >> 16, code & 0xFFFF};
    for (uint32_t unit : units) {
      uint32_t rest = unit & 0x7FFF;
      b[n++] = (char)(unit & 0x8000 ? 0xA0 : 0x80);
      b[n++] = (char)(0x40 + rest / 188);
      b[n++] = (char)(0x40 + rest % 188);
    }
  }
  out.put(b, n);
}

// %es: every ASCII byte that is neither letter nor digit (so also every byte below 0x21) as \XX.
// Stepping by character keeps a trail byte such as 0x5C inside its character.
void put_escaped(Sink& out, const char* s, size_t n) {
  static const char hex[] = "0123456789ABCDEF";
  for (size_t k = 0; k < n;) {
    unsigned char b = (unsigned char)s[k];
    if (b >= 0x80) {
      size_t c = step(s + k, n - k);
      out.put(s + k, c);
      k += c;
      continue;
    }
    if (char_is(b, CC_ALNUM)) {
      out.put((char)b);
    } else {
      char e[3] = {'\\', hex[b >> 4], hex[b & 15]};
      out.put(e, 3);
    }
    ++k;
  }
}

bool is_sep(char c) {
  return c == '/' || c == '\\';
}

// %ms: "name" BEL "directory", shortened for a menu (see the header).
void put_menu_path(Sink& out, const char* src, size_t srclen) {
  Sink path;  // the path with every & doubled
  for (size_t k = 0; k < srclen; ++k) {
    path.put(src[k]);
    if (src[k] == '&') path.put('&');
  }
  if (path.failed) {
    out.fail();
    return;
  }
  const char* s = path.p;
  size_t n = path.len;
  size_t name = 0, k = 0;
  if (n >= 2 && char_is((unsigned char)s[0], CC_LETTER) && s[1] == ':') name = k = 2;
  while (k < n) {
    size_t c = step(s + k, n - k);
    if (c == 1 && is_sep(s[k])) name = k + 1;
    k += c;
  }
  size_t name_len = n - name;
  if (name_len >= 25) {
    out.put(s + name, cut_chars(s + name, name_len, 24));
    out.put("...", 3);
  } else {
    out.put(s + name, name_len);
  }
  out.put('\a');
  if (name >= 31) {
    out.put(s, cut_chars(s, name, 30));
    out.put("...", 3);
  } else if (name >= 4) {
    out.put(s, is_sep(s[name - 1]) ? name - 1 : name);
  } else {
    out.put(s, name);
  }
}

void put_wide(Sink& out, const char16_t* w) {
  if (!w || !w[0]) return;
  char* d = to_narrow_new(w, -1);
  if (!d) {
    out.fail();
    return;
  }
  put_crlf(out, d, std::strlen(d));
  std::free(d);
}

// A handle of a Text that is alive; a stale handle (its slot given back) prints nothing.
const Text* live_text(const void* p) {
  if (!p || !text_is_handle(p)) return nullptr;
  const Text* t = (const Text*)p;
  return (t->flags & TX_IN_USE) ? t : nullptr;
}

void put_text_whole(Sink& out, const void* p) {
  const Text* t = live_text(p);
  if (!t) return;
  int64_t n = text_length(t);
  if (n <= 0) return;
  char* d = out.room((size_t)n);
  if (!d) return;
  out.len += (size_t)text_copy_out(t, 0, d, n);
}

// %ns: exactly n bytes from the start, but never past the end of what the argument holds (a
// string's NUL, a Text's line or whole text).
void put_counted(Sink& out, const void* p, int n) {
  if (!p || n <= 0) return;
  if (text_is_handle(p)) {
    size_t len;
    const char* s = view_of(p, &len);
    if (s) out.put(s, len < (size_t)n ? len : (size_t)n);
    return;
  }
  out.put(p, strnlen((const char*)p, (size_t)n));
}

// %.d and %..d: tenths or hundredths. A negative value prints a minus and its magnitude
// (-153 as -15.3).
void put_fixed(Local& o, int v, int places) {
  uint64_t m = v < 0 ? (uint64_t)(-(int64_t)v) : (uint64_t)v;
  if (v < 0) o.put('-');
  uint64_t scale = places == 1 ? 10 : 100;
  o.num(m / scale);
  unsigned frac = (unsigned)(m % scale);
  if (frac == 0) return;
  o.put('.');
  if (places == 1) {
    o.put((char)('0' + frac));
  } else {
    o.put((char)('0' + frac / 10));
    if (frac % 10) o.put((char)('0' + frac % 10));
  }
}

// %id %Id %ID
void put_id(Local& o, PackedId id, int style) {
  char w[8];
  id_unpack(id, w);
  bool first = true;
  for (char* q = w; *q; ++q) {
    char c = *q;
    if (c >= 'A' && c <= 'Z' && (style == 'i' || (style == 'I' && !first))) c = (char)(c + 32);
    if (c != '_') first = false;
    o.put(c);
  }
}

// A conversion starting after its '%' at f[i]; returns the index after it.
size_t convert(Sink& out, const char* f, size_t n, size_t i, Args& args) {
  auto at = [&](size_t k) -> unsigned char { return k < n ? (unsigned char)f[k] : 0; };
  while (at(i) == '-' || at(i) == '+' || at(i) == ' ' || at(i) == '#') ++i;
  bool zero = false;
  if (at(i) == '0') {
    zero = true;
    ++i;
  }
  int width = 0;
  if (at(i) == '*') {
    width = args.next_int();
    ++i;
  } else {
    while (at(i) >= '0' && at(i) <= '9') {
      if (width <= kWidthMax) width = width * 10 + (at(i) - '0');
      ++i;
    }
  }
  if (width < 0) width = 0;
  if (width > kWidthMax) width = kWidthMax;
  int fixed = 0;
  if (at(i) == '.') {
    if (at(i + 1) == 'd') {
      fixed = 1;
      i += 1;
    } else if (at(i + 1) == '.' && at(i + 2) == 'd') {
      fixed = 2;
      i += 2;
    } else {
      ++i;
      while (at(i) >= '0' && at(i) <= '9') ++i;  // precision: read and ignored
    }
  }
  while (at(i) == 'l') ++i;
  if (i >= n) return n;

  // Two-letter forms only when their second letter follows.
  unsigned c = at(i), c2 = at(i + 1);
  bool pair =
      (c == 'I' && (c2 == 'D' || c2 == 'd')) || (c == 'i' && c2 == 'd') ||
      (c2 == 's' && (c == 'c' || c == 'e' || c == 'm' || c == 'n' || c == 't' || c == 'w')) ||
      ((c == 'g' || c == 'y') && c2 == 't') || (c == 'z' && (c2 == 'd' || c2 == 'p'));
  unsigned conv = c;
  if (pair) {
    conv = c << 8 | c2;
    i += 2;
  } else {
    i += step(f + i, n - i);  // an unknown character is skipped whole, even a double-byte one
  }

  Local o;
  switch (conv) {
    // Direct conversions.
    case '%':
      out.put('%');
      return i;
    case '/':
      out.put('\\');
      return i;
    case 'c':
      put_char(out, (uint32_t)args.next());
      return i;
    case 'C': {
      uint32_t code = (uint32_t)args.next();
      if (code >= 'a' && code <= 'z') code -= 32;
      put_char(out, code);
      return i;
    }
    case 's': {  // also %ls: the l was taken as a modifier
      size_t len;
      const char* s = view_of(args.next_ptr(), &len);
      if (s) put_crlf(out, s, len);
      return i;
    }
    case 'n' << 8 | 's': {
      const void* p = args.next_ptr();
      put_counted(out, p, args.next_int());
      return i;
    }
    case 't' << 8 | 's':
      put_text_whole(out, args.next_ptr());
      return i;
    case 'c' << 8 | 's': {
      const void* p = args.next_ptr();
      int64_t len = 0;
      const char* s = p ? text_cell(as_arg(p), &len) : nullptr;
      if (s && len > 0) out.put(s, (size_t)len);
      return i;
    }
    case 'e' << 8 | 's': {
      size_t len;
      const char* s = view_of(args.next_ptr(), &len);
      if (s) put_escaped(out, s, len);
      return i;
    }
    case 'w' << 8 | 's':
      put_wide(out, (const char16_t*)args.next_ptr());
      return i;
    case 'm' << 8 | 's': {
      size_t len;
      const char* s = view_of(args.next_ptr(), &len);
      if (s) put_menu_path(out, s, len);
      return i;
    }

    // Buffered conversions.
    case 'd':
      if (fixed) {
        put_fixed(o, args.next_int(), fixed);
      } else {
        int v = args.next_int();
        if (v < 0) o.put('-');
        o.num(v < 0 ? (uint64_t)(-(int64_t)v) : (uint64_t)v);
      }
      break;
    case 'u':
      o.num((uint32_t)args.next());
      break;
    case 'x':
      o.num((uint32_t)args.next(), 16, false);
      break;
    case 'X':
      o.num((uint32_t)args.next(), 16, true);
      break;
    case 'z' << 8 | 'd':
      o.num((uint32_t)args.next(), 36);
      break;
    case 'p':
      o.num(args.next());
      break;
    case 'z' << 8 | 'p':
      o.num(args.next(), 36);
      break;
    case 'i' << 8 | 'd':
      put_id(o, (PackedId)args.next(), 'i');
      break;
    case 'I' << 8 | 'd':
      put_id(o, (PackedId)args.next(), 'I');
      break;
    case 'I' << 8 | 'D':
      put_id(o, (PackedId)args.next(), 'U');
      break;
    case 'D':
      args.next();
      break;
    case 'm': {
      const uint32_t* w = (const uint32_t*)args.next_ptr();
      if (!w) break;
      o.put('<');
      for (int k = 0; k < 4; ++k) {
        if (k) o.put('-');
        o.num(w[k], 36);
      }
      o.put('>');
      break;
    }
    case 't':
      put_time(o, (const FileTime*)args.next_ptr(), 't');
      break;
    case 'g' << 8 | 't':
      put_time(o, (const FileTime*)args.next_ptr(), 'g');
      break;
    case 'y' << 8 | 't':
      put_time(o, (const FileTime*)args.next_ptr(), 'y');
      break;
    default:
      return i;  // unknown: nothing printed, no argument taken
  }
  // The buffered result, padded on the left to the width. It never holds a LF.
  if (o.n == 0) return i;
  if ((size_t)width > o.n) out.fill(zero ? '0' : ' ', (size_t)width - o.n);
  out.put(o.b, o.n);
  return i;
}

// Formats into out. A Text format stands for its cursor line (whole text in whole-text mode).
void format_into(Sink& out, TextArg format, const uint64_t* a, int count) {
  size_t n;
  const char* f = view_of(format.p, &n);
  if (!f) return;
  Args args{a, count};
  // '%' and LF never occur inside a multibyte character (trail bytes are 0x40 and above), so the
  // runs between them can be found byte by byte.
  size_t run = 0, i = 0;
  while (i < n) {
    char c = f[i];
    if ((c != '%' && c != '\n') || (c == '\n' && i > 0 && f[i - 1] == '\r')) {
      ++i;
      continue;
    }
    out.put(f + run, i - run);
    if (c == '\n') {
      out.put("\r\n", 2);
      ++i;
    } else {
      i = convert(out, f, n, i + 1, args);
    }
    run = i;
  }
  out.put(f + run, n - run);
}

}  // namespace

Text* format_text_slots(TextArg format, const uint64_t* args, int count) {
  Sink out;
  format_into(out, format, args, count);
  if (out.failed) return nullptr;
  Text* t = text_new();
  if (!t) return nullptr;
  if (out.len && text_insert(t, out.p, TI_RAW, (int64_t)out.len) != (int64_t)out.len) {
    text_free(t);
    return nullptr;
  }
  return t;
}

int64_t text_printf_slots(Text* t, bool advance, TextArg format, const uint64_t* args, int count) {
  if (!t) return 0;
  Sink out;
  format_into(out, format, args, count);
  if (out.failed || out.len == 0) return 0;
  TextPos before = text_tell(t);
  int64_t n = text_insert(t, out.p, TI_RAW, (int64_t)out.len);
  if (!advance && n > 0) text_seek(t, before);
  return n;
}

char* buf_printf_slots(char* dest, size_t size, TextArg format, const uint64_t* args, int count) {
  if (!dest || size == 0) return dest;
  Sink out;
  format_into(out, format, args, count);
  size_t n = out.failed ? 0 : out.len < size ? out.len : cut_chars(out.p, out.len, size - 1);
  memcpy(dest, out.p, n);
  dest[n] = 0;
  return dest;
}

int64_t text_put_id(Text* t, PackedId id) {
  return text_printf(t, "%id", id);
}
int64_t text_put_ID(Text* t, PackedId id) {
  return text_printf(t, "%ID", id);
}
int64_t text_put_int(Text* t, int n) {
  return text_printf(t, "%d", n);
}

// "[Tue, ]29 May 2018 08:14:07[ +0900]": the %t form (or %gt without a zone, taken as UTC).
bool filetime_parse(const char* s, FileTime* out) {
  if (!s || !out) return false;
  auto space = [&] {
    while (*s == ' ' || *s == '\t') ++s;
  };
  auto number = [&](int min_digits, int max_digits, int* v) {
    int k = 0;
    *v = 0;
    while (k < max_digits && *s >= '0' && *s <= '9') *v = *v * 10 + (*s++ - '0'), ++k;
    return k >= min_digits && !(*s >= '0' && *s <= '9');
  };
  auto letter = [](char c) { return char_is((unsigned char)c, CC_LETTER); };
  auto lower = [](char c) { return (char)(c >= 'A' && c <= 'Z' ? c + 32 : c); };
  space();
  if (letter(s[0])) {  // weekday
    while (letter(*s)) ++s;
    if (*s == ',') ++s;
    space();
  }
  CalendarTime c = {};
  if (!number(1, 2, &c.day)) return false;
  space();
  c.month = 0;
  for (int m = 0; m < 12; ++m) {
    if (lower(s[0]) == lower(kMonths[m][0]) && lower(s[1]) == kMonths[m][1] &&
        lower(s[2]) == kMonths[m][2] && !letter(s[3])) {
      c.month = m + 1;
      s += 3;
      break;
    }
  }
  if (!c.month || (*s != ' ' && *s != '\t')) return false;
  space();
  if (!number(4, 5, &c.year) || (*s != ' ' && *s != '\t')) return false;
  space();
  if (!number(1, 2, &c.hour) || *s++ != ':' || !number(2, 2, &c.minute) || *s++ != ':' ||
      !number(2, 2, &c.second))
    return false;
  space();
  int offset = 0;  // minutes east of UTC
  if (*s == '+' || *s == '-') {
    int sign = *s++ == '-' ? -1 : 1, hhmm;
    if (!number(4, 4, &hhmm) || hhmm % 100 > 59) return false;
    offset = sign * (hhmm / 100 * 60 + hhmm % 100);
  } else if ((lower(s[0]) == 'g' && lower(s[1]) == 'm' && lower(s[2]) == 't') ||
             (lower(s[0]) == 'u' && lower(s[1]) == 't' && lower(s[2]) == 'c')) {
    s += 3;
  }
  space();
  if (*s == '(') {  // a comment such as "(JST)"
    while (*s && *s != ')') ++s;
    if (*s++ != ')') return false;
    space();
  }
  if (*s && *s != '\r' && *s != '\n') return false;
  FileTime local;
  if (!calendar_to_filetime(&c, &local)) return false;
  int64_t shift = (int64_t)offset * (int64_t)FILETIME_TICKS_PER_MINUTE;  // UTC = local - offset
  if (shift > 0 && local.ticks < (uint64_t)shift) return false;
  uint64_t utc = local.ticks - (uint64_t)shift;
  if (utc > FILETIME_MAX) return false;
  out->ticks = utc;
  return true;
}

// Descriptions: line syntax, option lists, item states written back into the lines, bindings to
// settings records, radio groups, choosing and accelerators.

#include "ui/desc.h"

#include <cstring>

#include "core/format.h"
#include "core/header.h"
#include "core/records.h"

namespace {

DescChangeFn g_change_hook = nullptr;

constexpr PackedId FHIST_FIRST = ID("FHIST0");
constexpr int FHIST_COUNT = 20;

inline bool is_digit(int c) {
  return c >= '0' && c <= '9';
}
inline bool is_letter(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline bool is_alnum(int c) {
  return is_digit(c) || is_letter(c);
}
inline int upper(int c) {
  return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

// One line as a span: the line end is not part of it.
struct Span {
  const char* p;
  int64_t n;
  int at(int64_t i) const { return i < n ? (unsigned char)p[i] : 0; }
};

Span span_of(const char* line) {
  Span s{line ? line : "", 0};
  while (s.p[s.n] && s.p[s.n] != '\n' && s.p[s.n] != '\r') ++s.n;
  return s;
}

// Packs the first six letters and digits of a run (a seventh and later ones are ignored).
PackedId pack_run(const char* p, int64_t n) {
  char buf[8];
  int k = 0;
  for (; k < 6 && k < n; ++k) buf[k] = p[k];
  buf[k] = 0;
  return id_pack(buf);
}

// What the first characters of a line say.
struct Shape {
  DescLineKind kind;
  int64_t id_end;  // end of the identifier (item, numbered), after the dots (heading)
  bool list;       // an option list follows the identifier
};

Shape shape_of(Span s) {
  Shape sh{DESC_LINE_OTHER, -1, false};
  int c = s.at(0);
  if (c == '.') {
    int64_t i = 0;
    while (s.at(i) == '.') ++i;
    sh.kind = DESC_LINE_HEADING;
    sh.id_end = i;
    return sh;
  }
  if (c == '-') {
    sh.kind = DESC_LINE_SEPARATOR;
    return sh;
  }
  if (!is_alnum(c)) return sh;
  int64_t i = 0;
  while (is_alnum(s.at(i))) ++i;
  int next = s.at(i);
  if (next == '(') {
    if (s.at(i + 1) == '"') return sh;
    sh.list = true;
  } else if (next >= '!') {
    return sh;
  }
  sh.kind = is_digit(c) ? DESC_LINE_NUMBERED : DESC_LINE_ITEM;
  sh.id_end = i;
  return sh;
}

inline bool is_item(DescLineKind k) {
  return k == DESC_LINE_ITEM || k == DESC_LINE_NUMBERED;
}

// What an option list holds.
struct Options {
  uint32_t bits;      // bits of the option words
  bool stored;        // a leading number is there
  uint32_t number;    // ... and its value
  int64_t num_begin;  // its place in the line
  int64_t num_end;
  uint64_t text;  // text= as written
  PackedId key;   // id= or mh=
  uint32_t key_kind;
  int32_t mask;
};

// Option words without a value and the state bits they set.
struct WordBit {
  PackedId word;
  uint32_t bit;
};
constexpr WordBit kWordBits[] = {{ID("B"), DESC_DEFAULT}, {ID("CB"), DESC_CHECKBOX},
                                 {ID("RB"), DESC_RADIO},  {ID("CK"), DESC_CHECKED},
                                 {ID("ICON"), DESC_ICON}, {ID("PTN"), DESC_PTN},
                                 {ID("BMP"), DESC_BMP},   {ID("LINK"), DESC_LINK},
                                 {ID("CFG"), DESC_CFG},   {ID("CMD"), DESC_CMD}};

uint64_t read_unsigned(Span s, int64_t* i) {
  uint64_t v = 0;
  while (is_digit(s.at(*i))) {
    uint64_t d = uint64_t(s.at(*i) - '0');
    v = v > (UINT64_MAX - d) / 10 ? UINT64_MAX : v * 10 + d;
    ++*i;
  }
  return v;
}

int64_t read_signed(Span s, int64_t* i) {
  bool neg = s.at(*i) == '-';
  if (neg) ++*i;
  uint64_t v = read_unsigned(s, i);
  if (v > uint64_t(INT32_MAX) + 1) v = uint64_t(INT32_MAX) + 1;
  return neg ? -int64_t(v) : (v > INT32_MAX ? INT32_MAX : int64_t(v));
}

// Reads the option list that begins at "(" (offset at). The list ends at its ")" or at the tab
// before the caption, so that a caption is never read as options.
Options parse_list(Span s, int64_t at) {
  Options o{};
  o.num_begin = o.num_end = -1;
  int64_t i = at + 1;
  while (s.at(i) == ' ') ++i;
  while (is_alnum(s.at(i))) {
    if (is_digit(s.at(i))) {
      int64_t b = i;
      uint64_t v = read_unsigned(s, &i);
      if (!o.stored) {
        o.stored = true;
        o.number = v > UINT32_MAX ? UINT32_MAX : uint32_t(v);
        o.num_begin = b;
        o.num_end = i;
      }
    } else {
      int64_t b = i;
      while (is_alnum(s.at(i)) || s.at(i) == '$' || s.at(i) == '_') ++i;
      bool plain = true;
      for (int64_t k = b; k < i; ++k) plain = plain && is_alnum(s.at(k));
      PackedId w = plain ? pack_run(s.p + b, i - b) : 0;
      bool closed = false;
      if (s.at(i) == '=') {
        ++i;
        int64_t v = i;
        switch (w) {
          case ID("CK"):
            if (read_signed(s, &v) != 0 || v == i) o.bits |= DESC_CHECKED;
            break;
          case ID("TEXT"):
            o.text = read_unsigned(s, &v);
            break;
          case ID("ID"):
          case ID("MH"): {
            int64_t e = v;
            while (is_alnum(s.at(e))) ++e;
            o.key = pack_run(s.p + v, e - v);
            o.key_kind = (w == ID("ID") ? HK_ID | HK_HEADER_ONLY : HK_MAIL) | HV_INT;
            break;
          }
          case ID("MASK"):
            o.mask = (int32_t)read_signed(s, &v);
            break;
          default:
            break;
        }
        // The value runs to the next white space; a ")" on the way closes the list.
        while (i < s.n && s.at(i) != ' ' && s.at(i) != '\t') {
          if (s.at(i) == ')') closed = true;
          ++i;
        }
      } else {
        for (const WordBit& wb : kWordBits)
          if (wb.word == w) o.bits |= wb.bit;
      }
      if (closed) break;
    }
    if (s.at(i) == '\t') break;
    while (s.at(i) == ' ') ++i;
  }
  return o;
}

// A line of a description: where it starts and its bytes (valid until the next change).
struct Line {
  TextPos start;
  Span s;
};

// The line holding pos (-1: the cursor's line). The cursor is left where it was.
bool get_line(Text* t, TextPos pos, Line* out) {
  if (!t) return false;
  TextPos saved = text_tell(t);
  if (pos < 0) pos = saved;
  if (pos < 0 || pos > text_length(t)) return false;
  TextPos start = text_line_start(t, pos);
  if (start < 0 || !text_seek(t, start)) return false;
  const char* p = text_line_ptr(t);
  TextPos end = text_next_line_pos(t, start);
  int64_t n = (end < 0 ? text_length(t) : end) - start;
  while (n > 0 && (p[n - 1] == '\n' || p[n - 1] == '\r')) --n;
  if (saved >= 0) text_seek(t, saved);
  out->start = start;
  out->s = Span{p, n};
  return true;
}

// Start of the line after the one starting at `start`, or -1 at the last line.
TextPos next_line(Text* t, TextPos start) {
  TextPos e = text_next_line_pos(t, start);
  return (e < 0 || e >= text_length(t)) ? -1 : e;
}

TextPos prev_line(Text* t, TextPos start) {
  return start <= 0 ? -1 : text_line_start(t, start - 1);
}

// The state of a line as written, without the binding: the stored number or the bits.
uint32_t written_state(Span s, Shape sh, Options* opt = nullptr) {
  Options o{};
  if (opt) *opt = o;
  if (!is_item(sh.kind)) return 0;
  uint32_t base = sh.kind == DESC_LINE_NUMBERED ? uint32_t(DESC_NUMBERED) : 0u;
  if (sh.list) o = parse_list(s, sh.id_end);
  if (opt) *opt = o;
  if (o.stored) return o.number;
  return base | o.bits;
}

Text* live_record(uint64_t handle) {
  const void* p = (const void*)(uintptr_t)handle;
  return handle && (uint64_t)(uintptr_t)p == handle && text_is_live(p) ? (Text*)p : nullptr;
}

void fill_binding(const Options& o, DescBinding* b) {
  *b = DescBinding{};
  b->record = live_record(o.text);
  b->key = o.key;
  b->kind = o.key ? o.key_kind : 0;
  b->mask = o.mask;
}

bool checked_by_value(int64_t v, int32_t mask) {
  if (mask > 0) return (v & mask) != 0;
  if (mask < 0) return (v & -int64_t(mask)) == 0;
  return v != 0;
}

int64_t value_for_check(int64_t v, int32_t mask, bool on) {
  if (mask == 0) return on ? 1 : 0;
  int64_t m = mask > 0 ? int64_t(mask) : -int64_t(mask);
  bool set = mask > 0 ? on : !on;
  return set ? (v | m) : (v & ~m);
}

int64_t read_value(const DescBinding& b) {
  int64_t v = 0;
  header_get(b.record, b.key, b.kind, &v);
  return v;
}

void write_value(const DescBinding& b, int64_t v) {
  int64_t old = 0;
  bool present = header_get(b.record, b.key, b.kind, &old);
  if (!present && v == 0) return;  // absent reads as 0: nothing changes
  if (present && old == v) return;
  header_set(b.record, b.key, b.kind, v);
}

// Replaces bytes [a, b) of the text with `with`; a tracked cursor follows. The new bytes go in
// first, so that a failure leaves the line as it was.
bool replace(Text* t, TextPos a, TextPos b, const char* with, TextPos* cursor) {
  TextPos saved = cursor ? *cursor : text_tell(t);
  int64_t n = (int64_t)strlen(with);
  if (!text_seek(t, a)) return false;
  bool ok = text_insert(t, with, 0, n) == n;
  if (ok && b > a) {
    text_seek(t, a + n);
    ok = text_delete(t, b - a) == b - a;
  }
  TextPos c = saved;
  if (ok && c >= b)
    c += n - (b - a);
  else if (ok && c > a)
    c = a;
  if (cursor) *cursor = c;
  if (c >= 0 && c <= text_length(t)) text_seek(t, c);
  return ok;
}

bool set_state_at(Text* t, TextPos pos, uint32_t state, TextPos* cursor) {
  Line ln;
  if (!get_line(t, pos, &ln)) return false;
  Shape sh = shape_of(ln.s);
  if (!is_item(sh.kind)) return false;
  char num[16];
  buf_printf(num, sizeof num, "%u", state);
  char with[24];
  if (!sh.list) {
    buf_printf(with, sizeof with, "(%s)", num);
    return replace(t, ln.start + sh.id_end, ln.start + sh.id_end, with, cursor);
  }
  Options o = parse_list(ln.s, sh.id_end);
  if (o.stored) {
    if (o.number == state) return true;
    return replace(t, ln.start + o.num_begin, ln.start + o.num_end, num, cursor);
  }
  int after = ln.s.at(sh.id_end + 1);
  buf_printf(with, sizeof with, after == ')' || after == 0 ? "%s" : "%s ", num);
  return replace(t, ln.start + sh.id_end + 1, ln.start + sh.id_end + 1, with, cursor);
}

void notify_change(Text* t, TextPos start) {
  if (!g_change_hook) return;
  Line ln;
  if (!get_line(t, start, &ln)) return;
  Shape sh = shape_of(ln.s);
  g_change_hook(t, start, pack_run(ln.s.p, sh.id_end), written_state(ln.s, sh));
}

bool is_radio_line(Text* t, TextPos start) {
  Line ln;
  if (!get_line(t, start, &ln)) return false;
  return (written_state(ln.s, shape_of(ln.s)) & DESC_RADIO) != 0;
}

// First line of the radio group holding the line at start.
TextPos group_first(Text* t, TextPos start) {
  for (TextPos p = prev_line(t, start); p >= 0 && is_radio_line(t, p); p = prev_line(t, p))
    start = p;
  return start;
}

// Makes the k-th line of the group that begins at `first` its checked line and stores the
// chosen identifier into every binding of the group. Returns the identifier.
PackedId settle_group(Text* t, TextPos first, int chosen, TextPos* cursor) {
  PackedId id = 0;
  int k = 0;
  for (TextPos p = first; p >= 0 && is_radio_line(t, p); p = next_line(t, p), ++k) {
    Line ln;
    get_line(t, p, &ln);
    Shape sh = shape_of(ln.s);
    Options o;
    uint32_t st = written_state(ln.s, sh, &o);
    uint32_t want = k == chosen ? (st | DESC_CHECKED) : (st & ~DESC_CHECKED);
    if (k == chosen) id = pack_run(ln.s.p, sh.id_end);
    // Every line of the group carries its number afterwards, changed or not.
    if (want != st || !o.stored) {
      if (set_state_at(t, p, want, cursor) && want != st) notify_change(t, p);
    }
  }
  if (!id) return 0;
  for (TextPos p = first; p >= 0 && is_radio_line(t, p); p = next_line(t, p)) {
    DescBinding b;
    desc_parse_options(t, p, DESC_GROUP, &b);
    if (b.bound()) write_value(b, (int64_t)id);
  }
  return id;
}

int index_in_group(Text* t, TextPos first, TextPos line) {
  int k = 0;
  for (TextPos p = first; p >= 0 && p < line; p = next_line(t, p)) ++k;
  return k;
}

// Calls fn(start, span, shape) for every line; fn returns false to stop. fn may change the line
// it is given but no line before it.
template <class F>
void each_line(Text* t, F fn) {
  for (TextPos p = 0; p >= 0 && p < text_length(t); p = next_line(t, p)) {
    Line ln;
    if (!get_line(t, p, &ln)) return;
    if (!fn(p, ln.s, shape_of(ln.s))) return;
  }
}

bool is_end_title(Span s, Shape sh) {
  Span t{s.p + sh.id_end, s.n - sh.id_end};
  return t.n >= 3 && upper(t.at(0)) == 'E' && upper(t.at(1)) == 'N' && upper(t.at(2)) == 'D' &&
         (t.n == 3 || t.at(3) == '\t' || t.at(3) == ' ');
}

// Dots of an opening heading, 0 for any other line.
int opening_level(Span s) {
  Shape sh = shape_of(s);
  if (sh.kind != DESC_LINE_HEADING || is_end_title(s, sh)) return 0;
  return (int)sh.id_end;
}

// The block of the opening heading at `heading` with d dots: where its lines end (before the
// stopping heading) and where the block ends (after a closing "end" of the same level).
void block_bounds(Text* t, TextPos heading, int d, TextPos* lines_end, TextPos* block_end) {
  TextPos p = next_line(t, heading);
  for (; p >= 0; p = next_line(t, p)) {
    Line ln;
    if (!get_line(t, p, &ln)) break;
    Shape sh = shape_of(ln.s);
    if (sh.kind != DESC_LINE_HEADING || sh.id_end > d) continue;
    *lines_end = p;
    *block_end = sh.id_end == d && is_end_title(ln.s, sh) ? text_next_line_pos(t, p) : p;
    if (*block_end < 0) *block_end = text_length(t);
    return;
  }
  *lines_end = *block_end = text_length(t);
}

}  // namespace

// ---- one line ----

DescLineKind desc_line_kind(const char* line) {
  return shape_of(span_of(line)).kind;
}

int desc_item_pos(const char* line, bool* numbered) {
  Span s = span_of(line);
  Shape sh = shape_of(s);
  if (numbered) *numbered = is_digit(s.at(0));
  if (is_item(sh.kind) || sh.kind == DESC_LINE_HEADING) return (int)sh.id_end;
  return -1;
}

PackedId desc_item_id(const char* line) {
  Span s = span_of(line);
  Shape sh = shape_of(s);
  return is_item(sh.kind) ? pack_run(s.p, sh.id_end) : 0;
}

int desc_label_number(const char* line) {
  Span s = span_of(line);
  Shape sh = shape_of(s);
  if (sh.kind != DESC_LINE_NUMBERED || sh.id_end > 9) return 0;
  int n = 0;
  for (int64_t i = 0; i < sh.id_end; ++i) {
    if (!is_digit(s.at(i))) return 0;
    n = n * 10 + (s.at(i) - '0');
  }
  return n;
}

int desc_label_target(int n) {
  if (n < 1) return 0;
  int child = DESC_LABEL_BASE + n;
  return child <= DESC_LABEL_LAST ? child : 0;
}

int desc_heading_level(const char* line) {
  Span s = span_of(line);
  Shape sh = shape_of(s);
  return sh.kind == DESC_LINE_HEADING ? (int)sh.id_end : 0;
}

// Field `field` (2 caption, 3 help) of an item line; for a heading, its title (field 2).
static Span field_span(Span s, int field) {
  Shape sh = shape_of(s);
  int64_t i;
  if (sh.kind == DESC_LINE_HEADING) {
    if (field != 2) return Span{"", 0};
    i = sh.id_end;
  } else if (is_item(sh.kind)) {
    i = sh.id_end;
    for (int f = 1; f < field; ++f) {
      while (i < s.n && s.p[i] != '\t') i += char_len(s.p + i);
      if (i >= s.n) return Span{"", 0};
      ++i;
    }
  } else {
    return Span{"", 0};
  }
  int64_t e = i;
  while (e < s.n && s.p[e] != '\t') e += char_len(s.p + e);
  if (e > s.n) e = s.n;
  return Span{s.p + i, e - i};
}

const char* desc_caption(const char* line, int* length) {
  Span f = field_span(span_of(line), 2);
  if (length) *length = (int)f.n;
  return f.p;
}

const char* desc_help(const char* line, int* length) {
  Span f = field_span(span_of(line), 3);
  if (length) *length = (int)f.n;
  return f.p;
}

// Calls add(ch) for every accelerator of a line, upper-cased.
template <class F>
static void each_accelerator(Span line, bool key_names, F add) {
  Span c = field_span(line, 2);
  for (int64_t i = 0; i < c.n;) {
    if (c.at(i) == '&' && is_alnum(c.at(i + 1))) {
      add(upper(c.at(i + 1)));
      i += 2;
      continue;
    }
    if (key_names && upper(c.at(i)) == 'A' && upper(c.at(i + 1)) == 'L' &&
        upper(c.at(i + 2)) == 'T' && c.at(i + 3) == '+' && c.at(i + 4) > ' ' &&
        c.at(i + 4) < 0x80) {
      add(upper(c.at(i + 4)));
      i += 5;
      continue;
    }
    i += char_len(c.p + i);
  }
}

static bool has_accelerator(Span line, int ch, bool key_names) {
  bool found = false;
  ch = upper(ch);
  each_accelerator(line, key_names, [&](int a) { found = found || a == ch; });
  return found;
}

int desc_accelerators(const char* line, bool key_names, char* out, int max) {
  int count = 0;
  each_accelerator(span_of(line), key_names, [&](int a) {
    if (out && count < max - 1) out[count] = (char)a;
    ++count;
  });
  if (out && max > 0) out[count < max - 1 ? count : max - 1] = 0;
  return count;
}

bool desc_has_accelerator(const char* line, int ch, bool key_names) {
  return has_accelerator(span_of(line), ch, key_names);
}

// ---- state and bindings ----

uint32_t desc_parse_options(Text* desc, TextPos line, int mode, DescBinding* out) {
  DescBinding local;
  DescBinding* b = out ? out : &local;
  *b = DescBinding{};
  Line ln;
  if (!get_line(desc, line, &ln)) return 0;
  Shape sh = shape_of(ln.s);
  Options o;
  uint32_t state = written_state(ln.s, sh, &o);
  if (!is_item(sh.kind)) return 0;
  fill_binding(o, b);
  if (mode == DESC_GROUP) return state;
  if (mode == DESC_WRITE) {
    if (b->bound()) {
      if (state & DESC_CHECKBOX)
        write_value(*b, value_for_check(read_value(*b), b->mask, (state & DESC_CHECKED) != 0));
      else if ((state & DESC_RADIO) && (state & DESC_CHECKED))
        write_value(*b, (int64_t)pack_run(ln.s.p, sh.id_end));
    }
    return state;
  }
  if (!o.stored && b->bound()) {
    b->value = read_value(*b);
    b->read = true;
    if (state & DESC_CHECKBOX) {
      state &= ~DESC_CHECKED;
      if (checked_by_value(b->value, b->mask)) state |= DESC_CHECKED;
    }
  }
  if (mode == DESC_INIT && !o.stored) set_state_at(desc, ln.start, state, nullptr);
  return state;
}

uint32_t desc_item_state(Text* desc, TextPos line) {
  Line ln;
  if (!get_line(desc, line, &ln)) return 0;
  return written_state(ln.s, shape_of(ln.s));
}

bool desc_set_state(Text* desc, TextPos line, uint32_t state) {
  TextPos cursor = text_tell(desc);
  return set_state_at(desc, line, state, &cursor);
}

bool desc_find(Text* desc, PackedId id) {
  if (!desc || !id) return false;
  TextPos found = -1;
  each_line(desc, [&](TextPos p, Span s, Shape sh) {
    if (sh.kind == DESC_LINE_ITEM && pack_run(s.p, sh.id_end) == id) found = p;
    return found < 0;
  });
  return found >= 0 && text_seek(desc, found);
}

bool desc_check(Text* desc, PackedId id, bool on) {
  if (!desc || !id) return false;
  bool any = false;
  TextPos cursor = text_tell(desc);
  for (TextPos p = 0; p >= 0 && p < text_length(desc);) {
    Line ln;
    if (!get_line(desc, p, &ln)) break;
    Shape sh = shape_of(ln.s);
    if (sh.kind != DESC_LINE_ITEM || pack_run(ln.s.p, sh.id_end) != id) {
      p = next_line(desc, p);
      continue;
    }
    any = true;
    uint32_t st = written_state(ln.s, sh);
    if ((st & DESC_RADIO) && on) {
      // Settling changes lines before this one too: go on after the group.
      TextPos first = group_first(desc, p);
      settle_group(desc, first, index_in_group(desc, first, p), &cursor);
      for (p = first; p >= 0 && is_radio_line(desc, p);) p = next_line(desc, p);
      continue;
    }
    uint32_t want = on ? (st | DESC_CHECKED) : (st & ~DESC_CHECKED);
    if (!set_state_at(desc, p, want, &cursor)) {
      p = next_line(desc, p);
      continue;
    }
    if (st & DESC_CHECKBOX) desc_parse_options(desc, p, DESC_WRITE);
    if (want != st) notify_change(desc, p);
    p = next_line(desc, p);
  }
  if (cursor >= 0) text_seek(desc, cursor);
  return any;
}

bool desc_enable(Text* desc, PackedId id, bool on) {
  if (!desc || !id) return false;
  bool all = id == ID("_ALL");
  bool any = false;
  TextPos cursor = text_tell(desc);
  each_line(desc, [&](TextPos p, Span s, Shape sh) {
    if (!is_item(sh.kind)) return true;
    PackedId own = pack_run(s.p, sh.id_end);
    if (all) {
      if (sh.kind == DESC_LINE_ITEM && own - FHIST_FIRST < (PackedId)FHIST_COUNT) return true;
    } else if (sh.kind != DESC_LINE_ITEM || own != id) {
      return true;
    }
    any = true;
    uint32_t st = written_state(s, sh);
    uint32_t want = on ? (st & ~DESC_DISABLED) : (st | DESC_DISABLED);
    if (set_state_at(desc, p, want, &cursor) && want != st) notify_change(desc, p);
    return true;
  });
  if (cursor >= 0) text_seek(desc, cursor);
  return any;
}

bool desc_is_checked(Text* desc, PackedId id) {
  if (!desc || !id) return false;
  TextPos found = -1;
  each_line(desc, [&](TextPos p, Span s, Shape sh) {
    if (sh.kind == DESC_LINE_ITEM && pack_run(s.p, sh.id_end) == id) found = p;
    return found < 0;
  });
  return found >= 0 && (desc_parse_options(desc, found, DESC_READ) & DESC_CHECKED) != 0;
}

PackedId desc_radio(Text* desc, PackedId op) {
  if (!desc) return 0;
  Line ln;
  if (!get_line(desc, -1, &ln) || !is_radio_line(desc, ln.start)) return 0;
  TextPos first = group_first(desc, ln.start);
  if (op == ID("SEL")) {
    TextPos cursor = ln.start;
    PackedId id = settle_group(desc, first, index_in_group(desc, first, ln.start), &cursor);
    text_seek(desc, cursor);
    return id;
  }
  if (op != ID("GET")) return 0;
  for (TextPos p = first; p >= 0 && is_radio_line(desc, p); p = next_line(desc, p)) {
    Line g;
    get_line(desc, p, &g);
    Shape sh = shape_of(g.s);
    if (desc_parse_options(desc, p, DESC_READ) & DESC_CHECKED) return pack_run(g.s.p, sh.id_end);
  }
  return 0;
}

int desc_init_states(Text* desc) {
  if (!desc) return 0;
  int items = 0;
  for (TextPos p = 0; p >= 0 && p < text_length(desc);) {
    Line ln;
    if (!get_line(desc, p, &ln)) break;
    Shape sh = shape_of(ln.s);
    if (!is_item(sh.kind)) {
      p = next_line(desc, p);
      continue;
    }
    if (!(written_state(ln.s, sh) & DESC_RADIO)) {
      ++items;
      desc_parse_options(desc, p, DESC_INIT);
      p = next_line(desc, p);
      continue;
    }
    // A radio group: its bound value picks the checked line unless the lines carry their states.
    bool stored = false, bound = false;
    int64_t value = 0;
    int count = 0, chosen = -1;
    for (TextPos q = p; q >= 0 && is_radio_line(desc, q); q = next_line(desc, q), ++count) {
      DescBinding b;
      Options o;
      get_line(desc, q, &ln);
      written_state(ln.s, shape_of(ln.s), &o);
      desc_parse_options(desc, q, DESC_READ, &b);
      stored = stored || o.stored;
      if (b.bound() && !bound) value = b.value;
      bound = bound || b.bound();
    }
    TextPos q = p;
    for (int k = 0; k < count; ++k, q = next_line(desc, q)) {
      get_line(desc, q, &ln);
      if (bound && !stored && (int64_t)pack_run(ln.s.p, shape_of(ln.s).id_end) == value) chosen = k;
    }
    if (chosen >= 0) {
      settle_group(desc, p, chosen, nullptr);
    } else {
      q = p;
      for (int k = 0; k < count; ++k, q = next_line(desc, q))
        desc_parse_options(desc, q, DESC_INIT);  // each line keeps what its words say
    }
    items += count;
    for (int k = 0; k < count && p >= 0; ++k) p = next_line(desc, p);
  }
  return items;
}

// ---- submenus ----

TextPos desc_submenu_end(Text* desc, TextPos heading) {
  Line ln;
  if (!get_line(desc, heading, &ln)) return -1;
  int d = opening_level(ln.s);
  if (!d) return -1;
  TextPos lines_end, block_end;
  block_bounds(desc, ln.start, d, &lines_end, &block_end);
  return block_end;
}

Text* desc_submenu(Text* desc, TextPos heading, bool keep_levels) {
  Line ln;
  if (!get_line(desc, heading, &ln)) return nullptr;
  int d = opening_level(ln.s);
  if (!d) return nullptr;
  TextPos lines_end, block_end;
  block_bounds(desc, ln.start, d, &lines_end, &block_end);
  Text* out = text_new();
  if (!out) return nullptr;
  TextPos saved = text_tell(desc);
  bool ok = true;
  for (TextPos p = next_line(desc, ln.start); ok && p >= 0 && p < lines_end;
       p = next_line(desc, p)) {
    Line g;
    get_line(desc, p, &g);
    TextPos e = text_next_line_pos(desc, p);
    int64_t n = (e < 0 || e > lines_end ? lines_end : e) - p;
    int64_t skip = 0;
    if (!keep_levels && shape_of(g.s).kind == DESC_LINE_HEADING) skip = d;
    ok = text_insert(out, g.s.p + skip, TI_RAW, n - skip) == n - skip;
  }
  if (saved >= 0) text_seek(desc, saved);
  if (!ok) {
    text_free(out);
    return nullptr;
  }
  text_top(out);
  return out;
}

TextPos desc_next_shown(Text* desc, TextPos line) {
  if (!desc) return -1;
  TextPos p = 0;
  if (line >= 0) {
    Line ln;
    if (!get_line(desc, line, &ln)) return -1;
    TextPos e = desc_submenu_end(desc, ln.start);
    p = e >= 0 ? e : next_line(desc, ln.start);
  }
  while (p >= 0 && p < text_length(desc)) {
    Line ln;
    if (!get_line(desc, p, &ln)) return -1;
    Shape sh = shape_of(ln.s);
    if (sh.kind != DESC_LINE_HEADING || !is_end_title(ln.s, sh)) return p;
    p = next_line(desc, p);
  }
  return -1;
}

// ---- choosing and accelerators ----

DescChoice desc_choose(Text* desc, TextPos line) {
  DescChoice c{DESC_NONE, 0, 0};
  Line ln;
  if (!get_line(desc, line, &ln)) return c;
  Shape sh = shape_of(ln.s);
  if (!is_item(sh.kind)) return c;
  uint32_t st = desc_parse_options(desc, ln.start, DESC_READ);
  if (st & DESC_DISABLED) return c;
  if (sh.kind == DESC_LINE_NUMBERED) {
    c.action = DESC_FOCUS;
    c.child = desc_label_target(desc_label_number(ln.s.p));
    return c;
  }
  c.action = DESC_COMMAND;
  c.id = pack_run(ln.s.p, sh.id_end);
  TextPos cursor = text_tell(desc);
  if (st & DESC_CHECKBOX) {
    if (set_state_at(desc, ln.start, st ^ DESC_CHECKED, &cursor)) {
      desc_parse_options(desc, ln.start, DESC_WRITE);
      notify_change(desc, ln.start);
    }
  } else if (st & DESC_RADIO) {
    TextPos first = group_first(desc, ln.start);
    settle_group(desc, first, index_in_group(desc, first, ln.start), &cursor);
  }
  if (cursor >= 0) text_seek(desc, cursor);
  return c;
}

DescAccelHit desc_accelerator(Text* desc, int ch, TextPos current, bool key_names) {
  DescAccelHit hit{0, -1};
  if (!desc || ch <= 0) return hit;
  TextPos cur_start = -1;
  if (current >= 0 && current <= text_length(desc)) cur_start = text_line_start(desc, current);
  TextPos first = -1, after = -1;
  for (TextPos p = desc_next_shown(desc, -1); p >= 0; p = desc_next_shown(desc, p)) {
    Line ln;
    if (!get_line(desc, p, &ln)) break;
    Shape sh = shape_of(ln.s);
    if (!is_item(sh.kind) && sh.kind != DESC_LINE_HEADING) continue;
    if (written_state(ln.s, sh) & DESC_DISABLED) continue;
    if (!has_accelerator(ln.s, ch, key_names)) continue;
    ++hit.count;
    if (first < 0) first = p;
    if (after < 0 && cur_start >= 0 && p > cur_start) after = p;
  }
  if (hit.count == 1)
    hit.line = first;
  else if (hit.count > 1)
    hit.line = after >= 0 ? after : first;
  return hit;
}

void desc_set_change_hook(DescChangeFn fn) {
  g_change_hook = fn;
}

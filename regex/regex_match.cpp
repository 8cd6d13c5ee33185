// The matcher: walks the state graph by backtracking from each start position. Every path is
// explored and the furthest end reached wins; a second pass (the capture pass) walks again until
// it ends exactly there and records the tags of that path.
//
// The walk keeps its own stack (no recursion), moved to the heap as the path deepens, with three
// guards: a step deeper than REGEX_MAX_DEPTH levels is abandoned, the step that reaches the step
// limit ends the attempt, and either makes the search report no match (each message once); a
// step into a (state, position) that already lies on the current path fails, so an iteration
// that consumed nothing cannot go round again. That cut loses no end: whatever the second visit
// could reach, the first one reaches as well.
//
// Start positions are skipped only where the walk would certainly fail quickly (see
// rx_analyse): positions after a byte string every match starts with is absent, positions whose
// first two bytes no first character accepts, and positions not at a line start when every match
// needs one. Whatever is skipped, every match, length and tag is the one the plain walk gives.

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/ids.h"
#include "regex/regex_internal.h"

namespace {

struct PathEntry {
  int32_t label;
  long pos;
};

struct Frame {
  int state;
  int next;
  int end;
  int path_length;
  long pos;
};

enum { WALK_INLINE = 1024 };

struct Walk {
  const RegexProgram* prog;
  const uint8_t* t;
  long n;
  unsigned mopts;
  bool bytes;
  bool icase;
  bool bol;
  bool capture;
  bool done;
  bool abort;    // the step limit was reached: every further step fails
  bool guarded;  // a step was abandoned for its depth
  bool nest_reported;
  long target;
  long start_pos;   // where the attempt started (a character boundary)
  long start_prev;  // the start of the character before it
  long furthest;
  long steps;
  long limit;
  int sp;
  int path_length;
  int capacity;  // of stack and path
  long tag_begin[REGEX_TAG_SLOTS];
  long tag_end[REGEX_TAG_SLOTS];
  Frame* stack;
  PathEntry* path;  // one entry per tag mark on the path: never more than the frames
  // The first levels live in the walk itself; deeper walks move to the heap.
  Frame first_stack[WALK_INLINE];
  PathEntry first_path[WALK_INLINE];
};

// Room for one more frame; false when memory runs out.
bool grow(Walk* w) {
  if (w->sp < w->capacity) return true;
  int cap = w->capacity * 2;
  if (cap > REGEX_MAX_DEPTH + 1) cap = REGEX_MAX_DEPTH + 1;
  bool inline_stack = w->stack == w->first_stack, inline_path = w->path == w->first_path;
  Frame* stack = (Frame*)realloc(inline_stack ? nullptr : w->stack, sizeof(Frame) * (size_t)cap);
  if (!stack) return false;
  if (inline_stack) memcpy(stack, w->stack, sizeof(Frame) * (size_t)w->capacity);
  w->stack = stack;
  PathEntry* path =
      (PathEntry*)realloc(inline_path ? nullptr : w->path, sizeof(PathEntry) * (size_t)cap);
  if (!path) return false;
  if (inline_path) memcpy(path, w->path, sizeof(PathEntry) * (size_t)w->capacity);
  w->path = path;
  w->capacity = cap;
  return true;
}

// Whether (s, p) lies on the current path. Positions never decrease along a path, so the frames
// at p are the topmost ones.
bool on_path(const Walk* w, int s, long p) {
  for (int i = w->sp - 1; i >= 0 && w->stack[i].pos == p; --i)
    if (w->stack[i].state == s) return true;
  return false;
}

bool word_at(const Walk* w, long p) {
  RxChar ch = rx_read(w->t, p, w->n, w->bytes);
  return ch.length > 0 && rx_word_code(ch.code);
}

// The start of the character before p (0 < p). Stepping goes from the attempt's start or from
// just after a byte below 0x40, whichever is nearer, so the cost never depends on the text before
// the attempt.
long prev_char_start(const Walk* w, long p) {
  if (p == w->start_pos) return w->start_prev;
  if (w->bytes || w->t[p - 1] < 0x40 || p < w->start_pos)
    return rx_prev_start(w->t, p, w->n, w->bytes);
  long s = w->start_pos;
  for (long r = p - 2; r >= w->start_pos; --r) {
    if (w->t[r] < 0x40) {
      s = r + 1;
      break;
    }
  }
  for (;;) {
    long next = s + rx_read(w->t, s, w->n, false).length;
    if (next >= p) return s;
    s = next;
  }
}

bool prev_word(const Walk* w, long p) {
  if (p == 0) return (w->mopts & REGEX_PREV_WORD) != 0;
  uint8_t b = w->t[p - 1];
  // Only an ASCII letter or '_' may be a trail byte that needs a closer look.
  if (!char_is(b, CC_IDENT)) return false;
  if (b < 0x40) return true;
  return word_at(w, prev_char_start(w, p));
}

// The tag's last text on the current path, or false.
bool path_tag(const Walk* w, int tag, long* begin, long* end) {
  int i = w->path_length - 1;
  while (i >= 0 && w->path[i].label != RX_TAG_END + tag) --i;
  if (i < 0) return false;
  *end = w->path[i].pos;
  while (i >= 0 && w->path[i].label != RX_TAG_START + tag) --i;
  if (i < 0) return false;
  *begin = w->path[i].pos;
  return true;
}

void record_tags(Walk* w) {
  for (int k = 0; k < REGEX_TAG_SLOTS; ++k) {
    w->tag_begin[k] = w->tag_end[k] = -1;
    if (k < w->prog->group_count) path_tag(w, k, &w->tag_begin[k], &w->tag_end[k]);
  }
}

// One step into state s at position p, with the guards.
void enter(Walk* w, int s, long p) {
  if (w->sp + 1 > REGEX_MAX_DEPTH || !grow(w)) {
    // Only this step is abandoned, but the search will report no match.
    if (!w->capture && !w->nest_reported) rx_report(RX_MSG_STACK);
    w->nest_reported = true;
    w->guarded = true;
    return;
  }
  if (++w->steps >= w->limit) {
    if (!w->capture) rx_report(RX_MSG_STEPS);
    w->abort = true;
    return;
  }
  if (on_path(w, s, p)) return;

  const RegexProgram* prog = w->prog;
  if (s == prog->end_state) {
    if (!w->capture) {
      if (p > w->furthest) w->furthest = p;
    } else if (p == w->target) {
      record_tags(w);
      w->done = true;
    }
    return;
  }
  Frame& f = w->stack[w->sp++];
  f.state = s;
  f.pos = p;
  f.next = prog->first[s];
  f.end = prog->first[s + 1];
  f.path_length = w->path_length;
}

bool anchor_holds(const Walk* w, int32_t label, long p) {
  switch (label) {
    case RX_WORD_START:
      return !prev_word(w, p);
    case RX_WORD_END:
      return !word_at(w, p);
    case RX_BOUNDARY:
      return !prev_word(w, p) || !word_at(w, p);
    case RX_NOT_BOUNDARY:
      return prev_word(w, p) && word_at(w, p);
    case RX_LINE_START:
      return w->bol;
    case RX_LINE_END: {
      if (p >= w->n) return (w->mopts & REGEX_NOT_EOL) == 0;
      RxChar ch = rx_read(w->t, p, w->n, w->bytes);
      return ch.code == RX_CODE_CRLF || char_is((int)ch.code, CC_EOL);
    }
    default:
      return false;
  }
}

void run(Walk* w, int start_state, long p) {
  w->sp = 0;
  w->path_length = 0;
  enter(w, start_state, p);
  const RegexProgram* prog = w->prog;
  while (w->sp > 0 && !w->abort && !w->done) {
    Frame& f = w->stack[w->sp - 1];
    if (f.next >= f.end) {
      w->sp--;
      continue;
    }
    RxTransition tr = prog->trans[f.next++];
    w->path_length = f.path_length;
    long pos = f.pos;
    int32_t label = tr.label;
    if (label == RX_EMPTY) {
      enter(w, tr.target, pos);
    } else if (label < RX_EMPTY) {  // character or class (the class bit makes it negative)
      RxChar ch = rx_read(w->t, pos, w->n, w->bytes);
      if (ch.length == 0) continue;
      uint32_t c = w->icase ? rx_upper(ch.code) : ch.code;
      bool ok =
          label >= 0 ? c == (uint32_t)label : rx_class_match(&prog->classes[label & 0x7FFFFFFF], c);
      if (ok) enter(w, tr.target, pos + ch.length);
    } else if (label <= RX_NONDIGIT) {
      RxChar ch = rx_read(w->t, pos, w->n, w->bytes);
      if (ch.length == 0) continue;
      uint32_t c = w->icase ? rx_upper(ch.code) : ch.code;
      if (rx_special_match(label, c)) enter(w, tr.target, pos + ch.length);
    } else if (rx_is_tag_mark(label)) {
      w->path[w->path_length++] = {label, pos};
      enter(w, tr.target, pos);
    } else if (rx_is_backref(label)) {
      int tag = label - RX_BACKREF;
      long b, e;
      if (tag >= prog->group_count || !path_tag(w, tag, &b, &e)) continue;
      long len = e - b;
      if (len > w->n - pos || memcmp(w->t + b, w->t + pos, (size_t)len) != 0) continue;
      enter(w, tr.target, pos + len);
    } else if (anchor_holds(w, label, pos)) {
      enter(w, tr.target, pos);
    }
  }
}

// Whether the attempt that begin_attempt set up at p fails on the program's opening chain: its
// labels tested in order as the walk would, tags and back-references included. A chain of at most
// 16 labels trips no guard, so a failure here is the walk's own. Without anchors on the chain the
// answer depends on p alone, so it may also be asked at a byte that is not a character boundary
// (the candidate scan does): failing there only skips a position no attempt would start at.
bool chain_fails(const Walk* w, long p) {
  const RegexProgram* prog = w->prog;
  // Set bits say which entries hold a position (no clearing per attempt: this runs at every
  // candidate byte).
  long open[REGEX_TAG_SLOTS], begin[REGEX_TAG_SLOTS], end[REGEX_TAG_SLOTS];
  unsigned opened = 0, closed = 0;
  int tags = prog->group_count < REGEX_TAG_SLOTS ? prog->group_count : REGEX_TAG_SLOTS;
  for (int i = 0; i < prog->chain_length; ++i) {
    int32_t label = prog->chain[i];
    if (label == RX_EMPTY) continue;
    if (label <= RX_NONDIGIT) {  // character, class (negative) or special class
      RxChar ch = rx_read(w->t, p, w->n, w->bytes);
      if (ch.length == 0) return true;
      uint32_t c = w->icase ? rx_upper(ch.code) : ch.code;
      bool ok = label < 0          ? rx_class_match(&prog->classes[label & 0x7FFFFFFF], c)
                : label < RX_EMPTY ? c == (uint32_t)label
                                   : rx_special_match(label, c);
      if (!ok) return true;
      p += ch.length;
    } else if (rx_is_tag_mark(label)) {
      int tag = (label - RX_TAG_START) & 0xFF;
      if (tag >= tags) return false;  // not ours to judge
      unsigned bit = 1u << tag;
      if (label < RX_TAG_END) {
        open[tag] = p;
        opened |= bit;
      } else if (opened & bit) {
        // The tag's text is its last end and the last start before that end.
        begin[tag] = open[tag];
        end[tag] = p;
        closed |= bit;
      } else {
        closed &= ~bit;
      }
    } else if (rx_is_backref(label)) {
      int tag = label - RX_BACKREF;
      if (tag >= tags || !(closed & 1u << tag)) return true;
      long len = end[tag] - begin[tag];
      if (len > w->n - p) return true;
      const uint8_t* a = w->t + begin[tag];
      const uint8_t* b = w->t + p;
      for (long k = 0; k < len; ++k)  // mostly a character or two: no call
        if (a[k] != b[k]) return true;
      p += len;
    } else if (!anchor_holds(w, label, p)) {
      return true;
    }
  }
  return false;
}

void begin_attempt(Walk* w, long p, long prev, bool capture, long target) {
  w->start_pos = p;
  w->start_prev = prev;
  w->bol = p == 0 ? (w->mopts & REGEX_NOT_BOL) == 0 : w->t[p - 1] == '\n';
  w->capture = capture;
  w->target = target;
  w->done = false;
  w->furthest = -1;
  w->steps = 0;
}

// The furthest end of a search attempt at p: -1 for none, -2 when a guard stopped the search.
long attempt(Walk* w, long p, long prev) {
  begin_attempt(w, p, prev, false, 0);
  if (w->prog->chain_check && chain_fails(w, p)) return -1;
  run(w, w->prog->start_state, p);
  if (w->abort || w->guarded) return -2;
  return w->furthest;
}

bool capture(Walk* w, long p, long prev, long end) {
  begin_attempt(w, p, prev, true, end);
  run(w, w->prog->start_state, p);
  return w->done;
}

bool get_bit(const uint8_t* bits, unsigned i) {
  return (bits[i >> 3] >> (i & 7)) & 1;
}

struct Skip {
  bool prefix;
  bool pairs;
  bool bol;
};

// The first line start at or after p followed by the prefix (which starts with the LF before a
// line start), else n. The range start has no LF before it and is tried on its own; the others are
// found by the LF and the byte after it, sixteen positions at a time where the vector unit allows.
long next_line_prefix(const Walk* w, long p) {
  const uint8_t* t = w->t;
  const uint8_t* pre = (const uint8_t*)w->prog->prefix;
  long n = w->n, m = w->prog->prefix_length;
  if (p == 0 && !(w->mopts & REGEX_NOT_BOL) && m - 1 <= n &&
      memcmp(t, pre + 1, (size_t)(m - 1)) == 0)
    return 0;
  long q = p > 0 ? p - 1 : 0;  // where the LF may be
  while (q + m <= n) {
#if defined(__SSE2__)
    if (q + 17 <= n) {
      __m128i a = _mm_loadu_si128((const __m128i*)(t + q));
      __m128i b = _mm_loadu_si128((const __m128i*)(t + q + 1));
      int hits = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('\n')),
                                                 _mm_cmpeq_epi8(b, _mm_set1_epi8((char)pre[1]))));
      if (!hits) {
        q += 16;
        continue;
      }
      q += __builtin_ctz((unsigned)hits);
      if (q + m > n) break;
    } else if (t[q] != '\n' || t[q + 1] != pre[1]) {
      ++q;
      continue;
    }
#else
    const void* lf = memchr(t + q, '\n', (size_t)(n - q));
    if (!lf) break;
    q = (const uint8_t*)lf - t;
    if (q + m > n) break;
#endif
    if (memcmp(t + q + 1, pre + 1, (size_t)(m - 1)) == 0) return q + 1;
    ++q;
  }
  return n;
}

// The first position at or after p (below n - 1) that the filters let through, else n - 1.
long next_candidate(const Walk* w, const Skip& skip, long p) {
  const RegexProgram* prog = w->prog;
  const uint8_t* t = w->t;
  long limit = w->n - 1;
  if (skip.prefix) {
    // Horspool: shift by the table entry of the byte under the prefix's last byte.
    long m = prog->prefix_length;
    const uint8_t* pre = (const uint8_t*)prog->prefix;
    if (prog->prefix_bol) return next_line_prefix(w, p);
    uint8_t last = pre[m - 1];
    for (long q = p; q + m <= w->n;) {
      uint8_t b = t[q + m - 1];
      if (b == last && memcmp(t + q, pre, (size_t)(m - 1)) == 0) return q;
      q += prog->prefix_skip[b];
    }
    return w->n;
  }
  while (p < limit) {
    if (skip.bol && !(p == 0 ? (w->mopts & REGEX_NOT_BOL) == 0 : t[p - 1] == '\n')) {
      const void* lf = memchr(t + p, '\n', (size_t)(limit - p));
      if (!lf) return limit;
      p = (const uint8_t*)lf - t + 1;
      continue;
    }
    if (!skip.pairs) return p;
    if (skip.bol) {
      if (get_bit(prog->pairs, t[p] * 256u + t[p + 1])) return p;
      ++p;
      continue;
    }
    const uint8_t* pairs = prog->pairs;
    const uint8_t* firsts = prog->first_bits;
    bool chain = prog->chain_scan;
    while (p < limit) {
      unsigned b = t[p];
      if (((firsts[b >> 3] >> (b & 7)) & 1) && get_bit(pairs, b * 256u + t[p + 1]) &&
          !(chain && chain_fails(w, p)))
        return p;
      ++p;
    }
  }
  return limit;
}

// The first character boundary at or after q, stepping from the boundary bp; *prev gets the
// start of the character before it.
long align(const Walk* w, long bp, long q, long* prev) {
  const uint8_t* t = w->t;
  if (w->bytes) {
    long a = (q > bp && t[q] == '\n' && t[q - 1] == '\r') ? q + 1 : q;
    *prev = rx_prev_start(t, a, w->n, true);
    return a;
  }
  long s = bp;
  for (long r = q - 1; r >= bp; --r) {
    if (t[r] < 0x40) {
      s = (t[r] == '\r' && r + 1 < w->n && t[r + 1] == '\n') ? r + 2 : r + 1;
      break;
    }
  }
  long before = -1;
  while (s < q) {
    before = s;
    s += rx_read(t, s, w->n, false).length;
  }
  // Without a step the boundary follows a byte below 0x40, which is a character of its own.
  *prev = before >= 0 ? before : rx_prev_start(t, s, w->n, false);
  return s;
}

char* copy_bytes(const uint8_t* p, long len) {
  char* c = (char*)malloc((size_t)len + 1);
  if (!c) return nullptr;
  memcpy(c, p, (size_t)len);
  c[len] = 0;
  return c;
}

// Positions of a backward search, from the range end down to 0, a segment at a time.
struct Boundaries {
  long* list;
  int count;
  int capacity;
};

bool segment_before(const Walk* w, long cur, Boundaries* out) {
  out->count = 0;
  const uint8_t* t = w->t;
  long s;
  if (w->bytes || t[cur - 1] < 0x40) {
    s = rx_prev_start(t, cur, w->n, w->bytes);
  } else {
    s = 0;
    for (long r = cur - 2; r >= 0; --r) {
      if (t[r] < 0x40) {
        s = r + 1;
        break;
      }
    }
  }
  while (s < cur) {
    if (out->count >= out->capacity) {
      int cap = out->capacity ? out->capacity * 2 : 256;
      long* grown = (long*)realloc(out->list, sizeof(long) * cap);
      if (!grown) return false;
      out->list = grown;
      out->capacity = cap;
    }
    out->list[out->count++] = s;
    s += rx_read(t, s, w->n, w->bytes).length;
  }
  return true;
}

}  // namespace

bool rx_word_code(uint32_t c) {
  return char_is((int)c, CC_IDENT);
}

bool rx_special_match(int32_t label, uint32_t c) {
  bool linebreak = c == RX_CODE_CRLF || c == '\n';
  switch (label) {
    case RX_ANY:
      return !linebreak && c != 0x1A;
    case RX_LINEBREAK:
      return linebreak;
    case RX_BLANK:
      return c == ' ' || c == '\t' || c == RX_CODE_ZSPACE;
    case RX_DIGIT:
      return c >= '0' && c <= '9';
    case RX_LOWER:
      return c >= 'a' && c <= 'z';
    case RX_UPPER:
      return c >= 'A' && c <= 'Z';
    case RX_ZDIGIT:
      return c >= 0x824F && c <= 0x8258;
    case RX_ZLOWER:
      return c >= 0x8281 && c <= 0x829A;
    case RX_ZUPPER:
      return c >= 0x8260 && c <= 0x8279;
    case RX_WORD:
      return rx_word_code(c);
    case RX_NONWORD:
      return !linebreak && !rx_word_code(c);
    case RX_NONBLANK:
      return !linebreak && !rx_special_match(RX_BLANK, c);
    case RX_NONDIGIT:
      return !linebreak && !(c >= '0' && c <= '9');
    default:
      return false;
  }
}

bool rx_class_match(const RxClass* cls, uint32_t c) {
  if (c == RX_CODE_CRLF || c == '\n') return false;  // a class never matches a line break
  bool in;
  if (c < 256) {
    in = (cls->bits[c >> 3] >> (c & 7)) & 1;
  } else {
    in = false;
    for (int i = 0; i < cls->range_count && !in; ++i)
      in = c >= cls->ranges[2 * i] && c <= cls->ranges[2 * i + 1];
  }
  return in != cls->negated;
}

long rx_prev_start(const uint8_t* t, long p, long n, bool bytes) {
  if (t[p - 1] < 0x40 || bytes) {
    if (t[p - 1] == '\n' && p >= 2 && t[p - 2] == '\r') return p - 2;
    return p - 1;
  }
  // A byte below 0x40 is never inside a longer character: step on from just after one.
  long s = 0;
  for (long r = p - 2; r >= 0; --r) {
    if (t[r] < 0x40) {
      s = r + 1;
      break;
    }
  }
  for (;;) {
    long next = s + rx_read(t, s, n, false).length;
    if (next >= p) return s;
    s = next;
  }
}

long regex_char_length(const char* text, long p, long length, bool bytes) {
  if (!text || p < 0) return 0;
  return rx_read((const uint8_t*)text, p, length, bytes).length;
}

long regex_prev_char(const char* text, long p, long length, bool bytes) {
  if (!text || p <= 0) return 0;
  return rx_prev_start((const uint8_t*)text, p, length, bytes);
}

const char* regex_search(RegexProgram* prog, const char* text, long length, unsigned options,
                         long* out_length) {
  if (out_length) *out_length = 0;
  if (!prog || !prog->compiled || !text || length < 0) return nullptr;
  prog->match_options = (prog->match_options & ~REGEX_RANGE_BITS) | (options & REGEX_RANGE_BITS);
  regex_tags_clear(prog);
  Walk* w = (Walk*)malloc(sizeof(Walk));
  if (!w) return nullptr;
  w->prog = prog;
  w->t = (const uint8_t*)text;
  w->n = length;
  w->mopts = prog->match_options;
  w->bytes = prog->bytes;
  w->icase = prog->icase;
  w->abort = false;
  w->guarded = false;
  w->nest_reported = false;
  w->limit = (prog->match_options & REGEX_LOW_STEPS) ? REGEX_LOW_MAX_STEPS : REGEX_MAX_STEPS;
  w->stack = w->first_stack;
  w->path = w->first_path;
  w->capacity = WALK_INLINE;
  w->sp = 0;
  bool empty_ok = (prog->flags & REGEX_FLAG_EMPTY) != 0;

  long best = -1, best_prev = -1, end = -1;
  if (!(options & REGEX_BACKWARD)) {
    Skip skip;
    skip.prefix = prog->prefix_length > 0;
    skip.pairs = prog->filter && !(empty_ok && prog->nullable);
    skip.bol = skip.pairs && prog->bol_only;
    bool skipping = skip.prefix || skip.pairs;
    long p = 0, prev = -1;
    while (p <= length) {
      if (skipping && p < length - 1) {
        long q = next_candidate(w, skip, p);
        if (q > p) {
          long a = q >= length ? length : align(w, p, q, &prev);
          if (q >= length) prev = length > 0 ? rx_prev_start(w->t, length, length, w->bytes) : -1;
          p = a;
          if (a != q) continue;
        }
      }
      long f = attempt(w, p, prev);
      if (f == -2) break;
      if (f >= 0 && (f != p || empty_ok)) {
        best = p;
        best_prev = prev;
        end = f;
        break;
      }
      if (p >= length) break;
      prev = p;
      p += rx_read(w->t, p, length, w->bytes).length;
    }
  } else {
    Boundaries segment = {nullptr, 0, 0};
    long cur = length;
    bool have = false, stop = false;
    // The range end first, then every boundary below it.
    long cur_prev = cur > 0 ? rx_prev_start(w->t, cur, length, w->bytes) : -1;
    long f = attempt(w, cur, cur_prev);
    if (f == -2)
      stop = true;
    else if (f >= 0 && (f != cur || empty_ok)) {
      have = true;
      best = cur;
      best_prev = cur_prev;
      end = f;
      stop = empty_ok;
    }
    while (!stop && cur > 0) {
      if (!segment_before(w, cur, &segment)) break;
      for (int i = segment.count - 1; i >= 0 && !stop; --i) {
        long p = segment.list[i];
        long prev = i > 0   ? segment.list[i - 1]
                    : p > 0 ? rx_prev_start(w->t, p, length, w->bytes)
                            : -1;
        f = attempt(w, p, prev);
        if (f == -2) {
          have = false;
          stop = true;
          break;
        }
        bool matched = f >= 0 && (f != p || empty_ok);
        if (!matched) {
          stop = have;
        } else if (!have) {
          have = true;
          best = p;
          best_prev = prev;
          end = f;
          stop = empty_ok;
        } else if (f == end) {
          best = p;
          best_prev = prev;
        } else {
          stop = true;
        }
      }
      cur = segment.list[0];
    }
    free(segment.list);
    if (!have) best = -1;
  }

  const char* result = nullptr;
  if (best >= 0 && !w->abort && capture(w, best, best_prev, end)) {
    prog->text = text;
    for (int k = 0; k < REGEX_TAG_SLOTS; ++k) {
      prog->tag_begin[k] = w->tag_begin[k];
      prog->tag_end[k] = w->tag_end[k];
      if (w->tag_begin[k] >= 0)
        prog->tag_text[k] = copy_bytes(w->t + w->tag_begin[k], w->tag_end[k] - w->tag_begin[k]);
    }
    if (out_length) *out_length = end - best;
    result = text + best;
  }
  if (w->stack != w->first_stack) free(w->stack);
  if (w->path != w->first_path) free(w->path);
  free(w);
  return result;
}

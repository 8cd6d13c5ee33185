// The Text object: handle pool, gap buffer, growth, line navigation, line index and notifications.
//
// Gap rule in line mode: after every operation the gap stands at the end of the text, at a line
// start, or (lines longer than 0xFFFF bytes only) in front of a byte below 0x40. Insertions into
// the middle of a line therefore keep the gap at the line start and slide the line's head down
// into the gap; appending at the end is a plain copy.

#include "core/text.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/text_fault.h"

// ---- storage allocation (with fault injection for tests) ----

static int g_fail_countdown = -1;

void text_fail_alloc_after(int n) {
  g_fail_countdown = n < 0 ? -1 : n;
}

static bool injected_failure() {
  if (g_fail_countdown < 0) return false;
  if (g_fail_countdown <= 1) {
    g_fail_countdown = -1;
    return true;
  }
  --g_fail_countdown;
  return false;
}

static char* store_realloc(char* p, int64_t capacity) {
  if (injected_failure()) return nullptr;
  if (capacity < 0 || (uint64_t)capacity > (uint64_t)PTRDIFF_MAX - 2) return nullptr;
  return (char*)realloc(p, (size_t)capacity + 2);
}

// ---- debug output and hooks ----

static void debug_to_stderr(const char* message) {
  fputs(message, stderr);
}
static TextDebugFn g_debug = debug_to_stderr;
void text_set_debug(TextDebugFn fn) {
  g_debug = fn ? fn : debug_to_stderr;
}

static TextFileHooks g_file_hooks;
void text_set_file_hooks(const TextFileHooks* hooks) {
  if (hooks)
    g_file_hooks = *hooks;
  else
    g_file_hooks = TextFileHooks{};
}

// ---- the handle pool ----

enum { POOL_SLOTS = 256 };

struct TextBlock {
  int slots;
  int free;
  int hint;
  TextBlock* next;
  const Text* end;  // just past the last slot
  Text items[POOL_SLOTS];
};

// The lock guards slot allocation and release. Blocks are never given back and a block's slot
// area never changes once it is published, so the handle test walks the list without the lock.
static std::mutex g_pool_lock;
static std::atomic<TextBlock*> g_blocks;  // newest first

static Text* pool_take() {
  std::lock_guard<std::mutex> guard(g_pool_lock);
  TextBlock* b = g_blocks.load(std::memory_order_relaxed);
  for (; b; b = b->next) {
    if (b->free == 0) continue;
    for (int pass = 0; pass < 2; ++pass) {
      if (pass == 1) b->hint = 0;
      for (int i = b->hint; i < b->slots; ++i) {
        if (!(b->items[i].flags & TX_IN_USE)) {
          b->hint = i + 1;
          b->free--;
          Text* t = &b->items[i];
          memset((void*)t, 0, sizeof(Text));
          t->flags = TX_IN_USE | TX_SPLIT_LONG;
          return t;
        }
      }
    }
  }
  b = (TextBlock*)calloc(1, sizeof(TextBlock));
  if (!b) return nullptr;
  b->slots = POOL_SLOTS;
  b->free = POOL_SLOTS - 1;
  b->hint = 1;
  b->end = b->items + POOL_SLOTS;
  b->next = g_blocks.load(std::memory_order_relaxed);
  g_blocks.store(b, std::memory_order_release);
  b->items[0].flags = TX_IN_USE | TX_SPLIT_LONG;
  return &b->items[0];
}

// The block holding p in its slot area, or null.
static TextBlock* block_of(const void* p) {
  const char* c = (const char*)p;
  for (TextBlock* b = g_blocks.load(std::memory_order_acquire); b; b = b->next)
    if (c >= (const char*)b->items && c < (const char*)b->end) return b;
  return nullptr;
}

bool text_is_handle(const void* p) {
  return p && block_of(p) != nullptr;
}

bool text_is_live(const void* p) {
  TextBlock* b = p ? block_of(p) : nullptr;
  if (!b || ((const char*)p - (const char*)b->items) % sizeof(Text) != 0) return false;
  return (((const Text*)p)->flags & TX_IN_USE) != 0;
}

// A Text argument as a handle, or null for a plain string (or a pointer between slots).
static const Text* arg_text(TextArg a) {
  if (!a.p) return nullptr;
  TextBlock* b = block_of(a.p);
  if (!b) return nullptr;
  if (((const char*)a.p - (const char*)b->items) % sizeof(Text) != 0) return nullptr;
  return (const Text*)a.p;
}

static void pool_give_back(Text* t) {
  std::lock_guard<std::mutex> guard(g_pool_lock);
  TextBlock* b = block_of(t);
  t->flags = 0;
  if (b) b->free++;
}

// ---- gap buffer basics ----

static inline int64_t gap_size(const Text* t) {
  return t->gap_end - t->gap_start;
}
static inline int64_t len(const Text* t) {
  return t->buffer ? t->capacity - gap_size(t) : 0;
}
static inline bool gap_at_end(const Text* t) {
  return t->gap_end == t->capacity;
}
static inline int64_t phys(const Text* t, int64_t a) {
  return (a < t->gap_start || gap_at_end(t)) ? a : a + gap_size(t);
}
static inline int64_t logical(const Text* t, int64_t p) {
  return p < t->gap_end ? p : t->gap_start + (p - t->gap_end);
}
static inline unsigned char byte_at(const Text* t, int64_t a) {
  return (unsigned char)t->buffer[phys(t, a)];
}
static inline int64_t cur(const Text* t) {
  return (t->buffer && t->cursor >= 0) ? logical(t, t->cursor) : -1;
}
static inline void set_cur(Text* t, int64_t a) {
  t->cursor = a < 0 ? -1 : phys(t, a);
}
static inline bool record_mode(const Text* t) {
  return t->record_size != 0;
}
static inline bool cr_mode(const Text* t) {
  return (t->flags & TX_CR_MODE) != 0;
}
static inline void nul_gap(Text* t) {
  if (t->gap_start < t->gap_end) t->buffer[t->gap_start] = 0;
}

// Moves the gap so that it begins at logical position a (0..length); the cursor keeps its place.
static void gap_to(Text* t, int64_t a) {
  int64_t c = cur(t);
  char* b = t->buffer;
  if (a < t->gap_start) {
    int64_t k = t->gap_start - a;
    memmove(b + t->gap_end - k, b + a, (size_t)k);
    t->gap_start = a;
    t->gap_end -= k;
  } else if (a > t->gap_start) {
    int64_t k = a - t->gap_start;
    memmove(b + t->gap_start, b + t->gap_end, (size_t)k);
    t->gap_start += k;
    t->gap_end += k;
  }
  nul_gap(t);
  set_cur(t, c);
}

// Last occurrence of c in [p, p + n), like memrchr (which only glibc has): eight bytes at a time.
static const char* rfind_byte(const char* p, int64_t n, char c) {
#if defined(__GLIBC__)
  return (const char*)memrchr(p, c, (size_t)n);
#else
  const uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  const uint64_t pattern = ones * (unsigned char)c;
  while (n >= 8) {
    uint64_t w;
    memcpy(&w, p + n - 8, 8);
    uint64_t x = w ^ pattern;  // a zero byte where c is
    if ((x - ones) & ~x & highs) break;
    n -= 8;
  }
  while (n > 0) {
    if (p[--n] == c) return p + n;
  }
  return nullptr;
#endif
}

// Is logical position a (0..length) the start of a line?
static bool is_line_start(const Text* t, int64_t a) {
  if (a <= 0) return true;
  unsigned char prev = byte_at(t, a - 1);
  if (prev == '\n') return true;
  return prev == '\r' && cr_mode(t) && (a >= len(t) || byte_at(t, a) != '\n');
}

// Logical index of the last byte before a that ends a line, or -1.
static int64_t last_line_end_before(const Text* t, int64_t a) {
  // Segments of [0, a) in the buffer, the later one first.
  struct Seg {
    int64_t logical, physical, n;
  } segs[2];
  int nseg = 0;
  if (a > t->gap_start && !gap_at_end(t))
    segs[nseg++] = {t->gap_start, t->gap_end, a - t->gap_start};
  int64_t before = a < t->gap_start ? a : t->gap_start;
  if (gap_at_end(t)) before = a;
  segs[nseg++] = {0, 0, before};
  for (int s = 0; s < nseg; ++s) {
    const char* base = t->buffer + segs[s].physical;
    int64_t n = segs[s].n;
    if (!cr_mode(t)) {
      const char* hit = rfind_byte(base, n, '\n');
      if (hit) return segs[s].logical + (hit - base);
      continue;
    }
    for (int64_t i = n - 1; i >= 0; --i) {
      int64_t q = segs[s].logical + i;
      if (base[i] == '\n') return q;
      if (base[i] == '\r' && is_line_start(t, q + 1)) return q;
    }
  }
  return -1;
}

static int64_t line_start_of(const Text* t, int64_t a) {
  return last_line_end_before(t, a) + 1;
}

// Logical position just past the line end of the line holding a, or -1 when the line has none.
static int64_t line_end_after(const Text* t, int64_t a) {
  int64_t n = len(t);
  while (a < n) {
    // Scan the contiguous segment holding a.
    int64_t p = phys(t, a);
    int64_t seg_end = (a < t->gap_start) ? t->gap_start : t->capacity;
    const char* base = t->buffer + p;
    int64_t m = seg_end - p;
    if (!cr_mode(t)) {
      const char* hit = (const char*)memchr(base, '\n', (size_t)m);
      if (hit) return a + (hit - base) + 1;
    } else {
      for (int64_t i = 0; i < m; ++i) {
        if (base[i] == '\n') return a + i + 1;
        if (base[i] == '\r' && is_line_start(t, a + i + 1)) return a + i + 1;
      }
    }
    a += m;
  }
  return -1;
}

// Line mode: moves the gap to the start of the line holding a. A line longer than 0xFFFF bytes
// may instead be split in front of a byte below 0x40 (never the second byte of a character).
static void gap_to_line(Text* t, int64_t a, bool allow_split) {
  int64_t line = line_start_of(t, a);
  int64_t target = line;
  if (allow_split && (t->flags & TX_SPLIT_LONG) && a - line > 0xFFFF) {
    // Keep an earlier split point of this line if it is still close enough.
    if (t->gap_start > line && t->gap_start <= a && a - t->gap_start <= 0xFFFF && !gap_at_end(t) &&
        (unsigned char)t->buffer[t->gap_end] < 0x40)
      return;
    int64_t from = a - 4096;
    int64_t count = (a - line) - 4096;
    for (int64_t q = from; q > from - count; --q) {
      if (byte_at(t, q) < 0x40) {
        target = q;
        break;
      }
    }
  }
  if (target == t->gap_start) return;
  gap_to(t, target);
  if (target != line && t->view_ops && t->view_ops->changed)
    t->view_ops->changed(t->view, t, phys(t, target), 0, TX_NOTE_RELAYOUT);
}

// After an edit the byte around the gap may have changed (a CR met an LF in CR mode): put the
// gap back on a line start.
static void settle_gap(Text* t) {
  if (record_mode(t) || gap_at_end(t) || is_line_start(t, t->gap_start)) return;
  if ((t->flags & TX_SPLIT_LONG) && (unsigned char)t->buffer[t->gap_end] < 0x40 &&
      t->buffer[t->gap_end] != '\n' && t->gap_start - line_start_of(t, t->gap_start) > 0xFFFF)
    return;
  gap_to(t, line_start_of(t, t->gap_start));
}

// Makes the gap at least n bytes wide, keeping its place. False (and the out-of-memory flag) when
// storage cannot be had; the text is then unchanged.
static bool grow(Text* t, int64_t n) {
  int64_t length = len(t);
  int64_t need = length + n;
  if (t->buffer && t->capacity >= need) return true;
  int64_t inc = t->growth_increment ? t->growth_increment : 8192;
  int64_t cap = 0;
  if (!t->buffer || length == 0) {
    cap = need + (t->initial_increment ? t->initial_increment : 8192);
  } else if (record_mode(t) && t->owner && (t->flags & TX_INDEX_20) &&
             (int64_t)t->record_size * (len(t->owner) / 20) > need) {
    cap = (int64_t)t->record_size * (len(t->owner) / 20);
  } else if (record_mode(t) && t->owner && (t->flags & TX_INDEX_10) &&
             (int64_t)t->record_size * (len(t->owner) / 10) >= need) {
    cap = (int64_t)t->record_size * (len(t->owner) / 10);
  } else if (t->capacity <= 500000) {
    cap = need + inc;
  } else {
    int64_t step = inc;
    if (step < 250000) step = 250000;
    if (step < t->capacity / 10) step = t->capacity / 10;
    cap = need + step;
  }
  int64_t c = cur(t);
  char* b = store_realloc(t->buffer, cap);
  if (!b) {
    t->flags |= TX_OUT_OF_MEMORY;
    return false;
  }
  if (!t->buffer) {
    t->gap_start = t->gap_end = t->capacity = 0;
    if (c < 0) c = 0;
  }
  int64_t after = t->capacity - t->gap_end;
  memmove(b + cap - after, b + t->gap_end, (size_t)after);
  t->buffer = b;
  t->gap_end = cap - after;
  t->capacity = cap;
  b[cap] = b[cap + 1] = 0;
  nul_gap(t);
  set_cur(t, c);
  return true;
}

static void touch(Text* t) {
  if (t->flags & TX_NO_TRACK) return;
  t->flags |= TX_MODIFIED;
  t->mod_count++;
}

static bool may_change(Text* t) {
  if (!t || (t->lock_level & 15)) return false;
  if (t->view_ops && t->view_ops->allow_change && !t->view_ops->allow_change(t->view, t))
    return false;
  return true;
}

// ---- the line index ----
//
// A record-array companion of 8-byte entries: every line start in [0, length], 0 included (so the
// line count is the entry count, less one when the last entry is the length itself). Entries in
// front of the index's gap hold positions; entries behind it hold (owner length - position), so
// an edit shifts every later line start for free once the index gap stands at the edit.

static inline int64_t* ix_entries(const Text* x) {
  return (int64_t*)x->buffer;
}
static inline int64_t ix_count(const Text* x) {
  return len(x) / 8;
}
static inline int64_t ix_gap(const Text* x) {
  return x->gap_start / 8;
}

static int64_t ix_get(const Text* x, int64_t k, int64_t owner_len) {
  int64_t g = ix_gap(x);
  if (k < g) return ix_entries(x)[k];
  return owner_len - ix_entries(x)[x->gap_end / 8 + (k - g)];
}

// First entry index whose line start is >= a.
static int64_t ix_lower_bound(const Text* x, int64_t a, int64_t owner_len) {
  int64_t lo = 0, hi = ix_count(x);
  while (lo < hi) {
    int64_t mid = lo + (hi - lo) / 2;
    if (ix_get(x, mid, owner_len) < a)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

static void ix_move_gap(Text* x, int64_t k, int64_t owner_len) {
  int64_t g = ix_gap(x);
  if (k == g) return;
  gap_to(x, k * 8);
  int64_t* e = ix_entries(x);
  if (k < g) {  // entries k..g-1 went behind the gap
    int64_t first = x->gap_end / 8;
    for (int64_t i = 0; i < g - k; ++i) e[first + i] = owner_len - e[first + i];
  } else {  // entries g..k-1 came in front of it
    for (int64_t i = g; i < k; ++i) e[i] = owner_len - e[i];
  }
}

static bool ix_append_at_gap(Text* x, int64_t pos) {
  if (x->capacity - len(x) < 8 && !grow(x, 8)) return false;
  memcpy(x->buffer + x->gap_start, &pos, 8);
  x->gap_start += 8;
  return true;
}

static void ix_drop(Text* t) {
  Text* x = t->line_index;
  t->line_index = nullptr;
  text_free(x);
}

// Rescans owner positions [from, to] and adds the line starts among them at the index gap.
static void ix_add_starts(Text* t, int64_t from, int64_t to) {
  Text* x = t->line_index;
  int64_t n = len(t);
  for (int64_t q = from; q <= to && q <= n;) {
    if (is_line_start(t, q) && !ix_append_at_gap(x, q)) {
      ix_drop(t);
      return;
    }
    if (q == to) break;
    // Jump to the next candidate: just past the next line end.
    int64_t e = line_end_after(t, q);
    if (e < 0 || e > to) break;
    q = e;
  }
}

static void ix_build(Text* t) {
  Text* x = t->line_index;
  x->gap_start = 0;
  x->gap_end = x->capacity;
  nul_gap(x);
  ix_add_starts(t, 0, len(t));
}

// Before inserting at a: the index gap goes to the edit and the entry at a is taken out.
static void ix_before_insert(Text* t, int64_t a) {
  Text* x = t->line_index;
  if (!x) return;
  int64_t n = len(t);
  int64_t k = ix_lower_bound(x, a, n);
  ix_move_gap(x, k, n);
  if (k < ix_count(x) && ix_get(x, k, n) == a) x->gap_end += 8;
}

static void ix_after_insert(Text* t, int64_t a, int64_t n) {
  if (t->line_index) ix_add_starts(t, a, a + n);
}

static void ix_before_delete(Text* t, int64_t a, int64_t n) {
  Text* x = t->line_index;
  if (!x) return;
  int64_t length = len(t);
  int64_t k = ix_lower_bound(x, a, length);
  ix_move_gap(x, k, length);
  while (k < ix_count(x) && ix_get(x, k, length) <= a + n) x->gap_end += 8;
}

static void ix_after_delete(Text* t, int64_t a) {
  if (t->line_index) ix_add_starts(t, a, a);
}

Text* text_line_index(Text* t) {
  if (!t || record_mode(t)) return nullptr;
  if (t->line_index) return t->line_index;
  Text* x = pool_take();
  if (!x) return nullptr;
  x->record_size = 8;
  x->flags |= TX_INDEX_10 | TX_NO_TRACK;
  x->growth_increment = 2000 * 8;
  x->owner = t;
  x->refs = 1;
  int64_t records = len(t) / 10 + 1;
  char* b = store_realloc(nullptr, records * 8);
  if (!b) {
    t->flags |= TX_OUT_OF_MEMORY;
    text_free(x);
    return nullptr;
  }
  b[records * 8] = b[records * 8 + 1] = 0;
  x->buffer = b;
  x->capacity = x->gap_end = records * 8;
  t->line_index = x;
  ix_build(t);
  return t->line_index;
}

// ---- notifications ----

static void marks_inserted(Text* t, int64_t a, int64_t n) {
  TextMarks* m = t->marks;
  if (!m) return;
  for (int i = 0; i < m->count; ++i)
    if (m->pos[i] > a) m->pos[i] += n;
}

static void marks_deleting(Text* t, int64_t a, int64_t n) {
  TextMarks* m = t->marks;
  if (!m) return;
  for (int i = 0; i < m->count; ++i) {
    if (m->pos[i] > a + n)
      m->pos[i] -= n;
    else if (m->pos[i] > a)
      m->pos[i] = a;
  }
}

static void view_note(Text* t, int64_t physical, int64_t n, int mode) {
  if (t->view_ops && t->view_ops->changed) t->view_ops->changed(t->view, t, physical, n, mode);
}

// ---- creation and lifetime ----

static Text* new_with(int64_t capacity) {
  Text* t = pool_take();
  if (!t) return nullptr;
  char* b = store_realloc(nullptr, capacity);
  if (!b) {
    pool_give_back(t);
    return nullptr;
  }
  memset(b, 0, (size_t)capacity + 2);
  t->buffer = b;
  t->capacity = t->gap_end = capacity;
  t->refs = 1;
  t->flags |= TX_FROM_NEW;
  return t;
}

Text* text_new() {
  return new_with(250);
}
Text* text_new_large() {
  return new_with(65536);
}

bool text_reset_capacity(Text* t, int64_t n) {
  if (!t || (t->lock_level & 15)) return false;
  int64_t old = len(t);
  if (old > 0) view_note(t, 0, old, TX_NOTE_DELETING);
  free(t->buffer);
  t->buffer = nullptr;
  t->capacity = t->gap_start = t->gap_end = 0;
  t->cursor = -1;
  if (t->marks)
    for (int i = 0; i < t->marks->count; ++i) t->marks->pos[i] = 0;
  if (n >= 0) {
    char* b = store_realloc(nullptr, n);
    if (b) {
      memset(b, 0, (size_t)n + 2);
      t->buffer = b;
      t->capacity = t->gap_end = n;
      t->cursor = 0;
    } else {
      t->flags |= TX_OUT_OF_MEMORY;
    }
  }
  if (t->line_index) ix_build(t);
  if (old > 0) {
    touch(t);
    view_note(t, 0, old, TX_NOTE_DELETED);
  }
  return t->buffer != nullptr;
}

Text* text_retain(Text* t) {
  if (t && t->refs < 255) t->refs++;  // a saturated count keeps the Text forever
  return t;
}

static void report_invalid(const void* p) {
  char msg[80];
  snprintf(msg, sizeof msg, "無効なtextハンドル(%08lX)\n", (unsigned long)(uintptr_t)p);
  g_debug(msg);
}

static void destroy(Text* t) {
  bool modified = (t->flags & TX_MODIFIED) != 0;
  bool calls = t->command && (t->command_kind == TX_CMD_CALL || t->command_kind == TX_CMD_CALL3);
  if (t->file_handle && modified && g_file_hooks.write_back) g_file_hooks.write_back(t);
  if (calls) t->command(t, ID("DELETE"), 0, 0);
  if ((t->flags & TX_SAVE_ON_FREE) && modified) {
    if (calls)
      t->command(t, ID("SAVE"), 0, 0);
    else if (t->command_kind != TX_CMD_IGNORE && g_file_hooks.save)
      g_file_hooks.save(t);
  }
  free(t->aux);
  if (t->line_index) ix_drop(t);
  if (t->marks) {
    free(t->marks->pos);
    free(t->marks);
  }
  t->view = nullptr;
  t->view_ops = nullptr;
  free(t->buffer);
  t->buffer = nullptr;
  if ((t->file_handle || t->file_data) && g_file_hooks.release) g_file_hooks.release(t);
  free(t->file_name);
  pool_give_back(t);
}

void text_free(Text* t) {
  if (!t) return;
  bool valid;
  {
    std::lock_guard<std::mutex> guard(g_pool_lock);
    TextBlock* b = block_of(t);
    valid =
        b && ((const char*)t - (const char*)b->items) % sizeof(Text) == 0 && (t->flags & TX_IN_USE);
  }
  if (!valid) {
    report_invalid(t);
    return;
  }
  if (t->refs == 255) return;
  if (t->refs > 1) {
    t->refs--;
    return;
  }
  t->refs = 0;
  destroy(t);
}

void text_lock(Text* t) {
  if (t && (t->lock_level & 15) < 15) t->lock_level++;
}
void text_unlock(Text* t) {
  if (t && (t->lock_level & 15) > 0) t->lock_level--;
}

void text_set_save_on_free(Text* t, bool on) {
  if (!t) return;
  if (on)
    t->flags |= TX_SAVE_ON_FREE;
  else
    t->flags &= ~(uint32_t)TX_SAVE_ON_FREE;
}

intptr_t text_prop(const Text* t, PackedId id) {
  if (!t || !id) return 0;
  for (const TextProp& p : t->props)
    if (p.id == id) return p.value;
  return 0;
}

bool text_set_prop(Text* t, PackedId id, intptr_t value) {
  if (!t || !id) return false;
  TextProp* empty = nullptr;
  for (TextProp& p : t->props) {
    if (p.id == id) {
      p.value = value;
      if (!value) p.id = 0;  // 0 is the same as absent: free the slot
      return true;
    }
    if (!p.id && !empty) empty = &p;
  }
  if (!value) return true;
  if (!empty) return false;
  empty->id = id;
  empty->value = value;
  return true;
}

// ---- size and cursor ----

int64_t text_length(const Text* t) {
  return t ? len(t) : 0;
}

TextPos text_tell(const Text* t) {
  return t ? cur(t) : -1;
}

bool text_seek(Text* t, TextPos pos) {
  if (!t || !t->buffer || pos < 0 || pos > len(t)) return false;
  set_cur(t, pos);
  return true;
}

bool text_skip(Text* t, int64_t n) {
  if (!t) return false;
  int64_t c = cur(t);
  if (c < 0) return false;
  return text_seek(t, c + n);
}

bool text_skip_char(Text* t) {
  if (!t) return false;
  int64_t c = cur(t);
  if (c < 0 || c >= len(t)) return false;
  int64_t n = char_len(t->buffer + t->cursor);
  if (c + n > len(t)) n = len(t) - c;
  set_cur(t, c + n);
  return true;
}

static int64_t top_pos(Text* t) {
  if ((t->flags & TX_RESTRICTED) && t->view_ops && t->view_ops->restricted_start) {
    int64_t s = t->view_ops->restricted_start(t->view, t);
    if (s >= 0 && s <= len(t)) return s;
  }
  return 0;
}

void text_top(Text* t) {
  if (!t) return;
  if (!t->buffer) {
    t->cursor = -1;
    return;
  }
  set_cur(t, top_pos(t));
}

void text_bottom(Text* t) {
  if (t && t->buffer) set_cur(t, len(t));
}

TextPos text_pos_of_physical(const Text* t, int64_t physical) {
  if (!t || !t->buffer || physical < 0 || physical > t->capacity) return -1;
  return logical(t, physical);
}

int64_t text_physical_of_pos(const Text* t, TextPos pos) {
  if (!t || !t->buffer || pos < 0 || pos > len(t)) return -1;
  return phys(t, pos);
}

TextPos text_pos_of_ptr(const Text* t, const char* p) {
  if (!t || !t->buffer || p < t->buffer || p > t->buffer + t->capacity) return -1;
  int64_t off = p - t->buffer;
  if (off > t->gap_start && off < t->gap_end) return -1;  // inside the gap
  return logical(t, off);
}

bool text_seek_ptr(Text* t, const char* p) {
  TextPos a = text_pos_of_ptr(t, p);
  if (a < 0) return false;
  set_cur(t, a);
  return true;
}

int text_byte_at(const Text* t, TextPos pos) {
  if (!t || !t->buffer || pos < 0 || pos >= len(t)) return -1;
  return byte_at(t, pos);
}

// ---- reading ----

const char* text_cstr(Text* t) {
  if (!t || !t->buffer) return "";
  if (!gap_at_end(t)) gap_to(t, len(t));
  int64_t n = len(t);
  t->buffer[n] = 0;
  t->buffer[n + 1] = 0;
  return t->buffer;
}

// Start of the cursor's line, with the whole line on one side of the gap.
static int64_t cursor_line(Text* t) {
  int64_t c = cur(t);
  if (c < 0) return -1;
  if (record_mode(t)) return c;
  int64_t start = line_start_of(t, c);
  // Only a split long line can straddle the gap: close it over that line.
  if (t->gap_start > start && !gap_at_end(t)) {
    int64_t end = line_end_after(t, start);
    if (end < 0 || end > t->gap_start) gap_to(t, start);
  }
  return start;
}

const char* text_line_ptr(Text* t) {
  if (!t || !t->buffer) return "";
  int64_t s = cursor_line(t);
  if (s < 0) return "";
  return t->buffer + phys(t, s);
}

const char* text_view(TextArg src, int64_t* length) {
  const Text* ct = arg_text(src);
  if (!ct) {
    const char* s = src.p ? (const char*)src.p : "";
    if (length) *length = (int64_t)strlen(s);
    return s;
  }
  Text* t = const_cast<Text*>(ct);
  if (length) *length = 0;
  if (t->flags & TX_WHOLE) {
    if (length) *length = len(t);
    return text_cstr(t);
  }
  int64_t s = cursor_line(t);
  if (s < 0) return "";
  if (record_mode(t)) {
    int64_t n = len(t) - s < (int64_t)t->record_size ? len(t) - s : t->record_size;
    if (length) *length = n;
    return t->buffer + phys(t, s);
  }
  int64_t e = line_end_after(t, s);
  int64_t n = (e < 0 ? len(t) : e) - s;
  const char* p = t->buffer + phys(t, s);
  if (n > 0 && p[n - 1] == '\n') {
    --n;
    if (n > 0 && p[n - 1] == '\r') --n;
  } else if (n > 0 && p[n - 1] == '\r' && e >= 0) {
    --n;  // a lone CR in CR mode
  }
  if (length) *length = n;
  return p;
}

int64_t text_copy_out(const Text* t, TextPos pos, char* dst, int64_t n) {
  if (!t || !t->buffer || !dst || pos < 0 || n <= 0) return 0;
  int64_t length = len(t);
  if (pos >= length) return 0;
  if (n > length - pos) n = length - pos;
  int64_t done = 0;
  if (pos < t->gap_start) {
    int64_t k = t->gap_start - pos < n ? t->gap_start - pos : n;
    memcpy(dst, t->buffer + pos, (size_t)k);
    done = k;
  }
  if (done < n) memcpy(dst + done, t->buffer + phys(t, pos + done), (size_t)(n - done));
  return n;
}

// ---- line navigation ----

TextPos text_line_start(Text* t, TextPos pos) {
  if (!t || !t->buffer || pos < 0 || pos > len(t)) return -1;
  if (record_mode(t)) return pos - pos % t->record_size;
  return line_start_of(t, pos);
}

TextPos text_next_line_pos(Text* t, TextPos pos) {
  if (!t || !t->buffer || pos < 0 || pos > len(t)) return -1;
  if (record_mode(t)) {
    int64_t next = pos - pos % t->record_size + t->record_size;
    return next <= len(t) ? next : -1;
  }
  return line_end_after(t, pos);
}

int64_t text_line_count(Text* t) {
  if (!t || !t->buffer) return 0;
  int64_t n = len(t);
  if (record_mode(t)) return n / t->record_size;
  if (Text* x = t->line_index) {
    int64_t k = ix_count(x);
    return (k > 0 && ix_get(x, k - 1, n) == n) ? k - 1 : k;
  }
  int64_t count = 0;
  for (int64_t a = 0; a < n;) {
    ++count;
    a = line_end_after(t, a);
    if (a < 0) break;
  }
  return count;
}

TextPos text_line_offset(Text* t, int64_t line) {
  if (!t || !t->buffer) return -1;
  int64_t n = len(t);
  if (line == -1) return n;
  if (line < 1) return -1;
  if (record_mode(t)) {
    int64_t a = (line - 1) * (int64_t)t->record_size;
    return a < n ? a : -1;
  }
  if (Text* x = t->line_index) {
    if (line > ix_count(x)) return -1;
    int64_t a = ix_get(x, line - 1, n);
    return a < n ? a : -1;
  }
  int64_t a = 0;
  for (int64_t i = 1; i < line; ++i) {
    a = line_end_after(t, a);
    if (a < 0) return -1;
  }
  return a < n ? a : -1;
}

// ---- writing ----

// Opens n bytes of room at logical position a and returns the physical offset to write at, or
// -1 when storage cannot be had (nothing changed then). The line index is prepared for the edit.
static int64_t make_room(Text* t, int64_t a, int64_t n) {
  if ((!t->buffer || t->capacity - len(t) < n) && !grow(t, n)) return -1;
  if (record_mode(t) || a == len(t)) {
    // Records go anywhere; at the end of a line text the gap goes to the end (a plain copy).
    if (a != t->gap_start) gap_to(t, a);
    ix_before_insert(t, a);
    int64_t w = t->gap_start;
    t->gap_start += n;
    return w;
  }
  gap_to_line(t, a, true);
  ix_before_insert(t, a);
  int64_t head = a - t->gap_start;  // bytes of the line between the gap and a
  memmove(t->buffer + t->gap_end - n, t->buffer + t->gap_end, (size_t)head);
  t->gap_end -= n;
  return t->gap_end + head;
}

// The bytes of an insertion source: a Text's whole contents or its cursor line, or a string.
struct Source {
  const char* p;
  int64_t n;
  const Text* whole;  // copied gap-aware straight into the room
  char* owned;        // a copy when the source lies in the destination's storage
};

static bool resolve_source(Text* t, TextArg src, unsigned mode, int64_t length, Source* s) {
  s->owned = nullptr;
  s->whole = nullptr;
  const Text* st = arg_text(src);
  if (mode & TI_WHOLE) {
    if (st && st != t && !(mode & TI_LF_TO_CRLF)) {
      s->whole = st;
      s->p = nullptr;
      s->n = len(st);
      return true;
    }
    if (st) {
      s->n = len(st);
      s->owned = (char*)malloc((size_t)s->n + 1);
      if (!s->owned) {
        t->flags |= TX_OUT_OF_MEMORY;
        return false;
      }
      text_copy_out(st, 0, s->owned, s->n);
      s->p = s->owned;
      return true;
    }
    s->p = (const char*)src.p;
    s->n = (int64_t)strlen(s->p);
  } else if (mode & TI_RAW) {
    if (st) {
      Text* stm = const_cast<Text*>(st);
      s->p = (stm->flags & TX_WHOLE) ? text_cstr(stm) : text_line_ptr(stm);
      // A Text gives no more than what lies contiguously behind that pointer.
      int64_t avail = 0;
      if (stm->buffer) {
        int64_t off = s->p - stm->buffer;
        avail = off < stm->gap_end ? stm->gap_start - off : stm->capacity - off;
      }
      s->n = length < avail ? length : avail;
    } else {
      s->p = (const char*)src.p;
      s->n = length;
    }
  } else {
    s->p = text_view(src, &s->n);
  }
  if (s->n < 0) s->n = 0;
  uintptr_t sp = (uintptr_t)s->p, tb = (uintptr_t)t->buffer;
  if (t->buffer && s->n > 0 && sp >= tb && sp <= tb + (uintptr_t)t->capacity + 1) {
    s->owned = (char*)malloc((size_t)s->n);
    if (!s->owned) {
      t->flags |= TX_OUT_OF_MEMORY;
      return false;
    }
    memcpy(s->owned, s->p, (size_t)s->n);
    s->p = s->owned;
  }
  return true;
}

// Inserts raw bytes (already converted) at the cursor. Returns n, or 0 on refusal.
static int64_t insert_bytes(Text* t, const Source& s, int64_t n, bool convert, bool crlf_tail) {
  int64_t a = cur(t);
  if (a < 0) a = 0;
  int64_t w = make_room(t, a, n);
  if (w < 0) return 0;
  char* dst = t->buffer + w;
  if (convert) {
    char prev = 0;
    for (int64_t i = 0; i < s.n; ++i) {
      char ch = s.p[i];
      if (ch == '\n' && prev != '\r') *dst++ = '\r';
      *dst++ = ch;
      prev = ch;
    }
  } else if (s.whole) {
    text_copy_out(s.whole, 0, dst, s.n);
    dst += s.n;
  } else if (s.n > 0) {
    memcpy(dst, s.p, (size_t)s.n);
    dst += s.n;
  }
  if (crlf_tail) {
    *dst++ = '\r';
    *dst++ = '\n';
  }
  nul_gap(t);
  if (!record_mode(t)) settle_gap(t);
  touch(t);
  marks_inserted(t, a, n);
  ix_after_insert(t, a, n);
  view_note(t, phys(t, a), n, TX_NOTE_INSERTED);
  set_cur(t, a + n);
  return n;
}

int64_t text_insert(Text* t, TextArg src, unsigned mode, int64_t length) {
  if (!t || !src.p || !may_change(t)) return 0;
  Source s;
  if (!resolve_source(t, src, mode, length, &s)) return 0;
  int64_t n = s.n;
  bool convert = (mode & TI_LF_TO_CRLF) != 0;
  if (convert) {
    char prev = 0;
    for (int64_t i = 0; i < s.n; ++i) {
      if (s.p[i] == '\n' && prev != '\r') ++n;
      prev = s.p[i];
    }
  }
  if (mode & TI_CRLF) n += 2;
  int64_t done = 0;
  if (n > 0) done = insert_bytes(t, s, n, convert, (mode & TI_CRLF) != 0);
  free(s.owned);
  return done;
}

int64_t text_puts(Text* t, TextArg src) {
  if (!t || !src.p) return 0;
  if (record_mode(t)) {
    // One record: the source's line (or record, or the string), cut or padded with NULs to the
    // record size, so that nothing past the string or the line is read.
    int64_t n = 0;
    const char* p = text_view(src, &n);
    int64_t rs = (int64_t)t->record_size;
    char* record = (char*)calloc((size_t)rs, 1);
    if (!record) return 0;
    memcpy(record, p, (size_t)(n < rs ? n : rs));
    int64_t done = text_insert(t, record, TI_RAW, rs);
    free(record);
    return done;
  }
  return text_insert(t, src, TI_LF_TO_CRLF, 0);
}

Text* text_new_from(const char* s) {
  Text* t = text_new();
  if (!t || !s || !*s) return t;
  int64_t n = (int64_t)strlen(s);
  if (text_insert(t, s, TI_RAW, n) != n) {
    text_free(t);
    return nullptr;
  }
  return t;
}

char* text_take_cstr(Text* t) {
  if (!t) return nullptr;
  const char* s = text_cstr(t);
  size_t n = strlen(s) + 1;
  char* d = (char*)malloc(n);
  if (d) memcpy(d, s, n);
  text_free(t);
  return d;
}

int64_t text_write(Text* t, TextArg src, int64_t n) {
  if (n <= 0) return 0;
  return text_insert(t, src, TI_RAW, n);
}

int64_t text_put_text(Text* t, TextArg src) {
  return text_insert(t, src, TI_WHOLE, 0);
}

static int escape_unit(uint32_t unit, unsigned char* out) {
  out[0] = unit >= 0x8000 ? 0xA0 : 0x80;
  unsigned v = unit & 0x7FFF;
  out[1] = (unsigned char)(0x40 + v / 188);
  out[2] = (unsigned char)(0x40 + v % 188);
  return 3;
}

int64_t text_putc(Text* t, uint32_t code) {
  unsigned char b[6];
  int n;
  if (code < 0x100) {
    b[0] = (unsigned char)code;
    n = 1;
  } else if (code <= 0xFFFF) {
    b[0] = (unsigned char)(code >> 8);
    b[1] = (unsigned char)code;
    n = 2;
  } else if (code <= 0xFFFFFF) {
    b[0] = (unsigned char)(code >> 16);
    b[1] = (unsigned char)(code >> 8);
    b[2] = (unsigned char)code;
    n = 3;
  } else {
    n = escape_unit(code >> 16, b);
    n += escape_unit(code & 0xFFFF, b + 3);
  }
  return text_insert(t, (const char*)b, TI_RAW, n);
}

int64_t text_newline(Text* t) {
  return text_insert(t, "\r\n", TI_RAW, 2);
}

int64_t text_end_line(Text* t) {
  if (!t) return 0;
  int64_t c = cur(t);
  if (c <= 0 || is_line_start(t, c)) return 0;
  return text_newline(t);
}

// ---- deleting ----

int64_t text_delete(Text* t, int64_t n) {
  if (!t || !t->buffer || n <= 0 || !may_change(t)) return 0;
  int64_t a = cur(t);
  if (a < 0 || n > len(t) - a) return 0;
  marks_deleting(t, a, n);
  view_note(t, phys(t, a), n, TX_NOTE_DELETING);
  ix_before_delete(t, a, n);
  if (gap_at_end(t) && a + n == t->gap_start) {
    t->gap_start = a;  // cutting the end
  } else if (record_mode(t)) {
    gap_to(t, a);
    t->gap_end += n;
  } else {
    gap_to_line(t, a, true);
    int64_t head = a - t->gap_start;
    memmove(t->buffer + t->gap_end + n, t->buffer + t->gap_end, (size_t)head);
    t->gap_end += n;
  }
  nul_gap(t);
  if (!record_mode(t)) settle_gap(t);
  set_cur(t, a);
  touch(t);
  ix_after_delete(t, a);
  view_note(t, phys(t, a), n, TX_NOTE_DELETED);
  return n;
}

void text_clear(Text* t) {
  if (!t || !t->buffer) return;
  text_top(t);
  int64_t c = cur(t);
  if (c >= 0) text_delete(t, len(t) - c);
}

// ---- line-end tests ----

bool text_at_line_end(Text* t) {
  if (!t || !t->buffer) return false;
  int64_t c = cur(t);
  if (c < 0 || c >= len(t)) return false;
  unsigned char b = byte_at(t, c);
  if (b == '\n') return true;
  if (b != '\r') return false;
  if (c + 1 < len(t) && byte_at(t, c + 1) == '\n') return true;
  return cr_mode(t);
}

bool text_at_line_start(Text* t) {
  if (!t || !t->buffer) return false;
  int64_t c = cur(t);
  return c >= 0 && is_line_start(t, c);
}

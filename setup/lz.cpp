// The package codec. See lz.h for the stream format.
//
// The encoder's search rule (the output of every package depends on it, byte for byte): for input
// position i with bytes x y z ahead, the candidates are positions k in the 4098-byte window before
// i holding x, visited from the farthest. At a candidate: a distance below 3 ends the search; when
// k+1 does not hold y the next candidate is the first x at or after (next y after k) - 1; when k+2
// does not hold z, the first x at or after (next z after k+1) - 2; otherwise the three bytes match,
// the match is extended by up to min(distance - 3, 15) bytes (never past the input), replaces the
// best only when strictly longer, ends the search when it used all it was allowed, and the next
// candidate is the next x. The search ends after 257 visited candidates.
//
// Walking that rule directly costs up to 257 scans per position. This encoder gets the same answer
// from three facts: every position holding x y z in the window is visited, in order (the skips only
// jump over positions that cannot match); so a match's visit number is at least the number of
// matches up to it and at most the number of x's from the window start up to it; and the walk from
// a given position is the same for every i that has the same three bytes ahead. So the matches are
// scanned from the oldest along a hash chain; those within 257 x's of the window start surely
// count, those past the 257th match surely do not, and only when one in between is longer than
// the best is the walk taken, with its steps remembered per (position, x y z) in a cache and
// compressed from one match to the next.

#include "setup/lz.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/bytes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr uint32_t kWindow = 4098;
constexpr uint32_t kMaxVisits = 257;
constexpr uint32_t kMaxExtra = 15;
constexpr uint32_t kNone = 0xFFFFFFFFu;
// The per-position tables are rings: only positions inside the window are ever looked up.
constexpr uint32_t kRing = 8191;
// Hash buckets: the window holds at most 4098 trigrams, so 2^14 buckets keep chains short while
// head and tail (128 KiB together) stay in the cache and are cheap to clear per file.
constexpr int kHashBits = 14;
constexpr uint32_t kBuckets = 1u << kHashBits;

// The scrambling state of the keyed variant; without a key it does nothing.
struct KeyState {
  const LzKey* key;
  int lit_shift = 1, lit_word = 0, dist_shift = 3, dist_word = 0;

  uint8_t literal_mask() {
    uint8_t mask = (uint8_t)(key->word[lit_word] >> lit_shift);
    if (lit_shift + 5 > 24) {
      lit_shift -= 19;
      lit_word ^= 1;
    } else {
      lit_shift += 5;
    }
    return mask;
  }
  uint32_t distance_mask() {
    uint32_t mask = (key->word[dist_word] >> dist_shift) & 0xFFF;
    if (dist_shift + 5 > 20) {
      dist_shift -= 15;
      dist_word ^= 1;
    } else {
      dist_shift += 5;
    }
    return mask;
  }
};

// ---- Encoder ----

struct Emitter {
  uint8_t* out;
  size_t pos = LZ_HEADER;
  uint64_t acc = 0;
  int nbits = 0;
  KeyState ks;

  void put(uint32_t value, int count) {
    acc = (acc << count) | value;
    nbits += count;
    while (nbits >= 8) {
      nbits -= 8;
      out[pos++] = (uint8_t)(acc >> nbits);
    }
  }
  void literal(uint8_t b) {
    if (ks.key) b ^= ks.literal_mask();
    put(b, 9);
  }
  void match(uint32_t length, uint32_t distance) {
    uint32_t field = distance - 3;
    if (ks.key) field ^= ks.distance_mask();
    put(1u << 16 | (length - 3) << 12 | field, 17);
  }
  // The byte holding the next free bit is always present; the total counts it.
  size_t finish() {
    out[pos] = nbits ? (uint8_t)(acc << (8 - nbits)) : 0;
    return pos + 1;
  }
};

struct MemoEntry {
  uint64_t key;  // (position << 24 | x y z) + 1; 0 = empty
  uint32_t to;   // a later position on the walk with no match in between
  uint32_t steps;
};

struct Encoder {
  const uint8_t* d;
  uint32_t n;
  // Per hashed x y z: the newest position and the oldest one inside the window, side by side
  // so that both come in one cache line.
  uint32_t* ends;
  // Per position, side by side as the bucket scan reads them: the next position in its hash
  // bucket, and the number of earlier positions holding the same byte.
  uint32_t* links;
  uint16_t* bucket;  // per position: its hash bucket
  uint32_t count[256];
  uint32_t before_window[256];  // per byte: occurrences before the window start
  MemoEntry* memo;
  size_t memo_mask;
  uint32_t inserted = 0, window_start = 0;

  // Search state of the current position.
  uint32_t i, x, y, z, tri, tri_le, best_len, best_pos;

  uint32_t& next(uint32_t p) { return links[2 * (p & kRing)]; }
  uint32_t& rank(uint32_t p) { return links[2 * (p & kRing) + 1]; }
  uint32_t& head(uint32_t h) { return ends[2 * h]; }
  uint32_t& tail(uint32_t h) { return ends[2 * h + 1]; }

  static uint32_t hash(uint32_t t) { return (t * 2654435761u) >> (32 - kHashBits); }
  uint32_t trigram(uint32_t p) const { return (uint32_t)d[p] << 16 | d[p + 1] << 8 | d[p + 2]; }

  void advance_to(uint32_t pos) {
    for (; inserted < pos; ++inserted) {
      uint32_t p = inserted;
      rank(p) = count[d[p]]++;
      if (p + 2 < n) {
        uint32_t h = hash(trigram(p));
        bucket[(p)&kRing] = (uint16_t)h;
        next(p) = kNone;
        // A predecessor that has left the window keeps no link (its slot may be reused).
        if (head(h) != kNone && p - head(h) <= kRing) next(head(h)) = p;
        head(h) = p;
        if (tail(h) == kNone) tail(h) = p;
      }
    }
    uint32_t ws = pos > kWindow ? pos - kWindow : 0;
    for (; window_start < ws; ++window_start) {
      uint32_t q = window_start;
      ++before_window[d[q]];
      if (q + 2 < n) {
        uint32_t h = bucket[(q)&kRing];
        if (tail(h) == q) tail(h) = next(q);
      }
    }
  }

  // The bytes a match at k may compare beyond its first three.
  uint32_t allowed_at(uint32_t k) const {
    uint32_t a = i - k - 3;
    if (a > kMaxExtra) a = kMaxExtra;
    if (a > n - i - 3) a = n - i - 3;
    return a;
  }

  // Whether the match at k can be strictly longer than the best; false also means no nearer
  // match can (their allowance only shrinks) when *done is set.
  bool may_beat(uint32_t k, bool* done) const {
    *done = false;
    // The byte at the best length rejects most candidates and is the cheaper test; the end is
    // then found a little later, which changes nothing (nearer ones cannot beat the best).
    if (best_len != 0 && d[k + best_len] != d[i + best_len]) return false;
    if (3 + allowed_at(k) <= best_len) {
      *done = true;
      return false;
    }
    return true;
  }

  // Length of the match at k; *full when it used every byte it was allowed to compare.
  uint32_t extend(uint32_t k, bool* full) const {
    uint32_t allowed = i - k - 3;
    if (allowed > kMaxExtra) allowed = kMaxExtra;
    uint32_t j = 0;
    const uint8_t* a = d + k + 3;
    const uint8_t* b = d + i + 3;
    if (n - i - 3 >= 16) {
      // Eight bytes at a time; the first difference ends the match.
      uint64_t u, w;
      std::memcpy(&u, a, 8);
      std::memcpy(&w, b, 8);
      if (u == w) {
        std::memcpy(&u, a + 8, 8);
        std::memcpy(&w, b + 8, 8);
        j = u == w ? 16 : 8 + (uint32_t)__builtin_ctzll(u ^ w) / 8;
      } else {
        j = (uint32_t)__builtin_ctzll(u ^ w) / 8;
      }
      if (j > allowed) j = allowed;
    } else {
      if (allowed > n - i - 3) allowed = n - i - 3;
      while (j < allowed && a[j] == b[j]) ++j;
    }
    *full = j == allowed;
    return 3 + j;
  }

  // Whether position p (at most i - 3) holds x y z.
  bool holds(uint32_t p) const {
    uint32_t w;
    std::memcpy(&w, d + p, 4);
    return (w & 0xFFFFFF) == tri_le;
  }

  // First position at or after p (and before i) holding byte c, or kNone.
  uint32_t next_of(uint32_t p, uint8_t c) const {
    if (p >= i) return kNone;
    // The byte is mostly close by: look at the next eight bytes in a word before calling memchr.
    if (p + 8 <= n) {
      uint64_t w;
      std::memcpy(&w, d + p, 8);
      w ^= 0x0101010101010101ull * c;
      uint64_t zero = (w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull;
      if (zero) {
        uint32_t q = p + (uint32_t)__builtin_ctzll(zero) / 8;
        return q < i ? q : kNone;
      }
      if (p + 8 >= i) return kNone;
      p += 8;
    }
    const void* q = std::memchr(d + p, c, i - p);
    return q ? (uint32_t)((const uint8_t*)q - d) : kNone;
  }

  MemoEntry* memo_slot(uint64_t key) {
    uint64_t h = key * 0x9E3779B97F4A7C15ull;
    return &memo[(h >> 32) & memo_mask];
  }

  // One step of the walk from a candidate that is not a match.
  uint32_t step(uint32_t v) const {
    if (d[v + 1] != y) {
      uint32_t q = next_of(v + 1, (uint8_t)y);
      return q == kNone ? kNone : next_of(q - 1, (uint8_t)x);
    }
    uint32_t q = next_of(v + 2, (uint8_t)z);
    return q == kNone ? kNone : next_of(q - 2, (uint8_t)x);
  }

  // The rule itself, from the first candidate, counting visits; steps are remembered.
  void walk(uint32_t start) {
    enum { kPending = 512 };
    uint32_t pend_pos[kPending], pend_idx[kPending];
    int pending = 0;
    uint32_t v = start, idx = 1;
    auto settle = [&](uint32_t to, uint32_t to_idx) {
      for (int k = 0; k < pending; ++k) {
        uint64_t key = ((uint64_t)pend_pos[k] << 24 | tri) + 1;
        MemoEntry* e = memo_slot(key);
        e->key = key;
        e->to = to;
        e->steps = to_idx - pend_idx[k];
      }
      pending = 0;
    };
    while (v != kNone && v + 2 < i && idx <= kMaxVisits) {
      if (d[v + 1] == y && d[v + 2] == z) {
        settle(v, idx);
        bool done;
        if (may_beat(v, &done)) {
          bool full;
          uint32_t len = extend(v, &full);
          if (len > best_len) {
            best_len = len;
            best_pos = v;
          }
          if (full) return;
        } else if (done) {
          return;
        }
        // The way on from a match to the next one is remembered like any other.
        uint64_t key = ((uint64_t)v << 24 | tri) + 1;
        MemoEntry* e = memo_slot(key);
        if (e->key == key) {
          v = e->to;
          idx += e->steps;
          continue;
        }
        if (pending < kPending) {
          pend_pos[pending] = v;
          pend_idx[pending] = idx;
          ++pending;
        }
        v = next_of(v + 1, (uint8_t)x);
        ++idx;
        continue;
      }
      uint64_t key = ((uint64_t)v << 24 | tri) + 1;
      MemoEntry* e = memo_slot(key);
      uint32_t to, steps;
      if (e->key == key) {
        to = e->to;
        steps = e->steps;
      } else {
        to = step(v);
        if (to == kNone) break;
        steps = 1;
        e->key = key;
        e->to = to;
        e->steps = 1;
      }
      if (pending < kPending) {
        pend_pos[pending] = v;
        pend_idx[pending] = idx;
        ++pending;
      }
      v = to;
      idx += steps;
    }
    if (v != kNone) settle(v, idx);
  }

  // Finds the match for position i (best_len 0 when none).
  void search() {
    best_len = 0;
    best_pos = 0;
    x = d[i];
    y = d[i + 1];
    z = d[i + 2];
    tri = x << 16 | y << 8 | z;
    tri_le = z << 16 | y << 8 | x;
    uint32_t ws = window_start, h = hash(tri);
    if (i < 3) return;
    // Candidates lie at or before last; kNone is above it, so one test ends a scan.
    uint32_t last = i - 3;
    // From far to near, the matches surely visited first (each is visited, in order). A full
    // one ends the search.
    // A match that cannot be strictly longer than the best is passed over: it would not change
    // the result, and the nearer ones cannot beat it once its allowance is used up.
    uint32_t q = tail(h);
    bool full, done;
    uint32_t seen = 0;  // matches so far: a lower bound of the next one's visit number
    // A match's visit number is at most the number of x's from the window start up to it,
    // rank - before_window[x] + 1; past the limit the visits must be counted.
    uint32_t rank_limit = before_window[x] + kMaxVisits - 1;
    for (; q <= last; q = next(q)) {
      if (!holds(q)) continue;
      if (rank(q) > rank_limit) break;
      ++seen;
      if (!may_beat(q, &done)) {
        if (done) return;
        continue;
      }
      uint32_t len = extend(q, &full);
      if (len > best_len) {
        best_len = len;
        best_pos = q;
      }
      if (full) return;
    }
    if (q > last) return;
    // The rest matter only when one of them is longer; then the visits must be counted.
    // Every match before q is visited, so one past the 257th match cannot be.
    bool longer = false;
    for (; q <= last && !longer; q = next(q)) {
      if (!holds(q)) continue;
      if (++seen > kMaxVisits) return;
      if (!may_beat(q, &done)) {
        if (done) return;
        continue;
      }
      longer = extend(q, &full) > best_len;
    }
    if (!longer) return;
    best_len = 0;
    walk(next_of(ws, (uint8_t)x));
  }
};

}  // namespace

const char* lz_error_text(int error) {
  switch (error) {
    case LZ_OK:
      return "no error";
    case LZ_BAD_MAGIC:
      return "not a compressed stream";
    case LZ_TRUNCATED:
      return "stream truncated";
    case LZ_IMPOSSIBLE:
      return "uncompressed length impossible for the stream's size";
    case LZ_BAD_DISTANCE:
      return "match reaches before the start of the output";
    case LZ_OVERRUN:
      return "stream produces more than its uncompressed length";
    case LZ_SHORT:
      return "stream produces less than its uncompressed length";
    case LZ_NO_MEMORY:
      return "out of memory";
    case LZ_TOO_LARGE:
      return "input too large";
  }
  return "unknown error";
}

uint8_t* lz_encode(const void* bytes, size_t length, size_t* out_length, const LzKey* key) {
  if (out_length) *out_length = 0;
  if (length > 0xFFFFFFFFull / 12 - 64) return nullptr;  // lengths are 32-bit
  const uint8_t* d = (const uint8_t*)bytes;
  uint32_t n = (uint32_t)length;
  size_t cap = (size_t)n * 12 / 10 + LZ_SLACK;
  uint8_t* out = (uint8_t*)std::malloc(cap);
  if (!out) return nullptr;
  Emitter em;
  em.out = out;
  em.ks.key = key;

  Encoder e;
  e.d = d;
  e.n = n;
  size_t memo_size = 1024;
  while (memo_size < n && memo_size < (1u << 13)) memo_size <<= 1;
  // All tables in one block: a single large allocation is kept by the allocator from one call
  // to the next, where separate ones were mapped and faulted in afresh for every file (which cost
  // more than encoding a small file).
  size_t memo_bytes = sizeof(MemoEntry) * memo_size;
  size_t ends_bytes = sizeof(uint32_t) * 2 * kBuckets;
  // The links, then the buckets.
  size_t ring_bytes = (sizeof(uint32_t) * 2 + sizeof(uint16_t)) * (kRing + 1);
  uint8_t* block = (uint8_t*)std::malloc(memo_bytes + ends_bytes + ring_bytes);
  if (!block) {
    std::free(out);
    return nullptr;
  }
  e.memo = (MemoEntry*)block;
  e.ends = (uint32_t*)(block + memo_bytes);
  e.links = (uint32_t*)(block + memo_bytes + ends_bytes);
  e.bucket = (uint16_t*)(e.links + 2 * (kRing + 1));
  e.memo_mask = memo_size - 1;
  std::memset(e.memo, 0, memo_bytes);
  std::memset(e.ends, 0xFF, sizeof(uint32_t) * 2 * kBuckets);
  std::memset(e.count, 0, sizeof e.count);
  std::memset(e.before_window, 0, sizeof e.before_window);

  uint32_t i = 0;
  while (i < n) {
    if (n - i >= 3) {
      e.advance_to(i);
      e.i = i;
      e.search();
      if (e.best_len) {
        em.match(e.best_len, i - e.best_pos);
        i += e.best_len;
        continue;
      }
    }
    em.literal(d[i]);
    ++i;
  }
  size_t total = em.finish();
  out[0] = 0x0D;
  out[1] = 0x3F;
  le_write32(out + 2, (uint32_t)total);
  le_write32(out + 6, n);
  std::free(block);
  if (out_length) *out_length = total;
  return out;
}

// ---- Decoder ----

bool lz_header(const void* stream, size_t available, uint32_t* total, uint32_t* uncompressed) {
  const uint8_t* in = (const uint8_t*)stream;
  if (!in || available < LZ_HEADER || in[0] != 0x0D || in[1] != 0x3F) return false;
  if (total) *total = le_read32(in + 2);
  if (uncompressed) *uncompressed = le_read32(in + 6);
  return true;
}

namespace {

// The source of a plain literal's words in the fast loop.
const uint8_t kZeros[24] = {};

inline uint64_t load_be64(const uint8_t* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return __builtin_bswap64(w);
}

// Decodes the tokens that begin below bit start_bits of the nbytes-byte token stream into out
// (cap bytes); *op is the output length. Returns LZ_OK or the error.
//
// The fast loop reads one 64-bit word per three tokens (at most 51 bits; the word holds at least
// 57 past the first bit) and checks nothing but the distance: it runs only while the word lies
// inside the stream, the three tokens all begin below start_bits and the output has room for
// three matches copied by whole words. The careful loop after it decodes the rest one token at a
// time, reading bits past the stream as 0, with every bound checked.
template <bool kKeyed>
int decode_tokens(const uint8_t* bits, uint64_t nbytes, uint64_t start_bits, uint8_t* out,
                  size_t cap, KeyState* ks, size_t* op_out) {
  enum : uint64_t { kGroupBits = 2 * 17, kRoom = 3 * 24 };
  uint64_t bit = 0;
  size_t op = 0;
  uint64_t fast_end = 0;  // the fast loop runs while bit < fast_end
  if (nbytes >= 8 && start_bits > kGroupBits) {
    fast_end = std::min<uint64_t>((nbytes - 7) * 8, start_bits - kGroupBits);
  }
  while (bit < fast_end && cap - op >= kRoom) {
    uint64_t w = load_be64(bits + (bit >> 3)) << (bit & 7);
    for (int k = 0; k < 3; ++k) {
      if (!kKeyed) {
        // Literal or match is a coin toss to the branch predictor, so a plain token takes one
        // road, chosen by masks: a literal is a "match" from a block of zeros whose first word is
        // the byte.
        uint64_t m = (uint64_t)((int64_t)w >> 63);  // all ones for a match
        uint32_t m32 = (uint32_t)m;
        uint32_t len = ((uint32_t)(w >> 59 & 15) + 3) & m32;      // 0 for a literal
        uint32_t dist = ((uint32_t)(w >> 47 & 0xFFF) + 3) & m32;  // 0 for a literal
        uint64_t literal = w >> 55 & 0xFF & ~m;
        uint8_t* dst = out + op;
        if (dist > op) {
          *op_out = op;
          return LZ_BAD_DISTANCE;
        }
        if (len > dist && dist < 16) {
          // Repeats output that the first two words would read before writing it. The encoder
          // never writes such a match (its length stays within its distance).
          const uint8_t* src = dst - dist;
          for (uint32_t j = 0; j < len; ++j) dst[j] = src[j];
        } else {
          // Two words, then a third after them: every byte of the token's output comes from the
          // output before it (len <= dist, or the third word reads what the first two wrote); the
          // bytes past it are rewritten later or lie in the slack.
          const uint8_t* src =
              (const uint8_t*)(((uintptr_t)(dst - dist) & m) | ((uintptr_t)kZeros & ~m));
#if defined(__SSE2__)
          __m128i v = _mm_loadu_si128((const __m128i*)src);
          v = _mm_or_si128(v, _mm_cvtsi64_si128((long long)literal));
          _mm_storeu_si128((__m128i*)dst, v);
#else
          uint64_t x, y;
          std::memcpy(&x, src, 8);
          std::memcpy(&y, src + 8, 8);
          x |= literal;
          std::memcpy(dst, &x, 8);
          std::memcpy(dst + 8, &y, 8);
#endif
          if (len > 16) {
            uint64_t z;
            std::memcpy(&z, src + 16, 8);
            std::memcpy(dst + 16, &z, 8);
          }
        }
        unsigned used = 9 + (8 & m32);
        op += 1 + ((len - 1) & m32);
        w <<= used;
        bit += used;
        continue;
      }
      if (!(w >> 63)) {
        out[op++] = (uint8_t)(w >> 55) ^ ks->literal_mask();
        w <<= 9;
        bit += 9;
        continue;
      }
      uint32_t len = (uint32_t)(w >> 59 & 15) + 3;
      uint32_t dist = ((uint32_t)(w >> 47 & 0xFFF) ^ ks->distance_mask()) + 3;
      w <<= 17;
      bit += 17;
      if (dist > op || dist < len) {
        *op_out = op;
        return LZ_BAD_DISTANCE;
      }
      std::memcpy(out + op, out + op - dist, len);  // no overlap: dist >= len
      op += len;
    }
  }
  while (bit < start_bits) {
    uint64_t at = bit >> 3;
    uint64_t w;  // the bits from the byte holding the token's first bit, most significant first
    if (at + 8 <= nbytes) {
      w = load_be64(bits + at);
    } else {
      w = 0;
      for (int k = 0; k < 8; ++k) w = w << 8 | (at + k < nbytes ? bits[at + k] : 0);
    }
    w <<= bit & 7;  // the token's first bit at bit 63
    if (!(w >> 63)) {
      if (op >= cap) {
        *op_out = op;
        return LZ_OVERRUN;
      }
      uint8_t b = (uint8_t)(w >> 55);
      if (kKeyed) b ^= ks->literal_mask();
      out[op++] = b;
      bit += 9;
      continue;
    }
    uint32_t len = (uint32_t)(w >> 59 & 15) + 3;
    uint32_t field = (uint32_t)(w >> 47 & 0xFFF);
    if (kKeyed) field ^= ks->distance_mask();
    uint32_t dist = field + 3;
    bit += 17;
    if (dist > op || (kKeyed && dist < len)) {
      *op_out = op;
      return LZ_BAD_DISTANCE;
    }
    if (len > cap - op) {
      *op_out = op;
      return LZ_OVERRUN;
    }
    uint8_t* dst = out + op;
    const uint8_t* src = dst - dist;
    if (dist >= len) {
      std::memcpy(dst, src, len);
    } else {
      for (uint32_t k = 0; k < len; ++k) dst[k] = src[k];  // overlapping: repeats the output
    }
    op += len;
  }
  *op_out = op;
  return LZ_OK;
}

}  // namespace

uint8_t* lz_decode(const void* stream, size_t available, const LzKey* key, size_t* out_length,
                   int* error) {
  int dummy;
  if (!error) error = &dummy;
  if (out_length) *out_length = 0;
  const uint8_t* in = (const uint8_t*)stream;
  if (!in || available < 2 || in[0] != 0x0D || in[1] != 0x3F) {
    *error = LZ_BAD_MAGIC;
    return nullptr;
  }
  if (available < LZ_HEADER) {
    *error = LZ_TRUNCATED;
    return nullptr;
  }
  uint32_t total = le_read32(in + 2), ulen = le_read32(in + 6);
  if (total < LZ_HEADER || total > available) {
    *error = LZ_TRUNCATED;
    return nullptr;
  }
  // Tokens begin below this bit; no token yields more than 18 bytes for its 17 bits.
  uint64_t start_bits = total > LZ_HEADER ? (uint64_t)(total - 1 - LZ_HEADER) * 8 : 0;
  uint64_t most = start_bits ? (start_bits / 17 + 1) * 18 : 0;
  if (ulen > most) {
    *error = LZ_IMPOSSIBLE;
    return nullptr;
  }
  size_t cap = (size_t)ulen + LZ_SLACK;
  uint8_t* out = (uint8_t*)std::malloc(cap);
  if (!out) {
    *error = LZ_NO_MEMORY;
    return nullptr;
  }
  KeyState ks;
  ks.key = key;
  size_t op = 0;
  int err =
      key ? decode_tokens<true>(in + LZ_HEADER, total - LZ_HEADER, start_bits, out, cap, &ks, &op)
          : decode_tokens<false>(in + LZ_HEADER, total - LZ_HEADER, start_bits, out, cap, &ks, &op);
  if (err == LZ_OK && op < ulen) err = LZ_SHORT;
  if (err != LZ_OK) {
    *error = err;
    std::free(out);
    return nullptr;
  }
  out[ulen] = 0;
  *error = LZ_OK;
  if (out_length) *out_length = ulen;
  return out;
}

LzKey lz_key_from_text(const char* text) {
  LzKey k = {{0, 0}};
  int used = 0;
  for (const unsigned char* p = (const unsigned char*)text; p && *p && used < 12; ++p) {
    if (*p <= 32) continue;
    uint32_t& w = k.word[used / 6];
    w = w * 96 + (uint32_t)(*p - 32);
    ++used;
  }
  if (k.word[1] == 0) k.word[1] = k.word[0];
  return k;
}

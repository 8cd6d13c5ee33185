#pragma once
// The codec written out the plain way, as the yardstick the real one is checked against (tests,
// fuzz targets) and timed against (benchmarks): the encoder's search rule one scan per step, and
// the decoder one bit at a time.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "setup/lz.h"

// The masks of the keyed variant, one literal or match after another.
struct LzReferenceKey {
  const LzKey* key;
  int ls = 1, ln = 0, ds = 3, dn = 0;
  uint8_t literal() {
    uint8_t mask = (uint8_t)(key->word[ln] >> ls);
    if (ls + 5 > 24)
      ls -= 19, ln ^= 1;
    else
      ls += 5;
    return mask;
  }
  uint32_t distance() {
    uint32_t mask = (key->word[dn] >> ds) & 0xFFF;
    if (ds + 5 > 20)
      ds -= 15, dn ^= 1;
    else
      ds += 5;
    return mask;
  }
};

inline uint8_t* lz_encode_reference(const void* bytes, size_t n, size_t* out_length,
                                    const LzKey* key) {
  const uint8_t* d = (const uint8_t*)bytes;
  size_t cap = n * 12 / 10 + 36;
  uint8_t* out = (uint8_t*)std::calloc(cap, 1);
  if (!out) return nullptr;
  size_t bit = 0;  // bits written after the header
  auto put = [&](uint32_t value, int count) {
    for (int k = count - 1; k >= 0; --k, ++bit)
      if (value >> k & 1) out[10 + bit / 8] |= (uint8_t)(0x80 >> (bit % 8));
  };
  LzReferenceKey mask = {key};
  size_t i = 0;
  while (i < n) {
    size_t best_len = 0, best_pos = 0;
    if (n - i >= 3) {
      size_t ws = i > 4098 ? i - 4098 : 0;
      uint8_t x = d[i], y = d[i + 1], z = d[i + 2];
      size_t k = ws;
      while (k < i && d[k] != x) ++k;
      int visited = 0;
      while (k < i) {
        ++visited;
        if (i - k < 3) break;
        size_t q = k + 1;
        while (q < i && d[q] != y) ++q;
        if (q >= i) break;
        size_t next;
        if (q != k + 1) {
          next = q - 1;
        } else {
          size_t r = k + 2;
          while (r < n && d[r] != z) ++r;
          if (r >= n) break;
          if (r != k + 2) {
            next = r - 2;
          } else {
            size_t allowed = i - k - 3;
            if (allowed > 15) allowed = 15;
            if (allowed > n - i - 3) allowed = n - i - 3;
            size_t j = 0;
            while (j < allowed && d[k + 3 + j] == d[i + 3 + j]) ++j;
            if (3 + j > best_len) {
              best_len = 3 + j;
              best_pos = k;
            }
            if (j == allowed) break;
            next = k + 1;
          }
        }
        if (visited >= 257) break;
        k = next;
        while (k < i && d[k] != x) ++k;
      }
    }
    if (best_len) {
      uint32_t field = (uint32_t)(i - best_pos - 3);
      if (key) field ^= mask.distance();
      put(1, 1);
      put((uint32_t)best_len - 3, 4);
      put(field, 12);
      i += best_len;
    } else {
      uint8_t b = d[i];
      if (key) b ^= mask.literal();
      put(0, 1);
      put(b, 8);
      ++i;
    }
  }
  size_t total = 10 + bit / 8 + 1;
  out[0] = 0x0D;
  out[1] = 0x3F;
  for (int k = 0; k < 4; ++k) {
    out[2 + k] = (uint8_t)(total >> (8 * k));
    out[6 + k] = (uint8_t)(n >> (8 * k));
  }
  if (out_length) *out_length = total;
  return out;
}

// Decodes bit by bit with the real decoder's checks in the same order, so that both give the same
// bytes or the same error. Returns a new buffer (malloc) with a NUL after the *out_length bytes.
inline uint8_t* lz_decode_reference(const void* stream, size_t available, const LzKey* key,
                                    size_t* out_length, int* error) {
  const uint8_t* in = (const uint8_t*)stream;
  *out_length = 0;
  if (available < 2 || in[0] != 0x0D || in[1] != 0x3F) return *error = LZ_BAD_MAGIC, nullptr;
  if (available < 10) return *error = LZ_TRUNCATED, nullptr;
  uint32_t total = 0, ulen = 0;
  for (int k = 3; k >= 0; --k) total = total << 8 | in[2 + k], ulen = ulen << 8 | in[6 + k];
  if (total < 10 || total > available) return *error = LZ_TRUNCATED, nullptr;
  uint64_t end_bit = total > 10 ? (uint64_t)(total - 11) * 8 : 0;
  if (ulen > (end_bit ? (end_bit / 17 + 1) * 18 : 0)) return *error = LZ_IMPOSSIBLE, nullptr;
  size_t cap = (size_t)ulen + 36;
  uint8_t* out = (uint8_t*)std::malloc(cap);
  if (!out) return *error = LZ_NO_MEMORY, nullptr;
  uint64_t bit = 0;
  auto get = [&](int count) {
    uint32_t v = 0;
    for (int k = 0; k < count; ++k, ++bit) {
      uint64_t at = 10 + bit / 8;
      uint8_t b = at < total ? in[at] : 0;
      v = v << 1 | (b >> (7 - bit % 8) & 1);
    }
    return v;
  };
  LzReferenceKey mask = {key};
  size_t op = 0;
  int err = LZ_OK;
  while (err == LZ_OK && bit < end_bit) {
    if (get(1) == 0) {
      uint8_t b = (uint8_t)get(8);
      if (key) b ^= mask.literal();
      if (op >= cap)
        err = LZ_OVERRUN;
      else
        out[op++] = b;
      continue;
    }
    uint32_t len = get(4) + 3, field = get(12);
    if (key) field ^= mask.distance();
    uint32_t dist = field + 3;
    if (dist > op || (key && dist < len))
      err = LZ_BAD_DISTANCE;
    else if (len > cap - op)
      err = LZ_OVERRUN;
    else
      for (uint32_t k = 0; k < len; ++k, ++op) out[op] = out[op - dist];
  }
  if (err == LZ_OK && op < ulen) err = LZ_SHORT;
  *error = err;
  if (err != LZ_OK) {
    std::free(out);
    return nullptr;
  }
  out[ulen] = 0;
  *out_length = ulen;
  return out;
}

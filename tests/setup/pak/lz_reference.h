#pragma once
// The encoder's search rule written out the plain way, one scan per step, as the yardstick the
// real encoder is checked against (tests) and timed against (benchmarks).

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "setup/lz.h"

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
  int ls = 1, ln = 0, ds = 3, dn = 0;  // key schedule
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
      if (key) {
        field ^= (key->word[dn] >> ds) & 0xFFF;
        if (ds + 5 > 20)
          ds -= 15, dn ^= 1;
        else
          ds += 5;
      }
      put(1, 1);
      put((uint32_t)best_len - 3, 4);
      put(field, 12);
      i += best_len;
    } else {
      uint8_t b = d[i];
      if (key) {
        b ^= (uint8_t)(key->word[ln] >> ls);
        if (ls + 5 > 24)
          ls -= 19, ln ^= 1;
        else
          ls += 5;
      }
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

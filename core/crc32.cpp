// IEEE CRC-32, slicing by eight: eight tables let one step fold eight bytes.

#include "core/crc32.h"

namespace {

struct Tables {
  uint32_t t[8][256];
};

constexpr Tables make_tables() {
  Tables s = {};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    s.t[0][i] = c;
  }
  for (int j = 1; j < 8; ++j)
    for (uint32_t i = 0; i < 256; ++i)
      s.t[j][i] = (s.t[j - 1][i] >> 8) ^ s.t[0][s.t[j - 1][i] & 0xFF];
  return s;
}

constexpr Tables kTables = make_tables();

}  // namespace

uint32_t crc32_update(uint32_t crc, const void* bytes, size_t n) {
  const uint8_t* p = (const uint8_t*)bytes;
  const auto& t = kTables.t;
  uint32_t c = ~crc;
  // Byte order independent: the words are put together from bytes.
  for (; n >= 8; n -= 8, p += 8) {
    uint32_t a =
        c ^ ((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
    c = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^
        t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; n; --n, ++p) c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  return ~c;
}

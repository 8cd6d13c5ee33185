// The checksum against the standard check values, against a bit-by-bit reference, and natively
// against zlib's crc32 as a peer.

#include "core/crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#ifndef _WIN32
#include <zlib.h>
#endif

namespace {

// The definition, one bit at a time.
uint32_t crc_reference(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return ~c;
}

TEST(Crc32, StandardCheckValues) {
  struct {
    const char* text;
    uint32_t crc;
  } rows[] = {
      {"", 0x00000000u},
      {"a", 0xE8B7BE43u},
      {"abc", 0x352441C2u},
      {"123456789", 0xCBF43926u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
      {"message digest", 0x20159D7Fu},
  };
  for (const auto& r : rows) EXPECT_EQ(crc32(r.text, std::strlen(r.text)), r.crc) << r.text;
}

std::vector<uint8_t> random_bytes(size_t n, unsigned seed) {
  std::mt19937 g(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = (uint8_t)g();
  return v;
}

TEST(Crc32, MatchesTheReferenceAtEveryLengthAndAlignment) {
  std::vector<uint8_t> v = random_bytes(300, 7);
  for (size_t start = 0; start < 9; ++start)
    for (size_t n = 0; start + n <= v.size(); n += 1 + n / 8)
      ASSERT_EQ(crc32(v.data() + start, n), crc_reference(v.data() + start, n))
          << "start " << start << " length " << n;
}

TEST(Crc32, ContinuesAcrossPieces) {
  std::vector<uint8_t> v = random_bytes(1000, 11);
  uint32_t whole = crc32(v.data(), v.size());
  for (size_t cut : {0u, 1u, 7u, 8u, 9u, 500u, 999u, 1000u})
    EXPECT_EQ(crc32_update(crc32(v.data(), cut), v.data() + cut, v.size() - cut), whole) << cut;
}

TEST(Crc32, EverySingleBitFlipChangesIt) {
  std::vector<uint8_t> v = random_bytes(64, 3);
  uint32_t good = crc32(v.data(), v.size());
  for (size_t bit = 0; bit < v.size() * 8; ++bit) {
    v[bit / 8] ^= uint8_t(1u << (bit % 8));
    EXPECT_NE(crc32(v.data(), v.size()), good) << bit;
    v[bit / 8] ^= uint8_t(1u << (bit % 8));
  }
}

#ifndef _WIN32
TEST(Crc32, AgreesWithZlib) {
  for (unsigned seed = 0; seed < 20; ++seed) {
    std::vector<uint8_t> v = random_bytes(seed * 997 + seed, seed);
    uLong z = ::crc32(0L, Z_NULL, 0);
    z = ::crc32(z, v.data(), (uInt)v.size());
    EXPECT_EQ(crc32(v.data(), v.size()), (uint32_t)z) << "seed " << seed;
  }
}
#endif

}  // namespace

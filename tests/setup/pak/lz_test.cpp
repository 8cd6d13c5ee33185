// The codec: round trips, the encoder against the plain reference of its rule, and hostile streams.

#include "setup/lz.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/setup/pak/lz_reference.h"

namespace {

typedef std::vector<uint8_t> Bytes;

struct Freer {
  void operator()(void* p) const { std::free(p); }
};

Bytes encode(const Bytes& in, const LzKey* key = nullptr) {
  size_t n = 0;
  uint8_t* s = lz_encode(in.data(), in.size(), &n, key);
  EXPECT_NE(s, nullptr);
  Bytes out(s, s + n);
  std::free(s);
  return out;
}

Bytes encode_reference(const Bytes& in, const LzKey* key = nullptr) {
  size_t n = 0;
  uint8_t* s = lz_encode_reference(in.data(), in.size(), &n, key);
  Bytes out(s, s + n);
  std::free(s);
  return out;
}

// Decodes; returns false (and the error) on failure.
bool decode(const Bytes& s, Bytes* out, const LzKey* key = nullptr, int* error = nullptr) {
  size_t n = 0;
  int err = -1;
  uint8_t* d = lz_decode(s.data(), s.size(), key, &n, &err);
  if (error) *error = err;
  if (!d) return false;
  EXPECT_EQ(err, LZ_OK);
  EXPECT_EQ(d[n], 0) << "NUL after the decoded bytes";
  out->assign(d, d + n);
  std::free(d);
  return true;
}

struct Token {
  bool match;
  uint32_t value, length, distance;
};

// Reads the token stream of an unkeyed stream by the format's rules.
std::vector<Token> tokens(const Bytes& s) {
  std::vector<Token> t;
  uint32_t total = s[2] | s[3] << 8 | s[4] << 16 | (uint32_t)s[5] << 24;
  size_t bit = 80;
  auto get = [&](int n) {
    uint32_t v = 0;
    for (int k = 0; k < n; ++k, ++bit) {
      uint8_t b = bit / 8 < s.size() ? s[bit / 8] : 0;
      v = v << 1 | (b >> (7 - bit % 8) & 1);
    }
    return v;
  };
  while (bit / 8 < total - 1) {
    if (get(1) == 0) {
      t.push_back({false, get(8), 1, 0});
    } else {
      uint32_t len = get(4) + 3, dist = get(12) + 3;
      t.push_back({true, 0, len, dist});
    }
  }
  return t;
}

// A stream from (value, bit count) pieces, with the header filled in by the format's rules.
Bytes build_stream(const std::vector<std::pair<uint32_t, int>>& pieces, uint32_t ulen) {
  Bytes s(LZ_HEADER, 0);
  size_t bit = 0;
  for (auto [value, count] : pieces) {
    for (int k = count - 1; k >= 0; --k, ++bit) {
      if (s.size() <= LZ_HEADER + bit / 8) s.push_back(0);
      if (value >> k & 1) s[LZ_HEADER + bit / 8] |= (uint8_t)(0x80 >> bit % 8);
    }
  }
  s.resize(LZ_HEADER + bit / 8 + 1);
  uint32_t total = (uint32_t)s.size();
  s[0] = 0x0D, s[1] = 0x3F;
  for (int k = 0; k < 4; ++k)
    s[2 + k] = (uint8_t)(total >> 8 * k), s[6 + k] = (uint8_t)(ulen >> 8 * k);
  return s;
}

Bytes random_bytes(std::mt19937& rng, size_t n, int alphabet) {
  Bytes b(n);
  for (auto& c : b) c = (uint8_t)(rng() % alphabet);
  return b;
}

// Text-like: words from a small vocabulary, so that matches of every length and distance occur.
Bytes wordy(std::mt19937& rng, size_t n) {
  static const char* words[] = {"the ", "then ", "there ", "e ",    "ee ",    "th",
                                "he ",  "\r\n",  "text ",  "tex\t", "eeeee ", "hetete "};
  Bytes b;
  while (b.size() < n) {
    const char* w = words[rng() % 12];
    b.insert(b.end(), w, w + std::strlen(w));
  }
  b.resize(n);
  return b;
}

Bytes read_file(const std::string& path, size_t limit) {
  Bytes b;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return b;
  b.resize(limit);
  b.resize(std::fread(b.data(), 1, limit, f));
  std::fclose(f);
  return b;
}

// A few real files of the machine: executables and documentation.
std::vector<std::string> real_files(int count) {
  std::vector<std::string> out;
  const char* dirs[] = {"/usr/bin", "/usr/share/common-licenses", "/usr/share/doc/gcc-12",
                        "/usr/lib/x86_64-linux-gnu"};
  for (const char* dir : dirs) {
    DIR* d = opendir(dir);
    if (!d) continue;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    int taken = 0;
    for (const auto& name : names) {
      std::string p = std::string(dir) + "/" + name;
      struct stat st;
      if (stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 2000) continue;
      out.push_back(p);
      if (++taken == count) break;
    }
  }
  return out;
}

TEST(LzCodec, RoundTripsAnyInput) {
  std::mt19937 rng(1);
  std::vector<Bytes> inputs = {{}, {7}, {7, 7}, {1, 2, 3}, Bytes(5000, 0), Bytes(70000, 'a')};
  for (int alphabet : {2, 3, 16, 256}) inputs.push_back(random_bytes(rng, 9000, alphabet));
  inputs.push_back(wordy(rng, 30000));
  for (const auto& in : inputs) {
    Bytes s = encode(in), back;
    ASSERT_TRUE(decode(s, &back)) << in.size();
    EXPECT_EQ(back, in);
    EXPECT_LE(s.size(), in.size() * 12 / 10 + LZ_SLACK);
  }
}

TEST(LzCodec, KeyedRoundTripScramblesTheStream) {
  std::mt19937 rng(2);
  Bytes in = wordy(rng, 20000);
  LzKey key = lz_key_from_text("dictionary key text");
  Bytes plain = encode(in), keyed = encode(in, &key), back;
  EXPECT_EQ(plain.size(), keyed.size());
  EXPECT_NE(plain, keyed);
  ASSERT_TRUE(decode(keyed, &back, &key));
  EXPECT_EQ(back, in);
  // Decoding with a wrong key never yields the text.
  LzKey other = lz_key_from_text("another text");
  Bytes wrong;
  if (decode(keyed, &wrong, &other)) {
    EXPECT_NE(wrong, in);
  }
}

TEST(LzCodec, KeyFromText) {
  LzKey one = lz_key_from_text("!");  // byte 33 contributes 1; the empty second word copies
  EXPECT_EQ(one.word[0], 1u);
  EXPECT_EQ(one.word[1], 1u);
  LzKey two = lz_key_from_text("!\"");
  EXPECT_EQ(two.word[0], 1u * 96 + 2);
  // Spaces and control bytes do not count; bytes after the twelfth are ignored.
  LzKey a = lz_key_from_text("abc def\tghijkl");
  LzKey b = lz_key_from_text("abcdefghijklMORE");
  EXPECT_EQ(a.word[0], b.word[0]);
  EXPECT_EQ(a.word[1], b.word[1]);
  EXPECT_NE(a.word[0], a.word[1]);
}

TEST(LzCodec, ShortInputsAreLiterals) {
  for (Bytes in : {Bytes{}, Bytes{1}, Bytes{1, 1}, Bytes{'a', 'a', 'a'}}) {
    Bytes s = encode(in);
    auto t = tokens(s);
    ASSERT_EQ(t.size(), in.size());
    for (size_t k = 0; k < t.size(); ++k) {
      EXPECT_FALSE(t[k].match);
      EXPECT_EQ(t[k].value, in[k]);
    }
  }
  // An empty input: the header and the one byte that would hold the next bit.
  EXPECT_EQ(encode({}).size(), LZ_HEADER + 1);
}

TEST(LzCodec, RunOfEqualBytes) {
  Bytes in(1000, 'z');
  auto t = tokens(encode(in));
  ASSERT_GT(t.size(), 4u);
  for (int k = 0; k < 3; ++k) EXPECT_FALSE(t[k].match);
  size_t produced = 3;
  for (size_t k = 3; k < t.size(); ++k) {
    ASSERT_TRUE(t[k].match) << k;
    EXPECT_LE(t[k].length, t[k].distance);
    EXPECT_LE(t[k].distance, produced);
    produced += t[k].length;
  }
  EXPECT_EQ(produced, in.size());
}

TEST(LzCodec, TotalLengthCountsTheByteOfTheNextFreeBit) {
  // 8 literals are 72 bits: nine full bytes, and the next free bit opens a tenth.
  Bytes in = {1, 2, 3, 4, 5, 6, 7, 8};
  Bytes s = encode(in);
  EXPECT_EQ(s.size(), LZ_HEADER + 9 + 1);
  EXPECT_EQ(s.back(), 0);
  uint32_t total, ulen;
  ASSERT_TRUE(lz_header(s.data(), s.size(), &total, &ulen));
  EXPECT_EQ(total, s.size());
  EXPECT_EQ(ulen, 8u);
}

TEST(LzEncoder, MatchesTheReferenceOnGeneratedInputs) {
  std::mt19937 rng(3);
  int cases = 0;
  for (int alphabet : {2, 3, 4, 8, 40, 256}) {
    for (size_t n : {3u, 17u, 300u, 5000u, 20000u}) {
      Bytes in = random_bytes(rng, n, alphabet);
      ASSERT_EQ(encode(in), encode_reference(in)) << "alphabet " << alphabet << " size " << n;
      ++cases;
    }
  }
  for (int k = 0; k < 4; ++k) {
    Bytes in = wordy(rng, 12000 + 5000 * k);
    ASSERT_EQ(encode(in), encode_reference(in));
    // Long runs and periodic data, where the window holds thousands of candidates.
    Bytes periodic(15000);
    for (size_t p = 0; p < periodic.size(); ++p) periodic[p] = (uint8_t)("abcab"[p % (3 + k)]);
    ASSERT_EQ(encode(periodic), encode_reference(periodic));
    // Mixed: runs broken by noise.
    Bytes mixed(15000, 0);
    for (size_t p = 0; p < mixed.size(); p += 1 + rng() % (50 * (k + 1))) mixed[p] = rng() % 4;
    ASSERT_EQ(encode(mixed), encode_reference(mixed));
  }
  LzKey key = lz_key_from_text("key");
  Bytes in = wordy(rng, 9000);
  EXPECT_EQ(encode(in, &key), encode_reference(in, &key));
  EXPECT_GT(cases, 20);
}

// The search gives up after 257 visited candidates: a longer match placed just before or just
// after that limit must be taken or left exactly as the rule says.
TEST(LzEncoder, MatchesTheReferenceAroundTheVisitLimit) {
  std::mt19937 rng(11);
  for (int run : {1, 40}) {
    for (int special = 250; special <= 262; ++special) {
      // The x's of the run after the first are jumped over by its skip: they are not visited.
      Bytes in(run, 'a');
      for (int u = 0; u < 300; ++u) {
        in.insert(in.end(), {'a', 'b', 'c'});
        if (u == special) {
          for (char c : std::string("XYZWVUTS")) in.push_back((uint8_t)c);
        } else {
          in.push_back((uint8_t)('d' + rng() % 20));
        }
      }
      // A byte found nowhere else, so that the last search starts at the final x y z.
      in.push_back(10);
      for (char c : std::string("abcXYZWVUTS")) in.push_back((uint8_t)c);
      ASSERT_EQ(encode(in), encode_reference(in)) << "run " << run << " special " << special;
    }
  }
}

TEST(LzEncoder, MatchesTheReferenceOnRealFiles) {
  auto files = real_files(4);
  ASSERT_FALSE(files.empty());
  for (const auto& path : files) {
    Bytes in = read_file(path, 150000);
    Bytes s = encode(in);
    ASSERT_EQ(s, encode_reference(in)) << path;
    Bytes back;
    ASSERT_TRUE(decode(s, &back));
    EXPECT_EQ(back, in);
  }
}

TEST(LzDecoder, RefusesHostileStreams) {
  std::mt19937 rng(4);
  Bytes in = wordy(rng, 4000);
  Bytes good = encode(in), out;
  int err;

  Bytes bad = good;
  bad[1] = 0x40;
  EXPECT_FALSE(decode(bad, &out, nullptr, &err));
  EXPECT_EQ(err, LZ_BAD_MAGIC);

  // Cut short: the header says more than there is.
  Bytes cut(good.begin(), good.end() - 1);
  EXPECT_FALSE(decode(cut, &out, nullptr, &err));
  EXPECT_EQ(err, LZ_TRUNCATED);
  EXPECT_FALSE(decode(Bytes(good.begin(), good.begin() + 6), &out, nullptr, &err));
  EXPECT_EQ(err, LZ_TRUNCATED);

  // An uncompressed length no stream of this size can produce is refused before allocating.
  bad = good;
  bad[9] = 0x7F;
  EXPECT_FALSE(decode(bad, &out, nullptr, &err));
  EXPECT_EQ(err, LZ_IMPOSSIBLE);

  // A stream announcing fewer bytes than it produces overruns the slack.
  bad = good;
  bad[6] = 10, bad[7] = 0, bad[8] = 0, bad[9] = 0;
  EXPECT_FALSE(decode(bad, &out, nullptr, &err));
  EXPECT_EQ(err, LZ_OVERRUN);

  // One announcing more than it produces is short, not padded with garbage.
  bad = good;
  uint32_t more = (uint32_t)in.size() + 1;
  for (int k = 0; k < 4; ++k) bad[6 + k] = (uint8_t)(more >> 8 * k);
  EXPECT_FALSE(decode(bad, &out, nullptr, &err));
  EXPECT_EQ(err, LZ_SHORT);

  // A first token that is a match reaches before the output.
  Bytes m = {0x0D, 0x3F, 14, 0, 0, 0, 3, 0, 0, 0, 0x80, 0, 0, 0};
  EXPECT_FALSE(decode(m, &out, nullptr, &err));
  EXPECT_EQ(err, LZ_BAD_DISTANCE);

  // A match longer than its distance repeats the output (plain streams) ...
  Bytes overlap = build_stream({{'a', 9}, {'b', 9}, {'c', 9}, {1, 1}, {2, 4}, {0, 12}}, 8);
  ASSERT_TRUE(decode(overlap, &out, nullptr, &err)) << lz_error_text(err);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abcabcab");
  // ... but keyed streams may not overlap a match with its own output.
  LzKey zero = {{0, 0}};
  EXPECT_FALSE(decode(overlap, &out, &zero, &err));
  EXPECT_EQ(err, LZ_BAD_DISTANCE);
}

// A last match may run a few bytes past the stated length, inside the slack: packages hold such
// streams, so they decode to the stated length.
TEST(LzDecoder, ToleratesALastMatchPastTheLength) {
  const std::vector<std::pair<uint32_t, int>> tokens = {{'a', 9}, {'b', 9}, {'c', 9},
                                                        {1, 1},   {2, 4},   {0, 12}};
  for (uint32_t stated : {8u, 7u, 6u, 4u}) {
    Bytes out;
    int err;
    ASSERT_TRUE(decode(build_stream(tokens, stated), &out, nullptr, &err))
        << stated << ": " << lz_error_text(err);
    EXPECT_EQ(std::string(out.begin(), out.end()), std::string("abcabcab").substr(0, stated));
  }
}

TEST(LzDecoder, MutatedStreamsFailCleanlyOrDecodeToTheirLength) {
  std::mt19937 rng(5);
  Bytes in = wordy(rng, 3000);
  Bytes good = encode(in);
  int failures = 0;
  for (int round = 0; round < 3000; ++round) {
    Bytes s = good;
    int flips = 1 + rng() % 4;
    for (int k = 0; k < flips; ++k) s[2 + rng() % (s.size() - 2)] ^= (uint8_t)(1 << rng() % 8);
    if (round % 3 == 0) s.resize(rng() % s.size());
    Bytes out;
    int err;
    if (decode(s, &out, nullptr, &err)) {
      uint32_t ulen = s[6] | s[7] << 8 | s[8] << 16 | (uint32_t)s[9] << 24;
      EXPECT_EQ(out.size(), ulen);
    } else {
      EXPECT_NE(err, LZ_OK);
      ++failures;
    }
  }
  EXPECT_GT(failures, 0);
}

}  // namespace

// The decoder reads a word per several tokens and copies matches by words; the plain decoder reads
// bit by bit. Both must give the same bytes or the same error on every stream, whole or damaged,
// plain or keyed, short (the careful tail alone) or long (mostly the fast loop).
TEST(LzDecoder, EqualsThePlainDecoderOnWholeAndDamagedStreams) {
  std::mt19937 rng(6);
  // Overlapping matches of every short distance, which no encoder writes: long enough for the
  // fast loop.
  std::vector<std::pair<uint32_t, int>> overlaps;
  for (int k = 0; k < 20; ++k) overlaps.push_back({'a' + k, 9});
  for (int k = 0; k < 400; ++k) overlaps.push_back({1u << 16 | (k % 16) << 12 | (k % 15), 17});
  struct Case {
    const char* name;
    Bytes stream;
    const LzKey* key;
  };
  static const LzKey key = {{0x1234567u, 0x89ABCDEu}};
  Bytes text = wordy(rng, 20000), noise = random_bytes(rng, 20000, 5);
  std::vector<Case> cases = {
      {"text", encode(text), nullptr},
      {"noise", encode(noise), nullptr},
      {"run", encode(Bytes(9000, 0)), nullptr},
      {"short text", encode(Bytes(text.begin(), text.begin() + 40)), nullptr},
      {"keyed text", encode(text, &key), &key},
      {"keyed noise", encode(noise, &key), &key},
      {"overlaps", build_stream(overlaps, 4220), nullptr},  // 20 + 25 * (0 + 1 + ... + 15 + 16 * 3)
  };
  for (const auto& path : real_files(1)) {
    Bytes b = read_file(path, 1 << 16);
    cases.push_back({"real file", encode(b), nullptr});
  }
  for (const Case& c : cases) {
    for (int round = 0; round < 300; ++round) {
      Bytes s = c.stream;
      if (round > 0) {
        int flips = 1 + rng() % 4;
        for (int k = 0; k < flips; ++k) s[2 + rng() % (s.size() - 2)] ^= (uint8_t)(1 << rng() % 8);
        if (round % 4 == 0) s.resize(rng() % s.size());
      }
      size_t n = 0, rn = 0;
      int err = -1, rerr = -1;
      std::unique_ptr<uint8_t, Freer> d(lz_decode(s.data(), s.size(), c.key, &n, &err));
      std::unique_ptr<uint8_t, Freer> r(lz_decode_reference(s.data(), s.size(), c.key, &rn, &rerr));
      ASSERT_EQ(err, rerr) << c.name << " round " << round;
      ASSERT_EQ(!d, !r) << c.name << " round " << round;
      if (d) {
        ASSERT_EQ(n, rn);
        ASSERT_EQ(Bytes(d.get(), d.get() + n + 1), Bytes(r.get(), r.get() + rn + 1))
            << c.name << " round " << round;
      }
      if (round == 0) {
        EXPECT_TRUE(d) << c.name << ": " << lz_error_text(err);
      }
    }
  }
}

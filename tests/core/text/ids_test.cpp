// Packed identifiers and the character layer.

#include "core/ids.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string unpack(PackedId id) {
  char b[8];
  return id_unpack(id, b);
}

TEST(PackedId, KnownValuesAndCaseAndPrefix) {
  EXPECT_EQ(id_pack("cab"), 3926u);
  EXPECT_EQ(id_pack("CAB"), 3926u);
  EXPECT_EQ(id_pack("Cab"), 3926u);
  EXPECT_EQ(id_pack("ID_cab"), 3926u);
  EXPECT_EQ(id_pack("id_CAB"), 3926u);
  EXPECT_EQ(id_pack("app"), 1888u);
  EXPECT_EQ(id_pack("sw"), 707u);
  EXPECT_EQ(id_pack("A"), 1u);
  EXPECT_EQ(id_pack("Z"), 26u);
  EXPECT_EQ(id_pack("0"), 27u);
  EXPECT_EQ(id_pack("AA"), 37u);
  EXPECT_EQ(id_pack("999999"), ID_PLAIN_MAX);
  EXPECT_EQ(id_pack("_A"), 0x85741075u);
  // The largest plain value and its neighbours read back on their own side of the boundary.
  EXPECT_EQ(unpack(ID_PLAIN_MAX), "999999");
  EXPECT_EQ(unpack(ID_PLAIN_MAX - 1), "999998");
  EXPECT_EQ(unpack(ID_PLAIN_MAX + 1), "_A");
}

TEST(PackedId, WordEndsAndInvalidWords) {
  EXPECT_EQ(id_pack("ABCDEFG"), 0u);
  EXPECT_EQ(id_pack("ABCDE_"), 0u);
  EXPECT_EQ(id_pack("ABCDEF_"), 0u);
  EXPECT_EQ(id_pack("AB_C"), 0u);
  EXPECT_EQ(id_pack("__A"), 0u);
  EXPECT_EQ(id_pack("AB C"), id_pack("AB"));
  EXPECT_EQ(id_pack("AB("), id_pack("AB"));
  EXPECT_EQ(id_pack("AB\tx"), id_pack("AB"));
  EXPECT_EQ(id_pack("AB$"), id_pack("AB"));
  EXPECT_EQ(id_pack("AB\x82\xA0"), id_pack("AB"));
  EXPECT_EQ(id_pack("ABCDEF."), id_pack("ABCDEF"));
  EXPECT_EQ(id_pack(""), 0u);
  EXPECT_EQ(id_pack(nullptr), 0u);
  EXPECT_EQ(id_pack("ID_"), 0u);
  EXPECT_EQ(unpack(0), "");
}

TEST(PackedId, EveryShortWordRoundTrips) {
  const char sym[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  // All words of one and two symbols, and a spread of longer ones.
  for (int i = 0; i < 36; ++i) {
    std::string w(1, sym[i]);
    EXPECT_EQ(unpack(id_pack(w.c_str())), w);
    for (int j = 0; j < 36; ++j) {
      std::string w2 = w + sym[j];
      ASSERT_EQ(unpack(id_pack(w2.c_str())), w2);
    }
  }
  uint32_t seed = 12345;
  for (int k = 0; k < 20000; ++k) {
    std::string w;
    seed = seed * 1103515245u + 12345u;
    int n = 1 + (seed >> 16) % 6;
    for (int i = 0; i < n; ++i) {
      seed = seed * 1103515245u + 12345u;
      w += sym[(seed >> 16) % 36];
    }
    ASSERT_EQ(unpack(id_pack(w.c_str())), w);
    std::string lower = w;
    for (char& c : lower) c = (char)tolower((unsigned char)c);
    ASSERT_EQ(id_pack(lower.c_str()), id_pack(w.c_str()));
  }
}

TEST(PackedId, UnderscoreWordsReadBackWhenSmall) {
  // An underscore word reads back as itself only when its plain value is below the bias.
  for (const char* w : {"_ALL", "_KC", "_LF", "_FIXHE", "_Z9"}) {
    EXPECT_EQ(unpack(id_pack(w)), w);
    EXPECT_GT(id_pack(w), ID_PLAIN_MAX);
  }
  // A plain value at or above the bias wraps to a small value that reads back as a plain word.
  PackedId big = id_pack("_999999");
  EXPECT_LE(big, ID_PLAIN_MAX);
  EXPECT_NE(unpack(big), "_999999");
  EXPECT_EQ(id_pack(unpack(big).c_str()), big);
}

// The packing as the rules say it, written apart from the packer: an optional "ID_", an optional
// "_", then up to six symbols A-Z 0-9 (the first is 1) in bijective base 36; an underscore inside
// the word or a seventh symbol makes no identifier; the "_" family lies below the bias.
uint32_t reference_pack(std::string w) {
  const std::string sym = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (char& c : w) c = (char)toupper((unsigned char)c);
  if (w.compare(0, 3, "ID_") == 0) w.erase(0, 3);
  bool under = !w.empty() && w[0] == '_';
  if (under) w.erase(0, 1);
  uint64_t v = 0;
  size_t n = 0;
  for (; n < w.size() && n < 6 && sym.find(w[n]) != std::string::npos; ++n)
    v = v * 36 + sym.find(w[n]) + 1;
  if (n < w.size() && (w[n] == '_' || (n == 6 && sym.find(w[n]) != std::string::npos))) return 0;
  return under ? uint32_t(v - ID_UNDERSCORE_BIAS) : uint32_t(v);
}

TEST(PackedId, CompileTimePackerAgrees) {
  static_assert(ID("CAB") == 3926u);
  static_assert(ID("id_cab") == 3926u);
  static_assert(ID("ABCDEFG") == 0u);
  static_assert(ID("_A") == 0x85741075u);
  const char* words[] = {"CAB",  "app",  "SW",   "SHOW", "SWSTR",   "FILE", "OK",     "CANCEL",
                         "_ALL", "ID_X", "Id_y", "AB_C", "ABCDEFG", "",     "AB C",   "999999",
                         "ID_",  "__A",  "A(",   "_",    "DELETE",  "SAVE", "z9z9z9", "ABCDEF_"};
  for (const char* w : words) EXPECT_EQ(ID(w), reference_pack(w)) << w;
  // Random strings over letters, digits, the prefix letters and the bytes that end a word.
  const char alphabet[] = "IDid_aZ09 (\t.$";
  uint32_t seed = 99;
  for (int k = 0; k < 50000; ++k) {
    char w[10];
    seed = seed * 1103515245u + 12345u;
    int n = (seed >> 16) % 10;
    for (int i = 0; i < n; ++i) {
      seed = seed * 1103515245u + 12345u;
      w[i] = alphabet[(seed >> 16) % (sizeof alphabet - 1)];
    }
    w[n] = 0;
    ASSERT_EQ(ID(w), reference_pack(w)) << w;
  }
}

TEST(PackedId, LongFormUnpacks) {
  char b[14];
  EXPECT_STREQ(id_unpack_long(0, b), "");
  EXPECT_STREQ(id_unpack_long(1, b), "A");
  EXPECT_STREQ(id_unpack_long(ID_LONG_PLAIN_MAX, b), "999999999999");
  // Twelve symbols by the same base-36 rule.
  uint64_t v = 0;
  for (char c : std::string("FILETYPECONF")) v = v * 36 + uint64_t(c - 'A' + 1);
  EXPECT_STREQ(id_unpack_long(v, b), "FILETYPECONF");
  EXPECT_STREQ(id_unpack_long(ID_LONG_PLAIN_MAX + 37, b), "_AA");
  EXPECT_STREQ(id_unpack_long(id_pack("SETUP"), b), "SETUP");
}

TEST(CharClass, TableIsFilledBeforeMainAndInitIsIdempotent) {
  uint32_t before[256];
  for (int i = 0; i < 256; ++i) before[i] = char_class[i];
  char_class_init();
  char_class_init();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(char_class[i], before[i]) << i;
  EXPECT_EQ(char_class[0x81], (uint32_t)(CC_LEAD | CC_TRAIL));
  EXPECT_EQ(char_class[0xE0] & CC_LEAD, CC_LEAD);
  EXPECT_EQ(char_class[0xFC], (uint32_t)(CC_LEAD | CC_TRAIL));
  EXPECT_EQ(char_class[0x80], (uint32_t)(CC_TRAIL | CC_EXT));
  EXPECT_EQ(char_class[0xA0], (uint32_t)(CC_TRAIL | CC_EXT));
  EXPECT_EQ(char_class[0xB1], (uint32_t)(CC_TRAIL | CC_KANA));
  for (int b : {0x7F, 0xFD, 0xFE, 0xFF}) EXPECT_EQ(char_class[b], 0u) << b;
  EXPECT_TRUE(char_class['['] & CC_BARE);
  EXPECT_FALSE(char_class[']'] & CC_BARE);
  for (char c : std::string("\"'(),<>")) EXPECT_FALSE(char_class[(unsigned char)c] & CC_BARE);
  EXPECT_EQ(char_class['\n'], (uint32_t)(CC_SPACE | CC_EOL));
  EXPECT_EQ(char_class[0], (uint32_t)CC_EOL);
  EXPECT_EQ(char_class[0x1A], (uint32_t)CC_EOL);
  EXPECT_EQ(char_class['_'], (uint32_t)(CC_TRAIL | CC_IDEXTRA | CC_BARE));
  EXPECT_EQ(char_class['a'] & CC_IDENT, (uint32_t)CC_LOWER);
  EXPECT_EQ(char_class['@'], (uint32_t)(CC_TRAIL | CC_BARE));
  EXPECT_EQ(char_class['?'], (uint32_t)CC_BARE);
  // Values wider than a byte have no class.
  EXPECT_FALSE(char_is(0x141, CC_UPPER));
  EXPECT_FALSE(char_is(-1, CC_EOL));
  EXPECT_TRUE(char_is('A', CC_UPPER));
}

TEST(CharStep, Lengths) {
  EXPECT_EQ(char_len("\r\n"), 2);
  EXPECT_EQ(char_len("\rx"), 1);
  EXPECT_EQ(char_len("\x82\xA0"), 2);
  EXPECT_EQ(char_len("\x82\x20"), 1);
  EXPECT_EQ(char_len("\x82"), 1);
  EXPECT_EQ(char_len("\x80\x40\x41"), 3);
  EXPECT_EQ(char_len("\x80\x3F\x41"), 1);
  EXPECT_EQ(char_len("\x80\x40"), 1);
  EXPECT_EQ(char_len("\xB1"), 1);
  EXPECT_EQ(char_len("\xFF"), 1);
  // U+1F600 as a surrogate pair of escapes: D83D = A0 + ..., DE00.
  char pair[8];
  auto esc = [](unsigned unit, char* o) {
    o[0] = (char)(unit >= 0x8000 ? 0xA0 : 0x80);
    o[1] = (char)(0x40 + (unit & 0x7FFF) / 188);
    o[2] = (char)(0x40 + (unit & 0x7FFF) % 188);
  };
  esc(0xD83D, pair);
  esc(0xDE00, pair + 3);
  pair[6] = 0;
  EXPECT_EQ(char_len(pair), 6);
  EXPECT_EQ(char_escape_unit(pair), 0xD83D);
  EXPECT_EQ(char_escape_unit(pair + 3), 0xDE00);
  EXPECT_EQ(char_code(pair), 0xD83DDE00u);
  // A high surrogate without its low half is one three-byte character.
  char lone[8];
  esc(0xD83D, lone);
  esc(0x0041, lone + 3);
  lone[6] = 0;
  EXPECT_EQ(char_len(lone), 3);

  EXPECT_EQ(char_len_strict("\x82"), 0);
  EXPECT_EQ(char_len_strict("\x82\x20"), 0);
  EXPECT_EQ(char_len_strict("\x80\x3F\x41"), 0);
  EXPECT_EQ(char_len_strict("\xFD"), 0);
  EXPECT_EQ(char_len_strict("\xA0\x30\x40"), 0);
  EXPECT_EQ(char_len_strict("\xB1"), 1);
  EXPECT_EQ(char_len_strict("\x7F"), 1);
  EXPECT_EQ(char_len_strict("\x88\x9F"), 2);
}

TEST(CharStep, RandomBytesStepSafely) {
  // Stepping any byte string stays inside it and agrees between the lenient and strict forms.
  uint32_t seed = 5;
  for (int k = 0; k < 20000; ++k) {
    unsigned char buf[16];
    seed = seed * 1103515245u + 12345u;
    int n = 1 + (seed >> 16) % 14;
    for (int i = 0; i < n; ++i) {
      seed = seed * 1103515245u + 12345u;
      unsigned r = (seed >> 16) & 0xFF;
      buf[i] = (unsigned char)(r < 40 ? "\r\n\x80\xA0\x82\x40\xFF"[r % 7] : r);
      if (buf[i] == 0) buf[i] = 1;
    }
    buf[n] = 0;
    const char* s = (const char*)buf;
    const char* p = s;
    while (*p) {
      int len = char_len(p);
      ASSERT_TRUE(len == 1 || len == 2 || len == 3 || len == 6);
      ASSERT_LE(p + len, s + n);
      int strict = char_len_strict(p);
      ASSERT_TRUE(strict == 0 || strict == len);
      if (strict == 0) {
        ASSERT_EQ(char_code(p), 0u);
      }
      ASSERT_EQ(char_prev(s, p + len), p);
      p += len;
    }
    ASSERT_EQ(p, s + n);
  }
}

TEST(CharStep, Codes) {
  EXPECT_EQ(char_code("\r\n"), 0x0D0Au);
  EXPECT_EQ(char_code("A"), 0x41u);
  EXPECT_EQ(char_code("\x88\x9F"), 0x889Fu);
  EXPECT_EQ(char_code("\x80\x40\x41"), 0x804041u);
  EXPECT_EQ(char_code("\x82"), 0u);
  EXPECT_EQ(char_code("\xFE"), 0u);
  EXPECT_EQ(char_escape_unit("\xA0\x40\x40"), 0x8000);
  EXPECT_EQ(char_escape_unit("\x80\x41\x42"), 188 + 2);
  EXPECT_EQ(char_escape_unit("\x81\x41\x42"), -1);
}

TEST(CharStep, Kinds) {
  EXPECT_EQ(char_kind("\x88\x9F"), ID("KANJI"));
  EXPECT_EQ(char_kind("\x88\x9E"), ID("ZSYM"));
  EXPECT_EQ(char_kind("\x82\xA0"), ID("HIRA"));
  EXPECT_EQ(char_kind("\xB1"), ID("KANA"));
  EXPECT_EQ(char_kind("_"), ID("ALNUM"));
  EXPECT_EQ(char_kind("$"), ID("ALNUM"));
  EXPECT_EQ(char_kind("q"), ID("ALNUM"));
  EXPECT_EQ(char_kind("\t"), ID("SPACE"));
  EXPECT_EQ(char_kind("\r\n"), ID("LF"));
  EXPECT_EQ(char_kind("\x0C"), ID("LF"));
  EXPECT_EQ(char_kind("\x0B"), ID("SYMBOL"));
  EXPECT_EQ(char_kind(""), ID("SYMBOL"));
  EXPECT_EQ(char_kind("\x81\x40"), ID("ZSPACE"));
  EXPECT_EQ(char_kind("\x81\x5B"), ID("KATA"));
  EXPECT_EQ(char_kind("\x83\x40"), ID("KATA"));
  EXPECT_EQ(char_kind("\x82\x60"), ID("ZALNUM"));
  EXPECT_EQ(char_kind("\x82\x4F"), ID("ZALNUM"));
  EXPECT_EQ(char_kind("\x82"), 0u);
  EXPECT_EQ(char_kind("\xFD"), 0u);
  EXPECT_EQ(char_kind("\x80\x41\x41"), ID("SYMBOL"));  // unit 0x00BD
  EXPECT_EQ(char_kind("\x80\x41\x44"), ID("ALNUM"));   // unit 0x00C0
  EXPECT_EQ(char_kind("\x80\x6B\xAC"), ID("KANJI"));   // unit 0x2000
  EXPECT_EQ(char_kind("\x80\x40\x80"), ID("KANJI"));   // unit 0x0040
  EXPECT_EQ(char_kind("\x80\x3F\x40"), 0u);
}

TEST(CharStep, LowerNextPrevLastHex) {
  char s[] = "AbC\x82\x60Z\x83\x41";
  lower_ascii(s);
  EXPECT_STREQ(s, "abc\x82\x60z\x83\x41");  // trail byte 0x41 ('A') is left alone
  const char* t =
      "a\r\n\x82\xA0"
      "b";
  EXPECT_EQ(char_next(t), t + 1);
  EXPECT_EQ(char_next(t + 1), t + 3);
  EXPECT_EQ(char_prev(t, t + 5), t + 3);
  EXPECT_EQ(char_prev(t, t + 3), t + 1);
  EXPECT_EQ(char_last(t, t + 6), t + 5);
  EXPECT_EQ(char_last(t, t), t);
  // A trail byte that looks like ASCII is not taken for a character start.
  const char* u =
      "\x82\x5C"
      "x";
  EXPECT_EQ(char_prev(u, u + 2), u);
  EXPECT_TRUE(char_is_hex('a'));
  EXPECT_TRUE(char_is_hex('F'));
  EXPECT_TRUE(char_is_hex('7'));
  EXPECT_FALSE(char_is_hex('g'));
  EXPECT_FALSE(char_is_hex(0x141));
  EXPECT_FALSE(char_is_hex(-1));
}

}  // namespace

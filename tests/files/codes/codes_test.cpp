// Character codes: detection, conversions in both directions, the JIS arithmetic and katakana,
// SJIS-EX escapes, truncated input, and randomized Unicode round trips.

#include "files/codes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/text.h"
#include "ui/notify.h"

namespace {

const std::string kNull = "<null>";

std::string take(Text* t) {
  if (!t) return kNull;
  std::string s(text_cstr(t), size_t(text_length(t)));
  text_free(t);
  return s;
}
std::string from(const std::string& s, PackedId code) {
  return take(bytes_from_code(s.data(), int64_t(s.size()), code));
}
std::string to(const std::string& s, PackedId code, int mode = 0) {
  return take(bytes_to_code(s.data(), int64_t(s.size()), code, mode));
}
PackedId detect(const std::string& s) {
  return code_detect_bytes(s.data(), int64_t(s.size()));
}

Text* text_of(const std::string& s) {
  Text* t = text_new();
  if (!s.empty()) text_write(t, s.c_str(), int64_t(s.size()));
  return t;
}

std::string utf8_of(uint32_t v) {
  std::string s;
  if (v < 0x80) {
    s += char(v);
  } else if (v < 0x800) {
    s += char(0xC0 | v >> 6);
    s += char(0x80 | (v & 0x3F));
  } else if (v < 0x10000) {
    s += char(0xE0 | v >> 12);
    s += char(0x80 | (v >> 6 & 0x3F));
    s += char(0x80 | (v & 0x3F));
  } else {
    s += char(0xF0 | v >> 18);
    s += char(0x80 | (v >> 12 & 0x3F));
    s += char(0x80 | (v >> 6 & 0x3F));
    s += char(0x80 | (v & 0x3F));
  }
  return s;
}

std::string escape_of(uint32_t unit) {
  char e[3];
  cp_put_escape(unit, e);
  return std::string(e, 3);
}

// Japanese sample in the internal form (the build stores literals as Shift-JIS).
const std::string kJapanese = "日本語のテキスト、漢字とかな。①②Ⅰ㈱≒∵髙﨑 ABC 123\r\n";
const std::string kKana = "ｱｲｳｴｵ ｶﾞｷﾞ ﾊﾟﾋﾟ";

TEST(CodeDetect, MarksAndUtf16WithoutMark) {
  EXPECT_EQ(detect(""), 0u);
  EXPECT_EQ(detect(std::string("\xFF\xFE"
                               "a\0",
                               4)),
            CODE_UNI);
  EXPECT_EQ(detect(std::string("\xFE\xFF\0a", 4)), CODE_UNIBE);
  // Without a mark: even length and the first LF followed by 0x00.
  EXPECT_EQ(detect(std::string("a\0\n\0", 4)), CODE_UNIB);
  EXPECT_NE(detect(std::string("a\0\n\0b", 5)), CODE_UNIB);
  EXPECT_NE(detect(std::string("a\n\n\0", 4)), CODE_UNIB);  // the first LF is what counts
  // An odd length is never UTF-16, even with the mark.
  EXPECT_NE(detect(std::string("\xFF\xFE"
                               "a",
                               3)),
            CODE_UNI);
  EXPECT_EQ(detect("\xEF\xBB\xBF"
                   "abc"),
            CODE_UTFB);
  EXPECT_NE(detect("\xEF\xBB"), CODE_UTFB);
}

TEST(CodeDetect, SevenBitJisAndJapaneseCodes) {
  EXPECT_EQ(detect("plain text\r\n"), CODE_ASCII);
  EXPECT_EQ(detect("abc \x1B$B$\"\x1B(B"), CODE_JIS);
  EXPECT_EQ(detect("abc \x1B$@xx"), CODE_JIS);
  EXPECT_EQ(detect("abc \x1B$Axx"), CODE_ASCII);
  EXPECT_EQ(detect(kJapanese), CODE_SJIS);
  EXPECT_EQ(detect(to(kJapanese, CODE_EUC)), CODE_EUC);
  EXPECT_EQ(detect(to(kJapanese, CODE_UTF)), CODE_UTF);
  EXPECT_EQ(detect(to(kJapanese, CODE_JIS)), CODE_JIS);
  // Bytes after 0x1A are not looked at.
  EXPECT_EQ(detect("abc\x1A\x88\x9F"), CODE_ASCII);
}

TEST(CodeDetect, KatakanaPairsStayUndecidedUntilADecidingByte) {
  EXPECT_EQ(detect("\xB1\xB2\xFF"), 0u);
  EXPECT_EQ(detect("\xB1\xB2\xFF\x88\x9F"), CODE_SJIS);
  EXPECT_EQ(detect("\xB1\xB2\xFF\xF0"), CODE_EUC);
  // A kana byte followed by an E0..EF byte: the bytes after decide.
  EXPECT_EQ(detect("\xB1\xE0\xFF\x41\x88"), CODE_SJIS);
  EXPECT_EQ(detect("\xB1\xE0\x41\xFD"), CODE_EUC);
  EXPECT_EQ(detect("\xB1"), CODE_SJIS);  // a kana byte at the end
}

TEST(CodeDetect, PairsAreReadTogether) {
  // A second byte that left the verdict open is not read again as the next first byte.
  const std::pair<std::string, PackedId> cases[] = {
      {"\xC9\xBD\n\xC6\xFC", CODE_EUC},        // 表 LF 日
      {"\x8E\xB1\x8E\xB2\xC6\xFC", CODE_EUC},  // half-width kana in EUC, then 日
      {to("日本語の文書です。表\r\n", CODE_EUC), CODE_EUC},
      {"\xB1\xB2\xB3", CODE_SJIS},  // three half-width kana
      {"\xE0\xA1\xE0\xA1\x81\x40", CODE_SJIS}};
  for (const auto& c : cases) EXPECT_EQ(detect(c.first), c.second) << c.first;
}

TEST(CodeDetect, WesternTextAndTheUtf8Test) {
  EXPECT_EQ(detect("caf\xE9 cr\xE8me br\xFBl\xE9"
                   "e"),
            CODE_EURO);
  // A byte 0x80..0xBF within the first 256 bytes rules Western text out.
  EXPECT_NE(detect("caf\xE9 \xA9"), CODE_EURO);
  // Once a verdict is reached, only the first 256 bytes are looked at for 0x80..0xBF.
  std::string late = "caf\xE9lait " + std::string(300, 'x') + "\xA9";
  EXPECT_EQ(detect(late), CODE_EURO);
  EXPECT_EQ(detect("caf\xE9lait \xA9"), CODE_SJIS);
  // Latin text that is valid UTF-8 is UTF-8.
  EXPECT_EQ(detect("caf\xC3\xA9 cr\xC3\xA8me"), CODE_UTF);
  // A four-byte form within the first 100 three-byte sequences fails the UTF-8 test...
  std::string utf = to("日本", CODE_UTF) + "\xF0\x9F\x98\x80";
  EXPECT_EQ(detect(utf), CODE_SJIS);
  // ...but after more than 100 of them the test has passed already.
  std::string many;
  for (int i = 0; i < 101; ++i) many += to("語", CODE_UTF);
  EXPECT_EQ(detect(many + "\xF0\x9F\x98\x80"), CODE_UTF);
  // A truncated sequence at the end fails it.
  EXPECT_EQ(detect(to("日本", CODE_UTF) + "\xE6\x97"), CODE_SJIS);
}

TEST(CodeDetect, TextCursorIsRestored) {
  Text* t = text_of(to(kJapanese, CODE_EUC));
  text_seek(t, 5);
  EXPECT_EQ(code_detect(t), CODE_EUC);
  EXPECT_EQ(text_tell(t), 5);
  text_free(t);
  EXPECT_EQ(code_detect(nullptr), 0u);
}

TEST(CodeConvert, EveryCodeRoundTrips) {
  const std::string sample =
      kJapanese + kKana + escape_of(0x301C) + escape_of(0xD83D) + escape_of(0xDE00);
  for (PackedId code : {CODE_UTF, CODE_UTFB, CODE_UNI, CODE_UNIB, CODE_UNIBE}) {
    for (int mode : {0, int(CODE_NO_MARK)}) {
      std::string file = to(sample, code, mode);
      ASSERT_NE(file, kNull);
      EXPECT_EQ(from(file, code), sample) << code << " " << mode;
    }
  }
  // EUC carries half-width kana; JIS turns them into full-width ones.
  EXPECT_EQ(from(to(kJapanese + kKana, CODE_EUC), CODE_EUC), kJapanese + kKana);
  EXPECT_EQ(from(to(kJapanese, CODE_JIS), CODE_JIS), kJapanese);
  EXPECT_EQ(from(to(kKana, CODE_JIS), CODE_JIS), "アイウエオ ガギ パピ");
  // Western: every byte value.
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  EXPECT_EQ(to(from(all, CODE_EURO), CODE_EURO), all);
  // The codes that need no conversion copy.
  for (PackedId code : {PackedId(0), CODE_SJIS, CODE_SJISEX, CODE_ASCII}) {
    EXPECT_EQ(from(all, code), all);
    EXPECT_EQ(to(all, code), all);
  }
}

TEST(CodeConvert, UnicodeForms) {
  EXPECT_EQ(to("あA", CODE_UTF),
            "\xE3\x81\x82"
            "A");
  EXPECT_EQ(to("あ", CODE_UTFB), "\xEF\xBB\xBF\xE3\x81\x82");
  EXPECT_EQ(to("あ", CODE_UTFB, CODE_NO_MARK), "\xE3\x81\x82");
  EXPECT_EQ(to("あ", CODE_UNI), std::string("\xFF\xFE\x42\x30", 4));
  EXPECT_EQ(to("あ", CODE_UNI, CODE_NO_MARK), std::string("\x42\x30", 2));
  EXPECT_EQ(to("あ", CODE_UNIB), std::string("\x42\x30", 2));
  EXPECT_EQ(to("あ", CODE_UNIBE), std::string("\xFE\xFF\x30\x42", 4));
  // Marks are skipped on reading.
  EXPECT_EQ(from("\xEF\xBB\xBF\xE3\x81\x82", CODE_UTF), "あ");
  EXPECT_EQ(from(std::string("\xFE\xFF\x30\x42", 4), CODE_UNIBE), "あ");
  // Characters whose code page 932 mapping is special keep their Shift-JIS form where it reads
  // back as the same character, and travel as escapes otherwise.
  EXPECT_EQ(from(utf8_of(0xFF5E), CODE_UTF), "～");
  EXPECT_EQ(from(utf8_of(0x2225), CODE_UTF), "∥");
  EXPECT_EQ(from(utf8_of(0xFF0D), CODE_UTF), "－");
  EXPECT_EQ(from(utf8_of(0x301C), CODE_UTF), escape_of(0x301C));
  EXPECT_EQ(from(utf8_of(0x301C), CODE_UTF), "\x80\x81\xA0");
  EXPECT_EQ(from(utf8_of(0x2016), CODE_UTF), escape_of(0x2016));
  EXPECT_EQ(from(utf8_of(0x2212), CODE_UTF), escape_of(0x2212));
  EXPECT_EQ(from(utf8_of(0x00A5), CODE_UTF), escape_of(0x00A5));
  EXPECT_EQ(from(utf8_of(0x203E), CODE_UTF), escape_of(0x203E));
  EXPECT_EQ(from("\\~", CODE_UTF), "\\~");
  // Outside the BMP: six bytes, one character.
  std::string smile = from(utf8_of(0x1F600), CODE_UTF);
  EXPECT_EQ(smile, escape_of(0xD83D) + escape_of(0xDE00));
  EXPECT_EQ(to(smile, CODE_UTF), utf8_of(0x1F600));
  EXPECT_EQ(to(smile, CODE_UNIB), std::string("\x3D\xD8\x00\xDE", 4));
  // An escape with the high bit: 0xA0 lead.
  EXPECT_EQ(escape_of(0xFFFF).substr(0, 1), "\xA0");
  EXPECT_EQ(to(escape_of(0xFFFF), CODE_UNIB), "\xFF\xFF");
  // Broken UTF-8: a lead without continuation bytes is skipped, the next byte is kept.
  EXPECT_EQ(from("a\xE6Zb\x80", CODE_UTF), "aZb");
}

std::string to_sjis_pair(unsigned code) {
  return {char(code >> 8), char(code & 0xFF)};
}

TEST(CodeConvert, EucAndJisForms) {
  EXPECT_EQ(to("日本", CODE_EUC), "\xC6\xFC\xCB\xDC");
  EXPECT_EQ(to("ｱ", CODE_EUC), "\x8E\xB1");
  EXPECT_EQ(to(std::string("a").append(escape_of(0x301C)).append("b"), CODE_EUC), "a?b");
  EXPECT_EQ(to(escape_of(0xD83D) + escape_of(0xDE00), CODE_EUC), "?");
  EXPECT_EQ(from("\xC6\xFC\x8E\xB1x", CODE_EUC), "日ｱx");
  EXPECT_EQ(from("\x8F\xB0\xA1z", CODE_EUC), "?z");  // JIS X 0212 has no Shift-JIS form
  // IBM extension kanji travel in the NEC-selected rows and come back in their own form;
  // user-defined characters cannot travel.
  EXPECT_EQ(to("髙", CODE_EUC), to(to_sjis_pair(0xEEE0), CODE_EUC));
  EXPECT_EQ(from(to("髙﨑¬", CODE_EUC), CODE_EUC), "髙﨑¬");
  EXPECT_EQ(to("¬", CODE_EUC), "\xA2\xCC");
  EXPECT_EQ(to(to_sjis_pair(0xF040), CODE_EUC), "?");
  EXPECT_EQ(to(to_sjis_pair(0xF040), CODE_JIS), "?");

  EXPECT_EQ(to("日本", CODE_JIS), "\x1B$BF|K\\\x1B(J");
  EXPECT_EQ(to("a日b", CODE_JIS), "a\x1B$BF|\x1B(Jb");
  EXPECT_EQ(to("日\r\n本", CODE_JIS), "\x1B$BF|\x1B(J\r\n\x1B$BK\\\x1B(J");
  EXPECT_EQ(to("日" + escape_of(0x301C), CODE_JIS), "\x1B$BF|\x1B(J?");
  // Reading: ESC $ x and ESC ( x, SO/SI kana, CR and LF end both modes.
  EXPECT_EQ(from("\x1B$BF|\x1B(Bx", CODE_JIS), "日x");
  EXPECT_EQ(from("\x1B$@F|\nF|", CODE_JIS), "日\nF|");
  EXPECT_EQ(from("\x1B(I\x31\x32\x1B(Bz", CODE_JIS), "ｱｲz");
  EXPECT_EQ(from("\x0E\x31\x0F\x31", CODE_JIS), "ｱ1");
  EXPECT_EQ(from("a\x1B"
                 "b",
                 CODE_JIS),
            "ab");
}

TEST(CodeConvert, BytesThatCannotBeSecondBytesAreReadAsThemselves) {
  // One "?" for the first byte; nothing after it is lost.
  const std::string latin =
      "ma\xF1"
      "ana ol\xE9\r\nfin\r\n";  // detected as EUC
  EXPECT_EQ(detect(latin), CODE_EUC);
  const std::pair<std::string, std::string> euc[] = {
      {latin, "ma?ana ol?\r\nfin\r\n"}, {"\x8E\r\nx", "?\r\nx"}, {"\x8F\xB0\nz", "?\nz"}};
  for (const auto& c : euc) EXPECT_EQ(from(c.first, CODE_EUC), c.second) << c.first;
  const std::pair<std::string, std::string> jis[] = {
      {"\x1B$BF\x1B(Bx", "?x"}, {"\x1B$BF|F\r\nx", "日?\r\nx"}, {"\x1B$B\tF|", "\t日"}};
  for (const auto& c : jis) EXPECT_EQ(from(c.first, CODE_JIS), c.second) << c.first;
}

// Full-width katakana, by its JIS code, from an internal literal.
std::vector<uint16_t> jis_codes(const std::string& s) {
  std::vector<uint16_t> out;
  for (size_t i = 0; i + 1 < s.size(); i += 2)
    out.push_back(sjis_to_jis(uint16_t((unsigned char)s[i] << 8 | (unsigned char)s[i + 1])));
  return out;
}

TEST(CodeConvert, HalfWidthKatakanaTableAndVoicing) {
  std::vector<uint16_t> full = jis_codes(
      "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホ"
      "マミムメモヤユヨラリルレロワン゛゜");
  ASSERT_EQ(full.size(), 63u);
  for (unsigned k = 0xA1; k <= 0xDF; ++k)
    EXPECT_EQ(kana_to_jis(k, 0, nullptr), full[k - 0xA1]) << k;
  EXPECT_EQ(kana_to_jis(0xA0, 0, nullptr), 0);
  EXPECT_EQ(kana_to_jis(0xE0, 0, nullptr), 0);

  std::vector<uint16_t> voiced = jis_codes("ガギグゲゴザジズゼゾダヂヅデドバビブベボ");
  std::vector<uint16_t> semi = jis_codes("パピプペポ");
  const char* ka_to = "ｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾊﾋﾌﾍﾎ";
  for (int i = 0; i < 20; ++i) {
    bool absorbed = false;
    EXPECT_EQ(kana_to_jis((unsigned char)ka_to[i], 0xDE, &absorbed), voiced[i]) << i;
    EXPECT_TRUE(absorbed);
  }
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(kana_to_jis((unsigned char)ka_to[15 + i], 0xDF, nullptr), semi[i]);

  // In JIS output: the mark is absorbed; only kana with a voiced form change.
  EXPECT_EQ(to("ｶﾞ", CODE_JIS), "\x1B$B%,\x1B(J");
  EXPECT_EQ(to("ｱﾞ", CODE_JIS), to("ア", CODE_JIS));
  EXPECT_EQ(to("ﾅﾞ", CODE_JIS), to("ナ", CODE_JIS));  // not the next kana (ニ)
  EXPECT_EQ(to("ｶﾟ", CODE_JIS), to("カ", CODE_JIS));
  EXPECT_EQ(to("ﾎﾟ", CODE_JIS), to("ポ", CODE_JIS));
  EXPECT_EQ(to("ﾞ", CODE_JIS), to("゛", CODE_JIS));
  EXPECT_EQ(to("日ｱ", CODE_JIS), "\x1B$BF|%\"\x1B(J");  // kana stay in kanji mode
}

TEST(CodeConvert, JisArithmetic) {
  EXPECT_EQ(sjis_to_jis(0x889F), 0x3021);
  EXPECT_EQ(jis_to_sjis(0x3021), 0x889F);
  EXPECT_EQ(jis_to_sjis(0x2121), 0x8140);
  EXPECT_EQ(jis_to_sjis(0x7E7E), 0xEFFC);
  for (unsigned a = 0x21; a <= 0x7E; ++a) {
    for (unsigned b = 0x21; b <= 0x7E; ++b) {
      uint16_t s = jis_to_sjis(uint16_t(a << 8 | b));
      ASSERT_TRUE(cp_is_lead(s >> 8) && cp_is_trail(s & 0xFF)) << a << " " << b;
      ASSERT_EQ(sjis_to_jis(s), a << 8 | b);
    }
  }
}

TEST(CodeConvert, TruncatedInputFailsAndLeavesTheTextAlone) {
  std::string cut = "abc日";
  cut.pop_back();  // a lone lead byte at the end
  for (PackedId code :
       {CODE_EUC, CODE_JIS, CODE_UTF, CODE_UTFB, CODE_UNI, CODE_UNIB, CODE_UNIBE, CODE_EURO})
    EXPECT_EQ(to(cut, code), kNull) << code;
  EXPECT_EQ(from("ab\xC6", CODE_EUC), kNull);
  EXPECT_EQ(from("ab\x8F\xB0", CODE_EUC), kNull);
  EXPECT_EQ(from("\x1B$BF|K", CODE_JIS), kNull);
  EXPECT_EQ(from("ab\xE6\x97", CODE_UTF), kNull);
  EXPECT_EQ(from("ab\xE6Z", CODE_UTF), "abZ");  // broken, not truncated
  EXPECT_EQ(from("ab\xF0\x9F\x98", CODE_UTFB), kNull);
  EXPECT_EQ(from(std::string("\xFF\xFE"
                             "a\0b",
                             5),
                 CODE_UNI),
            kNull);
  // A lone lead byte inside the text is one character, not a failure.
  EXPECT_NE(to("\x88"
               "abc",
               CODE_UTF),
            kNull);

  for (PackedId code : {CODE_EUC, CODE_UTF, CODE_UNIBE}) {
    Text* t = text_of(cut);
    text_seek(t, 2);
    EXPECT_FALSE(code_to_file(t, code, 0));
    EXPECT_EQ(std::string(text_cstr(t), size_t(text_length(t))), cut);
    EXPECT_EQ(text_tell(t), 2);
    text_free(t);
  }
  Text* t = text_of("ab\xE6\x97");
  EXPECT_FALSE(code_from_file(t, CODE_UTF));
  EXPECT_EQ(std::string(text_cstr(t), size_t(text_length(t))), "ab\xE6\x97");
  text_free(t);
}

TEST(CodeConvert, TextsAreConvertedInPlace) {
  Text* t = text_of(to(kJapanese, CODE_UNI));
  EXPECT_TRUE(code_from_file(t, CODE_UNI));
  EXPECT_EQ(std::string(text_cstr(t), size_t(text_length(t))), kJapanese);
  EXPECT_TRUE(code_to_file(t, CODE_UTFB, 0));
  EXPECT_EQ(std::string(text_cstr(t), size_t(text_length(t))), to(kJapanese, CODE_UTFB));
  EXPECT_TRUE(code_to_file(t, CODE_SJIS, 0));  // nothing to do
  EXPECT_EQ(std::string(text_cstr(t), size_t(text_length(t))), to(kJapanese, CODE_UTFB));
  text_free(t);
  // An empty result (only a mark) empties the Text.
  t = text_of("\xEF\xBB\xBF");
  EXPECT_TRUE(code_from_file(t, CODE_UTFB));
  EXPECT_EQ(text_length(t), 0);
  text_free(t);
  EXPECT_FALSE(code_from_file(nullptr, CODE_UTF));
}

TEST(CodeConvert, LockedTextIsNotChanged) {
  Text* t = text_of("\xE3\x81\x82");
  text_lock(t);
  EXPECT_FALSE(code_from_file(t, CODE_UTF));
  text_unlock(t);
  EXPECT_EQ(std::string(text_cstr(t), size_t(text_length(t))), "\xE3\x81\x82");
  text_free(t);
}

std::vector<std::string> g_boxes;
int capture(NotifyKind kind, const char* message, unsigned) {
  if (kind == NOTIFY_BOX) g_boxes.push_back(message);
  return NOTIFY_YES;
}

TEST(CodeConvert, EuroDropsWhatItCannotHoldAndSaysSo) {
  notify_set_sink(capture);
  g_boxes.clear();
  std::string latin = from("caf\xE9 \xB1", CODE_EURO);
  EXPECT_EQ(to(latin, CODE_EURO), "caf\xE9 \xB1");
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_EQ(to("a日b" + escape_of(0xD83D) + escape_of(0xDE00) + "ｱc", CODE_EURO), "abc");
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0], "欧文に変換できない文字があり、削除しました。\n");
  notify_set_sink(nullptr);
}

TEST(CodeNames, StatusLineNames) {
  EXPECT_STREQ(code_status_name(0), "SJIS");
  EXPECT_STREQ(code_status_name(CODE_ASCII), "SJIS");
  EXPECT_STREQ(code_status_name(CODE_UTFB), "UTF8+b");
  EXPECT_STREQ(code_status_name(CODE_UNIB), "UNI-b");
  EXPECT_STREQ(code_status_name(CODE_UNIBE), "UNI(be)");
  EXPECT_STREQ(code_status_name(CODE_EURO), "euro");
  EXPECT_EQ(code_status_name(ID("XYZ")), nullptr);
  EXPECT_STREQ(line_end_status_name(LF_CRLF), "CR+LF");
  EXPECT_STREQ(line_end_status_name(LF_LF), "LF");
  EXPECT_STREQ(line_end_status_name(LF_CR), "CR");
}

// Random scalars through UTF-8 -> internal -> UTF-8 and through UTF-16 -> internal -> UTF-16.
TEST(CodeConvert, RandomUnicodeRoundTrips) {
  std::mt19937 rng(20261208);
  for (int round = 0; round < 300; ++round) {
    std::string utf8;
    std::u16string utf16;
    int n = 1 + int(rng() % 200);
    for (int i = 0; i < n; ++i) {
      uint32_t v;
      switch (rng() % 4) {
        case 0:
          v = rng() % 0x80;
          break;
        case 1:
          v = 0x3000 + rng() % 0x7000;
          break;  // the CJK neighbourhood
        case 2:
          v = rng() % 0x10000;
          break;
        default:
          v = 0x10000 + rng() % 0x100000;
          break;
      }
      if (v >= 0xD800 && v <= 0xDFFF) v = 0xE000;
      utf8 += utf8_of(v);
      if (v >= 0x10000) {
        utf16 += char16_t(0xD800 | (v - 0x10000) >> 10);
        utf16 += char16_t(0xDC00 | ((v - 0x10000) & 0x3FF));
      } else {
        utf16 += char16_t(v);
      }
    }
    std::string internal = from(utf8, CODE_UTF);
    ASSERT_EQ(to(internal, CODE_UTF), utf8) << round;
    std::string le;
    for (char16_t u : utf16) le += {char(u & 0xFF), char(u >> 8)};
    ASSERT_EQ(from(le, CODE_UNIB), internal);
    ASSERT_EQ(to(internal, CODE_UNIB), le);
    // And the internal form survives the trip out and back.
    ASSERT_EQ(from(to(internal, CODE_UNIBE), CODE_UNIBE), internal);
  }
}

TEST(Codepage, WideAndNarrowBuffers) {
  char16_t w[8];
  EXPECT_EQ(to_wide("あa", -1, w, 8), 3);
  EXPECT_EQ(w[0], 0x3042);
  EXPECT_EQ(w[1], u'a');
  EXPECT_EQ(w[2], 0);
  EXPECT_EQ(to_wide("あa", 3, nullptr, 0), 2);
  EXPECT_EQ(to_wide("あa", 3, w, 1), 0);  // too small
  char n[16];
  const char16_t src[] = {0x3042, 0x301C, 0xD83D, 0xDE00, 0};
  EXPECT_EQ(to_narrow(src, -1, nullptr, 0), 2 + 3 + 6 + 1);
  EXPECT_EQ(to_narrow(src, -1, n, 12), 12);
  EXPECT_EQ(std::string(n, 11), "あ" + escape_of(0x301C) + escape_of(0xD83D) + escape_of(0xDE00));
  EXPECT_EQ(to_narrow(src, -1, n, 11), 0);
  char16_t* d = to_wide_new("\x80\x81\xA0z", -1);
  ASSERT_TRUE(d);
  EXPECT_EQ(d[0], 0x301C);
  EXPECT_EQ(d[1], u'z');
  EXPECT_EQ(d[2], 0);
  free(d);
  // Sequences that read as nothing: the default unit; an escape lead alone reads as itself.
  EXPECT_EQ(to_wide("\x85\x40", 2, w, 8), 1);
  EXPECT_EQ(w[0], CP_DEFAULT_UNIT);
  EXPECT_EQ(to_wide("\x80"
                    "a",
                    2, w, 8),
            2);
  EXPECT_EQ(w[0], 0x0080);
  // ...and U+0080 is written as an escape, never as the escape lead alone.
  const char16_t c1[] = {0x80, u'A', u'B'};
  EXPECT_EQ(to_narrow(c1, 3, n, 16), 5);
  EXPECT_EQ(std::string(n, 5), escape_of(0x80) + "AB");
}

}  // namespace

namespace {

TEST(CodeProps, CodeAndLineEndOfAText) {
  Text* t = text_new();
  EXPECT_EQ(text_code(t), 0u);
  EXPECT_EQ(text_line_end(t), LF_CRLF);
  EXPECT_TRUE(text_set_code(t, CODE_EUC));
  EXPECT_TRUE(text_set_line_end(t, LF_LF));
  EXPECT_EQ(text_code(t), CODE_EUC);
  EXPECT_EQ(text_prop(t, ID("_KC")), intptr_t(CODE_EUC));
  EXPECT_EQ(text_line_end(t), LF_LF);
  text_free(t);

  EXPECT_EQ(line_end_detect("a\r\nb\n", 5, CODE_SJIS), LF_CRLF);
  EXPECT_EQ(line_end_detect("a\nb\r\n", 5, CODE_SJIS), LF_LF);
  EXPECT_EQ(line_end_detect("a\rb", 3, CODE_UTF), LF_CR);
  EXPECT_EQ(line_end_detect("abc", 3, CODE_UTF), LF_CRLF);
  EXPECT_EQ(line_end_detect(std::string("a\0\r\0\n\0", 6).data(), 6, CODE_UNIB), LF_CRLF);
  EXPECT_EQ(line_end_detect(std::string("\0a\0\r\0b", 6).data(), 6, CODE_UNIBE), LF_CR);
  // A 0x0A byte inside a UTF-16 unit is not a line end.
  EXPECT_EQ(line_end_detect(std::string("\x0A\x30\n\0", 4).data(), 4, CODE_UNIB), LF_LF);
  EXPECT_EQ(line_end_detect(std::string("\x0A\x30\r\0", 4).data(), 4, CODE_UNI), LF_CR);
}

}  // namespace

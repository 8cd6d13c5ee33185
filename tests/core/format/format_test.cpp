// The formatter: every conversion, widths and modifiers, Text-or-string arguments and formats,
// the insertion entry points and the bound of buf_printf.

#include "core/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "core/text_fault.h"

namespace {

std::string contents(Text* t) {
  if (!t) return "<null>";
  int64_t n = text_length(t);
  std::string s((size_t)n, '\0');
  text_copy_out(t, 0, s.data(), n);
  return s;
}

template <class... A>
std::string F(TextArg format, A... a) {
  Text* t = format_text(format, a...);
  std::string s = contents(t);
  text_free(t);
  return s;
}

// A Text holding `s` (LF stored as CR LF), cursor at `pos`.
Text* make_text(const char* s, TextPos pos) {
  Text* t = text_new();
  text_puts(t, s);
  text_seek(t, pos);
  return t;
}

TEST(FormatWidth, PaddingAndFlags) {
  EXPECT_EQ(F("%5d", 42), "   42");
  EXPECT_EQ(F("%05d", 42), "00042");
  EXPECT_EQ(F("%-5d", 42), "   42");
  EXPECT_EQ(F("%+- #5d", 42), "   42");
  EXPECT_EQ(F("%03X", 255), "0FF");
  EXPECT_EQ(F("%*d|", 4, 7), "   7|");
  EXPECT_EQ(F("%0*d|", 3, 7), "007|");
  EXPECT_EQ(F("%2d", 12345), "12345");  // never cut
  // An empty result is not padded.
  EXPECT_EQ(F("[%5id]", 0), "[]");
  // A negative '*' width means none (the minus flag has no meaning here).
  EXPECT_EQ(F("%*d", -6, 7), "7");
  // Direct conversions ignore the width.
  EXPECT_EQ(F("%5s|%5c", "ab", 'x'), "ab|x");
}

TEST(FormatWidth, HugeWidthIsCapped) {
  std::string s = F("%*d", INT_MAX, 1);
  EXPECT_EQ(s.size(), 255u);
  EXPECT_EQ(s.back(), '1');
  EXPECT_EQ(F("%99999999999999999999d", 1).size(), 255u);
}

TEST(FormatInt, Decimal) {
  EXPECT_EQ(F("%d", -42), "-42");
  EXPECT_EQ(F("%d", INT_MIN), "-2147483648");
  EXPECT_EQ(F("%d %u", 0, 0), "0 0");
  EXPECT_EQ(F("%u", -1), "4294967295");
  EXPECT_EQ(F("%ld %lu", 5, 6u), "5 6");
  // 32-bit conversions read the low half of their slot.
  EXPECT_EQ(F("%d", (int64_t)0x100000005), "5");
  EXPECT_EQ(F("%.5d", 42), "42");  // precision read and ignored
}

TEST(FormatInt, HexAndBase36) {
  EXPECT_EQ(F("%x", 0), "0");
  EXPECT_EQ(F("%x %X", 0xabcdef, 0xabcdef), "abcdef ABCDEF");
  EXPECT_EQ(F("%x", -1), "ffffffff");
  EXPECT_EQ(F("%zd", 36), "10");
  EXPECT_EQ(F("%zd", 35), "z");
  EXPECT_EQ(F("%zd", 0), "0");
  EXPECT_EQ(F("%p", UINT64_MAX), "18446744073709551615");
  EXPECT_EQ(F("%zp", (uint64_t)36 * 36 * 36 * 36 * 36 * 36 * 36), "10000000");
  // z before anything but d or p is read as an unknown conversion: the x stays literal.
  EXPECT_EQ(F("%zx", 5), "x");
}

TEST(FormatInt, FixedPoint) {
  EXPECT_EQ(F("%.d", 153), "15.3");
  EXPECT_EQ(F("%.d", 150), "15");
  EXPECT_EQ(F("%.d", 7), "0.7");
  EXPECT_EQ(F("%..d", 1234), "12.34");
  EXPECT_EQ(F("%..d", 1230), "12.3");
  EXPECT_EQ(F("%..d", 1205), "12.05");
  EXPECT_EQ(F("%..d", 1200), "12");
  EXPECT_EQ(F("%..d", 5), "0.05");
  EXPECT_EQ(F("%6.d|", 153), "  15.3|");
  // Negative values: a minus and the magnitude.
  EXPECT_EQ(F("%.d", -153), "-15.3");
  EXPECT_EQ(F("%..d", -5), "-0.05");
  EXPECT_EQ(F("%..d", INT_MIN), "-21474836.48");
}

TEST(FormatId, Cases) {
  EXPECT_EQ(F("%id", 3926), "cab");
  EXPECT_EQ(F("%ID", 3926), "CAB");
  EXPECT_EQ(F("%Id", 3926), "Cab");
  EXPECT_EQ(F("%id", 0), "");
  EXPECT_EQ(F("%id %Id %ID", ID("_ALL"), ID("_ALL"), ID("_ALL")), "_all _All _ALL");
  EXPECT_EQ(F("%ID", ID("A1B2")), "A1B2");
  // %D without I takes its argument and prints nothing.
  EXPECT_EQ(F("%D%d", 1, 2), "2");
  // I and i not followed by their second letter are unknown conversions: no argument taken.
  EXPECT_EQ(F("%Ix%d", 9), "x9");
  EXPECT_EQ(F("%ix%d", 9), "x9");
}

TEST(FormatLiteral, PercentBackslashUnknown) {
  EXPECT_EQ(F("100%%"), "100%");
  EXPECT_EQ(F("a%/b"), "a\\b");
  EXPECT_EQ(F("a%qb%d", 7), "ab7");
  EXPECT_EQ(F("end%"), "end");
  EXPECT_EQ(F("end%-08"), "end");
  // An unknown double-byte character after % is skipped whole, not split.
  EXPECT_EQ(F("%\x82\xA0x"), "x");
  EXPECT_EQ(F(""), "");
  EXPECT_EQ(F(nullptr), "");
}

TEST(FormatLiteral, LineEnds) {
  EXPECT_EQ(F("a\nb\n"), "a\r\nb\r\n");
  EXPECT_EQ(F("a\r\nb"), "a\r\nb");
  EXPECT_EQ(F("\n\n"), "\r\n\r\n");
  EXPECT_EQ(F("%d\n", 3), "3\r\n");
  // Multibyte text passes unchanged, including a trail byte that is a backslash.
  EXPECT_EQ(F("\x83\x5C%d\x82\xA0", 1),
            "\x83\x5C"
            "1\x82\xA0");
}

TEST(FormatChar, Codes) {
  EXPECT_EQ(F("%c", 'A'), "A");
  EXPECT_EQ(F("%c", 0x82A0), "\x82\xA0");
  EXPECT_EQ(F("%c", 0x804041), "\x80\x40\x41");
  EXPECT_EQ(F("%C%C", 'a', 'Z'), "AZ");
  EXPECT_EQ(F("%C", 0x82A0), "\x82\xA0");
  EXPECT_EQ(F("%C", 0xE1), "\xE1");  // not ASCII: unchanged
  // A surrogate pair becomes one six-byte character that decodes back to the same code.
  std::string pair = F("%c", (int)0xD83DDE00u);
  ASSERT_EQ(pair.size(), 6u);
  EXPECT_EQ(char_len(pair.c_str()), 6);
  EXPECT_EQ(char_code(pair.c_str()), 0xD83DDE00u);
}

TEST(FormatString, PlainAndText) {
  EXPECT_EQ(F("[%s]", "a\nb"), "[a\r\nb]");
  EXPECT_EQ(F("[%s]", "a\r\nb"), "[a\r\nb]");
  EXPECT_EQ(F("[%ls]", "x\n"), "[x\r\n]");
  EXPECT_EQ(F("[%s]", nullptr), "[]");
  EXPECT_EQ(F("[%s]", (const char*)nullptr), "[]");
  Text* t = make_text("one\ntwo\nthree", 6);  // inside "two"
  EXPECT_EQ(F("[%s]", t), "[two]");
  t->flags |= TX_WHOLE;
  EXPECT_EQ(F("[%s]", t), "[one\r\ntwo\r\nthree]");
  text_free(t);
}

TEST(FormatString, Counted) {
  EXPECT_EQ(F("[%ns]", "a\nbc", 3), "[a\nb]");  // no conversion
  EXPECT_EQ(F("[%ns]", "abc", 0), "[]");
  EXPECT_EQ(F("[%ns]", nullptr, 3), "[]");
  EXPECT_EQ(F("[%ns]", "abc", -1), "[]");
  // Never past the terminating NUL, whatever the length says.
  EXPECT_EQ(F("[%ns]", "ab", 1000), "[ab]");
  Text* t = make_text("first\nsecond", 0);
  EXPECT_EQ(F("[%ns]", t, 3), "[fir]");
  EXPECT_EQ(F("[%ns]", t, 100), "[first]");
  text_free(t);
}

TEST(FormatString, WholeText) {
  EXPECT_EQ(F("[%ts]", "plain"), "[]");
  EXPECT_EQ(F("[%ts]", nullptr), "[]");
  Text* t = make_text("a\nb", 0);
  EXPECT_EQ(F("[%ts]", t), "[a\r\nb]");
  text_free(t);
  EXPECT_EQ(F("[%ts]", t), "[]");  // a freed handle is no longer a Text
}

TEST(FormatString, Cell) {
  EXPECT_EQ(F("[%cs]", "a\tb"), "[a\tb]");          // a string is used whole
  Text* t = make_text("x\tfield two\tz\nnext", 5);  // in the middle of the second field
  EXPECT_EQ(F("[%cs]", t), "[field two]");
  text_free(t);
  EXPECT_EQ(F("[%cs]", nullptr), "[]");
}

TEST(FormatString, Escaped) {
  EXPECT_EQ(F("%es", "a b/Z9_"), "a\\20b\\2FZ9\\5F");
  EXPECT_EQ(F("%es", "\r\n\x01\x7F"), "\\0D\\0A\\01\\7F");
  // Multibyte characters stay whole even when a trail byte is ASCII (0x5C, 0x7E).
  EXPECT_EQ(F("%es", "\x83\x5C\x81\x7E\xB1"), "\x83\x5C\x81\x7E\xB1");
  EXPECT_EQ(F("[%es]", nullptr), "[]");
}

TEST(FormatString, Wide) {
  EXPECT_EQ(F("[%ws]", u"abc"), "[abc]");
  EXPECT_EQ(F("[%ws]", u"a\nb"), "[a\r\nb]");
  EXPECT_EQ(F("[%ws]", u"\u3042"), "[\x82\xA0]");  // HIRAGANA A
  EXPECT_EQ(F("[%ws]", (const char16_t*)nullptr), "[]");
  EXPECT_EQ(F("[%ws]", u""), "[]");
}

TEST(FormatString, MenuPath) {
  EXPECT_EQ(F("%ms", "C:\\Users\\me\\file.txt"), "file.txt\aC:\\Users\\me");
  EXPECT_EQ(F("%ms", "C:\\a.txt"), "a.txt\aC:\\");  // short folder keeps its separator
  EXPECT_EQ(F("%ms", "C:a.txt"), "a.txt\aC:");
  EXPECT_EQ(F("%ms", "a.txt"), "a.txt\a");
  EXPECT_EQ(F("%ms", "d/e/f"), "f\ad/e");
  EXPECT_EQ(F("%ms", "a&b/c&d"), "c&&d\aa&&b");
  // A trail byte 0x5C is not a separator.
  EXPECT_EQ(F("%ms", "dir\\\x83\x5C"), "\x83\x5C\adir");
  std::string n24(24, 'n'), n25(25, 'n');
  EXPECT_EQ(F("%ms", ("d/" + n24).c_str()), n24 + "\ad/");
  EXPECT_EQ(F("%ms", ("d/" + n25).c_str()), n24 + "...\ad/");
  // The cut falls before a double-byte character that would straddle byte 24.
  std::string jp = std::string(23, 'n') + "\x82\xA0" + "xx";
  EXPECT_EQ(F("%ms", ("d/" + jp).c_str()), std::string(23, 'n') + "...\ad/");
  // Name starting at byte 31 or later: the folder is cut to 30 bytes.
  std::string dir30(30, 'd');  // name starts at 31
  EXPECT_EQ(F("%ms", (dir30 + "/f").c_str()), std::string("f\a").append(dir30).append("..."));
  std::string dir29(29, 'd');  // name starts at 30
  EXPECT_EQ(F("%ms", (dir29 + "/f").c_str()), std::string("f\a").append(dir29));
  EXPECT_EQ(F("[%ms]", nullptr), "[]");
}

TEST(FormatRecordId, FourWords) {
  const uint32_t w[4] = {0, 35, 36, 0xFFFFFFFFu};
  EXPECT_EQ(F("%m", w), "<0-z-10-1z141z3>");
  EXPECT_EQ(F("[%m]", (const uint32_t*)nullptr), "[]");
}

TEST(FormatArgs, MissingArgumentsReadZero) {
  EXPECT_EQ(F("%d|%s|%id|%x"),
            "0||"
            "|0");
}

TEST(FormatFormat, TextFormatUsesCursorLine) {
  Text* f = make_text("x=%d\ny=%d", 0);
  EXPECT_EQ(F(f, 5, 6), "x=5");
  f->flags |= TX_WHOLE;
  EXPECT_EQ(F(f, 5, 6), "x=5\r\ny=6");
  text_free(f);
}

TEST(FormatPrintf, CursorAndReturn) {
  Text* t = make_text("ab", 1);
  EXPECT_EQ(text_printf(t, "<%d>", 12), 4);
  EXPECT_EQ(text_tell(t), 5);
  EXPECT_EQ(text_printf_here(t, "%s", "XY"), 2);
  EXPECT_EQ(text_tell(t), 5);
  EXPECT_EQ(contents(t), "a<12>XYb");
  EXPECT_EQ(text_printf(t, ""), 0);
  EXPECT_EQ(text_printf(nullptr, "x"), 0);
  text_free(t);
}

TEST(FormatPrintf, TargetAsItsOwnArgument) {
  Text* t = make_text("line", 4);
  text_printf(t, " [%s|%ts]", t, t);
  EXPECT_EQ(contents(t), "line [line|line]");
  text_free(t);
}

TEST(FormatPrintf, LargeOutput) {
  std::string big(100000, 'q');
  big[50000] = '\n';
  std::string want = big.substr(0, 50000) + "\r\n" + big.substr(50001);
  EXPECT_EQ(F("%s", big.c_str()), want);
  Text* t = make_text(big.c_str(), 0);
  EXPECT_EQ(F("%ts%ts", t, t), want + want);
  text_free(t);
}

TEST(FormatPrintf, Shorthands) {
  Text* t = text_new();
  text_put_id(t, 3926);
  text_put_ID(t, 3926);
  text_put_int(t, -7);
  EXPECT_EQ(contents(t), "cabCAB-7");
  text_free(t);
}

TEST(FormatPrintf, RecordLines) {
  Text* t = text_new();
  text_printf(t, "app\t%id\n", ID("CAB"));
  text_printf(t, "swstr\t%id\t%s\n", ID("SHOW"), "a b");
  EXPECT_EQ(contents(t), "app\tcab\r\nswstr\tshow\ta b\r\n");
  text_free(t);
}

TEST(FormatPrintf, OutOfMemoryLeavesTextUnchanged) {
  Text* t = make_text("keep", 4);
  std::string big(20000, 'x');  // more than the text's room: it must grow
  text_fail_alloc_after(0);
  int64_t n = text_printf(t, "%s", big.c_str());
  text_fail_alloc_after(-1);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(contents(t), "keep");
  EXPECT_TRUE(t->flags & TX_OUT_OF_MEMORY);
  text_free(t);
}

TEST(FormatBuf, BoundAndTerminator) {
  char b[16];
  memset(b, 'X', sizeof b);
  EXPECT_EQ(buf_printf(b, 0, "abc"), b);
  EXPECT_EQ(b[0], 'X');  // size 0: nothing written
  EXPECT_STREQ(buf_printf(b, 1, "abc"), "");
  memset(b, 'X', sizeof b);
  EXPECT_STREQ(buf_printf(b, 4, "abcdef"), "abc");
  EXPECT_EQ(b[4], 'X');
  EXPECT_STREQ(buf_printf(b, sizeof b, "%d-%id", 42, 3926), "42-cab");
  EXPECT_EQ(buf_printf(nullptr, 10, "abc"), nullptr);
}

TEST(FormatBuf, CutOnCharacterBoundary) {
  char b[8];
  memset(b, 'X', sizeof b);
  // "a" + HIRAGANA A: with room for 2 bytes the double-byte character does not fit whole.
  EXPECT_STREQ(buf_printf(b, 3, "a\x82\xA0"), "a");
  EXPECT_EQ(b[3], 'X');
  EXPECT_STREQ(buf_printf(b, 4, "a\x82\xA0"), "a\x82\xA0");
  // CR LF is one character: never cut between CR and LF.
  EXPECT_STREQ(buf_printf(b, 3, "a\n"), "a");
  // A six-byte character is kept whole or dropped whole.
  memset(b, 'X', sizeof b);
  EXPECT_STREQ(buf_printf(b, 7, "%c", (int)0xD83DDE00u), F("%c", (int)0xD83DDE00u).c_str());
  memset(b, 'X', sizeof b);
  EXPECT_STREQ(buf_printf(b, 6, "%c", (int)0xD83DDE00u), "");
  EXPECT_EQ(b[6], 'X');
}

}  // namespace

namespace {

// Generated formats of conversion characters, digits, flags, line ends and multibyte bytes, with
// every argument 0 (so pointer conversions see null): the formatter must not stumble, a Text
// format (a line without a NUL) must give the same as the string, and buf_printf must cut the
// same output on a character boundary.
TEST(FormatGenerated, FormatsAgreeAndStayInBounds) {
  static const char alphabet[] =
      "%%%%%.*0123456789-+ #lIidDcCsuxXzpmtgyenw/q\n\r\t\x82\xA0\x80\x40";
  uint32_t seed = 12345;
  auto rnd = [&] { return seed = seed * 1103515245 + 12345, (seed >> 16) & 0x7FFF; };
  const uint64_t zeros[8] = {};
  auto run = [&](TextArg format) {
    Text* t = format_text_slots(format, zeros, 8);
    std::string s = contents(t);
    text_free(t);
    return s;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string f;
    int n = (int)(rnd() % 24);
    for (int k = 0; k < n; ++k) f += alphabet[rnd() % (sizeof alphabet - 1)];
    std::string plain = run(f.c_str());
    Text* tf = text_new();
    text_insert(tf, f.c_str(), TI_RAW, (int64_t)f.size());
    text_insert(tf, "\r\nnext%d line", TI_RAW, 13);
    text_top(tf);
    int64_t line_len = 0;
    text_view(tf, &line_len);
    std::string own_line = f.substr(0, (size_t)line_len);
    EXPECT_EQ(run(tf), run(own_line.c_str())) << f;
    text_free(tf);
    char b[12];
    for (size_t size = 1; size <= sizeof b; ++size) {
      memset(b, 'X', sizeof b);
      buf_printf_slots(b, size, f.c_str(), zeros, 8);
      size_t got = strlen(b);
      ASSERT_LT(got, size) << f;
      for (size_t k = size; k < sizeof b; ++k) ASSERT_EQ(b[k], 'X') << f;
      ASSERT_EQ(std::string(b, got), plain.substr(0, got)) << f;
      // Cut on a character boundary: what was kept ends where a character of the output ends.
      size_t pos = 0;
      while (pos < got) pos += (size_t)char_len(plain.c_str() + pos);
      ASSERT_EQ(pos, got) << f;
    }
  }
}

}  // namespace

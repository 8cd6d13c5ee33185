// Record identifiers (text form, parsing, the hash of foreign identifiers, new identifiers), the
// creation stamp and the MIME vocabulary.

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "core/clock.h"
#include "core/mime.h"
#include "core/record_id.h"
#include "core/stamp.h"
#include "header_util.h"

namespace {

std::string fmt(const RecordId& id) {
  char buf[RECORD_ID_TEXT_MAX];
  return identifier_format(id, buf);
}

RecordId parse(const char* s) {
  return identifier_parse(s);
}

TEST(Identifier, FormatAndParseRoundTrip) {
  EXPECT_EQ(fmt(RecordId{{1, 35, 36, 0xFFFFFFFFu}}), "<1-z-10-1z141z3>");
  EXPECT_EQ(fmt(RecordId{}), "<0-0-0-0>");
  EXPECT_TRUE(identifier_is_empty(parse("<0-0-0-0>")));
  std::mt19937 rng(7);
  for (int i = 0; i < 2000; ++i) {
    RecordId id{{(uint32_t)rng(), (uint32_t)rng(), (uint32_t)rng(), (uint32_t)rng()}};
    if (i % 4 == 0) id.w[i % 3] = 0;
    std::string s = fmt(id);
    EXPECT_EQ(parse(s.c_str()), id) << s;
    EXPECT_EQ(parse(s.c_str() + 1), id) << s;  // the "<" is optional
  }
}

TEST(Identifier, ParseForms) {
  EXPECT_EQ(parse("<A-b-C-d>"), (RecordId{{10, 11, 12, 13}}));
  EXPECT_EQ(parse("a-b-c-d\r\nnext line"), (RecordId{{10, 11, 12, 13}}));
  EXPECT_EQ(parse(".1.2.3.4"), (RecordId{{1, 2, 3, 4}}));
  EXPECT_EQ(parse("<ab.10.20.30.4294967295>"), (RecordId{{10, 20, 30, 0xFFFFFFFFu}}));
  EXPECT_TRUE(identifier_is_empty(parse("")));
  EXPECT_TRUE(identifier_is_empty(parse("\r\n<1-2-3-4>")));
  EXPECT_TRUE(identifier_is_empty(parse(nullptr)));
  // A length bound is honoured: only "<1-2-3-4>" is seen.
  EXPECT_EQ(identifier_parse("<1-2-3-4>5", 9), (RecordId{{1, 2, 3, 4}}));
}

TEST(Identifier, MalformedOwnFormsAreHashedNotMisread) {
  // Three fields, an empty field, a field wider than 32 bits, trailing text, a fifth decimal:
  // none of these is an own identifier, so each is hashed (word 1 is never 0 after hashing).
  const char* bad[] = {"<1-2-3>", "<1--3-4>",   "<zzzzzzz-1-2-3>",    "<1-2-3-4-5>", "<1-2-3-4@x>",
                       ".1.2.3",  ".1.2.3.4.5", ".1.2.3.99999999999", "<->",         "<"};
  for (const char* s : bad) {
    RecordId id = parse(s);
    EXPECT_NE(id.w[0], 0u) << s;
    EXPECT_NE(id.w[1], 0u) << s;
    EXPECT_LT(id.w[0], 2000000000u) << s;
  }
}

TEST(Identifier, ForeignHashWorkedExamples) {
  // "<abc@x>": no digits; the letters abc form one group, base 26 with A = 0:
  // (0 * 26 + 1) * 26 + 2 = 28, added to word 0. The domain "x" is 33 in base 36, added to
  // word 3. Word 1 stays 0 and becomes 1999999999.
  EXPECT_EQ(parse("<abc@x>"), (RecordId{{28, 1999999999u, 0, 33}}));
  // "12345678901@ab": the digits form the groups 1234567890 (word 0) and 1 (word 1); no
  // letters; the domain "ab" is 10 * 36 + 11 = 371 in base 36 (word 3).
  EXPECT_EQ(parse("12345678901@ab"), (RecordId{{1234567890u, 1, 0, 371}}));
  // "<20180529.abcdefg@zz>": digit group 20180529 -> word 0; the letter groups follow in turn:
  // abcdef = ((((0*26+1)*26+2)*26+3)*26+4)*26+5 = 494265 -> word 1, g = 6 -> word 2;
  // the domain "zz" = 35 * 36 + 35 = 1295 -> word 3.
  EXPECT_EQ(parse("<20180529.abcdefg@zz>"), (RecordId{{20180529u, 494265u, 6, 1295}}));
  // "<4000000000@a>": word 0 = 4000000000 mod 2000000000 = 0, which becomes 1999999999;
  // word 1 = 0 becomes 1999999999; the domain "a" is 10.
  EXPECT_EQ(parse("<4000000000@a>"), (RecordId{{1999999999u, 1999999999u, 0, 10}}));
  // Case does not matter, and the part after ">" is not looked at.
  EXPECT_EQ(parse("<ABC@X> trailing"), parse("<abc@x>"));
}

TEST(Identifier, NewIdentifiersAreDistinct) {
  std::set<std::string> seen;
  uint32_t seed = 0;
  for (int i = 0; i < 1000; ++i) {
    RecordId id = identifier_new();
    EXPECT_FALSE(identifier_is_empty(id));
    if (i == 0) seed = id.w[3];
    EXPECT_EQ(id.w[3], seed);  // the process-wide seed is reused
    std::string s = fmt(id);
    EXPECT_EQ(parse(s.c_str()), id);
    seen.insert(s);
  }
  EXPECT_EQ(seen.size(), 1000u);
}

TEST(Identifier, ConfigIdentifiers) {
  RecordId id = identifier_config(ID("CPP"));
  EXPECT_EQ(id.w[0], 0u);
  EXPECT_EQ(id.w[1], 0u);
  EXPECT_EQ(id.w[2], ID("CONFIG"));
  EXPECT_EQ(id.w[3], ID("CPP"));
  EXPECT_FALSE(identifier_is_config(RecordId{{0, 0, ID("CONFIG"), 0}}));
  EXPECT_FALSE(identifier_is_config(RecordId{{1, 0, ID("CONFIG"), ID("CPP")}}));
}

TEST(Stamp, FieldsAndRange) {
  uint32_t s = stamp_make(2018, 5, 29, 8, 14, 6);
  EXPECT_EQ(s >> 25, 18u);
  EXPECT_EQ((s >> 21) & 15, 4u);
  EXPECT_EQ((s >> 16) & 31, 28u);
  EXPECT_EQ((s >> 11) & 31, 8u);
  EXPECT_EQ((s >> 5) & 63, 14u);
  EXPECT_EQ(s & 31, 3u);
  EXPECT_EQ(stamp_make(1999, 12, 31, 23, 59, 59), 0u);
  EXPECT_EQ(stamp_make(2000, 1, 1, 0, 0, 0), 0u);  // the very first moment packs to 0 too
  EXPECT_EQ(stamp_make(2128, 1, 1, 0, 0, 0), 0u);
  EXPECT_EQ(stamp_make(2127, 12, 31, 23, 59, 59), 0xFF7EBF7Du);
  EXPECT_EQ(stamp_make(2020, 13, 1, 0, 0, 0), 0u);
  EXPECT_EQ(stamp_make(2020, 1, 1, 24, 0, 0), 0u);
  // stamp_now agrees with the clock's UTC fields (up to a minute boundary).
  CalendarTime c{};
  ASSERT_TRUE(filetime_to_calendar(clock_now(), &c));
  uint32_t now = stamp_now();
  EXPECT_EQ(now >> 25, (uint32_t)(c.year - 2000));
  EXPECT_EQ((now >> 21) & 15, (uint32_t)(c.month - 1));
}

TEST(Mime, Charsets) {
  EXPECT_STREQ(mime_charset_name(ID("EUC")), "euc");
  EXPECT_STREQ(mime_charset_name(ID("JIS")), "ISO-2022-JP");
  EXPECT_STREQ(mime_charset_name(ID("UTF")), "utf-8");
  EXPECT_STREQ(mime_charset_name(ID("SJIS")), "Shift-JIS");
  EXPECT_STREQ(mime_charset_name(ID("ASCII")), "us-ascii");
  EXPECT_STREQ(mime_charset_name(ID("SJISEX")), "Shift-JISex");
  EXPECT_EQ(mime_charset_name(ID("KOI8")), nullptr);
}

TEST(Mime, ContentTypes) {
  EXPECT_EQ(mime_content_type_id("text/html"), ID("HTML"));
  EXPECT_EQ(mime_content_type_id("Application/XHTML+xml"), ID("HTML"));
  EXPECT_EQ(mime_content_type_id("multipart/mixed; boundary=x"), ID("MIX"));
  EXPECT_EQ(mime_content_type_id("multipart/alternative"), ID("ALT"));
  EXPECT_EQ(mime_content_type_id("text/plain; charset=Shift-JISex"), ID("PLAIN"));
  EXPECT_EQ(mime_content_type_id("application/octet-stream"), ID("STREAM"));
  EXPECT_EQ(mime_content_type_id("image/png"), ID("IMAGE"));
  EXPECT_EQ(mime_content_type_id("application/rdf+xml"), ID("RSS"));
  EXPECT_EQ(mime_content_type_id("text/xml"), ID("XML"));
  EXPECT_EQ(mime_content_type_id("application/xml"), ID("XML"));
  // The word must end where the value's word ends.
  EXPECT_EQ(mime_content_type_id("text/plainer"), 0u);
  EXPECT_EQ(mime_content_type_id("images"), 0u);
  EXPECT_EQ(mime_content_type_id("text/plain_x"), 0u);
  EXPECT_EQ(mime_content_type_id("text/pla"), 0u);
  EXPECT_EQ(mime_content_type_id(""), 0u);
  EXPECT_EQ(mime_content_type_id(nullptr), 0u);
}

TEST(Mime, TransferEncodings) {
  EXPECT_EQ(mime_transfer_encoding_id("7bit"), ID("SEVEN"));
  EXPECT_EQ(mime_transfer_encoding_id("BASE64"), ID("BASE"));
  EXPECT_EQ(mime_transfer_encoding_id("quoted-printable"), ID("QP"));
  EXPECT_EQ(mime_transfer_encoding_id("x-uuencode"), ID("UU"));
  EXPECT_EQ(mime_transfer_encoding_id("8bit"), ID("EIGHT"));
  EXPECT_EQ(mime_transfer_encoding_id("8bits"), 0u);
  EXPECT_EQ(mime_transfer_encoding_id("binary"), 0u);
}

}  // namespace

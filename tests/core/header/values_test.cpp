// Header names, typed reading and writing, deleting and copying of single headers.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>

#include "core/format.h"
#include "core/records.h"
#include "core/text_fault.h"
#include "header_util.h"

namespace {

// A twelve-symbol long identifier packed by the bijective base-36 rule (A..Z 1..26, 0..9 27..36).
uint64_t pack_long(const char* s) {
  uint64_t v = 0;
  for (; *s; ++s) v = v * 36 + (*s >= 'A' ? uint64_t(*s - 'A' + 1) : uint64_t(*s - '0' + 27));
  return v;
}

std::string name_of(HeaderKey key, uint32_t kind) {
  char buf[HEADER_NAME_MAX];
  int n = header_name(key, kind, buf);
  return n < 0 ? std::string("<invalid>") : std::string(buf, (size_t)n);
}

TEST(HeaderName, KeyKinds) {
  EXPECT_EQ(name_of(ID("IMGSTY"), HK_ID), "IMGSTY:");
  EXPECT_EQ(name_of(ID("DATE"), HK_MAIL), "Date:");
  EXPECT_EQ(name_of(ID("XCDATE"), HK_MAIL), "x:cdate:");
  EXPECT_EQ(name_of(ID("XYDATE"), HK_MAIL), "x:ydate:");
  EXPECT_EQ(name_of(ID("TITLE"), HK_MAIL), "Subject:");
  EXPECT_EQ(name_of(ID("MID"), HK_MAIL), "Message-Id:");
  EXPECT_EQ(name_of(ID("CENCOD"), HK_MAIL), "Content-Transfer-Encoding:");
  EXPECT_EQ(name_of(ID("REPLY"), HK_MAIL), "In-reply-to:");
  EXPECT_EQ(name_of(pack_long("SETTINGSLONG"), HK_LONG_ID), "SETTINGSLONG:");
  EXPECT_EQ(name_of("ext:", 0), "ext:");
  EXPECT_EQ(name_of("Color", HK_STRING), "Color:");
  EXPECT_EQ(name_of("Color:", HK_STRING), "Color:");
  // A string key is cut to 80 bytes before the colon.
  std::string long_key(120, 'k');
  EXPECT_EQ(name_of(long_key.c_str(), HK_STRING), std::string(80, 'k') + ":");
}

TEST(HeaderName, InvalidKeys) {
  EXPECT_EQ(name_of(nullptr, 0), "<invalid>");
  EXPECT_EQ(name_of("", 0), "<invalid>");
  EXPECT_EQ(name_of(uint64_t{0}, HK_ID), "<invalid>");
  EXPECT_EQ(name_of("NAME", HK_ID), "<invalid>");                 // a string where an id belongs
  EXPECT_EQ(name_of(pack_long("ABCDEFGH"), HK_ID), "<invalid>");  // wider than 32 bits
  EXPECT_EQ(name_of(std::string(200, 'n').c_str(), 0), "<invalid>");
}

TEST(HeaderGet, Numbers) {
  TextOwner rec(make_text(
      "A: 1.5\r\nB: 1.25\r\nC: -0.5\r\nD: 0.3\r\nE: -2\r\nF: TITLE\r\nG: 42\r\nH: 42abc\r\n"));
  int v = -1;
  EXPECT_TRUE(header_get(rec, ID("A"), HK_ID | HV_HUNDREDTHS, &v));
  EXPECT_EQ(v, 150);
  header_get(rec, ID("B"), HK_ID | HV_HUNDREDTHS, &v);
  EXPECT_EQ(v, 125);
  header_get(rec, ID("C"), HK_ID | HV_HUNDREDTHS, &v);
  EXPECT_EQ(v, -50);
  header_get(rec, ID("D"), HK_ID | HV_HUNDREDTHS, &v);
  EXPECT_EQ(v, 30);
  header_get(rec, ID("A"), HK_ID | HV_TENTHS, &v);
  EXPECT_EQ(v, 15);
  header_get(rec, ID("E"), HK_ID | HV_TENTHS, &v);
  EXPECT_EQ(v, -20);
  header_get(rec, ID("B"), HK_ID | HV_TENTHS, &v);  // the second decimal is ignored
  EXPECT_EQ(v, 12);
  uint32_t id = 0;
  EXPECT_TRUE(header_get(rec, ID("F"), HK_ID | HV_INT, &id));
  EXPECT_EQ(id, ID("TITLE"));
  header_get(rec, ID("F"), HK_ID | HV_ID, &id);
  EXPECT_EQ(id, ID("TITLE"));
  header_get(rec, ID("G"), HK_ID | HV_INT, &v);
  EXPECT_EQ(v, 42);
  header_get(rec, ID("H"), HK_ID | HV_INT, &v);
  EXPECT_EQ(v, 42);
  header_get(rec, ID("E"), HK_ID | HV_INT, &v);
  EXPECT_EQ(v, -2);
}

TEST(HeaderGet, AbsentAndMismatchedTypesYieldZero) {
  TextOwner rec(make_text("A: 7\r\n"));
  int v = 99;
  EXPECT_FALSE(header_get(rec, ID("Z"), HK_ID | HV_INT, &v));
  EXPECT_EQ(v, 0);
  v = 99;
  EXPECT_FALSE(header_get(rec, ID("A"), HK_ID | HV_RECID, &v));  // not a number type
  EXPECT_EQ(v, 0);
  RecordId rid{{1, 1, 1, 1}};
  EXPECT_FALSE(header_get(rec, ID("Z"), HK_ID | HV_RECID, &rid));
  EXPECT_TRUE(identifier_is_empty(rid));
  char* s = (char*)"x";
  EXPECT_FALSE(header_get(rec, ID("A"), HK_ID | HV_INT, &s));
  EXPECT_EQ(s, nullptr);
  EXPECT_FALSE(header_get(nullptr, ID("A"), HK_ID | HV_INT, &v));
  EXPECT_FALSE(header_get(rec, nullptr, 0));
  EXPECT_FALSE(header_has(nullptr, ID("A"), HK_ID));
}

TEST(HeaderGet, LpAndHtext) {
  TextOwner rec(make_text("P: lp:12\r\nQ: 12\r\nR: htext:5\r\nS: lp:\r\n"));
  int v = -1;
  header_get(rec, ID("P"), HK_ID | HV_LP, &v);
  EXPECT_EQ(v, 12);
  EXPECT_TRUE(header_get(rec, ID("Q"), HK_ID | HV_LP, &v));
  EXPECT_EQ(v, 0);
  header_get(rec, ID("R"), HK_ID | HV_HTEXT, &v);
  EXPECT_EQ(v, 5);
  header_get(rec, ID("P"), HK_ID | HV_HTEXT, &v);
  EXPECT_EQ(v, 0);
  header_get(rec, ID("S"), HK_ID | HV_LP, &v);
  EXPECT_EQ(v, 0);
}

TEST(HeaderGet, StringsAndSeparators) {
  TextOwner rec(make_text("A:    spaced\r\nB:\t tabbed\r\nC:\r\nE:\t\ttabs\r\nD: last"));
  EXPECT_EQ(value_of(rec, ID("A"), HK_ID), "spaced");
  EXPECT_EQ(value_of(rec, ID("B"), HK_ID), " tabbed");  // one tab only is skipped
  EXPECT_EQ(value_of(rec, ID("E"), HK_ID), "\ttabs");
  EXPECT_EQ(value_of(rec, ID("C"), HK_ID), "");
  EXPECT_EQ(value_of(rec, ID("D"), HK_ID), "last");  // no line end at the end of the text
  EXPECT_EQ(header_get(rec, ID("C"), HK_ID | HV_PTR_OR_NULL).p, nullptr);
  EXPECT_NE(header_get(rec, ID("C"), HK_ID | HV_PTR).p, nullptr);  // present but empty
  EXPECT_TRUE(header_has(rec, ID("C"), HK_ID));
  HeaderSpan v = header_get(rec, ID("A"), HK_ID | HV_PTR_OR_NULL);
  ASSERT_TRUE(v);
  EXPECT_EQ(std::string(v.p, (size_t)v.n), "spaced");
  // Names compare without case; a name is matched over its own length only.
  EXPECT_EQ(value_of(rec, "a:", 0), "spaced");
  EXPECT_EQ(value_of(rec, "AB:", 0), "<absent>");
}

TEST(HeaderGet, CopiesWideAndText) {
  TextOwner rec(make_text(
      "Subject: first\r\n\tsecond\r\n   third\r\nNext: \x82\xa0z\r\n\r\nBody: not a header\r\n"));
  char* s = nullptr;
  EXPECT_TRUE(header_get(rec, ID("TITLE"), HK_MAIL | HV_COPY, &s));
  EXPECT_STREQ(s, "first");
  free(s);
  EXPECT_TRUE(header_get(rec, ID("TITLE"), HK_MAIL | HK_FOLDED | HV_COPY, &s));
  EXPECT_STREQ(s, "first second third");
  free(s);
  Text* t = nullptr;
  EXPECT_TRUE(header_get(rec, ID("TITLE"), HK_MAIL | HK_FOLDED | HV_TEXT, &t));
  EXPECT_EQ(contents(t), "first second third");
  text_free(t);
  char16_t* w = nullptr;
  EXPECT_TRUE(header_get(rec, "Next:", HV_WIDE, &w));
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::u16string(w), u"\u3042z");  // 0x82 0xA0 is HIRAGANA A in Shift-JIS
  free(w);
  // The empty line ends the header block: a body line is no header.
  EXPECT_FALSE(header_has(rec, "Body:", 0));
}

TEST(HeaderSearch, HeaderBlockOnly) {
  // The first line is the identifier line; with HK_HEADER_ONLY it is skipped, and a marker line
  // ends the search.
  TextOwner rec(make_text("SIZE: 1\r\nFNAME: a\r\n\b<mh>\r\nARC: 1\r\n"));
  EXPECT_TRUE(header_has(rec, ID("SIZE"), HK_ID));
  EXPECT_FALSE(header_has(rec, ID("SIZE"), HK_ID | HK_HEADER_ONLY));
  EXPECT_TRUE(header_has(rec, ID("FNAME"), HK_ID | HK_HEADER_ONLY));
  EXPECT_TRUE(header_has(rec, ID("ARC"), HK_ID));
  EXPECT_FALSE(header_has(rec, ID("ARC"), HK_ID | HK_HEADER_ONLY));
  EXPECT_EQ(header_find(rec, ID("ARC"), HK_ID | HK_HEADER_ONLY | HK_INSERT_POS), 19);
  EXPECT_EQ(header_find(rec, ID("ARC"), HK_ID | HK_HEADER_ONLY), -1);
  // A package entry header: CR LF, then the header lines.
  TextOwner entry(make_text("\r\nFNAME: zqeditor.exe\r\nARC: 1\r\nSIZE: 2067301\r\n"));
  int size = 0;
  EXPECT_TRUE(header_get(entry, ID("SIZE"), HK_ID | HK_HEADER_ONLY | HV_INT, &size));
  EXPECT_EQ(size, 2067301);
  EXPECT_EQ(value_of(entry, ID("FNAME"), HK_ID | HK_HEADER_ONLY), "zqeditor.exe");
}

TEST(HeaderSet, MailDatesAndSeparators) {
  TextOwner rec(make_text(""));
  EXPECT_TRUE(header_set(rec, ID("XCDATE"), HK_MAIL | HV_INT, 5));
  EXPECT_TRUE(header_set(rec, ID("XEDATE"), HK_MAIL | HV_INT, 0xFFFFFFFFu));
  EXPECT_TRUE(header_set(rec, ID("XCDATE"), HK_ID | HV_INT, 5));  // only mail style pads
  EXPECT_TRUE(header_set(rec, ID("TITLE"), HK_MAIL, " lead"));
  EXPECT_EQ(contents(rec),
            "x:cdate: 0000000005\r\nx:edate: 4294967295\r\nXCDATE: 5\r\nSubject:\t lead\r\n");
  uint32_t stamp = 0;
  header_get(rec, ID("XEDATE"), HK_MAIL | HV_INT, &stamp);
  EXPECT_EQ(stamp, 0xFFFFFFFFu);
  EXPECT_EQ(value_of(rec, ID("TITLE"), HK_MAIL), " lead");
}

TEST(HeaderSet, TypedValuesRoundTrip) {
  TextOwner rec(make_text(""));
  EXPECT_TRUE(header_set(rec, ID("A"), HK_ID | HV_TENTHS, 15));
  EXPECT_TRUE(header_set(rec, ID("B"), HK_ID | HV_TENTHS, -20));
  EXPECT_TRUE(header_set(rec, ID("C"), HK_ID | HV_HUNDREDTHS, 1205));
  EXPECT_TRUE(header_set(rec, ID("D"), HK_ID | HV_HUNDREDTHS, -50));
  EXPECT_TRUE(header_set(rec, ID("E"), HK_ID | HV_ID, ID("imgsty")));
  EXPECT_TRUE(header_set(rec, ID("F"), HK_ID | HV_LP, 3));
  EXPECT_TRUE(header_set(rec, ID("G"), HK_ID | HV_HTEXT, 4));
  EXPECT_TRUE(header_set(rec, ID("H"), HK_ID | HV_INT, -123));
  RecordId id{{1, 35, 36, 0xFFFFFFFFu}};
  EXPECT_TRUE(header_set(rec, ID("I"), HK_ID | HV_RECID, id));
  EXPECT_EQ(contents(rec),
            "A: 1.5\r\nB: -2\r\nC: 12.05\r\nD: -0.5\r\nE: IMGSTY\r\nF: lp:3\r\nG: htext:4\r\n"
            "H: -123\r\nI: <1-z-10-1z141z3>\r\n");
  int v = 0;
  header_get(rec, ID("C"), HK_ID | HV_HUNDREDTHS, &v);
  EXPECT_EQ(v, 1205);
  header_get(rec, ID("D"), HK_ID | HV_HUNDREDTHS, &v);
  EXPECT_EQ(v, -50);
  RecordId back{};
  EXPECT_TRUE(header_get(rec, ID("I"), HK_ID | HV_RECID, &back));
  EXPECT_EQ(back, id);
  // 64-bit numbers survive when read into a 64-bit out-parameter.
  EXPECT_TRUE(header_set(rec, ID("K"), HK_ID | HV_INT, 5000000000LL));
  EXPECT_TRUE(header_set(rec, ID("L"), HK_ID | HV_INT, -5000000000LL));
  int64_t big = 0;
  header_get(rec, ID("K"), HK_ID | HV_INT, &big);
  EXPECT_EQ(big, 5000000000LL);
  header_get(rec, ID("L"), HK_ID | HV_INT, &big);
  EXPECT_EQ(big, -5000000000LL);
  EXPECT_EQ(value_of(rec, ID("K"), HK_ID), "5000000000");
  // Fixed-point values beyond 32 bits are clamped, not overflowed.
  EXPECT_TRUE(header_set(rec, ID("M"), HK_ID | HV_TENTHS, INT64_MIN));
  EXPECT_EQ(value_of(rec, ID("M"), HK_ID), "-214748364.7");
  // Types that cannot be written, or a value of the wrong kind, change nothing.
  std::string before = contents(rec);
  EXPECT_FALSE(header_set(rec, ID("J"), HK_ID | HV_WIDE, 1));
  EXPECT_FALSE(header_set(rec, ID("J"), HK_ID | HV_INT, "1"));
  EXPECT_FALSE(header_set(rec, ID("J"), HK_ID | HV_INT, id));
  EXPECT_FALSE(header_set(rec, "J", HK_ID | HV_INT, 1));  // string key under HK_ID
  EXPECT_FALSE(header_set(nullptr, ID("J"), HK_ID | HV_INT, 1));
  EXPECT_EQ(contents(rec), before);
}

TEST(HeaderSet, ReplacesInPlaceAndKeepsOrder) {
  TextOwner rec(make_text("Message-Id: <1-2-3-4>\r\nA: 1\r\nB: 2\r\nC: 3\r\n\r\nbody\r\n"));
  EXPECT_TRUE(header_set(rec, ID("B"), HK_ID | HV_INT, 20000));
  EXPECT_EQ(contents(rec), "Message-Id: <1-2-3-4>\r\nA: 1\r\nB: 20000\r\nC: 3\r\n\r\nbody\r\n");
  // The cursor is left after the written line.
  EXPECT_EQ(text_tell(rec),
            (TextPos)std::string("Message-Id: <1-2-3-4>\r\nA: 1\r\nB: 20000\r\n").size());
  // A new header goes to the end of the header block, before the empty line.
  EXPECT_TRUE(header_set(rec, ID("D"), HK_ID, "new"));
  EXPECT_EQ(contents(rec),
            "Message-Id: <1-2-3-4>\r\nA: 1\r\nB: 20000\r\nC: 3\r\nD: new\r\n\r\nbody\r\n");
  // HK_ADD adds a second line even though the header exists.
  EXPECT_TRUE(header_set(rec, ID("A"), HK_ID | HK_ADD, "again"));
  EXPECT_EQ(contents(rec),
            "Message-Id: <1-2-3-4>\r\nA: 1\r\nB: 20000\r\nC: 3\r\nD: new\r\nA: again\r\n"
            "\r\nbody\r\n");
  EXPECT_EQ(value_of(rec, ID("A"), HK_ID), "1");
}

TEST(HeaderSet, RecordWithoutHeaderBlock) {
  TextOwner empty(make_text(""));
  EXPECT_TRUE(header_set(empty, ID("FNAME"), HK_ID | HK_HEADER_ONLY, "a.txt"));
  EXPECT_TRUE(header_set(empty, ID("SIZE"), HK_ID | HK_HEADER_ONLY | HV_INT, 10));
  EXPECT_EQ(contents(empty), "\r\nFNAME: a.txt\r\nSIZE: 10\r\n");
  TextOwner plain(make_text(""));
  EXPECT_TRUE(header_set(plain, ID("FNAME"), HK_ID, "a.txt"));
  EXPECT_EQ(contents(plain), "FNAME: a.txt\r\n");
  // A last line without line end is never glued to the new header.
  TextOwner open(make_text("A: 1"));
  EXPECT_TRUE(header_set(open, ID("B"), HK_ID, "2"));
  EXPECT_EQ(contents(open), "A: 1\r\nB: 2\r\n");
}

TEST(HeaderSet, TabSeparatedMode) {
  TextOwner rec(make_text(""));
  record_set_tab_mode(rec, true);
  EXPECT_TRUE(record_tab_mode(rec));
  EXPECT_TRUE(header_set(rec, ID("EXT"), HK_ID, ".txt;.ini"));
  EXPECT_TRUE(header_set(rec, ID("N"), HK_ID | HV_INT, 3));
  EXPECT_EQ(contents(rec), "EXT:\t.txt;.ini\r\nN:\t3\r\n");
  text_top(rec);
  const char* f = text_field(rec.t, 2);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(std::string(f, strcspn(f, "\r\n")), ".txt;.ini");
  EXPECT_EQ(value_of(rec, ID("EXT"), HK_ID), ".txt;.ini");
}

TEST(HeaderSet, LineBreaksInValues) {
  TextOwner rec(make_text("A: 1\r\n\r\nbody\r\n"));
  // Without folding a line break would forge header lines: refused, nothing changes.
  EXPECT_FALSE(header_set(rec, ID("B"), HK_ID, "x\r\nEvil: 1"));
  EXPECT_FALSE(header_set(rec, ID("A"), HK_ID, "x\n"));
  EXPECT_EQ(contents(rec), "A: 1\r\n\r\nbody\r\n");
  EXPECT_TRUE(header_set(rec, ID("B"), HK_ID | HK_FOLDED, "one\ntwo\r\nthree"));
  EXPECT_EQ(contents(rec), "A: 1\r\nB: one\r\n\ttwo\r\n\tthree\r\n\r\nbody\r\n");
  char* s = nullptr;
  header_get(rec, ID("B"), HK_ID | HK_FOLDED | HV_COPY, &s);
  EXPECT_STREQ(s, "one two three");
  free(s);
  // Replacing a folded value with HK_FOLDED replaces its continuation lines too.
  EXPECT_TRUE(header_set(rec, ID("B"), HK_ID | HK_FOLDED, "single"));
  EXPECT_EQ(contents(rec), "A: 1\r\nB: single\r\n\r\nbody\r\n");
}

TEST(HeaderDelete, LinesFoldedAndX) {
  TextOwner rec(make_text("A: 1\r\nB: x\r\n y\r\nC: 3\r\n"));
  EXPECT_EQ(header_delete(rec, ID("B"), HK_ID), 1);
  EXPECT_EQ(contents(rec), "A: 1\r\n y\r\nC: 3\r\n");
  TextOwner folded(make_text("A: 1\r\nB: x\r\n y\r\n\tz\r\nC: 3\r\n"));
  EXPECT_EQ(header_delete(folded, ID("B"), HK_ID | HK_FOLDED), 1);
  EXPECT_EQ(contents(folded), "A: 1\r\nC: 3\r\n");
  EXPECT_EQ(header_delete(folded, ID("Q"), HK_ID), 0);
  EXPECT_EQ(header_delete(nullptr, ID("A"), HK_ID), 0);

  TextOwner x(make_text("XA: 1\r\nx:cdate: 2\r\nB: 3\r\nX:edate: 4\r\nXB: 5\r\n\r\nXC: body\r\n"));
  EXPECT_EQ(header_delete(x, nullptr, HK_MAIL | HK_DELETE_X), 2);
  EXPECT_EQ(contents(x), "XA: 1\r\nB: 3\r\nXB: 5\r\n\r\nXC: body\r\n");
  EXPECT_EQ(header_delete(x, nullptr, HK_ID | HK_DELETE_X), 2);
  EXPECT_EQ(contents(x), "B: 3\r\n\r\nXC: body\r\n");
}

TEST(HeaderCopy, CopyDeleteEmptyAndUnchanged) {
  TextOwner src(make_text("A: alpha\r\nF: one\r\n\ttwo\r\n"));
  TextOwner dst(make_text("A: old\r\nB: keep\r\nZ: gone\r\n"));
  EXPECT_TRUE(header_copy(dst, ID("A"), src, HK_ID));
  EXPECT_EQ(contents(dst), "A: alpha\r\nB: keep\r\nZ: gone\r\n");
  // Absent in the source: deleted in the target, or written empty with HK_COPY_EMPTY.
  EXPECT_TRUE(header_copy(dst, ID("Z"), src, HK_ID));
  EXPECT_EQ(contents(dst), "A: alpha\r\nB: keep\r\n");
  EXPECT_TRUE(header_copy(dst, ID("Y"), src, HK_ID | HK_COPY_EMPTY));
  EXPECT_EQ(contents(dst), "A: alpha\r\nB: keep\r\nY: \r\n");
  // Folded values travel with their continuation lines.
  EXPECT_TRUE(header_copy(dst, ID("F"), src, HK_ID | HK_FOLDED));
  EXPECT_EQ(contents(dst), "A: alpha\r\nB: keep\r\nY: \r\nF: one\r\n\ttwo\r\n");
  // Equal values: nothing is written at all.
  uint32_t before = dst.t->mod_count;
  EXPECT_TRUE(header_copy(dst, ID("F"), src, HK_ID | HK_FOLDED | HK_COPY_IF_DIFFERENT));
  EXPECT_TRUE(header_copy(dst, ID("A"), src, HK_ID | HK_COPY_IF_DIFFERENT));
  EXPECT_EQ(dst.t->mod_count, before);
  // Copying a record onto itself keeps it intact.
  EXPECT_TRUE(header_copy(dst, ID("A"), dst, HK_ID));
  EXPECT_EQ(contents(dst), "A: alpha\r\nB: keep\r\nY: \r\nF: one\r\n\ttwo\r\n");
  EXPECT_FALSE(header_copy(dst, ID("A"), nullptr, HK_ID));
  EXPECT_EQ(contents(dst), "A: alpha\r\nB: keep\r\nY: \r\nF: one\r\n\ttwo\r\n");
}

TEST(HeaderSet, OutOfMemoryLosesNothing) {
  TextOwner rec(make_text("A: 1\r\nB: 2\r\n"));
  text_fail_alloc_after(0);
  std::string big(100000, 'v');
  bool ok = header_set(rec, ID("A"), HK_ID, big.c_str());
  text_fail_alloc_after(-1);
  EXPECT_FALSE(ok);
  EXPECT_EQ(contents(rec), "A: 1\r\nB: 2\r\n");
}

}  // namespace

namespace {

TEST(HeaderGet, LongValueSplitByTheGap) {
  // A value longer than 65535 bytes may have the gap inside it; it is still read whole.
  std::string value;
  while (value.size() < 100000) value += "vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv,";
  TextOwner rec(make_text("A: 1\r\nLONG: " + value + "\r\nZ: 2\r\n"));
  ASSERT_TRUE(text_seek(rec, 6 + 6 + 90000));
  ASSERT_EQ(text_write(rec, ",", 1), 1);
  value = value.substr(0, 90000) + "," + value.substr(90000);
  ASSERT_GT(rec.t->gap_start, 12);  // the gap now splits the long line
  ASSERT_LT(rec.t->gap_start, 12 + (int64_t)value.size());
  TextPos cursor = text_tell(rec);
  EXPECT_EQ(value_of(rec, ID("LONG"), HK_ID), value);
  EXPECT_EQ(text_tell(rec), cursor);  // reading leaves the cursor alone
  EXPECT_EQ(value_of(rec, ID("Z"), HK_ID), "2");
  EXPECT_EQ(contents(rec), "A: 1\r\nLONG: " + value + "\r\nZ: 2\r\n");
}

}  // namespace

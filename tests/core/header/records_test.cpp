// Records and record stores: record_new, finding, extracting, removing, moving and appending
// records, markers, configuration records.

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/format.h"
#include "core/record_store.h"
#include "core/text_fault.h"
#include "header_util.h"

namespace {

const std::string M = "\b<mh>\r\n";
const std::string A = "Message-Id: <1-2-3-4>\r\nSubject: a\r\n\r\nbody a\r\n";
const std::string B = "Message-Id: <5-6-7-8>\r\nSubject: b\r\n\r\nbody b\r\n";
const std::string C = "Message-Id: <9-a-b-c>\r\nSubject: c\r\n";
const RecordId kA{{1, 2, 3, 4}};
const RecordId kB{{5, 6, 7, 8}};
const RecordId kC{{9, 10, 11, 12}};

TEST(RecordNew, HeadersInOrder) {
  TextOwner rec(record_new("Title"));
  ASSERT_NE(rec.t, nullptr);
  EXPECT_TRUE(rec.t->flags & TX_RECORD);
  EXPECT_EQ(text_tell(rec), 0);
  const char* order[] = {
      "Message-Id:", "Date:", "x:cdate:", "x:edate:", "x:ydate:", "Subject:", "Content-Type:"};
  TextPos last = -1;
  for (const char* name : order) {
    TextPos pos = header_find(rec, name, 0);
    EXPECT_GT(pos, last) << name;
    last = pos;
  }
  RecordId id = record_identifier(rec);
  EXPECT_FALSE(identifier_is_empty(id));
  EXPECT_NE(id.w[3], 0u);
  FileTime date{};
  EXPECT_TRUE(filetime_parse(value_of(rec, ID("DATE"), HK_MAIL).c_str(), &date));
  std::string cdate = value_of(rec, ID("XCDATE"), HK_MAIL);
  EXPECT_EQ(cdate.size(), 10u);
  uint32_t stamp = 0;
  header_get(rec, ID("XCDATE"), HK_MAIL | HV_INT, &stamp);
  EXPECT_GE(stamp >> 25, 24u);  // written in 2024 or later
  EXPECT_EQ(value_of(rec, ID("XEDATE"), HK_MAIL), "0000000000");
  EXPECT_EQ(value_of(rec, ID("XYDATE"), HK_MAIL), "0000000000");
  EXPECT_EQ(value_of(rec, ID("TITLE"), HK_MAIL), "Title");
  std::string ctype = value_of(rec, ID("CTYPE"), HK_MAIL);
  EXPECT_EQ(ctype, "text/plain; charset=Shift-JISex");
  EXPECT_EQ(mime_content_type_id(ctype.c_str()), ID("PLAIN"));
  // record_init starts over on an existing Text.
  EXPECT_TRUE(record_init(rec, "Other"));
  EXPECT_EQ(value_of(rec, ID("TITLE"), HK_MAIL), "Other");
  EXPECT_FALSE(record_identifier(rec) == id);
}

TEST(RecordStore, Markers) {
  TextOwner s(make_text(A + M + B + M + C));
  TextPos m1 = (TextPos)A.size();
  TextPos m2 = m1 + (TextPos)(M.size() + B.size());
  EXPECT_EQ(record_next_marker(s, -1), m1);
  EXPECT_EQ(record_next_marker(s, 0), m1);
  EXPECT_EQ(record_next_marker(s, m1), m2);
  EXPECT_EQ(record_next_marker(s, m2), -1);
  EXPECT_EQ(record_previous_marker(s, -1), m2);
  EXPECT_EQ(record_previous_marker(s, m2), m1);
  EXPECT_EQ(record_previous_marker(s, m1), -1);
  EXPECT_TRUE(record_is_marker(s, m1));
  EXPECT_FALSE(record_is_marker(s, 0));
  EXPECT_EQ(record_next_marker(nullptr, 0), -1);
}

TEST(RecordStore, FindFirstWithoutMarker) {
  TextOwner s(make_text(A + M + B + M + C));
  int64_t n = 0;
  EXPECT_EQ(record_find(s, kA, &n), 0);
  EXPECT_EQ(n, (int64_t)A.size());
  EXPECT_EQ(record_find(s, kB, &n), (TextPos)A.size());
  EXPECT_EQ(n, (int64_t)(M.size() + B.size()));
  EXPECT_EQ(record_find(s, kC, &n), (TextPos)(A.size() + M.size() + B.size()));
  EXPECT_EQ(n, (int64_t)(M.size() + C.size()));
  EXPECT_EQ(record_find(s, RecordId{{1, 2, 3, 5}}), -1);
  EXPECT_EQ(record_find(s, RecordId{}), -1);
  EXPECT_EQ(record_find(nullptr, kA), -1);
}

TEST(RecordStore, BodyQuotingAKeyNeverMatches) {
  std::string quoting =
      "Message-Id: <1-1-1-1>\r\n\r\n> Message-Id: <5-6-7-8>\r\nMessage-Id: <5-6-7-8>\r\n";
  TextOwner s(make_text(M + quoting + M + B));
  EXPECT_EQ(record_find(s, kB), (TextPos)(M.size() + quoting.size()));
}

TEST(RecordStore, ConfigRecords) {
  std::string cfg1 = "Config: CPP\r\nEXT: .cpp\r\n";
  std::string cfg2 = "Config: html;HTM ; xml\r\nEXT: .htm\r\n";
  TextOwner s(make_text(M + cfg1 + M + cfg2));
  RecordId cpp = identifier_config(ID("cpp"));
  EXPECT_TRUE(identifier_is_config(cpp));
  EXPECT_STREQ(identifier_key(cpp), "Config:");
  EXPECT_STREQ(identifier_key(kA), "Message-Id:");
  EXPECT_EQ(record_find(s, cpp), 0);
  EXPECT_EQ(record_find(s, identifier_config(ID("HTM"))), -1);  // the list form is asked for
  TextPos second = (TextPos)(M.size() + cfg1.size());
  EXPECT_EQ(record_find(s, identifier_config(ID("HTM")), nullptr, RECORD_FIND_LIST), second);
  EXPECT_EQ(record_find(s, identifier_config(ID("XML")), nullptr, RECORD_FIND_LIST), second);
  EXPECT_EQ(record_find(s, identifier_config(ID("HT")), nullptr, RECORD_FIND_LIST), -1);
  TextOwner one(record_extract(s, cpp));
  EXPECT_EQ(contents(one), M + cfg1);
  EXPECT_EQ(record_identifier(one), cpp);
  // record_set_identifier writes the key that fits the identifier.
  TextOwner rec(make_text(""));
  EXPECT_TRUE(record_set_identifier(rec, cpp));
  EXPECT_EQ(contents(rec), "Config: CPP\r\n");
  TextOwner mail(make_text(""));
  EXPECT_TRUE(record_set_identifier(mail, kB));
  EXPECT_EQ(contents(mail), "Message-Id: <5-6-7-8>\r\n");
  EXPECT_EQ(record_identifier(mail), kB);
}

TEST(RecordStore, ExtractAndRemove) {
  TextOwner s(make_text(A + M + B + M + C));
  TextOwner b(record_extract(s, kB));
  EXPECT_EQ(contents(b), M + B);
  EXPECT_EQ(record_extract(s, RecordId{{7, 7, 7, 7}}), nullptr);
  EXPECT_TRUE(record_remove(s, kB));
  EXPECT_EQ(contents(s), A + M + C);
  EXPECT_TRUE(record_remove(s, kA));
  EXPECT_EQ(contents(s), M + C);
  EXPECT_FALSE(record_remove(s, kA));
  EXPECT_EQ(contents(s), M + C);
}

TEST(RecordMove, UpAndDownInTheMiddle) {
  TextOwner s(make_text(M + A + M + B + M + C + "\r\n"));
  EXPECT_TRUE(record_move(s, kB, -1));
  EXPECT_EQ(contents(s), M + B + M + A + M + C + "\r\n");
  EXPECT_TRUE(record_move(s, kB, +1));
  EXPECT_EQ(contents(s), M + A + M + B + M + C + "\r\n");
}

TEST(RecordMove, AtTheEndsNothingChanges) {
  std::string all = M + A + M + B + M + C;
  TextOwner s(make_text(all));
  EXPECT_FALSE(record_move(s, kA, -1));
  EXPECT_FALSE(record_move(s, kC, +1));
  EXPECT_FALSE(record_move(s, RecordId{{3, 3, 3, 3}}, +1));
  EXPECT_FALSE(record_move(s, kB, 0));
  EXPECT_EQ(contents(s), all);
}

TEST(RecordMove, FirstRecordWithoutMarkerKeepsItsOwn) {
  // Moving B above a first record that has no marker gives that record a marker.
  TextOwner up(make_text(A + M + B));
  EXPECT_TRUE(record_move(up, kB, -1));
  EXPECT_EQ(contents(up), M + B + M + A);
  EXPECT_EQ(record_find(up, kA), (TextPos)(M.size() + B.size()));
  // Moving the markerless first record down gives it a marker.
  TextOwner down(make_text(A + M + B));
  EXPECT_TRUE(record_move(down, kA, +1));
  EXPECT_EQ(contents(down), M + B + M + A);
}

TEST(RecordMove, LastRecordWithoutLineEnd) {
  // C lacks a final line end; moving it up must not glue the next marker to its last line.
  TextOwner up(make_text(M + A + M + C.substr(0, C.size() - 2)));
  EXPECT_TRUE(record_move(up, kC, -1));
  EXPECT_EQ(contents(up), M + C + M + A);
  TextOwner down(make_text(M + A + M + C.substr(0, C.size() - 2)));
  EXPECT_TRUE(record_move(down, kA, +1));
  EXPECT_EQ(contents(down), M + C + M + A);
}

TEST(RecordAppend, MarkersAndLineEnds) {
  TextOwner s(make_text(""));
  EXPECT_EQ(record_append(s, A.c_str()), 0);
  EXPECT_EQ(contents(s), M + A);
  TextOwner rb(make_text(M + B));
  EXPECT_EQ(record_append(s, rb.t), (TextPos)(M.size() + A.size()));
  EXPECT_EQ(contents(s), M + A + M + B);
  // A record without final line end gets one; so does a store that lacks it.
  TextOwner open(make_text(M + "Message-Id: <1-1-1-1>"));
  EXPECT_EQ(record_append(open, "Message-Id: <2-2-2-2>"), (TextPos)(M.size() + 23));
  EXPECT_EQ(contents(open), M + "Message-Id: <1-1-1-1>\r\n" + M + "Message-Id: <2-2-2-2>\r\n");
  EXPECT_EQ(record_find(open, RecordId{{2, 2, 2, 2}}), (TextPos)(M.size() + 23));
  EXPECT_EQ(record_append(nullptr, "x"), -1);
  EXPECT_EQ(record_append(s, nullptr), -1);
  // Out of memory: the store stays as it was.
  std::string before = contents(s);
  std::string big(300000, 'b');
  text_fail_alloc_after(0);
  TextPos at = record_append(s, big.c_str());
  text_fail_alloc_after(-1);
  EXPECT_EQ(at, -1);
  EXPECT_EQ(contents(s), before);
}

TEST(RecordStore, NewRecordsRoundTripThroughAStore) {
  TextOwner store(make_text(""));
  RecordId ids[5];
  for (int i = 0; i < 5; ++i) {
    TextOwner r(record_new("t"));
    header_set(r, ID("N"), HK_ID | HK_HEADER_ONLY | HV_INT, i);
    ids[i] = record_identifier(r);
    ASSERT_GE(record_append(store, r.t), 0);
  }
  for (int i = 0; i < 5; ++i) {
    TextOwner r(record_extract(store, ids[i]));
    ASSERT_NE(r.t, nullptr);
    int n = -1;
    EXPECT_TRUE(header_get(r, ID("N"), HK_ID | HK_HEADER_ONLY | HV_INT, &n));
    EXPECT_EQ(n, i);
  }
  EXPECT_TRUE(record_move(store, ids[4], -1));
  EXPECT_LT(record_find(store, ids[4]), record_find(store, ids[3]));
}

}  // namespace

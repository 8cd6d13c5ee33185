// Calendar arithmetic, the zone, the time conversions of the formatter and filetime_parse.
// Natively the zone is fixed through TZ; on Windows (Wine) whatever zone the system reports is
// accepted and the expectation is computed from clock_zone_bias.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "core/format.h"

namespace {

std::string F1(const char* format, const FileTime* t) {
  Text* x = format_text(format, t);
  std::string s(text_cstr(x), (size_t)text_length(x));
  text_free(x);
  return s;
}

FileTime at(int y, int mo, int d, int h, int mi, int s) {
  CalendarTime c = {y, mo, d, h, mi, s, 0, 0};
  FileTime t = {0};
  EXPECT_TRUE(calendar_to_filetime(&c, &t)) << y << "-" << mo << "-" << d;
  return t;
}

// Sets the zone of the C library for the scope of a test (native build only).
class Zone {
 public:
  explicit Zone(const char* tz) {
#if !defined(_WIN32)
    const char* old = getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
#else
    (void)tz;
#endif
  }
  ~Zone() {
#if !defined(_WIN32)
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
#endif
  }

 private:
  bool had_ = false;
  std::string old_;
};

const uint64_t kUnixEpochTicks = 116444736000000000ull;  // 1970-01-01 00:00:00 UTC

TEST(Calendar, FixedPoints) {
  CalendarTime c;
  ASSERT_TRUE(filetime_to_calendar(FileTime{0}, &c));
  EXPECT_EQ(c.year, 1601);
  EXPECT_EQ(c.month, 1);
  EXPECT_EQ(c.day, 1);
  EXPECT_EQ(c.weekday, 1);  // Monday
  ASSERT_TRUE(filetime_to_calendar(FileTime{kUnixEpochTicks}, &c));
  EXPECT_EQ(c.year, 1970);
  EXPECT_EQ(c.month, 1);
  EXPECT_EQ(c.day, 1);
  EXPECT_EQ(c.hour, 0);
  EXPECT_EQ(c.weekday, 4);  // Thursday
  ASSERT_TRUE(filetime_to_calendar(FileTime{FILETIME_MAX}, &c));
  EXPECT_EQ(c.year, 30828);
  EXPECT_EQ(c.month, 9);
  EXPECT_EQ(c.day, 14);
  EXPECT_EQ(c.hour, 2);
  EXPECT_EQ(c.minute, 48);
  EXPECT_EQ(c.second, 5);
  EXPECT_EQ(c.millisecond, 477);
  EXPECT_FALSE(filetime_to_calendar(FileTime{FILETIME_MAX + 1}, &c));
  EXPECT_FALSE(filetime_to_calendar(FileTime{0}, nullptr));
  EXPECT_EQ(at(1970, 1, 1, 0, 0, 0).ticks, kUnixEpochTicks);
}

int month_length(int y, int m) {
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  const int days[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return days[m - 1];
}

// Walking day by day from 1601 into the 2400s, the fields advance as a calendar does and every
// day converts back to its own start.
TEST(Calendar, DayByDayWalk) {
  const uint64_t day = 86400 * FILETIME_TICKS_PER_SECOND;
  CalendarTime prev;
  ASSERT_TRUE(filetime_to_calendar(FileTime{0}, &prev));
  for (uint64_t n = 1; n < 300000; ++n) {
    FileTime t = {n * day + 12345678};
    CalendarTime c;
    ASSERT_TRUE(filetime_to_calendar(t, &c));
    if (c.day == 1) {
      ASSERT_EQ(prev.day, month_length(prev.year, prev.month));
      ASSERT_EQ(c.month, prev.month % 12 + 1);
      ASSERT_EQ(c.year, prev.year + (prev.month == 12));
    } else {
      ASSERT_EQ(c.day, prev.day + 1);
      ASSERT_EQ(c.month, prev.month);
      ASSERT_EQ(c.year, prev.year);
    }
    ASSERT_EQ(c.weekday, (prev.weekday + 1) % 7);
    FileTime back;
    ASSERT_TRUE(calendar_to_filetime(&c, &back));
    ASSERT_EQ(back.ticks, t.ticks - t.ticks % 10000);  // milliseconds kept
    prev = c;
  }
}

TEST(Calendar, RejectsInvalidFields) {
  FileTime t = {42};
  const CalendarTime bad[] = {
      {1600, 12, 31, 0, 0, 0, 0, 0}, {30829, 1, 1, 0, 0, 0, 0, 0},   {2001, 0, 1, 0, 0, 0, 0, 0},
      {2001, 13, 1, 0, 0, 0, 0, 0},  {2001, 1, 0, 0, 0, 0, 0, 0},    {2001, 4, 31, 0, 0, 0, 0, 0},
      {1900, 2, 29, 0, 0, 0, 0, 0},  {2019, 2, 29, 0, 0, 0, 0, 0},   {2001, 1, 1, 24, 0, 0, 0, 0},
      {2001, 1, 1, 0, 60, 0, 0, 0},  {2001, 1, 1, 0, 0, 60, 0, 0},   {2001, 1, 1, 0, 0, 0, 1000, 0},
      {2001, 1, 1, -1, 0, 0, 0, 0},  {30828, 9, 14, 2, 48, 6, 0, 0},  // past FILETIME_MAX
  };
  for (const CalendarTime& c : bad) {
    EXPECT_FALSE(calendar_to_filetime(&c, &t)) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(t.ticks, 42u);
  }
  const CalendarTime good[] = {{2000, 2, 29, 23, 59, 59, 999, 0}, {1601, 1, 1, 0, 0, 0, 0, 0}};
  for (const CalendarTime& c : good) EXPECT_TRUE(calendar_to_filetime(&c, &t));
  EXPECT_FALSE(calendar_to_filetime(nullptr, &t));
}

TEST(Clock, NowTicksThread) {
  FileTime now = clock_now();
  CalendarTime c;
  ASSERT_TRUE(filetime_to_calendar(now, &c));
  EXPECT_GE(c.year, 2024);
  uint32_t a = clock_ticks_ms(), b = clock_ticks_ms();
  EXPECT_GE(b - a, 0u);
  EXPECT_LT(b - a, 0x80000000u);  // not going backwards
  uint32_t self = clock_thread_id(), other = 0;
  EXPECT_NE(self, 0u);
  EXPECT_EQ(self, clock_thread_id());
  std::thread th([&] { other = clock_thread_id(); });
  th.join();
  EXPECT_NE(other, self);
}

#if defined(_WIN32)
// The expected %t text for a UTC time, from the zone the system reports.
std::string expected_mail_form(FileTime utc) {
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int bias = 0;
  clock_zone_bias(&bias);
  CalendarTime c;
  FileTime local = {utc.ticks - (uint64_t)((int64_t)bias * (int64_t)FILETIME_TICKS_PER_MINUTE)};
  EXPECT_TRUE(filetime_to_calendar(local, &c));
  char b[64];
  int a = bias < 0 ? -bias : bias;
  snprintf(b, sizeof b, "%02d %s %04d %02d:%02d:%02d %c%02d%02d", c.day, months[c.month - 1],
           c.year, c.hour, c.minute, c.second, bias <= 0 ? '+' : '-', a / 60, a % 60);
  return b;
}
#endif

TEST(FormatTime, FixedZone) {
  Zone z("JST-9");
  FileTime t = at(2018, 5, 28, 23, 14, 7);
#if !defined(_WIN32)
  int bias = 1;
  EXPECT_TRUE(clock_zone_bias(&bias));
  EXPECT_EQ(bias, -540);
  EXPECT_EQ(F1("%t", &t), "29 May 2018 08:14:07 +0900");
  EXPECT_EQ(F1("%yt", &t), "2018/05/29 08:14:07");
#else
  EXPECT_EQ(F1("%t", &t), expected_mail_form(t));
  CalendarTime c;
  ASSERT_TRUE(filetime_to_local(t, &c));
  char b[32];
  snprintf(b, sizeof b, "%04d/%02d/%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
           c.second);
  EXPECT_EQ(F1("%yt", &t), b);
#endif
  EXPECT_EQ(F1("%gt", &t), "28 May 2018 23:14:07");
  FileTime early = at(1601, 1, 1, 0, 0, 7);
  EXPECT_EQ(F1("%gt", &early), "01 Jan 1601 00:00:07");
  EXPECT_EQ(F1("%25gt|", &early), "     01 Jan 1601 00:00:07|");
  // A time that does not convert, or a null pointer, prints nothing.
  FileTime bad = {~0ull};
  EXPECT_EQ(F1("[%t%gt%yt]", &bad), "[]");
  EXPECT_EQ(F1("[%t%gt%yt]", nullptr), "[]");
}

#if !defined(_WIN32)
TEST(FormatTime, ZoneOffsets) {
  {
    Zone z("UTC0");
    FileTime t = at(2020, 1, 2, 3, 4, 5);
    EXPECT_EQ(F1("%t", &t), "02 Jan 2020 03:04:05 +0000");
  }
  {
    Zone z("XYZ+3:30");  // west of UTC
    FileTime t = at(2020, 1, 2, 3, 4, 5);
    EXPECT_EQ(F1("%t", &t), "01 Jan 2020 23:34:05 -0330");
  }
  {
    // In summer the wall clock is on daylight time; %t stays on the standard offset it prints,
    // so the stamp names the same instant.
    Zone z("EST5EDT,M3.2.0,M11.1.0");
    FileTime t = at(2021, 7, 1, 12, 0, 0);
    EXPECT_EQ(F1("%t", &t), "01 Jul 2021 07:00:00 -0500");
    EXPECT_EQ(F1("%yt", &t), "2021/07/01 08:00:00");
    // Before the epoch of the file time there is nothing to print.
    FileTime first = {0};
    EXPECT_EQ(F1("[%t]", &first), "[]");
  }
}
#endif

TEST(FileTimeParse, RoundTrips) {
  Zone z("JST-9");
  const FileTime times[] = {at(2018, 5, 28, 23, 14, 7), at(1601, 1, 2, 0, 0, 0),
                            at(2000, 2, 29, 12, 0, 59), at(9999, 12, 31, 23, 59, 59)};
  for (FileTime t : times) {
    FileTime back = {1};
    ASSERT_TRUE(filetime_parse(F1("%t", &t).c_str(), &back)) << F1("%t", &t);
    EXPECT_EQ(back.ticks, t.ticks);
    back.ticks = 1;
    ASSERT_TRUE(filetime_parse(F1("%gt", &t).c_str(), &back));
    EXPECT_EQ(back.ticks, t.ticks);
  }
}

TEST(FileTimeParse, Forms) {
  const uint64_t expect = at(2018, 5, 28, 23, 14, 7).ticks;
  const char* const ok[] = {
      "29 May 2018 08:14:07 +0900",
      "Tue, 29 May 2018 08:14:07 +0900",
      "  Tue 29 May 2018 08:14:07 +0900",
      "29 may 2018 08:14:07 +0900",
      "28 May 2018 23:14:07",
      "28 May 2018 23:14:07 GMT",
      "28 May 2018 18:14:07 -0500",
      "29 May 2018 08:14:07 +0900 (JST)",
      "28 May 2018 23:14:07\r\n",
  };
  for (const char* s : ok) {
    FileTime t = {0};
    EXPECT_TRUE(filetime_parse(s, &t)) << s;
    EXPECT_EQ(t.ticks, expect) << s;
  }
}

TEST(FileTimeParse, Malformed) {
  const char* const bad[] = {
      "",
      "Tue,",
      "29 Foo 2018 08:14:07",
      "29 May 18 08:14:07",
      "29 May 2018",
      "29 May 2018 08:14",
      "29 May 2018 08:14:7",
      "32 May 2018 08:14:07",
      "29 Feb 2019 08:14:07",
      "29 May 2018 24:00:00",
      "29 May 2018 08:60:00",
      "29 May 2018 08:14:07 +09",
      "29 May 2018 08:14:07 +0960",
      "29 May 2018 08:14:07 junk",
      "29 May 2018 08:14:07 +0900 (JST",
      "29 Mayo 2018 08:14:07",
      "123 May 2018 08:14:07",
      "01 Jan 1601 00:00:00 +0100",  // before the first file time
  };
  for (const char* s : bad) {
    FileTime t = {77};
    EXPECT_FALSE(filetime_parse(s, &t)) << s;
    EXPECT_EQ(t.ticks, 77u) << s;
  }
  FileTime t = {77};
  EXPECT_FALSE(filetime_parse(nullptr, &t));
  EXPECT_FALSE(filetime_parse("28 May 2018 23:14:07", nullptr));
}

}  // namespace

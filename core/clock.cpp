// Calendar arithmetic of the file-time form: proleptic Gregorian, day numbers counted from
// 1601-01-01 (a Monday), valid up to FILETIME_MAX.

#include "core/clock.h"

namespace {

const uint64_t kTicksPerDay = 86400 * FILETIME_TICKS_PER_SECOND;

bool leap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int month_days(int y, int m) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : days[m - 1];
}

// Days from 1601-01-01 to y-m-d. 1601 starts a 400-year cycle, which keeps this simple.
int64_t days_from_civil(int y, int m, int d) {
  int64_t yy = y - 1601;
  int64_t days = yy * 365 + yy / 4 - yy / 100 + yy / 400;
  for (int i = 1; i < m; ++i) days += month_days(y, i);
  return days + d - 1;
}

}  // namespace

bool filetime_to_calendar(FileTime t, CalendarTime* out) {
  if (!out || t.ticks > FILETIME_MAX) return false;
  uint64_t days = t.ticks / kTicksPerDay;
  uint64_t rest = t.ticks % kTicksPerDay;
  CalendarTime c;
  c.weekday = (int)((days + 1) % 7);
  // Whole 400-year cycles (146097 days), then centuries, four-year groups and years; the last
  // year of a group (the leap one) and of a cycle take the clamps.
  uint64_t cycles = days / 146097, d = days % 146097;
  uint64_t centuries = d / 36524;
  if (centuries == 4) centuries = 3;
  d -= centuries * 36524;
  uint64_t quads = d / 1461;
  d %= 1461;
  uint64_t years = d / 365;
  if (years == 4) years = 3;
  d -= years * 365;
  c.year = (int)(1601 + cycles * 400 + centuries * 100 + quads * 4 + years);
  c.month = 1;
  while ((int)d >= month_days(c.year, c.month)) d -= month_days(c.year, c.month++);
  c.day = (int)d + 1;
  uint64_t ms = rest / 10000;
  c.millisecond = (int)(ms % 1000);
  c.second = (int)(ms / 1000 % 60);
  c.minute = (int)(ms / 60000 % 60);
  c.hour = (int)(ms / 3600000);
  *out = c;
  return true;
}

bool calendar_to_filetime(const CalendarTime* c, FileTime* out) {
  if (!c || !out) return false;
  if (c->year < 1601 || c->year > 30828 || c->month < 1 || c->month > 12) return false;
  if (c->day < 1 || c->day > month_days(c->year, c->month)) return false;
  if (c->hour < 0 || c->hour > 23 || c->minute < 0 || c->minute > 59 || c->second < 0 ||
      c->second > 59 || c->millisecond < 0 || c->millisecond > 999)
    return false;
  uint64_t days = (uint64_t)days_from_civil(c->year, c->month, c->day);
  uint64_t ms = ((uint64_t)c->hour * 3600 + c->minute * 60 + c->second) * 1000 + c->millisecond;
  uint64_t ticks = days * kTicksPerDay + ms * 10000;  // at most ~9.22e18: no overflow
  if (ticks > FILETIME_MAX) return false;
  out->ticks = ticks;
  return true;
}

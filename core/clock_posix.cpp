// The clock and the zone on POSIX systems: the C library's zone (TZ or /etc/localtime).

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "core/clock.h"

namespace {
// Seconds from 1601-01-01 to 1970-01-01.
const int64_t kUnixEpoch = 11644473600;
}  // namespace

FileTime clock_now() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  FileTime t;
  t.ticks = (uint64_t)(ts.tv_sec + kUnixEpoch) * FILETIME_TICKS_PER_SECOND + ts.tv_nsec / 100;
  return t;
}

bool filetime_to_local(FileTime utc, CalendarTime* out) {
  if (!out || utc.ticks > FILETIME_MAX) return false;
  time_t secs = (time_t)((int64_t)(utc.ticks / FILETIME_TICKS_PER_SECOND) - kUnixEpoch);
  tm fields;
  if (!localtime_r(&secs, &fields)) return false;
  CalendarTime c;
  c.year = fields.tm_year + 1900;
  c.month = fields.tm_mon + 1;
  c.day = fields.tm_mday;
  c.hour = fields.tm_hour;
  c.minute = fields.tm_min;
  c.second = fields.tm_sec;
  c.millisecond = (int)(utc.ticks / 10000 % 1000);
  c.weekday = fields.tm_wday;
  if (c.year < 1601 || c.year > 30828) return false;
  *out = c;
  return true;
}

bool clock_zone_bias(int* minutes) {
  // `timezone` is the standard offset west of UTC in seconds, daylight saving left out.
  tzset();
  if (minutes) *minutes = (int)(timezone / 60);
  return true;
}

uint32_t clock_ticks_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint32_t)((uint64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

uint32_t clock_thread_id() {
  return (uint32_t)syscall(SYS_gettid);
}

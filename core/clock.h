#pragma once
// Clock and time zone: the file-time form (100 ns units since 1601-01-01 UTC), calendar fields,
// and the system's zone. The arithmetic is portable; the zone and the clock are the OS's.

#include <cstdint>

struct FileTime {
  uint64_t ticks;
};

struct CalendarTime {
  int year, month, day;  // month 1..12, day 1..31
  int hour, minute, second, millisecond;
  int weekday;  // 0 = Sunday
};

FileTime clock_now();                                              // UTC
bool filetime_to_calendar(FileTime t, CalendarTime* out);          // UTC fields
bool calendar_to_filetime(const CalendarTime* c, FileTime* out);   // from UTC fields
bool filetime_to_local(FileTime utc, CalendarTime* out);           // local fields
// The zone bias in minutes without daylight saving (UTC = local + bias); false and 0 if unknown.
bool clock_zone_bias(int* minutes);
uint32_t clock_ticks_ms();  // milliseconds since some start
uint32_t clock_thread_id();

#pragma once
// Clock and time zone: the file-time form (100 ns units since 1601-01-01 UTC), calendar fields,
// and the system's zone. The arithmetic is portable (clock.cpp, proleptic Gregorian); the zone
// and the clock are the OS's (clock_win32.cpp, clock_posix.cpp).

#include <cstdint>

struct FileTime {
  uint64_t ticks;
};

struct CalendarTime {
  int year, month, day;  // month 1..12, day 1..31
  int hour, minute, second, millisecond;
  int weekday;  // 0 = Sunday
};

inline constexpr uint64_t FILETIME_TICKS_PER_SECOND = 10000000ull;
inline constexpr uint64_t FILETIME_TICKS_PER_MINUTE = 60 * FILETIME_TICKS_PER_SECOND;
// The largest file time the calendar functions accept (the system's own limit, year 30828).
inline constexpr uint64_t FILETIME_MAX = 0x7FFFFFFFFFFFFFFFull;

FileTime clock_now();                                      // UTC
bool filetime_to_calendar(FileTime t, CalendarTime* out);  // UTC fields
bool calendar_to_filetime(const CalendarTime* c,
                          FileTime* out);                 // from UTC fields (weekday unused)
bool filetime_to_local(FileTime utc, CalendarTime* out);  // local fields, daylight saving applied
// The zone bias in minutes without daylight saving (UTC = local + bias); false and 0 if unknown.
bool clock_zone_bias(int* minutes);
uint32_t clock_ticks_ms();  // milliseconds since some start
uint32_t clock_thread_id();

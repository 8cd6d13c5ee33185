// Creation stamps: a UTC date and time packed into 32 bits.

#include "core/stamp.h"

#include "core/clock.h"

uint32_t stamp_make(int year, int month, int day, int hour, int minute, int second) {
  if (year < 2000 || year > 2127 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
      hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
    return 0;
  return (uint32_t)(year - 2000) << 25 | (uint32_t)(month - 1) << 21 | (uint32_t)(day - 1) << 16 |
         (uint32_t)hour << 11 | (uint32_t)minute << 5 | (uint32_t)(second / 2);
}

uint32_t stamp_now() {
  CalendarTime c{};
  if (!filetime_to_calendar(clock_now(), &c)) return 0;
  return stamp_make(c.year, c.month, c.day, c.hour, c.minute, c.second);
}

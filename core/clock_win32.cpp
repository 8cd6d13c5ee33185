// The clock and the zone on Windows.

#include <windows.h>

#include "core/clock.h"

FileTime clock_now() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  FileTime t;
  t.ticks = ((uint64_t)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
  return t;
}

bool filetime_to_local(FileTime utc, CalendarTime* out) {
  if (!out || utc.ticks > FILETIME_MAX) return false;
  FILETIME ft;
  ft.dwLowDateTime = (DWORD)utc.ticks;
  ft.dwHighDateTime = (DWORD)(utc.ticks >> 32);
  SYSTEMTIME st, local;
  // The zone's rules for that date (not today's daylight saving state).
  if (!FileTimeToSystemTime(&ft, &st) || !SystemTimeToTzSpecificLocalTime(nullptr, &st, &local))
    return false;
  out->year = local.wYear;
  out->month = local.wMonth;
  out->day = local.wDay;
  out->hour = local.wHour;
  out->minute = local.wMinute;
  out->second = local.wSecond;
  out->millisecond = local.wMilliseconds;
  out->weekday = local.wDayOfWeek;
  return true;
}

bool clock_zone_bias(int* minutes) {
  TIME_ZONE_INFORMATION tz;
  if (GetTimeZoneInformation(&tz) == TIME_ZONE_ID_INVALID) {
    if (minutes) *minutes = 0;
    return false;
  }
  if (minutes) *minutes = (int)tz.Bias;
  return true;
}

uint32_t clock_ticks_ms() {
  return GetTickCount();
}

uint32_t clock_thread_id() {
  return GetCurrentThreadId();
}

#pragma once
// Creation stamps of header records ("x:cdate:").

#include <cstdint>

// Creation stamp: UTC packed from the top bit down as year-2000 (7 bits), month-1 (4), day-1 (5),
// hour (5), minute (6), second/2 (5). 0 for years outside 2000..2127.
uint32_t stamp_now();
uint32_t stamp_make(int year, int month, int day, int hour, int minute, int second);

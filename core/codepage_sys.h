#pragma once
// The platform steps of the code-page layer, as files/fsys.h is for files: the system's plain
// conversion of one character, implemented by codepage_posix.cpp and codepage_win32.cpp. Only
// core/codepage.cpp calls them, to build its tables; nothing of the OS shows here.

#include "core/codepage.h"

// The system's conversion without escapes. Return the units / bytes produced, 0 when the system
// has no mapping.
int codepage_sys_decode(const char* mb, int n, char16_t* out, int capacity);
int codepage_sys_encode(const char16_t* wide, int n, char* out, int capacity);
// Corrections of the platform after the tables are built (the native build follows Windows).
void codepage_sys_adjust(CodepageTables* tables);

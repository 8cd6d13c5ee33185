#pragma once
// The host's settings, loaded at start-up from the per-user settings record
// ("zqcfg://idsystem.sys", the record the installation writes), one header per setting. A key that
// is absent (or a record that is absent) keeps the setting's default. Portable.
//
//   ZQNAME  text, up to 80 bytes: "@zq " and a command line parsed instead of the process's own
//           (never when the process's line holds an unattended switch of the set-up)
//   ZQICON  0/1: the resident icon applet should run (start-up step 12)
//   EDWMOD  editor-window mode, two bits; 1 lets a file argument select EDMDI1
//   SCRJMP  0/1: a /j jump also asks the editor to scroll
//   KEYACC  0/1: key-repeat acceleration of PAGE UP, PAGE DOWN and the arrows in the message loop
//   KEYDLY  low 16 bits the first-press delay, high 16 bits the repeat delay (ms) of KEYACC
//   SOUND   the message boxes' sound bits (0x10: beeps sound)

#include "core/text.h"

// Fills host_settings (cmdline.h) from a settings record; keys that are absent keep their value.
void host_settings_read(Text* record);
// host_settings_read of the record at `path`; without one, of "zqcfg://idsystem.sys" (the user's
// record, else the default beside the program, read where it lies: nothing is copied or written).
// False when there is no record to read (the defaults stay).
bool host_settings_load(const char* path = nullptr);

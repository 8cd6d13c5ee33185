#pragma once
// The command line and the CommandList. The command line (internal multibyte text) becomes a Text
// of tab-separated records, one line each, that names an applet, its show mode, its switches and
// its files; the dispatcher (host.h) walks it. Portable: only the joined-path rule asks the file
// system whether a path exists.
//
// Records, each ending in CR LF:
//   app   TAB id            the requests for one applet begin
//   show  TAB n             show command of windows created afterwards (or NOSHOW in decimal)
//   sw    TAB id TAB n      a switch with a number (or a PackedId as number)
//   sw    TAB id            a switch without value (SCRJMP)
//   swstr TAB id TAB text   a switch with a string value (the rest of the line)
//   file  TAB path          a file, folder, mask or empty name
//   word  TAB token         a token the host does not take (a "/" word other than /j, a switch
//                           whose name is no word), as written; the dispatcher skips it
//
// No record ever holds a CR, LF or NUL inside a value: a raw CR or LF of the command line becomes a
// space, and an escape of the ".es" form that would give one of them stays as written.

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"

// Parse options.
enum : unsigned {
  CL_DEFAULT_APP = 1,  // an empty or EDITOR-only result becomes the default applet
  CL_PROGRAM = 2,      // the first token is the program's own path (skipped)
  CL_EDITOR_ARG = 8,   // a non-switch argument makes EDMDI1 the default applet
};

// The settings the command line and the start-up read (host/settings.h loads them at start-up;
// these are the defaults until the settings record supplies others).
struct HostSettings {
  int editor_mode;      // editor-window mode (two bits); 1 lets a file argument select EDMDI1
  bool scroll_on_jump;  // a /j jump also asks the editor to scroll (SCRJMP)
  bool zqicon;          // the resident icon applet should run
  bool key_repeat;      // key-repeat acceleration in the message loop
  uint32_t key_delays;  // low 16 bits: first-press delay, high 16 bits: repeat delay (ms)
  uint32_t sound;       // the message boxes' sound bits (0x10: beeps sound)
  char zqname[81];      // ZQNAME: "@zq " and a command line that replaces the process's own
};
extern HostSettings host_settings;

// Start of the next token of s and its length in *length; null at the end. A quoted token runs
// through its closing quote; without one it runs from after the quote to the end.
const char* cmdline_token(const char* s, int* length);

// The CommandList of a command line (cursor at the top; the caller frees it), null without
// memory. `show` is the show command of created windows.
Text* cmdline_parse(const char* line, int show, unsigned options);

// The command line to parse: the setting ZQNAME when it begins with "@zq " (the rest of it),
// otherwise the process's own. A process line with an unattended switch of the set-up is always
// its own: a settings file must not turn "zqsetup.exe -uninst -silent" into another command.
const char* cmdline_source(const char* process_line, const char* zqname);

// Whether the line (its first token, the program, skipped) holds one of the set-up's unattended
// switches (-silent, -user, -exe, -log, -opt, -force, -debug, -uninst, or with "/"), other
// installers' words for a silent run (/verysilent, /S, /quiet, /qn) or the set-up's own removal
// request.
bool cmdline_has_unattended_switch(const char* line);

// The parse options of the start-up for the line to parse (the editor-window mode decides option
// 8, except on a line with an unattended switch: a bare word there is the set-up's to refuse, not
// a file that would make the editor the applet).
unsigned cmdline_startup_options(const char* line = nullptr);

// Option bit set by the applet token @0.
bool cmdline_option_bit();
void cmdline_set_option_bit(bool on);

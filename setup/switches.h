#pragma once
// The set-up program's switches, read once from the records that the host's command line gave
// the applet CAB, and the unattended contract built on them. A run is unattended when it carries
// -silent (or a slash form of it), -exe, -log or -opt; in such a run every word must be understood
// and every value well formed, or the run is refused (exit code 2) before anything is written.
// The -log file is opened here, first of all, and receives the run's own log at the end.
// Portable: the file layer is the only system it touches.

#include <cstddef>

#include "core/ids.h"
#include "core/text.h"
#include "files/file.h"
#include "setup/setup_record.h"

// The switches that make or shape an unattended run (the host reads this list too: a command
// line carrying one of them is taken as written, never replaced by a configured one).
inline constexpr const char* SETUP_UNATTENDED_SWITCHES[] = {"silent", "user",  "exe",  "log",
                                                            "opt",    "force", "debug"};
// Other installers' words for -silent, any case ("/silent" ... as the host's "word" records).
inline constexpr const char* SETUP_SLASH_SILENT[] = {"silent", "verysilent", "s", "quiet", "qn"};
// True when name (without its "-" or "/") is one of the unattended switches or slash forms.
bool setup_is_unattended_word(const char* name);

// Exit codes of the set-up program (install and uninstall alike).
enum : int {
  SETUP_EXIT_OK = 0,       // done
  SETUP_EXIT_FAILED = 1,   // failed; the log names what
  SETUP_EXIT_REFUSED = 2,  // refused or cancelled before anything was written
  SETUP_EXIT_RUNNING = 3,  // a program of the suite is running
};

// The switches of one run.
struct SetupSwitches {
  bool silent, uninst, user, debug, force, help;
  bool unattended;  // -silent (or a slash form), -exe, -log or -opt
  Text* exe;        // -exe("FOLDER"); null when absent
  Text* log;        // -log("FILE"); null when absent
  Text* opt;        // -opt("KEY=VALUE,..."); null when absent
  Text* bad;        // what was refused, for the log; null when everything was understood
};
// Reads the records of the applet CAB (from its "app" record up to the next one; a list without
// "app" records is read whole). In an unattended run a file, an unknown switch or word, a value
// holding a double quote, a switch given twice with different values and -exe or -log without a
// quoted value are refused into bad; -uninst with -exe is refused in any run, and -exe, -opt and
// -force without -silent (the wizard asks for these itself).
void setup_switches_read(Text* commands, SetupSwitches* out);
void setup_switches_free(SetupSwitches* s);
// True when the records of the applet CAB make an unattended run.
bool setup_commands_unattended(Text* commands);

// The usage: the switches and the exit codes (for the box, or stdout with a console).
bool setup_usage(Text* out);

// The name check of a shortcut name given with -opt ICON (one function, so that a stricter
// package-wide rule can take its place).
bool setup_icon_name_ok(const char* name);
// Applies -opt("KEY=VALUE,...") to the record: REGSM REGDT REGBRD REGFIR REGEXE REGTXT REGC
// REGCPP REGH SPEAK RESCUE take 0 or 1, ICON a shortcut name. False (nothing applied) with the
// reason appended to why for an unknown key, a bad value or a key given twice.
bool setup_options_apply(Text* rec, const char* options, Text* why);

// The -log file: a device name (NUL, CON, AUX, PRN, COM1-9, LPT1-9, any extension, or a path
// into the device namespace) is refused; otherwise the file is created or truncated now, so
// that a log that cannot be written refuses the run before anything else is done.
bool setup_log_is_device(const char* path);
FileHandle setup_log_open(const char* path);
// Writes the run's log as UTF-8 with CR LF line ends to the open file and closes it.
bool setup_log_finish(FileHandle h, Text* log);

enum SetupAction : int { SETUP_RUN_WIZARD, SETUP_RUN_INSTALL, SETUP_RUN_UNINSTALL, SETUP_RUN_NONE };

// The record of an unattended run from its switches: the standard road of the wizard (with -user
// the user's road), EXE from -exe checked as the destination page checks it, then -opt. Returns
// SETUP_RUN_INSTALL, SETUP_RUN_UNINSTALL, SETUP_RUN_WIZARD (not unattended), or SETUP_RUN_NONE
// with *exit_code 2 and the reason appended to log.
SetupAction setup_silent_record(const SetupSwitches* s, Text* rec, const SetupEnv* env, Text* log,
                                int* exit_code);

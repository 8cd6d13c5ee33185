#pragma once
// The set-up wizard's page logic without windows, and the unattended run's switches.
//
// The wizard has seven pages (0 welcome, 1 kind, 2 destination, 3 overwrite, 4 agreement,
// 5 options, 6 start). Each Next stores the page's controls into the set-up record first (the
// window's part), then asks wizard_next where to go; Back pops the history of up to nine pages.
// The window draws what wizard_enter says: the buttons and the page's text.
//
// The unattended run (" -silent") takes the wizard's standard road without showing it: COMMON 1,
// the program-files folder, the default options, changed only by the switches.

#include <cstdint>

#include "core/clock.h"
#include "core/ids.h"
#include "core/text.h"
#include "setup/setup_record.h"

enum : int {
  WIZ_WELCOME = 0,
  WIZ_KIND = 1,
  WIZ_FOLDER = 2,
  WIZ_OVERWRITE = 3,
  WIZ_AGREEMENT = 4,
  WIZ_OPTIONS = 5,
  WIZ_START = 6,
  WIZ_PAGES = 7,
  WIZ_HISTORY = 9,
};

// Buttons of a page.
enum : unsigned { WIZ_BACK = 1, WIZ_NEXT = 2, WIZ_FINISH = 4 };
// Bit 0 of the flag byte: the standard installation was chosen on the first page.
enum : uint8_t { WIZ_STANDARD = 1 };

struct Wizard {
  Text* rec;            // the set-up record (not owned)
  const SetupEnv* env;  // not owned
  int page;
  int history[WIZ_HISTORY];
  int depth;
  uint8_t flags;
  bool package_time_known;  // the package's editor DATE, for the version warning
  FileTime package_time;
};

void wizard_init(Wizard* w, Text* rec, const SetupEnv* env);

// Entering a page: the buttons it shows, and its text appended to content (page 3: the overwrite
// notes and the version warning; page 6: the summary; page 4's agreement comes from the package
// and is the window's). The initial radio of pages 0 and 1 (true: RADIO1) in *radio1.
unsigned wizard_enter(Wizard* w, int page, Text* content, bool* radio1);

// Next on the current page, after its controls went into the record; radio1 is the choice of
// pages 0 and 1. Returns the page to show (the same page when the destination is refused, with
// the message appended to message). A note to show before going on (the repair warning of page
// 3) is appended to note.
int wizard_next(Wizard* w, bool radio1, Text* message, Text* note);
// Back: the page popped from the history, or the current page when the history is empty.
int wizard_back(Wizard* w);

// Button HIST: previous is the folder of the previous installation (hist_load); it becomes HIST,
// and when not empty its last component FOLDER and the rest DST.
void wizard_hist(Wizard* w, const char* previous);
// Button REFER: the chosen folder becomes DST and HIST is dropped.
void wizard_refer(Wizard* w, const char* chosen);

// ---- unattended ----

// The switches of the set-up program, as the command list brings them.
struct SetupSwitches {
  bool silent, uninst, user, debug;
  Text* exe;  // -exe("FOLDER"); null when absent
  Text* log;  // -log("FILE"); null when absent
  Text* bad;  // a description of the switches refused; null when all were understood
};
// Reads the "sw" and "swstr" records of the command list (records of other applets are not
// read: the list's part after its first "app" record for CAB up to the next "app" record).
// A switch of the wrong form (a string where a number belongs and the reverse), and in a silent
// run an unknown switch or a file, are refused into bad.
void setup_switches_read(Text* commands, SetupSwitches* out);
void setup_switches_free(SetupSwitches* s);

enum : int { SETUP_EXIT_OK = 0, SETUP_EXIT_FAILED = 1, SETUP_EXIT_REFUSED = 2 };
// A program of the suite runs from the installation: nothing was done.
enum : int { SETUP_EXIT_RUNNING = 3 };
enum SetupAction : int { SETUP_RUN_WIZARD, SETUP_RUN_INSTALL, SETUP_RUN_UNINSTALL, SETUP_RUN_NONE };

// The record of an unattended run from its switches: the standard road of the wizard (with
// -user the user's road), EXE from -exe checked as the destination page checks it. Returns
// the action: SETUP_RUN_INSTALL (exit code 0 so far), SETUP_RUN_UNINSTALL, SETUP_RUN_WIZARD
// (not silent), or SETUP_RUN_NONE with *exit_code 2 and the reason appended to log.
SetupAction setup_silent_record(const SetupSwitches* s, Text* rec, const SetupEnv* env, Text* log,
                                int* exit_code);

// Writes the log view's text to path as UTF-8 (the -log switch); false when it cannot.
bool setup_log_write(const char* path, Text* log);

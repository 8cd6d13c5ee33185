#pragma once
// The set-up wizard's page logic without windows.
//
// The wizard has seven pages (0 welcome, 1 kind, 2 destination, 3 overwrite, 4 agreement,
// 5 options, 6 start). Each Next stores the page's controls into the set-up record first (the
// window's part), then asks wizard_next where to go; Back pops the history of up to nine pages.
// The window draws what wizard_enter says: the buttons and the page's text.
//
// The first page's Next sets COMMON 1, or 0 when the record has USER (started with " -user"): the
// standard road then installs for the logged-on user under application data. Back to the first
// page shows the road chosen there.
//
// The unattended run (" -silent") takes the wizard's standard road without showing it
// (setup/switches.h).

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

#pragma once
// Administrator rights for the road the user chose. A standard installation, its repair, and the
// uninstall of a standard installation write into the program-files folder and HKLM; when the
// process may not, the same program is started elevated with the run's choices as unattended
// switches, and the first process waits for it and ends with its exit code. A user installation
// never asks; an unattended run never prompts.
//
// The decision and the elevated command line are portable (elevate.cpp); the probe of the rights
// and the elevated start are the system's (elevate_win32.cpp, elevate_posix.cpp), reached through
// the run's operations so that a test can replace them.

#include "core/text.h"

// What the process may write: the destination folder (or its nearest existing parent) and HKLM.
struct SetupRights {
  bool folder;
  bool machine;
};

enum SetupElevation : int {
  SETUP_ELEVATE_NO,      // the road needs no more than the process has
  SETUP_ELEVATE_ASK,     // start the same program elevated (setup_elevated_args)
  SETUP_ELEVATE_REFUSE,  // unattended without the rights: refused before anything is written
};
// The decision for the record's road (COMMON: a standard installation or its repair; uninstall:
// the removal of the installation the record names, standard when COMMON).
SetupElevation setup_elevation(Text* rec, bool uninstall, bool silent, const SetupRights& rights);

// The elevated program's arguments (a new Text): the installation as
//   -silent -exe("FOLDER") -opt("REGSM=1,...,ICON=NAME") [-force] -log("LOG")
// (-force when given: the first process has already asked about a newer installation), or the
// uninstall as -uninst -silent -log("LOG"). Null when a value cannot travel in a quoted switch (a
// double quote anywhere, or a "," or "=" in the shortcut name).
Text* setup_elevated_args(Text* rec, bool uninstall, bool force, const char* log);

// ---- the system's part ----
// Probes the rights by creating (and at once deleting) a file in folder or its nearest existing
// parent, and by opening HKLM\Software for writing. Natively: neither.
bool elevate_probe(const char* folder, SetupRights* out);
// Starts program (null: this program) elevated with args, waits for it and returns its exit
// code; -1 with *declined set when the user declined the prompt, -1 when it could not start.
int elevate_start(const char* program, const char* args, bool* declined);

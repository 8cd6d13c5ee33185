#pragma once
// The road of one run, top to bottom:
//   app/zq9utl/main.cpp      wWinMain -> host_main
//   host/cmdline.cpp         the command line, parsed once -> the CommandList
//   host/dispatch_win32.cpp  applet_dispatch -> the applet's entry with its records
//   cab/cab_win32.cpp  cab_open -> setup_begin; the command SET -> setup_run; the window's
//                            end -> setup_end. The window only asks and shows.
//   setup/switches.cpp       the switches, the -log file (opened first), the unattended contract
//                            and the record of an unattended run
//   setup/setup_run.cpp      setup_run: editor check, wizard, editor check, newer-installation
//                            check, pak_install (setup/install.cpp), associations
//                            (setup/assoc.cpp), uninstall entry, completion; every line of it
//                            goes to the run's log, which becomes the -log file. A standard
//                            installation without the rights it needs goes instead to the same
//                            program started elevated with the choices as switches (elevate.h).
//
//
// The texts the run and the window show are setup/setup_texts.h.

#include "core/ids.h"
#include "core/text.h"
#include "setup/elevate.h"
#include "setup/switches.h"

// Step 4 of SET: the rows of the extension table whose current association (current[k], from
// assoc_query) differs from the record's key; each change names the extension and the value to
// write for both EDIT and OPEN. Returns the number of changes.
struct SetupAssocChange {
  PackedId ext;
  bool on;
};
int setup_association_changes(Text* rec, const bool current[4], SetupAssocChange out[4]);

// ---- the set-up run ----
//
// The steps that belong to the system or to other modules; setup_engine_ops gives the engine's
// own, the window puts its wizard in, tests replace any of them. ctx is the set-up's own window
// (never counted as a running editor).
struct SetupRunOps {
  bool (*editor_running)(void* ctx);     // product_running
  bool (*wizard)(void* ctx, Text* rec);  // setup_wizard: false when cancelled
  // The installed editor is newer than the package's (the overwrite page's version warning).
  bool (*installed_newer)(void* ctx, Text* rec);
  // pak_install: false on failure, with a line per failed file or key appended to failure.
  bool (*install)(void* ctx, Text* rec, Text* failure);
  bool (*associated)(void* ctx, PackedId ext);          // assoc_query_id
  void (*associate)(void* ctx, PackedId ext, bool on);  // assoc_set_id
  void (*uninstall_entry)(void* ctx, Text* rec, const char* name, const char* command);
  bool (*start)(void* ctx, const char* exe);  // starts the installed editor
  // What the process may write for the record's road (elevate_probe on the installation folder).
  void (*rights)(void* ctx, Text* rec, SetupRights* out);
  // The same program elevated with args (elevate_start): its exit code, or -1 with *declined set
  // when the user declined, -1 when it could not start.
  int (*elevate)(void* ctx, const char* args, bool* declined);
  void* ctx;
};
SetupRunOps setup_engine_ops(void* window);

// One run of the set-up program. The record's SILENT (set by setup_begin for " -silent") makes
// the engine's questions log lines with a stated answer.
struct SetupRun {
  Text* rec;  // the set-up record; it stays the caller's after setup_end
  SetupSwitches sw;
  SetupAction action;
  Text* log;  // every log line and message of the run: the -log file's text
  FileHandle log_file;
  int exit_code;  // SETUP_EXIT_*
  bool started;   // the editor was started
};
// Reads the switches from the applet's records, opens the -log file before anything else, checks
// the unattended contract and makes the record. Returns the action: SETUP_RUN_NONE with the exit
// code set (2 refused, 0 for the usage, then in run->log) when nothing is to be done.
SetupAction setup_begin(SetupRun* run, Text* commands, const SetupEnv* env);
// Steps 1 to 6 of SET (the busy bit and the closing of the window are the window's). Extension
// keys absent from the record are first set from the current associations. Sets run->exit_code.
void setup_run(SetupRun* run, const SetupRunOps* ops);
// Before the uninstall of the installation in folder: true when it may go on in this process;
// false when a standard installation's removal went to the same program elevated (or was
// refused, unattended), with the exit code set.
bool setup_uninstall_here(SetupRun* run, const SetupRunOps* ops, const char* folder);
// Writes the -log file from the run's log and frees what the run holds but the record; returns
// the exit code (1 when the log could not be written after a run that did its work).
int setup_end(SetupRun* run);

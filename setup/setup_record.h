#pragma once
// The set-up record and what the set-up window computes from it, without any window: the record's
// start-up values, the default folder and options, the installation folder, the summary of the
// last wizard page, the folder check of the destination page and the sections of the help text.
//
// The set-up record is a header record keyed by PackedIds (COMMON, USER, STD, MODE, DST, FOLDER,
// EXE, HIST, ICON, REGSM, REGDT, REGBRD, REGFIR, REGEXE, REGTXT, REGC, REGCPP, REGH, SPEAK,
// RESCUE, NEW, SETUP, CHECK, EXT; and INSTKB, the KiB the last installation wrote, for the
// uninstall entry; SILENT and FORCE, the run's -silent and -force). What these functions need from
// the system comes in a SetupEnv, so that the Windows window, the installation engine and the tests
// fill it alike.

#include <cstdint>

#include "core/clock.h"
#include "core/header.h"
#include "core/ids.h"
#include "core/text.h"

inline constexpr char SETUP_PRODUCT[] = "VI RIDEVA 9 64ved";
inline constexpr char SETUP_VENDOR[] = "VODudeduva";
inline constexpr char SETUP_FOLDER_NAME[] = "VA VUDOVA 9";
inline constexpr char SETUP_ICON_NAME[] = "VI Rideva 9 64ved";
inline constexpr char SETUP_EDITOR_EXE[] = "zqeditor.exe";
inline constexpr char SETUP_USER_SETTINGS[] = "idsystem.sys";

// Kinds of the record's values.
inline constexpr uint32_t SETUP_INT = HK_ID | HV_INT;
inline constexpr uint32_t SETUP_STR = HK_ID | HV_PTR;

// What the set-up record's defaults depend on. The strings belong to the caller.
struct SetupEnv {
  const char* program_files;    // PFILES
  const char* app_data;         // the user's application-data folder (APDAT)
  const char* user_name;        // the logon user name
  const char* settings_folder;  // USER: a path holding "setup" starts a standard installation
};
// Fills env from the system's special folders; the strings stay until setup_env_free.
bool setup_env_load(SetupEnv* env);
void setup_env_free(SetupEnv* env);

// One row of the wizard's extension table: the record key and the extension as a PackedId.
struct SetupExtension {
  PackedId key;
  PackedId ext;
};
extern const SetupExtension setup_extensions[4];

// Reading and writing the record's values (0 or "" when absent).
int setup_get(Text* rec, PackedId key);
bool setup_set(Text* rec, PackedId key, int value);
// The value as a new Text (empty when absent; null only without memory).
Text* setup_get_text(Text* rec, PackedId key);
bool setup_set_text(Text* rec, PackedId key, TextArg value);
bool setup_has(Text* rec, PackedId key);
void setup_drop(Text* rec, PackedId key);

// The record as the window creates it: with the user flag COMMON 0 and USER 1; otherwise COMMON 1
// when the settings folder's path holds "setup" (any case), else STD 1; then REGEXE 1, the default
// folder and the default options.
Text* setup_record_new(const SetupEnv* env, bool user_flag);

// The installation folder: EXE when present, otherwise DST joined with FOLDER (a new Text).
Text* setup_folder(Text* rec);
// setup_folder joined with "zqeditor.exe".
Text* setup_folder_exe(Text* rec);
// The uninstall command: "zqsetup.exe" of the installation folder in double quotes followed by
// " -uninst" (a new Text).
Text* setup_uninstall_command(Text* rec);
// True when the editor is already installed in setup_folder.
bool setup_installed(Text* rec);

// DST, FOLDER (both only without EXE) and ICON from COMMON; ICON and SPEAK from the installed
// "idsystem.sys" when setup_folder holds one. Creates no folder.
bool setup_defaults(Text* rec, const SetupEnv* env);
// REGSM 1 unless the editor is already installed in setup_folder, REGDT 1.
bool setup_option_defaults(Text* rec);

// The summary of the last wizard page, appended to out; the cursor goes to the top.
bool setup_status(Text* out, Text* rec);

// The destination check: with COMMON the folder must lie inside the program-files folder, without
// it outside. False, with the message appended to message (when given), for a folder that does
// not fit, and for an empty or relative one.
bool setup_folder_valid(Text* rec, const SetupEnv* env, Text* message);

// The section of the help text that follows the line "＿∥.a.help.%id∥＿" up to the next such line
// (HLPSUP is looked up as SETUP), as a new Text; null without help text or without that line.
Text* help_section(Text* help, PackedId id);

// The last write time of the editor installed in setup_folder; false when there is none.
bool setup_installed_time(Text* rec, FileTime* out);
// Whole-second comparison of the package's editor with the installed one: true when the installed
// editor is newer (the version warning of the overwrite page).
bool setup_installed_is_newer(FileTime package_editor, FileTime installed_editor);

#pragma once
// The manifest of an installation: what it made in a folder, so that the uninstall deletes only
// what it can prove the installation made. It lies in that folder as "zqfiles.lst" (the
// installation folder, and each user's settings folder the installation wrote to), a text of
// records relative to that folder:
//   "zqfiles\t1"              the first line
//   "F\tNAME\tSIZE\tTIME"     a file written, with its size and last write time (file-time ticks)
//   "N\tNAME"                 a file of the product whatever it holds (a settings record that
//                             the editor rewrites)
//   "D\tNAME"                 a folder the installation created ("." the folder itself)
// A file is proved when a record names it with the size and time it still has, or by name, or
// when it lies in a folder the installation created. The manifest of an installation made before
// manifests existed is made up from the package: its entries at their destinations, by name; the
// destination folders are then removed when empty but prove nothing they hold.

#include <cstdint>

#include "core/text.h"
#include "files/fsys.h"
#include "setup/pak.h"

inline constexpr char MANIFEST_NAME[] = "zqfiles.lst";

struct Manifest {
  Text* folder;   // where it lies, without a trailing separator
  Text* records;  // its lines
  bool guessed;   // made up from the package: folders prove nothing they hold
};

// An empty manifest of folder; false without memory.
bool manifest_init(Manifest* m, TextArg folder);
void manifest_free(Manifest* m);
// The manifest lying in folder; false (and an empty one) when there is none or it is not one.
bool manifest_load(Manifest* m, TextArg folder);
// What an installation from this package wrote into folder, by name.
void manifest_from_package(Manifest* m, const PakBlock* pak);
// The installation stages the records as the file MANIFEST_NAME in the folder, with the files
// they name (setup/install.cpp).

// Records a file at path that is not there yet: fd is what a search sees of the temporary that
// will take its place (its size and time stay with it); by_name: any content (fd may be null).
bool manifest_add_staged(Manifest* m, TextArg path, const FileFindData* fd, bool by_name);
// Records a folder the installation created (nothing when it lies outside the manifest's folder).
bool manifest_add_folder(Manifest* m, TextArg path);
// The folders an earlier installation created stay recorded (an overwrite keeps them the
// product's).
void manifest_carry_folders(Manifest* m, const Manifest* earlier);

// True when the file found at path (fd: what a search saw of it) is proved the installation's.
bool manifest_proves(const Manifest* m, TextArg path, const FileFindData* fd);
// True when the manifest names path with a record of its own (F or N; for links: never by the
// folder that holds them).
bool manifest_names(const Manifest* m, TextArg path, const FileFindData* fd);
// True when the installation created the folder (or, guessed, it is a destination folder).
bool manifest_made_folder(const Manifest* m, TextArg path);

#pragma once
// Saving Texts to files: the backup of the previous file, the check for characters that the
// Text's code cannot carry, saves of a region of a large file, and whole saves.
//
// A save never destroys the only good copy: the text (for a region, with the file's bytes before
// and after it) goes into a new file in the target's folder, is flushed to the disk, and only then
// takes the target's place in one step (rename on POSIX, ReplaceFileW / MoveFileExW on Windows).
// When anything fails the old file is untouched.

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"
#include "files/fsys.h"

// Saves a modified Text to its own file (an unmodified one counts as saved).
bool text_save(Text* t);
// Writes the Text to another name (the binding is unchanged).
bool text_save_to(Text* t, TextArg path);
// Writes the logical range [from, to) through the handle; true when every byte was written.
bool text_write_handle(Text* t, FileHandle h, TextPos from, TextPos to);
// Writes a modified Text that holds its file open back to that file (on release).
bool text_write_back(Text* t);

// Backup settings: bits 3 to 6 of the byte are the mode m. 0: no backups; bit 0 of m: into the
// backup folder; m = 5: time-stamped names, 2: extension replaced by ".bak", 10: ".bak" added,
// otherwise the file's own name.
void backup_set_settings(uint8_t byte);
uint8_t backup_settings();
int backup_mode();
// BAKDIR of the system settings; null: absent.
void backup_set_dir(const char* bakdir);
enum { BACKUP_KEEP = 101 };  // time-stamped backups kept besides the new one
bool backup_make(Text* t);   // true when a backup was made
// Turns a file's path into its backup folder, created when missing; false when it cannot be.
bool backup_folder(Text* path);

// The choice for characters that the Text's code cannot hold; false when the save must not go on.
bool save_char_check(Text* t);
// The dialog of that choice: title, the description of its radio group, the initial choice.
// Returns the chosen identifier (UTF, UNI, UNIB, SJISEX, SJIS, JUMP) or 0 when closed.
typedef PackedId (*SaveCharDialog)(Text* t, const char* title, Text* items, PackedId initial);
void save_char_set_dialog(SaveCharDialog dialog);  // null: the built-in one
// The built-in dialog asks notify_box; a "yes" takes this choice (JUMP unless set).
void save_char_set_choice(PackedId choice);

#pragma once
// What the set-up engine asks of the system beyond files and the registry: shell links, the
// product's running windows, the system's version, and the system's own text for an error code.
// shell_win32.cpp uses the shell link object, the window list and FormatMessageW; the native
// build (shell_posix.cpp) has no links and no windows, and takes its error texts from strerror.

#include <cstdint>

#include "core/text.h"

// Creates the link file (its path ends ".lnk") pointing at target, with the arguments when there
// are any and the icon taken from the target at icon_index; no description, no working folder.
// Returns 0 or the system's error code. The component library is initialised once per process.
uint32_t shell_link_create(const char* link, const char* target, const char* arguments,
                           int icon_index);

// True when a top-level window without owner, other than except (a window handle or null),
// belongs to the runtime's frame classes ("DuroDA64", "DuroDA64:...").
bool product_running(void* except);

// Starts a program of the installation (the editor after the set-up) without waiting for it,
// with its folder as the working folder. False when it cannot be started (always natively).
bool shell_start_program(const char* exe);

// The full path of a running program (another process) whose executable lies in folder or below
// it, as a new Text; null when there is none.
Text* program_running_in(const char* folder);

// The major version of the running system (6 and above: Vista and later); 0 when unknown.
int os_major_version();

// The calling thread's last error code (GetLastError, errno natively).
uint32_t os_last_error();
// The code that stands for "access denied" on this system.
uint32_t os_access_denied();
// The system's text for an error code, as a new Text without a trailing line end.
Text* os_error_text(uint32_t code);

#pragma once
// zqtool: each command group lives in its own file and registers itself here. Commands receive
// their arguments in the internal form and print through tool_printf / tool_fail, which give the
// terminal its own form back.

#include <cstddef>
#include <cstdint>

#include "core/clock.h"

struct ToolCommand {
  const char* name;                   // first word of the command line ("pak", "code", ...)
  const char* usage;                  // lines shown by "zqtool" without arguments
  int (*run)(int argc, char** argv);  // argv[0] is the group name; returns the exit status
};

struct ToolRegistrar {
  explicit ToolRegistrar(const ToolCommand* command);
};

// A command-line argument in the internal form (malloc; the caller frees).
char* tool_internal_arg(const char* arg);
// printf of internal text to stdout.
void tool_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Prints a one-line error on stderr ("zqtool: ...") and returns the status to exit with.
int tool_fail(int status, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Whether standard output is a terminal (progress lines are shown only there); the OS step of
// the tool's I/O, in tool_io_posix.cpp / tool_io_win32.cpp.
bool tool_stdout_is_terminal();
// Writes under a temporary name beside `path`, stamps it with `time` when given, and puts it in
// place in one step: a failure leaves neither a half-written file nor the temporary behind.
bool tool_write_file(const char* path, const void* p, size_t n, const FileTime* time = nullptr);

#pragma once
// zqtool: each command group lives in its own file and registers itself here.

struct ToolCommand {
  const char* name;   // first word of the command line ("pak", "code", ...)
  const char* usage;  // lines shown by "zqtool" without arguments
  int (*run)(int argc, char** argv);  // argv[0] is the group name; returns the exit status
};

struct ToolRegistrar {
  explicit ToolRegistrar(const ToolCommand* command);
};

// Prints a one-line error on stderr ("zqtool: ...") and returns the status to exit with.
int tool_fail(int status, const char* format, ...) __attribute__((format(printf, 2, 3)));

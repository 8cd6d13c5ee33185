// The tool's I/O step on POSIX systems.

#include <unistd.h>

#include <cstdio>

#include "app/zqtool/tool.h"

bool tool_stdout_is_terminal() {
  return isatty(fileno(stdout)) != 0;
}

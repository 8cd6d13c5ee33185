// The tool's I/O step on Windows.

#include <io.h>

#include <cstdio>

#include "app/zqtool/tool.h"

bool tool_stdout_is_terminal() {
  return _isatty(_fileno(stdout)) != 0;
}

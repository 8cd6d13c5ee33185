// zqtool: command-line access to the portable runtime (package, codec, character codes, regular
// expressions, path algebra). Each command group registers itself from its own file.

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/zqtool/tool.h"
#include "core/ids.h"

namespace {
const ToolCommand* g_commands[32];
int g_count;

int usage() {
  std::fprintf(stderr, "usage: zqtool COMMAND ...\n");
  for (int i = 0; i < g_count; ++i) std::fprintf(stderr, "%s", g_commands[i]->usage);
  return 2;
}
}  // namespace

ToolRegistrar::ToolRegistrar(const ToolCommand* command) {
  if (g_count < (int)(sizeof g_commands / sizeof g_commands[0])) g_commands[g_count++] = command;
}

int tool_fail(int status, const char* format, ...) {
  std::fputs("zqtool: ", stderr);
  va_list ap;
  va_start(ap, format);
  std::vfprintf(stderr, format, ap);
  va_end(ap);
  std::fputc('\n', stderr);
  return status;
}

int main(int argc, char** argv) {
  char_class_init();
  if (argc < 2) return usage();
  for (int i = 0; i < g_count; ++i)
    if (std::strcmp(argv[1], g_commands[i]->name) == 0) return g_commands[i]->run(argc - 1, argv + 1);
  std::fprintf(stderr, "zqtool: unknown command '%s'\n", argv[1]);
  return usage();
}

// zqtool: command-line access to the portable runtime (package, codec, character codes, regular
// expressions, path algebra). Each command group registers itself from its own file.

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

int main(int argc, char** argv) {
  char_class_init();
  if (argc < 2) return usage();
  for (int i = 0; i < g_count; ++i) {
    if (std::strcmp(argv[1], g_commands[i]->name) != 0) continue;
    // The arguments live as long as the program.
    for (int k = 2; k < argc; ++k) argv[k] = tool_internal_arg(argv[k]);
    return g_commands[i]->run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "zqtool: unknown command '%s'\n", argv[1]);
  return usage();
}

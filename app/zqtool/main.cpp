// zqtool: command-line access to the portable runtime (package, codec, character codes, regular
// expressions, path algebra). Each command group registers itself from its own file.

#include <cstdio>
#include <cstring>

#include "app/zqtool/tool.h"
#include "core/ids.h"

namespace {
const ToolCommand* g_commands[32];
int g_count;

// The usage of every command (or of one); asked for it goes to stdout, after a mistake to stderr.
void print_usage(FILE* f, const ToolCommand* only) {
  std::fprintf(f, "usage: zqtool COMMAND ...\n");
  for (int i = 0; i < g_count; ++i)
    if (!only || only == g_commands[i]) std::fprintf(f, "%s", g_commands[i]->usage);
  if (!only) std::fprintf(f, "  --help | COMMAND --help | --version\n");
}

int usage() {
  print_usage(stderr, nullptr);
  return 2;
}

bool is_help(const char* a) {
  return std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0;
}
}  // namespace

ToolRegistrar::ToolRegistrar(const ToolCommand* command) {
  if (g_count < (int)(sizeof g_commands / sizeof g_commands[0])) g_commands[g_count++] = command;
}

int main(int argc, char** argv) {
  char_class_init();
  if (argc < 2) return usage();
  if (is_help(argv[1])) {
    print_usage(stdout, nullptr);
    return 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("zqtool %s\n", ZQ_VERSION);
    return 0;
  }
  for (int i = 0; i < g_count; ++i) {
    if (std::strcmp(argv[1], g_commands[i]->name) != 0) continue;
    if (argc > 2 && is_help(argv[2])) {
      print_usage(stdout, g_commands[i]);
      return 0;
    }
    // The arguments live as long as the program.
    for (int k = 2; k < argc; ++k) argv[k] = tool_internal_arg(argv[k]);
    return g_commands[i]->run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "zqtool: unknown command '%s'\n", argv[1]);
  return usage();
}

// zqtool cmdline: the CommandList of a command line, so that the parser can be tried from a shell.
//   zqtool cmdline ARGS...
// The arguments, joined by single spaces, are the command line (quotes the shell should keep must
// be quoted for it: '"C:\a b.txt"'). Parsed with the options of the start-up that concern the
// arguments (1 and 8; the program's path is not part of it). Prints one record a line.

#include "host/cmdline.h"

#include <cstdlib>
#include <cstring>

#include "app/zqtool/tool.h"
#include "core/records.h"
#include "core/text.h"

namespace {

int run(int argc, char** argv) {
  size_t n = 1;
  for (int i = 1; i < argc; ++i) n += std::strlen(argv[i]) + 1;
  char* line = (char*)std::calloc(n, 1);
  if (!line) return tool_fail(1, "out of memory");
  for (int i = 1; i < argc; ++i) {
    if (i > 1) std::strcat(line, " ");
    std::strcat(line, argv[i]);
  }
  Text* list = cmdline_parse(line, 1, CL_DEFAULT_APP | CL_EDITOR_ARG);
  std::free(line);
  if (!list) return tool_fail(1, "out of memory");
  for (text_top(list); !text_at_end(list); text_next_line(list)) {
    text_line_begin(list);
    const char* p = text_line_ptr(list);
    size_t k = std::strcspn(p, "\r\n");
    tool_printf("%.*s\n", (int)k, p);
  }
  text_free(list);
  return 0;
}

const ToolCommand cmd = {"cmdline",
                         "  cmdline ARGS...       the CommandList of the command line ARGS\n", run};
ToolRegistrar reg(&cmd);

}  // namespace

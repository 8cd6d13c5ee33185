// zqtool path: the path algebra on internal paths, without touching the file system.
//   zqtool path join BASE NAME | norm PATH | ext PATH | name PATH

#include "files/path.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/zqtool/tool.h"
#include "core/text.h"

namespace {

int run(int argc, char** argv) {
  if (argc < 3) return tool_fail(2, "path: expected join, norm, ext or name and a path");
  const char* op = argv[1];
  bool join = std::strcmp(op, "join") == 0;
  if (join ? argc != 4 : argc != 3) return tool_fail(2, "path %s: wrong number of arguments", op);
  std::string path = argv[2];
  std::string name = join ? argv[3] : "";
  Text* t = text_new();
  if (!t) return tool_fail(1, "out of memory");
  text_insert(t, path.c_str(), TI_RAW, (int64_t)path.size());
  int status = 0;
  const char* out = nullptr;
  if (join) {
    if (!path_join(t, name.c_str())) status = tool_fail(1, "path join failed");
    out = text_cstr(t);
  } else if (std::strcmp(op, "norm") == 0) {
    path_normalise(t);
    out = text_cstr(t);
  } else if (std::strcmp(op, "ext") == 0) {
    out = path_extension(t);
  } else if (std::strcmp(op, "name") == 0) {
    out = path_file_name(t);
  } else {
    status = tool_fail(2, "path: unknown operation '%s'", op);
  }
  if (status == 0 && out) tool_printf("%s\n", out);
  text_free(t);
  return status;
}

const ToolCommand cmd = {
    "path",
    "  path join BASE NAME   join NAME to BASE (NAME replaces BASE's file name)\n"
    "  path norm PATH        remove . and .. segments\n"
    "  path ext PATH         the extension, with its dot (empty when none)\n"
    "  path name PATH        the file-name part\n",
    run};
ToolRegistrar reg(&cmd);

}  // namespace

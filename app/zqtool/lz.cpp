// zqtool lz: the raw compressed stream of one file.

#include "setup/lz.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/zqtool/tool.h"
#include "core/text.h"
#include "files/file.h"

namespace {

const char kUsage[] =
    "  lz encode IN OUT      compress a file into a raw package stream\n"
    "  lz decode IN OUT      decompress a raw package stream\n";

int run(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "encode") != 0 && std::strcmp(argv[1], "decode") != 0)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  size_t n;
  uint8_t* in = file_read_all(argv[2], &n);
  if (!in) return tool_fail(1, "cannot read %s", argv[2]);
  size_t out_n = 0;
  int err = LZ_OK;
  uint8_t* out = nullptr;
  if (argv[1][0] == 'e') {
    out = lz_encode(in, n, &out_n, nullptr);
    if (!out) err = LZ_TOO_LARGE;
  } else {
    out = lz_decode(in, n, nullptr, &out_n, &err);
  }
  std::free(in);
  if (!out) return tool_fail(1, "%s: %s", argv[2], lz_error_text(err));
  bool ok = tool_write_file(argv[3], out, out_n);
  std::free(out);
  if (!ok) return tool_fail(1, "cannot write %s", argv[3]);
  return 0;
}

const ToolCommand cmd = {"lz", kUsage, run};
ToolRegistrar reg(&cmd);

}  // namespace

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

uint8_t* read_all(const char* path, size_t* n) {
  *n = 0;
  FileHandle h = file_open_read(path, FSYS_READ, FSYS_SHARE_READ, FSYS_SEQUENTIAL);
  if (h == FILE_INVALID) return nullptr;
  int64_t size = file_size(h);
  uint8_t* b = size >= 0 ? (uint8_t*)std::malloc((size_t)size + 1) : nullptr;
  if (!b || file_read(h, b, size) != size) {
    std::free(b);
    b = nullptr;
  } else {
    *n = (size_t)size;
  }
  file_close(h);
  return b;
}

// Writes under a temporary name and puts it in place, so that a failure leaves nothing behind.
bool write_all(const char* path, const void* p, size_t n) {
  Text* temp = text_new();
  text_puts(temp, path);
  text_puts(temp, ".part~");
  FileHandle h = file_create_ex(temp, FSYS_WRITE, 0, 0, true);
  bool ok = h != FILE_INVALID;
  if (ok) {
    ok = file_write(h, p, (int64_t)n) == (int64_t)n;
    file_close(h);
    ok = ok && file_replace(temp, path);
    if (!ok) file_delete(temp);
  }
  text_free(temp);
  return ok;
}

int run(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "encode") != 0 && std::strcmp(argv[1], "decode") != 0)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  size_t n;
  uint8_t* in = read_all(argv[2], &n);
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
  bool ok = write_all(argv[3], out, out_n);
  std::free(out);
  if (!ok) return tool_fail(1, "cannot write %s", argv[3]);
  return 0;
}

const ToolCommand cmd = {"lz", kUsage, run};
ToolRegistrar reg(&cmd);

}  // namespace

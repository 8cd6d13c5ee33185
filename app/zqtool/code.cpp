// zqtool code: detection and conversion of character codes of files.
//
//   zqtool code detect FILE...                                 name, TAB, code (or 0) per file
//   zqtool code conv --from CODE|auto --to CODE [--no-bom] IN OUT
//
// Conversion goes through the internal form; line ends are left as they are. The output is
// written to a temporary file beside OUT and put in its place, so OUT is never half-written.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/zqtool/tool.h"
#include "core/text.h"
#include "files/codes.h"
#include "files/file.h"

namespace {

const char kUsage[] =
    "  code detect FILE...\n"
    "  code conv --from CODE|auto --to CODE [--no-bom] IN OUT\n"
    "       CODE: SJIS SJISEX ASCII EUC JIS UTF UTFB UNI UNIB UNIBE EURO\n";

// A code named on the command line; 0 when unknown.
PackedId parse_code(const char* s) {
  PackedId id = id_pack(s);
  char back[8];
  id_unpack(id, back);
  // The whole word must be the id (id_pack stops at the first other character).
  if (!code_is_known(id) || std::strlen(back) != std::strlen(s)) return 0;
  return id;
}

int detect(int argc, char** argv) {
  if (argc < 3) return tool_fail(2, "code detect: no file named");
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    size_t n = 0;
    char* bytes = (char*)file_read_all(argv[i], &n);
    if (!bytes) {
      status = tool_fail(1, "code detect: cannot read %s", argv[i]);
      continue;
    }
    PackedId code = code_detect_bytes(bytes, n);
    std::free(bytes);
    char name[8];
    tool_printf("%s\t%s\n", argv[i], code ? id_unpack(code, name) : "0");
  }
  return status;
}

int conv(int argc, char** argv) {
  const char* from_s = nullptr;
  const char* to_s = nullptr;
  const char* files[2] = {nullptr, nullptr};
  int nfiles = 0, mode = 0;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--from") == 0 && i + 1 < argc)
      from_s = argv[++i];
    else if (std::strcmp(argv[i], "--to") == 0 && i + 1 < argc)
      to_s = argv[++i];
    else if (std::strcmp(argv[i], "--no-bom") == 0)
      mode = CODE_NO_MARK;
    else if (argv[i][0] == '-' && argv[i][1])
      return tool_fail(2, "code conv: unknown option %s", argv[i]);
    else if (nfiles < 2)
      files[nfiles++] = argv[i];
    else
      return tool_fail(2, "code conv: too many files");
  }
  if (!from_s || !to_s || nfiles != 2)
    return tool_fail(2, "code conv: --from CODE --to CODE IN OUT");
  bool automatic = std::strcmp(from_s, "auto") == 0;
  PackedId from = automatic ? 0 : parse_code(from_s);
  PackedId to = parse_code(to_s);
  if (!automatic && !from) return tool_fail(2, "code conv: unknown code %s", from_s);
  if (!to) return tool_fail(2, "code conv: unknown code %s", to_s);

  size_t n = 0;
  char* bytes = (char*)file_read_all(files[0], &n);
  if (!bytes) return tool_fail(1, "code conv: cannot read %s", files[0]);
  if (automatic) from = code_detect_bytes(bytes, n);
  if (!from) from = CODE_SJIS;

  Text* internal = bytes_from_code(bytes, n, from);
  std::free(bytes);
  char name[8];
  if (!internal)
    return tool_fail(1, "code conv: %s is not valid %s text (truncated character)", files[0],
                     id_unpack(from, name));
  int64_t len = text_length(internal);
  Text* out = bytes_to_code(text_cstr(internal), len, to, mode);
  text_free(internal);
  if (!out)
    return tool_fail(1, "code conv: %s cannot be written as %s (truncated character)", files[0],
                     id_unpack(to, name));
  len = text_length(out);
  bool ok = tool_write_file(files[1], text_cstr(out), size_t(len));
  text_free(out);
  if (!ok) return tool_fail(1, "code conv: cannot write %s", files[1]);
  return 0;
}

int run(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "detect") == 0) return detect(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "conv") == 0) return conv(argc, argv);
  std::fprintf(stderr, "usage: zqtool\n%s", kUsage);
  return 2;
}

const ToolCommand cmd = {"code", kUsage, run};
ToolRegistrar reg(&cmd);

}  // namespace

// zqtool code: detection and conversion of character codes of files.
//
//   zqtool code detect FILE...                                 name, TAB, code (or 0) per file
//   zqtool code conv --from CODE|auto --to CODE [--no-bom] IN OUT
//
// Conversion goes through the internal form; line ends are left as they are. The output is
// written to a temporary file beside OUT and renamed over it, so OUT is never half-written.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/zqtool/tool.h"
#include "core/text.h"
#include "files/codes.h"

namespace {

const char kUsage[] =
    "  code detect FILE...\n"
    "  code conv --from CODE|auto --to CODE [--no-bom] IN OUT\n"
    "       CODE: SJIS SJISEX ASCII EUC JIS UTF UTFB UNI UNIB UNIBE EURO\n";

// Whole file into a malloc'd buffer; null on failure.
char* read_file(const char* path, int64_t* size) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return nullptr;
  size_t cap = 1 << 16, n = 0;
  char* buf = (char*)std::malloc(cap);
  while (buf) {
    if (n == cap) {
      char* grown = (char*)std::realloc(buf, cap * 2);
      if (!grown) {
        std::free(buf);
        buf = nullptr;
        break;
      }
      buf = grown;
      cap *= 2;
    }
    size_t k = std::fread(buf + n, 1, cap - n, f);
    n += k;
    if (k == 0) break;
  }
  bool bad = std::ferror(f);
  std::fclose(f);
  if (bad) {
    std::free(buf);
    return nullptr;
  }
  *size = int64_t(n);
  return buf;
}

bool file_exists(const char* path) {
  FILE* f = std::fopen(path, "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

// Writes the bytes to a temporary beside `path` and renames it over `path`.
bool write_file_safely(const char* path, const char* bytes, size_t n) {
  std::string tmp;
  for (int i = 0;; ++i) {
    tmp = std::string(path) + ".zqtmp" + std::to_string(i);
    if (!file_exists(tmp.c_str())) break;
    if (i > 1000) return false;
  }
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes, 1, n, f) == n;
  ok = std::fclose(f) == 0 && ok;
  if (ok && std::rename(tmp.c_str(), path) != 0) {
    // Windows does not rename over an existing file: the old one goes first.
    ok = file_exists(path) && std::remove(path) == 0 && std::rename(tmp.c_str(), path) == 0;
  }
  if (!ok) std::remove(tmp.c_str());
  return ok;
}

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
    int64_t n = 0;
    char* bytes = read_file(argv[i], &n);
    if (!bytes) {
      status = tool_fail(1, "code detect: cannot read %s", argv[i]);
      continue;
    }
    PackedId code = code_detect_bytes(bytes, n);
    std::free(bytes);
    char name[8];
    std::printf("%s\t%s\n", argv[i], code ? id_unpack(code, name) : "0");
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

  int64_t n = 0;
  char* bytes = read_file(files[0], &n);
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
  bool ok = write_file_safely(files[1], text_cstr(out), size_t(len));
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

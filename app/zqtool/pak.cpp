// zqtool pak: build, list, extract and verify packages (also the one inside a set-up executable).

#include "setup/pak.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/zqtool/tool.h"
#include "core/text.h"
#include "files/file.h"
#include "setup/lz.h"
#include "setup/pe_resource.h"

namespace {

const char kUsage[] =
    "  pak build SRCDIR OUT [--needed] [--exe-dir DIR] [--threads N]\n"
    "                        write a package from a folder of sources (on N threads;\n"
    "                        0, the default, takes every core)\n"
    "  pak list FILE         entries of a package (or of an executable carrying one):\n"
    "                        name as created, date, stored and file size, ARC, CRC32\n"
    "  pak extract FILE DIR  write every entry under DIR as an installation places it\n"
    "                        (a package with a bad or repeated name writes nothing)\n"
    "  pak verify FILE       check every name, decode every entry, check its length and\n"
    "                        checksum (entries without one are listed as unchecked)\n";

#ifdef _WIN32
const char kSep[] = "\\";
#else
const char kSep[] = "/";
#endif

// The file's bytes and the package in them: the file itself, or the resource of an executable.
struct Package {
  uint8_t* file = nullptr;
  PakBlock block = {};
  ~Package() { std::free(file); }
};

bool load(const char* path, Package* pk) {
  size_t n;
  pk->file = file_read_all(path, &n);
  if (!pk->file) {
    tool_fail(1, "cannot read %s", path);
    return false;
  }
  if (pak_block(pk->file, n, &pk->block)) return true;
  const uint8_t* res;
  uint32_t res_n;
  if (pe_find_resource(pk->file, n, PAK_RT_RCDATA, PAK_RESOURCE_ID, &res, &res_n) &&
      pak_block(res, res_n, &pk->block))
    return true;
  uint32_t total;
  if (pak_check(pk->file, n, &total)) {
    tool_fail(1, "%s: package truncated (%u of %u bytes)", path, (unsigned)n, (unsigned)total);
  } else {
    tool_fail(1, "%s: not a package", path);
  }
  return false;
}

// Reports how a walk ended; true when it reached the end.
bool walk_ended_well(const char* path, PakStatus status, uint32_t where) {
  if (status == PAK_END || status == PAK_STOPPED) return true;
  tool_fail(1, "%s: at offset %u: %s", path, (unsigned)where, pak_status_text(status));
  return false;
}

// Prints the problems that pak_names_check found; true when there were none.
bool names_good(const char* path, const PakBlock* pak) {
  Text* report = text_new();
  bool ok = pak_names_check(pak, report);
  if (!ok) {
    text_top(report);
    for (const char* line = text_cstr(report); *line;) {
      const char* end = std::strchr(line, '\n');
      int n = end ? (int)(end - line) : (int)std::strlen(line);
      int shown = n > 0 && line[n - 1] == '\r' ? n - 1 : n;
      tool_fail(1, "%s: %.*s", path, shown, line);
      line += end ? n + 1 : n;
    }
  }
  text_free(report);
  return ok;
}

bool list_one(void*, const PakEntry* e) {
  uint32_t ulen = e->size;
  if (e->compressed) lz_header(e->data, e->size, nullptr, &ulen);
  // The name as the file system would see it: an escaped separator shows as what it is.
  Text* shown = pak_name_display(e->name);
  char crc[9] = "-";
  if (e->has_crc) std::snprintf(crc, sizeof crc, "%08X", (unsigned)e->crc);
  tool_printf("%s\t%s\t%u\t%u\t%d\t%s\n", shown ? text_cstr(shown) : "?", e->date,
              (unsigned)e->size, (unsigned)ulen, e->compressed ? 1 : 0, crc);
  text_free(shown);
  return true;
}

int cmd_list(int argc, char** argv) {
  if (argc != 3) return tool_fail(2, "usage: pak list FILE");
  Package pk;
  if (!load(argv[2], &pk)) return 1;
  uint32_t where = 0;
  PakStatus st = pak_walk(&pk.block, list_one, nullptr, &where);
  bool ok = walk_ended_well(argv[2], st, where);
  return names_good(argv[2], &pk.block) && ok ? 0 : 1;
}

struct Verify {
  int problems = 0, entries = 0, unchecked = 0;
};

bool verify_one(void* ctx, const PakEntry* e) {
  Verify* v = (Verify*)ctx;
  ++v->entries;
  Text* shown = pak_name_display(e->name);
  const char* name = shown ? text_cstr(shown) : "?";
  uint32_t total = 0, ulen = 0;
  int err = LZ_OK;
  size_t n = 0;
  uint8_t* data = pak_entry_data(e, &n, &err);
  if (!data) {
    ++v->problems;
    tool_printf("%s: %s\n", name, pak_error_text(err));
  } else if (e->compressed && lz_header(e->data, e->size, &total, &ulen) && total != e->size) {
    ++v->problems;
    tool_printf("%s: stream length %u, SIZE %u\n", name, (unsigned)total, (unsigned)e->size);
  } else if (!e->has_crc) {
    ++v->unchecked;
    tool_printf("%s: unchecked (no CRC32)\n", name);
  }
  std::free(data);
  text_free(shown);
  return true;
}

int cmd_verify(int argc, char** argv) {
  if (argc != 3) return tool_fail(2, "usage: pak verify FILE");
  Package pk;
  if (!load(argv[2], &pk)) return 1;
  Verify v;
  uint32_t where = 0;
  PakStatus st = pak_walk(&pk.block, verify_one, &v, &where);
  bool ok = walk_ended_well(argv[2], st, where);
  bool names = names_good(argv[2], &pk.block);
  if (!ok || !names || v.problems) {
    if (ok && v.problems)
      tool_fail(1, "%s: %d of %d entries have problems", argv[2], v.problems, v.entries);
    return 1;
  }
  if (v.unchecked)
    tool_printf("%s: %d entries ok, %d of them without a checksum\n", argv[2], v.entries,
                v.unchecked);
  else
    tool_printf("%s: %d entries ok\n", argv[2], v.entries);
  return 0;
}

struct Extract {
  const char* dir;
  int count = 0, failed = 0;
  bool progress;
};

bool extract_one(void* ctx, const PakEntry* e) {
  Extract* x = (Extract*)ctx;
  ++x->count;
  if (x->progress) {
    tool_printf("\r%4d %-40.40s", x->count, e->name);
    std::fflush(stdout);
  }
  int err = LZ_OK;
  size_t n = 0;
  uint8_t* data = pak_entry_data(e, &n, &err);
  if (!data) {
    ++x->failed;
    tool_fail(1, "%s: %s", e->name, pak_error_text(err));
    return true;
  }
  PakDestination dest[2];
  int nd = pak_destinations(e->name, dest);
  FileTime sample = pak_sample_time();
  for (int k = 0; k < nd; ++k) {
    Text* folder = text_new();
    text_puts(folder, x->dir);
    text_puts(folder, kSep);
    text_puts(folder, dest[k].folder);
    Text* path = text_new();
    text_puts(path, text_cstr(folder));
    text_puts(path, e->name);
    const FileTime* t = dest[k].sample_time ? &sample : e->has_time ? &e->time : nullptr;
    if ((!file_is_folder(folder) && !folder_create_all(folder)) ||
        !tool_write_file(text_cstr(path), data, n, t)) {
      ++x->failed;
      tool_fail(1, "cannot write %s", text_cstr(path));
    }
    text_free(path);
    text_free(folder);
  }
  std::free(data);
  return true;
}

int cmd_extract(int argc, char** argv) {
  if (argc != 4) return tool_fail(2, "usage: pak extract FILE DIR");
  Package pk;
  if (!load(argv[2], &pk)) return 1;
  // Every name is judged before anything is written: a bad one refuses the whole package.
  if (!names_good(argv[2], &pk.block)) return 1;
  Extract x;
  x.dir = argv[3];
  x.progress = tool_stdout_is_terminal();
  if (!file_is_folder(x.dir) && !folder_create_all(x.dir))
    return tool_fail(1, "cannot create %s", x.dir);
  uint32_t where = 0;
  PakStatus st = pak_walk(&pk.block, extract_one, &x, &where);
  if (x.progress) tool_printf("\n");
  bool ok = walk_ended_well(argv[2], st, where);
  return ok && !x.failed ? 0 : 1;
}

const char kBuildUsage[] = "usage: pak build SRCDIR OUT [--needed] [--exe-dir DIR] [--threads N]";

int cmd_build(int argc, char** argv) {
  const char* exe = nullptr;
  bool needed = false;
  int threads = 0;
  const char* pos[2] = {nullptr, nullptr};
  int npos = 0;
  for (int k = 2; k < argc; ++k) {
    if (std::strcmp(argv[k], "--needed") == 0)
      needed = true;
    else if (std::strcmp(argv[k], "--exe-dir") == 0 && k + 1 < argc)
      exe = argv[++k];
    else if (std::strcmp(argv[k], "--threads") == 0 && k + 1 < argc) {
      char* end = nullptr;
      long n = std::strtol(argv[++k], &end, 10);
      if (*end || end == argv[k] || n < 0 || n > 256) return tool_fail(2, "%s", kBuildUsage);
      threads = (int)n;
    } else if (npos < 2 && argv[k][0] != '-')
      pos[npos++] = argv[k];
    else
      return tool_fail(2, "%s", kBuildUsage);
  }
  if (npos != 2) return tool_fail(2, "%s", kBuildUsage);
  if (!file_is_folder(pos[0])) return tool_fail(1, "%s: not a folder", pos[0]);
  Text* src = text_new();
  Text* exe_dir = text_new();
  text_puts(src, pos[0]);
  text_puts(src, kSep);
  text_puts(exe_dir, exe ? exe : pos[0]);
  text_puts(exe_dir, kSep);
  PakBuildPaths paths = {text_cstr(src), text_cstr(exe_dir), text_cstr(src), pos[1], threads};
  bool ok = pak_build(needed ? PAK_BUILD_NEEDED : 0, &paths);
  text_free(src);
  text_free(exe_dir);
  if (!ok) {
    if (file_is_file(pos[1]))
      return tool_fail(1, "%s: written without the files that failed", pos[1]);
    return tool_fail(1, "%s: cannot be written", pos[1]);
  }
  return 0;
}

int run(int argc, char** argv) {
  if (argc >= 2) {
    if (std::strcmp(argv[1], "build") == 0) return cmd_build(argc, argv);
    if (std::strcmp(argv[1], "list") == 0) return cmd_list(argc, argv);
    if (std::strcmp(argv[1], "extract") == 0) return cmd_extract(argc, argv);
    if (std::strcmp(argv[1], "verify") == 0) return cmd_verify(argc, argv);
  }
  std::fputs(kUsage, stderr);
  return 2;
}

const ToolCommand cmd = {"pak", kUsage, run};
ToolRegistrar reg(&cmd);

}  // namespace

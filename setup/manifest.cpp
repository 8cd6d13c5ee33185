// The manifest of what an installation made: records, their file, and the proofs the uninstall
// asks.

#include "setup/manifest.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/file.h"
#include "files/path.h"

namespace {

const char kFirstLine[] = "zqfiles\t1";

struct Record {
  char kind;  // 'F', 'N' or 'D'
  char name[800];
  uint64_t size, ticks;
};

// Calls visit(record) for each well-formed record until it returns true; returns that.
template <class F>
bool each_record(const Manifest* m, F visit) {
  if (!m || !m->records) return false;
  const char* s = text_cstr(m->records);
  while (*s) {
    const char* end = std::strchr(s, '\n');
    size_t n = end ? (size_t)(end - s) : std::strlen(s);
    size_t body = n > 0 && s[n - 1] == '\r' ? n - 1 : n;
    Record r = {};
    if (body > 2 && s[1] == '\t' && (s[0] == 'F' || s[0] == 'N' || s[0] == 'D')) {
      r.kind = s[0];
      const char* name = s + 2;
      const char* tab = (const char*)std::memchr(name, '\t', body - 2);
      size_t len = tab ? (size_t)(tab - name) : body - 2;
      if (len < sizeof r.name) {
        std::memcpy(r.name, name, len);
        r.name[len] = 0;
        bool ok = r.kind != 'F';
        if (r.kind == 'F' && tab) {
          char numbers[64] = {};
          size_t k = body - (size_t)(tab + 1 - s);
          if (k < sizeof numbers) {
            std::memcpy(numbers, tab + 1, k);
            ok = std::sscanf(numbers, "%" SCNu64 "\t%" SCNu64, &r.size, &r.ticks) == 2;
          }
        }
        if (ok && visit(r)) return true;
      }
    }
    s += end ? n + 1 : n;
  }
  return false;
}

// The path relative to the manifest's folder ("." for the folder itself), or null outside it.
const char* relative(const Manifest* m, const char* path) {
  const char* f = text_cstr(m->folder);
  if (!path || !path_inside(path, f, true)) return nullptr;
  const char* r = path + std::strlen(f);
  while (*r == '\\' || *r == '/') ++r;
  return *r ? r : ".";
}

void add_record(Manifest* m, char kind, const char* rel, const FileFindData* fd) {
  char line[1000];
  if (fd)
    std::snprintf(line, sizeof line, "%c\t%s\t%" PRIu64 "\t%" PRIu64 "\r\n", kind, rel, fd->size,
                  fd->written.ticks);
  else
    std::snprintf(line, sizeof line, "%c\t%s\r\n", kind, rel);
  text_bottom(m->records);
  text_puts(m->records, line);
}

bool has_folder(const Manifest* m, const char* rel) {
  return each_record(m, [&](const Record& r) { return r.kind == 'D' && path_same(r.name, rel); });
}

struct FromPackage {
  Manifest* m;
};

bool add_entry(void* context, const PakEntry* e) {
  Manifest* m = ((FromPackage*)context)->m;
  if (!pak_name_is_safe(e->name)) return true;
  PakDestination dest[2];
  int count = pak_destinations(e->name, dest);
  for (int k = 0; k < count; ++k) {
    char rel[900];
    std::snprintf(rel, sizeof rel, "%s%s", dest[k].folder, e->name);
    add_record(m, 'N', rel, nullptr);
  }
  return true;
}

}  // namespace

bool manifest_init(Manifest* m, TextArg folder) {
  *m = Manifest{};
  m->folder = text_new_from(text_arg_cstr(folder));
  m->records = text_new();
  if (!m->folder || !m->records) {
    manifest_free(m);
    return false;
  }
  path_strip_separator(m->folder, 2);
  text_puts(m->records, kFirstLine);
  text_puts(m->records, "\r\n");
  add_record(m, 'N', MANIFEST_NAME, nullptr);
  return true;
}

void manifest_free(Manifest* m) {
  text_free(m->folder);
  text_free(m->records);
  *m = Manifest{};
}

bool manifest_load(Manifest* m, TextArg folder) {
  if (!manifest_init(m, folder)) return false;
  TextOwner path(path_child(m->folder, MANIFEST_NAME));
  FileFindData fd;
  // A link in its place is not the installation's record.
  if (!file_find_data(path.t, &fd) || (fd.attributes & FSYS_ATTR_REPARSE_POINT)) return false;
  TextOwner t(text_new());
  if (!text_load(t.t, path.t, TL_READ_ONLY_CONTENTS)) return false;
  const char* s = text_cstr(t.t);
  size_t n = sizeof kFirstLine - 1;
  if (std::strncmp(s, kFirstLine, n) != 0 || (s[n] != '\r' && s[n] != '\n')) return false;
  text_clear(m->records);
  text_insert(m->records, t.t, TI_WHOLE, -1);
  return true;
}

void manifest_from_package(Manifest* m, const PakBlock* pak) {
  m->guessed = true;
  FromPackage f = {m};
  if (pak) pak_walk(pak, add_entry, &f);
  // What the installation writes beside the package's files.
  static const char* const written[] = {"idsystem.sys", "idtemp.sys"};
  for (const char* n : written) add_record(m, 'N', n, nullptr);
  static const char* const folders[] = {"sample", "qmac", "qmac\\system", "qmac\\sample"};
  for (const char* d : folders) add_record(m, 'D', d, nullptr);
}

bool manifest_add_staged(Manifest* m, TextArg path, const FileFindData* fd, bool by_name) {
  const char* rel = relative(m, text_arg_cstr(path));
  if (!rel || (!by_name && !fd)) return false;
  add_record(m, by_name ? 'N' : 'F', rel, by_name ? nullptr : fd);
  return true;
}

bool manifest_add_folder(Manifest* m, TextArg path) {
  TextOwner dir(text_new_from(text_arg_cstr(path)));
  if (!dir.t) return false;
  path_strip_separator(dir.t, 2);
  const char* rel = relative(m, text_cstr(dir.t));
  if (!rel) return false;
  if (!has_folder(m, rel)) add_record(m, 'D', rel, nullptr);
  return true;
}

void manifest_carry_folders(Manifest* m, const Manifest* earlier) {
  if (!earlier || earlier->guessed) return;
  each_record(earlier, [&](const Record& r) {
    if (r.kind == 'D' && !has_folder(m, r.name)) add_record(m, 'D', r.name, nullptr);
    return false;
  });
}

bool manifest_names(const Manifest* m, TextArg path, const FileFindData* fd) {
  const char* rel = m ? relative(m, text_arg_cstr(path)) : nullptr;
  if (!rel) return false;
  return each_record(m, [&](const Record& r) {
    if (!path_same(r.name, rel)) return false;
    if (r.kind == 'N') return true;
    return r.kind == 'F' && fd && fd->size == r.size && fd->written.ticks == r.ticks;
  });
}

bool manifest_made_folder(const Manifest* m, TextArg path) {
  const char* rel = m ? relative(m, text_arg_cstr(path)) : nullptr;
  return rel && has_folder(m, rel);
}

bool manifest_proves(const Manifest* m, TextArg path, const FileFindData* fd) {
  if (manifest_names(m, path, fd)) return true;
  if (!m || m->guessed || (fd && (fd->attributes & FSYS_ATTR_REPARSE_POINT))) return false;
  // In a folder the installation created (at any depth below the manifest's folder).
  TextOwner dir(text_new_from(text_arg_cstr(path)));
  while (path_parent(dir.t) && relative(m, text_cstr(dir.t)))
    if (manifest_made_folder(m, dir.t)) return true;
  return false;
}

// The package archive written: the writer's lists, the entries encoded on several threads and
// written in list order, and the package put in place at the end.

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/bytes.h"
#include "core/crc32.h"
#include "core/format.h"
#include "core/ids.h"
#include "files/file.h"
#include "files/path.h"
#include "setup/lz.h"
#include "setup/ordered_work.h"
#include "setup/pak.h"
#include "ui/notify.h"

struct PakWriter {
  FileHandle file;
  const char* source;
  bool failed;      // a source failed
  bool io_failed;   // the package itself could not be written
  int64_t written;  // bytes in the package so far
};

namespace {

PakDictionaryPacker g_packer;

}  // namespace

void pak_set_dictionary_packer(PakDictionaryPacker packer) {
  g_packer = packer;
}

namespace {

// The writer's lists.
const char* const kFirst[] = {
    "zqeditor.exe", "zq9utl.exe",   "zq9.txt",    "cmd9.txt",  "zq9s.mnu",       "filer.key",
    "ZOdo64.dll",   "contract.txt", "uninst.bat", "ime9.mnu",  "board.mnu",      "fopen.mnu",
    "dic1a.ime",    "dic2a.ime",    "dic3a.ime",  "webto.txt", "tfiler.txt.pdf", "filer7.mnu",
    "sample.htm",   "sample.tex",   "roma.tsv"};
const int kFirstExe = 2;  // the first two come from the executables' folder
const char* const kSecond[] = {"text.h",     "text64.ph",  "spell.dic",   "soundp.h",
                               "winqmc.ph",  "winx.ph",    "winceqmc.ph", "winxce.ph",
                               "wininet.ph", "winapi.txt", "mailer.txz",  "qmac8.txt.pdf"};

bool put(PakWriter* w, const void* p, size_t n) {
  if (w->io_failed) return false;
  if (n && file_write(w->file, p, (int64_t)n) != (int64_t)n) {
    w->io_failed = true;
    return false;
  }
  w->written += (int64_t)n;
  return true;
}

const char* stored_name(const char* file) {
  if (equal_nocase_ascii(file, "text.exe")) return "zqeditor.exe";
  if (equal_nocase_ascii(file, "zqutl.exe") || equal_nocase_ascii(file, "zq8utl.exe") ||
      equal_nocase_ascii(file, "zq9utl.exe"))
    return "zqsetup.exe";
  return file;
}

// The file an entry is read from (source-name rules), as a new Text.
Text* source_of(const char* path) {
  static const char* const rules[][2] = {{"dic1a.ime", "dic1.ime"},
                                         {"dic2a.ime", "dic2.ime"},
                                         {"dic3a.ime", "dic3.ime"},
                                         {"board.mnu", "board9.mnu"},
                                         {"contract.txt", "cont9tr.txt"}};
  Text* t = text_new();
  if (!t) return nullptr;
  text_puts(t, path);
  const char* file = path_file_name(path);
  for (const auto& r : rules) {
    if (equal_nocase_ascii(file, r[0])) {
      path_join(t, r[1]);  // the file-name part is replaced
      break;
    }
  }
  return t;
}

// Eight upper-case hexadecimal digits and a NUL.
const char* hex8(uint32_t v, char out[9]) {
  for (int k = 0; k < 8; ++k) out[k] = "0123456789ABCDEF"[v >> (28 - 4 * k) & 15];
  out[8] = 0;
  return out;
}

void write_header(PakWriter* w, const char* total_hex) {
  char head[PAK_HEADER];
  std::memcpy(head, PAK_MAGIC, 9);
  std::memcpy(head + 9, total_hex, 8);
  head[17] = ')';
  head[18] = 0;
  put(w, head, PAK_HEADER);
}

// One entry on its way into the package. The writing thread opens the source and later writes
// the entry; in between any thread may encode it (encode_entry touches nothing but the entry).
struct PakEntryJob {
  char* path;         // as the list names it (logged)
  int list;           // a failing entry ends the rest of its list
  FileHandle source;  // FILE_INVALID when it could not be opened
  bool dictionary;    // stored by the dictionary packer
  bool read;          // the source was read
  size_t n;           // its bytes
  FileTime time;
  uint8_t* stored;  // the stored bytes (null when encoding failed)
  size_t stored_n;
  bool arc;
  uint32_t crc;  // of the file bytes (a dictionary: of its stored bytes)
};

void encode_entry(PakEntryJob* j) {
  if (j->source == FILE_INVALID) return;
  uint8_t* bytes = file_read_whole(j->source, &j->n);
  if (!bytes || j->n >= 0x7FFFFFFF) {
    std::free(bytes);
    return;
  }
  j->read = true;
  file_get_time(j->source, &j->time);
  if (j->n == 0) {
    j->stored = (uint8_t*)std::malloc(1);
  } else if (j->dictionary) {
    if (g_packer) {
      j->stored = g_packer(bytes, j->n, &j->stored_n);
    } else {
      j->stored = bytes;  // kept as it is
      j->stored_n = j->n;
      bytes = nullptr;
    }
  } else {
    j->stored = lz_encode(bytes, j->n, &j->stored_n, nullptr);
    j->arc = true;
  }
  // The reader checks what it hands out: the decoded bytes, or a dictionary as stored.
  if (j->arc)
    j->crc = crc32(bytes, j->n);
  else if (j->stored)
    j->crc = crc32(j->stored, j->stored_n);
  std::free(bytes);
}

// Opens the source of an entry (the writing thread: names go through the file layer).
void open_entry(PakEntryJob* j) {
  j->dictionary = pak_is_dictionary(path_file_name(j->path));
  Text* src = source_of(j->path);
  j->source = src ? file_open_read(src, FSYS_READ, FSYS_SHARE_READ, FSYS_SEQUENTIAL) : FILE_INVALID;
  text_free(src);
}

void close_entry(PakEntryJob* j) {
  file_close(j->source);
  j->source = FILE_INVALID;
  std::free(j->stored);
  j->stored = nullptr;
}

// Logs and writes an encoded entry; false when it failed.
bool write_entry(PakWriter* w, PakEntryJob* j) {
  char line[1200];
  notify_log(buf_printf(line, sizeof line, "add %cs ", j->path));
  bool ok = j->read;
  if (ok) {
    notify_log(buf_printf(line, sizeof line, "(%d) ", (int64_t)j->n));
    Text* head = text_new();
    TextOwner own_head(head);
    ok = j->stored && head && j->stored_n <= 0xFFFFFFFFu;
    if (ok) {
      text_printf(head, "\r\nFNAME: %s\r\nDATE: %t\r\n", stored_name(path_file_name(j->path)),
                  &j->time);
      if (j->arc) text_puts(head, "ARC: 1\r\n");
      text_printf(head, "SIZE: %d\r\n", (int64_t)j->stored_n);
      char crc[9];
      text_printf(head, "CRC32: %s\r\n", hex8(j->crc, crc));
      int64_t hn = text_length(head);
      char* htext = (char*)std::malloc((size_t)hn + 1);
      uint8_t len4[4];
      le_write32(len4, (uint32_t)hn);
      ok = htext && text_copy_out(head, 0, htext, hn) == hn && put(w, len4, 4) &&
           put(w, htext, (size_t)hn) && put(w, j->stored, j->stored_n);
      std::free(htext);
    }
  }
  notify_log(buf_printf(line, sizeof line, " (%d)\n", ok ? 1 : 0));
  if (!ok) {
    notify_log(buf_printf(line, sizeof line, "fail: %s\n", j->path));
    w->failed = true;
  }
  return ok;
}

// The entries of a build, in package order.
struct EntryList {
  PakEntryJob* jobs;
  int count, capacity;
  int lists;
  bool no_memory;
};

void list_add(EntryList* l, const char* folder, const char* name) {
  if (l->count == l->capacity) {
    int cap = l->capacity ? l->capacity * 2 : 64;
    PakEntryJob* more = (PakEntryJob*)std::realloc(l->jobs, sizeof(PakEntryJob) * (size_t)cap);
    if (!more) {
      l->no_memory = true;
      return;
    }
    l->jobs = more;
    l->capacity = cap;
  }
  size_t a = std::strlen(folder), b = std::strlen(name);
  char* path = (char*)std::malloc(a + b + 1);
  if (!path) {
    l->no_memory = true;
    return;
  }
  std::memcpy(path, folder, a);
  std::memcpy(path + a, name, b + 1);
  PakEntryJob* j = &l->jobs[l->count++];
  *j = PakEntryJob{};
  j->path = path;
  j->list = l->lists;
  j->source = FILE_INVALID;
}

// Adds the files of a list.
void add_list(EntryList* l, const char* folder, const char* const* names, int count,
              const char* skip1 = nullptr, const char* skip2 = nullptr) {
  for (int k = 0; k < count; ++k)
    if (!(skip1 && equal_nocase_ascii(names[k], skip1)) &&
        !(skip2 && equal_nocase_ascii(names[k], skip2)))
      list_add(l, folder, names[k]);
  ++l->lists;
}

// The writer's steps over the entry list: sources are opened and entries written on this thread,
// encoded on any.
struct WriteRun {
  PakWriter* writer;
  EntryList* list;
  int failed_list;  // a failing entry ends the rest of its list
};

void open_step(void* context, int i) {
  WriteRun* r = (WriteRun*)context;
  if (r->list->jobs[i].list != r->failed_list) open_entry(&r->list->jobs[i]);
}

void encode_step(void* context, int i) {
  encode_entry(&((WriteRun*)context)->list->jobs[i]);
}

void write_step(void* context, int i) {
  WriteRun* r = (WriteRun*)context;
  PakEntryJob* j = &r->list->jobs[i];
  if (j->list != r->failed_list && !write_entry(r->writer, j)) r->failed_list = j->list;
  close_entry(j);
}

// Encodes the entries on `threads` threads and writes them in order. Sources are opened at most
// three entries a thread ahead of the writing, which bounds the memory held.
void write_entries(PakWriter* w, EntryList* l, int threads) {
  WriteRun run = {w, l, -1};
  OrderedSteps steps = {open_step, encode_step, write_step, &run};
  ordered_work(l->count, threads, threads * 3, &steps);
}

}  // namespace

bool pak_add(PakWriter* w, const char* path) {
  PakEntryJob j = {};
  j.path = (char*)path;
  open_entry(&j);
  encode_entry(&j);
  bool ok = write_entry(w, &j);
  close_entry(&j);
  return ok;
}

bool pak_build(int mode, const PakBuildPaths* paths) {
  PakBuildPaths def = {"c:\\_text\\", "c:\\zqr\\zq64\\", "c:\\", "c:\\zqr\\_zq64_.pak", 0};
  PakBuildPaths p = paths ? *paths : def;
  if (!p.source) p.source = def.source;
  if (!p.exe) p.exe = def.exe;
  if (!p.bitmaps) p.bitmaps = def.bitmaps;
  if (!p.output) p.output = def.output;
  int threads = p.threads > 0 ? p.threads : ordered_work_threads();
  bool needed = (mode & PAK_BUILD_NEEDED) != 0;

  // The entries in package order, each list apart. The first list comes from two folders but is
  // one list: a missing executable ends it.
  EntryList l = {};
  add_list(&l, p.exe, kFirst, kFirstExe);
  --l.lists;
  add_list(&l, p.source, kFirst + kFirstExe, (int)std::size(kFirst) - kFirstExe);
  if (!needed) {
    Text* pattern = text_new();
    TextOwner own(pattern);
    text_puts(pattern, p.bitmaps);
    text_puts(pattern, "hc*.bmp");
    FileFindData fd;
    FindHandle f = file_find_first(pattern, &fd);
    if (f != FIND_INVALID) {
      do {
        if (!(fd.attributes & FSYS_ATTR_DIRECTORY)) list_add(&l, p.bitmaps, fd.name);
      } while (file_find_next(f, &fd));
      file_find_close(f);
    }
    ++l.lists;
  }
  add_list(&l, p.source, kSecond, (int)std::size(kSecond), needed ? "winxce.ph" : nullptr,
           needed ? "winceqmc.ph" : nullptr);
  add_list(&l, p.source, PAK_SYSTEM_MACROS, (int)std::size(PAK_SYSTEM_MACROS));
  add_list(&l, p.source, PAK_SAMPLE_MACROS, (int)std::size(PAK_SAMPLE_MACROS));

  // Written under a temporary name so that a broken run leaves no half package behind.
  Text* temp = text_new();
  TextOwner own_temp(temp);
  text_puts(temp, p.output);
  text_puts(temp, ".part");
  PakWriter w = {};
  w.file = l.no_memory ? FILE_INVALID
                       : file_create_ex(text_cstr(temp), FSYS_READ | FSYS_WRITE, 0, 0, true);
  if (w.file != FILE_INVALID) {
    w.source = p.source;
    write_header(&w, "00000000");
    write_entries(&w, &l, threads);
  }
  for (int k = 0; k < l.count; ++k) std::free(l.jobs[k].path);
  std::free(l.jobs);
  if (w.file == FILE_INVALID) return false;

  // The header gets the final length, whatever failed before.
  char hex[9];
  hex8((uint32_t)w.written, hex);
  bool io_ok = !w.io_failed && w.written <= 0xFFFFFFFF && file_seek(w.file, 0) == 0;
  if (io_ok) {
    int64_t keep = w.written;
    write_header(&w, hex);
    w.written = keep;
    io_ok = !w.io_failed && file_flush(w.file);
  }
  file_close(w.file);
  if (!io_ok || !file_replace(text_cstr(temp), p.output)) {
    file_delete(text_cstr(temp));
    char line[1200];
    notify_log(buf_printf(line, sizeof line, "fail: %s\n", p.output));
    return false;
  }

  // The resource script is saved unchanged so that its time stamp is renewed.
  Text* rc = text_new();
  TextOwner own_rc(rc);
  text_puts(rc, p.source);
  text_puts(rc, "text.rc");
  size_t rn;
  if (uint8_t* rcb = file_read_all(rc, &rn)) {
    FileHandle h = file_create(text_cstr(rc), FSYS_WRITE, 0, 0);
    if (h != FILE_INVALID) {
      file_write(h, rcb, (int64_t)rn);
      file_close(h);
    }
    std::free(rcb);
  }

  if (!w.failed) {
    char line[1200];
    notify_log(buf_printf(line, sizeof line, "%sを作成しました\n", p.output));
  }
  return !w.failed;
}

// The package archive: header check, the entry walk, entry data, destinations, and the writer.

#include "setup/pak.h"

#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "core/header.h"
#include "files/file.h"
#include "files/path.h"
#include "setup/lz.h"
#include "setup/pak_resource.h"
#include "ui/notify.h"

namespace {

const char kMagic[] = "zqpak1.0(";

inline uint32_t rd32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

bool ieq(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    unsigned char c = (unsigned char)*a, d = (unsigned char)*b;
    if (c >= 'A' && c <= 'Z') c += 32;
    if (d >= 'A' && d <= 'Z') d += 32;
    if (c != d) return false;
  }
  return *a == *b;
}

bool in_list(const char* name, const char* const* list, int n) {
  for (int k = 0; k < n; ++k)
    if (ieq(name, list[k])) return true;
  return false;
}

bool has_extension(const char* name, const char* ext) {
  size_t n = std::strlen(name), e = std::strlen(ext);
  return n > e && ieq(name + n - e, ext);
}

bool is_sjis_lead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

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
const char* const kSystemMacros[] = {
    "txtool.c",  "txmacro.c", "txcust.c",  "txcalc.c",  "txiface.c", "txproof.c", "txtag.c",
    "txspeak.c", "txlib.c",   "txwebto.c", "txfiler.c", "txndic.c",  "txzq5.c",   "txzq7.c",
    "txclib.c",  "txboard.c", "txtex.c",   "txbib.c",   "txhtml.c",  "txgrep.c",  "txicon.c"};
const char* const kSampleMacros[] = {"txcard.c", "txedit.c", "txplugin.c", "txdos.c"};
const char* const kSampleFiles[] = {"maihime.txt", "maihime.scr", "zq6.txz", "txsample.c",
                                    "txplugin.c"};

template <class T, int N>
constexpr int count_of(T (&)[N]) {
  return N;
}

PakDictionaryPacker g_packer;

struct TextOwner {
  Text* t;
  explicit TextOwner(Text* p) : t(p) {}
  ~TextOwner() { text_free(t); }
};

// Reads a whole file; null when it cannot be read.
uint8_t* read_whole(const char* path, size_t* length) {
  *length = 0;
  FileHandle h = file_open_read(path, FSYS_READ, FSYS_SHARE_READ, FSYS_SEQUENTIAL);
  if (h == FILE_INVALID) return nullptr;
  int64_t size = file_size(h);
  uint8_t* buf = size >= 0 && size < 0x7FFFFFFF ? (uint8_t*)std::malloc((size_t)size + 1) : nullptr;
  if (!buf || file_read(h, buf, size) != size) {
    std::free(buf);
    file_close(h);
    return nullptr;
  }
  file_close(h);
  *length = (size_t)size;
  return buf;
}

// Parses a decimal value of at most 10 digits; false for anything else.
bool parse_u32(HeaderSpan v, uint32_t* out) {
  if (!v || v.n < 1 || v.n > 10) return false;
  uint64_t n = 0;
  for (int64_t k = 0; k < v.n; ++k) {
    if (v.p[k] < '0' || v.p[k] > '9') return false;
    n = n * 10 + (uint64_t)(v.p[k] - '0');
  }
  if (n > 0xFFFFFFFFu) return false;
  *out = (uint32_t)n;
  return true;
}

}  // namespace

const char* pak_status_text(int status) {
  switch (status) {
    case PAK_END:
      return "end of package";
    case PAK_STOPPED:
      return "stopped";
    case PAK_CUT_HEADER:
      return "entry header runs past the end of the package";
    case PAK_CUT_DATA:
      return "entry data runs past the end of the package";
    case PAK_BAD_HEADER:
      return "entry header without FNAME or with a malformed SIZE or ARC";
    case PAK_NO_MEMORY:
      return "out of memory";
  }
  return "unknown status";
}

uint32_t pak_check(const void* bytes, size_t available, uint32_t* total) {
  const uint8_t* p = (const uint8_t*)bytes;
  if (!p || available < PAK_HEADER || std::memcmp(p, kMagic, 9) != 0) return 0;
  uint32_t value = 0;
  for (int k = 9; k < 17; ++k) {
    uint8_t c = p[k];
    uint32_t digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      return 0;
    value = value << 4 | digit;
  }
  if (p[17] != ')' || p[18] != 0) return 0;
  if (total) *total = value;
  return PAK_HEADER;
}

bool pak_block(const void* bytes, size_t available, PakBlock* out) {
  uint32_t total = 0;
  if (!pak_check(bytes, available, &total) || total < PAK_HEADER || total > available) return false;
  out->bytes = (const uint8_t*)bytes;
  out->total = total;
  return true;
}

const PakBlock* pak_open() {
  static PakBlock block;
  static bool found;
  if (found) return &block;
  const void* res = nullptr;
  size_t res_size = 0;
  if (pak_resource(&res, &res_size) && pak_block(res, res_size, &block)) {
    notify_log("resource\n");
    found = true;
    return &block;
  }
  Text* path = program_path();
  if (!path) return nullptr;
  TextOwner own(path);
  path_join(path, "_zq64_.pak");
  size_t n;
  uint8_t* bytes = read_whole(text_cstr(path), &n);
  if (!bytes) return nullptr;
  if (!pak_block(bytes, n, &block)) {
    std::free(bytes);
    return nullptr;
  }
  found = true;  // the buffer stays for the life of the process
  return &block;
}

PakStatus pak_walk(const PakBlock* pak, PakVisit visit, void* context, uint32_t* where) {
  if (!pak) return PAK_END;
  const uint8_t* base = pak->bytes;
  uint32_t end = pak->total, pos = PAK_HEADER;
  Text* rec = text_new();
  if (!rec) return PAK_NO_MEMORY;
  TextOwner own(rec);
  PakStatus status = PAK_END;
  while (pos < end) {
    if (where) *where = pos;
    if (end - pos < 4) {
      status = PAK_CUT_HEADER;
      break;
    }
    uint32_t h = rd32(base + pos);
    if (h > end - pos - 4) {
      status = PAK_CUT_HEADER;
      break;
    }
    uint32_t data = pos + 4 + h;
    text_clear(rec);
    if (h && text_write(rec, (const char*)base + pos + 4, h) != (int64_t)h) {
      status = PAK_NO_MEMORY;
      break;
    }
    text_top(rec);
    PakEntry e = {};
    e.header = rec;
    e.offset = pos;
    char* name = nullptr;
    header_get(rec, ID("FNAME"), HK_ID | HK_HEADER_ONLY | HV_COPY, &name);
    HeaderSpan size = header_get(rec, ID("SIZE"), HK_ID | HK_HEADER_ONLY | HV_PTR);
    HeaderSpan arc = header_get(rec, ID("ARC"), HK_ID | HK_HEADER_ONLY | HV_PTR);
    uint32_t arc_value = 0;
    if (!name || !parse_u32(size, &e.size) || (arc && !parse_u32(arc, &arc_value))) {
      std::free(name);
      status = PAK_BAD_HEADER;
      break;
    }
    if (e.size > end - data) {
      std::free(name);
      status = PAK_CUT_DATA;
      break;
    }
    char* date = nullptr;
    header_get(rec, ID("DATE"), HK_ID | HK_HEADER_ONLY | HV_COPY, &date);
    e.name = name;
    e.date = date ? date : "";
    e.has_time = date && filetime_parse(date, &e.time);
    e.compressed = arc_value != 0;
    e.data = base + data;
    bool go_on = visit(context, &e);
    std::free(name);
    std::free(date);
    pos = data + e.size;
    if (!go_on) {
      status = PAK_STOPPED;
      break;
    }
  }
  if (status == PAK_END && where) *where = end;
  return status;
}

uint8_t* pak_entry_data(const PakEntry* entry, size_t* length, int* error) {
  if (length) *length = 0;
  if (error) *error = LZ_OK;
  if (entry->compressed) return lz_decode(entry->data, entry->size, nullptr, length, error);
  uint8_t* copy = (uint8_t*)std::malloc((size_t)entry->size + 1);
  if (!copy) {
    if (error) *error = LZ_NO_MEMORY;
    return nullptr;
  }
  if (entry->size) std::memcpy(copy, entry->data, entry->size);
  copy[entry->size] = 0;
  if (length) *length = entry->size;
  return copy;
}

namespace {

// A Windows device name (CON, PRN, AUX, NUL, COM1..9, LPT1..9) before the first dot, trailing
// spaces ignored: such a file name opens the device, whatever the folder or the extension.
bool is_device_name(const char* name) {
  size_t n = std::strcspn(name, ".");
  while (n > 0 && name[n - 1] == ' ') --n;
  if (n != 3 && n != 4) return false;
  char w[5] = {};
  for (size_t k = 0; k < n; ++k)
    w[k] = char(name[k] >= 'a' && name[k] <= 'z' ? name[k] - 32 : name[k]);
  if (n == 3)
    return !std::strcmp(w, "CON") || !std::strcmp(w, "PRN") || !std::strcmp(w, "AUX") ||
           !std::strcmp(w, "NUL");
  return (!std::strncmp(w, "COM", 3) || !std::strncmp(w, "LPT", 3)) && w[3] >= '1' && w[3] <= '9';
}

}  // namespace

bool pak_name_is_safe(const char* name) {
  if (!name || !*name) return false;
  for (const unsigned char* p = (const unsigned char*)name; *p; ++p) {
    if (is_sjis_lead(*p)) {
      if (p[1] < 0x40) return false;  // no trail byte: refuse rather than guess
      ++p;
      continue;
    }
    if (*p < 0x20 || *p == 0x7F || *p == '\\' || *p == '/' || *p == ':') return false;
  }
  // Windows drops a final dot or space ("..", "a." and "a " name other files than they say);
  // inside a name dots are harmless ("a..b").
  char last = name[std::strlen(name) - 1];
  if (last == '.' || last == ' ') return false;
  return !is_device_name(name);
}

int pak_destinations(const char* name, PakDestination out[2]) {
  int n = 0;
  if (in_list(name, kSystemMacros, count_of(kSystemMacros))) out[n++] = {"qmac\\system\\", false};
  if (in_list(name, kSampleMacros, count_of(kSampleMacros))) out[n++] = {"qmac\\sample\\", true};
  size_t len = std::strlen(name);
  bool bitmap = len >= 6 && (name[0] == 'h' || name[0] == 'H') &&
                (name[1] == 'c' || name[1] == 'C') && ieq(name + len - 4, ".bmp");
  bool editor = ieq(name, "editor.txz");
  if (n < 2 && (bitmap || editor || has_extension(name, ".jpg") || has_extension(name, ".png") ||
                in_list(name, kSampleFiles, count_of(kSampleFiles))))
    out[n++] = {"sample\\", true};
  if (n < 2 && (n == 0 || editor)) out[n++] = {"", false};
  return n;
}

FileTime pak_sample_time() {
  CalendarTime c = {2008, 7, 28, 0, 0, 0, 0, 0};
  FileTime t = {0};
  calendar_to_filetime(&c, &t);
  return t;
}

// ---- walk modes ----

namespace {

struct NamedRead {
  const char* name;
  uint8_t* bytes;
  size_t length;
  FileTime time;
  bool dated;
  bool found;
  bool decode;
};

// Stops at the first entry of the name; decodes it only when asked to.
bool find_named(void* context, const PakEntry* e) {
  NamedRead* r = (NamedRead*)context;
  if (!ieq(e->name, r->name)) return true;
  r->found = true;
  r->time = e->time;
  r->dated = e->has_time;
  if (r->decode) r->bytes = pak_entry_data(e, &r->length);
  return false;
}

bool extract_image(void* context, const PakEntry* e) {
  int* count = (int*)context;
  if (!pak_name_is_safe(e->name) ||
      !(has_extension(e->name, ".jpg") || has_extension(e->name, ".png")))
    return true;
  size_t n = 0;
  uint8_t* bytes = pak_entry_data(e, &n);
  if (bytes && temp_copy_write(e->name, bytes, (int64_t)n)) ++*count;
  std::free(bytes);
  return true;
}

struct ListWalk {
  const char* folder;
  int count;
};

bool list_destination(void* context, const PakEntry* e) {
  ListWalk* w = (ListWalk*)context;
  PakDestination dest[2];
  int n = pak_destinations(e->name, dest);
  for (int k = 0; k < n; ++k) {
    Text* line = text_new();
    TextOwner own(line);
    text_printf(line, "%s", w->folder);
    path_add_separator(line);
    text_bottom(line);
    text_printf(line, "%s%s\n", dest[k].folder, e->name);
    notify_log(text_cstr(line));
    ++w->count;
  }
  return true;
}

}  // namespace

uint8_t* pak_read_file(const PakBlock* pak, int mode, size_t* length) {
  if (length) *length = 0;
  const char* name = mode == PAK_MODE_HELP        ? "zq9.txt"
                     : mode == PAK_MODE_AGREEMENT ? "contract.txt"
                                                  : nullptr;
  if (!name) return nullptr;
  NamedRead r = {name, nullptr, 0, {0}, false, false, true};
  pak_walk(pak, find_named, &r);
  if (length) *length = r.length;
  return r.bytes;
}

bool pak_editor_date(const PakBlock* pak, FileTime* out) {
  NamedRead r = {"zqeditor.exe", nullptr, 0, {0}, false, false, false};
  pak_walk(pak, find_named, &r);
  if (!r.found || !r.dated) return false;
  *out = r.time;
  return true;
}

int pak_extract_images(const PakBlock* pak) {
  int count = 0;
  pak_walk(pak, extract_image, &count);
  return count;
}

int pak_list_destinations(const PakBlock* pak, TextArg folder) {
  const char* f =
      folder.p && text_is_handle(folder.p) ? text_cstr((Text*)folder.p) : (const char*)folder.p;
  ListWalk w = {f ? f : "", 0};
  pak_walk(pak, list_destination, &w);
  return w.count;
}

// ---- writer ----

struct PakWriter {
  FileHandle file;
  const char* source;
  bool failed;      // a source failed
  bool io_failed;   // the package itself could not be written
  int64_t written;  // bytes in the package so far
};

void pak_set_dictionary_packer(PakDictionaryPacker packer) {
  g_packer = packer;
}

namespace {

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
  if (ieq(file, "text.exe")) return "zqeditor.exe";
  if (ieq(file, "zqutl.exe") || ieq(file, "zq8utl.exe") || ieq(file, "zq9utl.exe"))
    return "zqsetup.exe";
  return file;
}

bool is_dictionary(const char* file) {
  return ieq(file, "dic1a.ime") || ieq(file, "dic2a.ime") || ieq(file, "dic3a.ime");
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
    if (ieq(file, r[0])) {
      path_join(t, r[1]);  // the file-name part is replaced
      break;
    }
  }
  return t;
}

void write_header(PakWriter* w, const char* total_hex) {
  char head[PAK_HEADER];
  std::memcpy(head, kMagic, 9);
  std::memcpy(head + 9, total_hex, 8);
  head[17] = ')';
  head[18] = 0;
  put(w, head, PAK_HEADER);
}

}  // namespace

bool pak_add(PakWriter* w, const char* path) {
  const char* file = path_file_name(path);
  Text* src = source_of(path);
  TextOwner own_src(src);
  char line[1200];
  notify_log(buf_printf(line, sizeof line, "add %cs ", path));
  size_t n = 0;
  uint8_t* bytes = src ? read_whole(text_cstr(src), &n) : nullptr;
  bool ok = bytes != nullptr;
  FileTime time = {0};
  if (ok) {
    notify_log(buf_printf(line, sizeof line, "(%d) ", (int64_t)n));
    FileHandle h = file_open_read(text_cstr(src), FSYS_READ, FSYS_SHARE_READ, 0);
    if (h != FILE_INVALID) {
      file_get_time(h, &time);
      file_close(h);
    }
    uint8_t* stored = nullptr;
    size_t stored_n = 0;
    bool arc = false;
    if (n == 0) {
      stored = (uint8_t*)std::malloc(1);
    } else if (is_dictionary(file)) {
      if (g_packer) {
        stored = g_packer(bytes, n, &stored_n);
      } else if ((stored = (uint8_t*)std::malloc(n))) {
        std::memcpy(stored, bytes, n);
        stored_n = n;
      }
    } else {
      stored = lz_encode(bytes, n, &stored_n, nullptr);
      arc = true;
    }
    Text* head = text_new();
    TextOwner own_head(head);
    ok = stored && head && stored_n <= 0xFFFFFFFFu;
    if (ok) {
      text_printf(head, "\r\nFNAME: %s\r\nDATE: %t\r\n", stored_name(file), &time);
      if (arc) text_puts(head, "ARC: 1\r\n");
      text_printf(head, "SIZE: %d\r\n", (int64_t)stored_n);
      int64_t hn = text_length(head);
      char* htext = (char*)std::malloc((size_t)hn + 1);
      uint8_t len4[4] = {(uint8_t)hn, (uint8_t)(hn >> 8), (uint8_t)(hn >> 16), (uint8_t)(hn >> 24)};
      ok = htext && text_copy_out(head, 0, htext, hn) == hn && put(w, len4, 4) &&
           put(w, htext, (size_t)hn) && put(w, stored, stored_n);
      std::free(htext);
    }
    std::free(stored);
    std::free(bytes);
  }
  notify_log(buf_printf(line, sizeof line, " (%d)\n", ok ? 1 : 0));
  if (!ok) {
    notify_log(buf_printf(line, sizeof line, "fail: %s\n", path));
    w->failed = true;
  }
  return ok;
}

namespace {

// Adds the files of a list; a failing file ends its list (false).
bool add_list(PakWriter* w, const char* folder, const char* const* names, int count,
              const char* skip1 = nullptr, const char* skip2 = nullptr) {
  for (int k = 0; k < count; ++k) {
    if ((skip1 && ieq(names[k], skip1)) || (skip2 && ieq(names[k], skip2))) continue;
    Text* p = text_new();
    TextOwner own(p);
    text_puts(p, folder);
    text_puts(p, names[k]);
    if (!pak_add(w, text_cstr(p))) return false;
  }
  return true;
}

}  // namespace

bool pak_build(int mode, const PakBuildPaths* paths) {
  PakBuildPaths def = {"c:\\_text\\", "c:\\zqr\\zq64\\", "c:\\", "c:\\zqr\\_zq64_.pak"};
  PakBuildPaths p = paths ? *paths : def;
  if (!p.source) p.source = def.source;
  if (!p.exe) p.exe = def.exe;
  if (!p.bitmaps) p.bitmaps = def.bitmaps;
  if (!p.output) p.output = def.output;
  bool needed = (mode & PAK_BUILD_NEEDED) != 0;

  // Written under a temporary name so that a broken run leaves no half package behind.
  Text* temp = text_new();
  TextOwner own_temp(temp);
  text_puts(temp, p.output);
  text_puts(temp, ".part");
  PakWriter w = {};
  w.file = file_create_ex(text_cstr(temp), FSYS_READ | FSYS_WRITE, 0, 0, true);
  if (w.file == FILE_INVALID) return false;
  w.source = p.source;
  write_header(&w, "00000000");

  // The first list comes from two folders but is one list: a missing executable ends it.
  if (add_list(&w, p.exe, kFirst, kFirstExe))
    add_list(&w, p.source, kFirst + kFirstExe, count_of(kFirst) - kFirstExe);
  if (!needed) {
    Text* pattern = text_new();
    TextOwner own(pattern);
    text_puts(pattern, p.bitmaps);
    text_puts(pattern, "hc*.bmp");
    FileFindData fd;
    FindHandle f = file_find_first(pattern, &fd);
    if (f != FIND_INVALID) {
      do {
        if (fd.attributes & FSYS_ATTR_DIRECTORY) continue;
        Text* one = text_new();
        TextOwner own_one(one);
        text_puts(one, p.bitmaps);
        text_puts(one, fd.name);
        if (!pak_add(&w, text_cstr(one))) break;
      } while (file_find_next(f, &fd));
      file_find_close(f);
    }
  }
  add_list(&w, p.source, kSecond, count_of(kSecond), needed ? "winxce.ph" : nullptr,
           needed ? "winceqmc.ph" : nullptr);
  add_list(&w, p.source, kSystemMacros, count_of(kSystemMacros));
  add_list(&w, p.source, kSampleMacros, count_of(kSampleMacros));

  // The header gets the final length, whatever failed before.
  char hex[9];
  for (int k = 0; k < 8; ++k) hex[k] = "0123456789ABCDEF"[(uint64_t)w.written >> (28 - 4 * k) & 15];
  hex[8] = 0;
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
  if (uint8_t* rcb = read_whole(text_cstr(rc), &rn)) {
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

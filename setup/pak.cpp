// The package archive read: header check, the entry walk, entry data, names, destinations and the
// walk modes. The writer is pak_write.cpp.

#include "setup/pak.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/bytes.h"
#include "core/codepage.h"
#include "core/crc32.h"
#include "core/format.h"
#include "core/header.h"
#include "core/ids.h"
#include "files/file.h"
#include "files/path.h"
#include "setup/lz.h"
#include "setup/pak_resource.h"
#include "ui/notify.h"

namespace {

bool in_list(const char* name, const char* const* list, int n) {
  for (int k = 0; k < n; ++k)
    if (equal_nocase_ascii(name, list[k])) return true;
  return false;
}

bool has_extension(const char* name, const char* ext) {
  size_t n = std::strlen(name), e = std::strlen(ext);
  return n > e && equal_nocase_ascii(name + n - e, ext);
}

const char* const kSampleFiles[] = {"maihime.txt", "maihime.scr", "zq6.txz", "txsample.c",
                                    "txplugin.c"};

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

// Exactly eight hexadecimal digits (either case).
bool parse_hex32(HeaderSpan v, uint32_t* out) {
  if (!v || v.n != 8) return false;
  uint32_t n = 0;
  for (int k = 0; k < 8; ++k) {
    char c = v.p[k];
    uint32_t d = c >= '0' && c <= '9'   ? uint32_t(c - '0')
                 : c >= 'A' && c <= 'F' ? uint32_t(c - 'A' + 10)
                 : c >= 'a' && c <= 'f' ? uint32_t(c - 'a' + 10)
                                        : 16u;
    if (d > 15) return false;
    n = n << 4 | d;
  }
  *out = n;
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
      return "entry header without FNAME or with a malformed SIZE, ARC or CRC32";
    case PAK_NO_MEMORY:
      return "out of memory";
  }
  return "unknown status";
}

uint32_t pak_check(const void* bytes, size_t available, uint32_t* total) {
  const uint8_t* p = (const uint8_t*)bytes;
  if (!p || available < PAK_HEADER || std::memcmp(p, PAK_MAGIC, 9) != 0) return 0;
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
  uint8_t* bytes = file_read_all(path, &n);
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
    uint32_t h = le_read32(base + pos);
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
    HeaderSpan crc = header_get(rec, ID("CRC32"), HK_ID | HK_HEADER_ONLY | HV_PTR);
    uint32_t arc_value = 0;
    e.has_crc = (bool)crc;
    if (!name || !parse_u32(size, &e.size) || (arc && !parse_u32(arc, &arc_value)) ||
        (crc && !parse_hex32(crc, &e.crc))) {
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
  size_t n = 0;
  uint8_t* bytes;
  if (entry->compressed) {
    bytes = lz_decode(entry->data, entry->size, nullptr, &n, error);
    if (!bytes) return nullptr;
  } else {
    bytes = (uint8_t*)std::malloc((size_t)entry->size + 1);
    if (!bytes) {
      if (error) *error = LZ_NO_MEMORY;
      return nullptr;
    }
    if (entry->size) std::memcpy(bytes, entry->data, entry->size);
    bytes[entry->size] = 0;
    n = entry->size;
  }
  // A stream can decode "completely" into the wrong bytes; the checksum tells.
  if (entry->has_crc && crc32(bytes, n) != entry->crc) {
    std::free(bytes);
    if (error) *error = PAK_ERROR_CRC;
    return nullptr;
  }
  if (length) *length = n;
  return bytes;
}

const char* pak_error_text(int error) {
  if (error == PAK_ERROR_CRC) return "checksum mismatch";
  return lz_error_text(error);
}

namespace {

bool ascii_ieq16(const char16_t* a, size_t n, const char* word) {
  for (size_t k = 0; k < n; ++k, ++word) {
    char16_t c = a[k];
    if (c >= 'a' && c <= 'z') c = char16_t(c - 32);
    if (!*word || c != (unsigned char)*word) return false;
  }
  return !*word;
}

// A Windows device name before the first dot, trailing spaces ignored: such a file name opens the
// device, whatever the folder or the extension. COM and LPT also take the superscript digits.
bool is_device_name(const char16_t* name) {
  size_t n = 0;
  while (name[n] && name[n] != '.') ++n;
  while (n > 0 && name[n - 1] == ' ') --n;
  static const char* const words[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* w : words)
    if (ascii_ieq16(name, n, w)) return true;
  if (n != 4 || !(ascii_ieq16(name, 3, "COM") || ascii_ieq16(name, 3, "LPT"))) return false;
  char16_t d = name[3];
  return (d >= '1' && d <= '9') || d == 0xB9 || d == 0xB2 || d == 0xB3;
}

// Bytes the file layer would read as something other than they say: a lead byte without its
// trail, or an escape that carries no unit. Such a name is refused rather than guessed at.
bool has_malformed_bytes(const char* name) {
  for (const unsigned char* p = (const unsigned char*)name; *p; ++p) {
    if (cp_is_lead(*p)) {
      if (!cp_is_trail(p[1])) return true;
      ++p;
    } else if ((*p == 0x80 || *p == 0xA0) && p[1] >= 0x40 && p[2] >= 0x40) {
      if (cp_escape_unit(p) < 0) return true;
      p += 2;
    }
  }
  return false;
}

// Upper case as NTFS compares names, for the scripts a package name plausibly uses: ASCII,
// Latin-1, Greek, Cyrillic and the full-width letters.
char16_t fold16(char16_t c) {
  if (c >= 'a' && c <= 'z') return char16_t(c - 32);
  if (c < 0x80) return c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 32);
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return char16_t(c - 32);
  if (c >= 0x430 && c <= 0x44F) return char16_t(c - 32);
  if (c >= 0x450 && c <= 0x45F) return char16_t(c - 80);
  if (c >= 0xFF41 && c <= 0xFF5A) return char16_t(c - 32);
  return c;
}

// The name as the file layer decodes it, counted (an escaped NUL must not cut it short unseen);
// malloc'd with a NUL after the n units.
char16_t* decode_name(const char* fname, size_t* n) {
  int len = (int)std::strlen(fname);
  int units = len ? to_wide(fname, len, nullptr, 0) : 0;
  char16_t* w = (char16_t*)std::malloc(sizeof(char16_t) * ((size_t)units + 1));
  if (!w || (units && to_wide(fname, len, w, units) != units)) {
    std::free(w);
    return nullptr;
  }
  w[units] = 0;
  *n = (size_t)units;
  return w;
}

}  // namespace

int pak_name_judge(const char* fname, char16_t** final_name) {
  if (final_name) *final_name = nullptr;
  if (!fname || !*fname) return PAK_NAME_EMPTY;
  if (has_malformed_bytes(fname)) return PAK_NAME_CONTROL;
  size_t n = 0;
  char16_t* w = decode_name(fname, &n);
  if (!w) return PAK_NAME_NO_MEMORY;
  int verdict = PAK_NAME_OK;
  for (size_t k = 0; k < n; ++k) {
    char16_t c = w[k];
    int v = c == '\\' || c == '/'                        ? PAK_NAME_SEPARATOR
            : c == ':'                                   ? PAK_NAME_COLON
            : c < 0x20 || c == 0x7F                      ? PAK_NAME_CONTROL
            : c < 0x80 && std::strchr("<>\"|?*", (int)c) ? PAK_NAME_RESERVED
                                                         : PAK_NAME_OK;
    if (v && !verdict) verdict = v;
  }
  if (!verdict) {
    if (n == 0)
      verdict = PAK_NAME_EMPTY;
    else if ((n == 1 && w[0] == '.') || (n == 2 && w[0] == '.' && w[1] == '.'))
      verdict = PAK_NAME_DOTS;
    else if (w[n - 1] == '.' || w[n - 1] == ' ')
      verdict = PAK_NAME_TRAILING;
    else if (is_device_name(w))
      verdict = PAK_NAME_DEVICE;
    else if (n + PAK_TEMP_SUFFIX_MAX > PAK_NAME_MAX)
      verdict = PAK_NAME_TOO_LONG;
  }
  if (verdict || !final_name)
    std::free(w);
  else
    *final_name = w;
  return verdict;
}

const char* pak_name_text(int verdict) {
  switch (verdict) {
    case PAK_NAME_OK:
      return "good name";
    case PAK_NAME_EMPTY:
      return "empty file name";
    case PAK_NAME_SEPARATOR:
      return "file name with a path separator";
    case PAK_NAME_COLON:
      return "file name with a colon";
    case PAK_NAME_RESERVED:
      return "file name with a character Windows reserves";
    case PAK_NAME_CONTROL:
      return "file name with a control character or malformed bytes";
    case PAK_NAME_DOTS:
      return "file name \".\" or \"..\"";
    case PAK_NAME_TRAILING:
      return "file name ending in a dot or a space";
    case PAK_NAME_DEVICE:
      return "file name of a device";
    case PAK_NAME_TOO_LONG:
      return "file name too long";
    case PAK_NAME_DUPLICATE:
      return "second entry of the same file";
    case PAK_NAME_NO_MEMORY:
      return "out of memory";
  }
  return "bad file name";
}

bool pak_name_is_safe(const char* name) {
  return pak_name_judge(name) == PAK_NAME_OK;
}

Text* pak_name_display(const char* fname) {
  size_t units = 0;
  char16_t* w = fname ? decode_name(fname, &units) : nullptr;
  if (!w) return nullptr;
  for (size_t k = 0; k < units; ++k)
    if (w[k] < 0x20 || w[k] == 0x7F) w[k] = '?';
  Text* t = nullptr;
  int n = to_narrow(w, -1, nullptr, 0);
  if (n > 0) {
    char* b = (char*)std::malloc((size_t)n);
    if (b && to_narrow(w, -1, b, n) == n) {
      t = text_new();
      if (t) text_puts(t, b);
    }
    std::free(b);
  }
  std::free(w);
  return t;
}

bool pak_name_same(const char16_t* a, const char16_t* b) {
  for (; *a && *b; ++a, ++b)
    if (fold16(*a) != fold16(*b)) return false;
  return *a == *b;
}

namespace {

// The good names seen so far, folded, for the duplicate check (sorted at the end: a package of
// many entries costs n log n, not n squared).
struct SeenName {
  char16_t* folded;
  char* fname;
};
struct NamesCheck {
  Text* report;
  SeenName* names;
  int count, capacity;
  bool bad;
};

void report_name(NamesCheck* c, const char* fname, const char* reason) {
  c->bad = true;
  if (!c->report) return;
  Text* shown = pak_name_display(fname);
  text_bottom(c->report);
  text_printf(c->report, "%s: %s\n", shown ? text_cstr(shown) : "?", reason);
  text_free(shown);
}

bool check_name(void* context, const PakEntry* e) {
  NamesCheck* c = (NamesCheck*)context;
  char16_t* w = nullptr;
  int verdict = pak_name_judge(e->name, &w);
  if (verdict) {
    report_name(c, e->name, pak_name_text(verdict));
    return true;
  }
  for (char16_t* p = w; *p; ++p) *p = fold16(*p);
  if (c->count == c->capacity) {
    int cap = c->capacity ? c->capacity * 2 : 64;
    SeenName* more = (SeenName*)std::realloc(c->names, sizeof(SeenName) * (size_t)cap);
    if (!more) {
      std::free(w);
      report_name(c, e->name, pak_name_text(PAK_NAME_NO_MEMORY));
      return false;
    }
    c->names = more;
    c->capacity = cap;
  }
  c->names[c->count++] = {w, strdup(e->name)};
  return true;
}

int compare_seen(const void* a, const void* b) {
  const char16_t* x = ((const SeenName*)a)->folded;
  const char16_t* y = ((const SeenName*)b)->folded;
  for (; *x && *x == *y; ++x, ++y) {
  }
  return (int)*x - (int)*y;
}

}  // namespace

bool pak_names_check(const PakBlock* pak, Text* report) {
  NamesCheck c = {report, nullptr, 0, 0, false};
  uint32_t where = 0;
  PakStatus status = pak_walk(pak, check_name, &c, &where);
  if (c.count > 1) std::qsort(c.names, (size_t)c.count, sizeof(SeenName), compare_seen);
  for (int k = 1; k < c.count; ++k)
    if (!compare_seen(&c.names[k - 1], &c.names[k]))
      report_name(&c, c.names[k].fname ? c.names[k].fname : "?", pak_name_text(PAK_NAME_DUPLICATE));
  for (int k = 0; k < c.count; ++k) {
    std::free(c.names[k].folded);
    std::free(c.names[k].fname);
  }
  std::free(c.names);
  if (status != PAK_END) {
    c.bad = true;
    if (report) {
      text_bottom(report);
      text_printf(report, "package at %d: %s\n", (int64_t)where, pak_status_text(status));
    }
  }
  return pak && !c.bad;
}

int pak_destinations(const char* name, PakDestination out[2]) {
  int n = 0;
  if (in_list(name, PAK_SYSTEM_MACROS, (int)std::size(PAK_SYSTEM_MACROS)))
    out[n++] = {"qmac\\system\\", false};
  if (in_list(name, PAK_SAMPLE_MACROS, (int)std::size(PAK_SAMPLE_MACROS)))
    out[n++] = {"qmac\\sample\\", true};
  size_t len = std::strlen(name);
  bool bitmap = len >= 6 && (name[0] == 'h' || name[0] == 'H') &&
                (name[1] == 'c' || name[1] == 'C') && equal_nocase_ascii(name + len - 4, ".bmp");
  bool editor = equal_nocase_ascii(name, "editor.txz");
  if (n < 2 && (bitmap || editor || has_extension(name, ".jpg") || has_extension(name, ".png") ||
                in_list(name, kSampleFiles, (int)std::size(kSampleFiles))))
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

bool pak_is_dictionary(const char* file) {
  return equal_nocase_ascii(file, "dic1a.ime") || equal_nocase_ascii(file, "dic2a.ime") ||
         equal_nocase_ascii(file, "dic3a.ime");
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
  if (!equal_nocase_ascii(e->name, r->name)) return true;
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
  const char* f = text_arg_cstr(folder);
  ListWalk w = {f ? f : "", 0};
  pak_walk(pak, list_destination, &w);
  return w.count;
}

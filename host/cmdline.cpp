// The command line into the CommandList: tokens, applet tokens, switches with their values, files
// with the joined-path rule and the /j jump line.

#include "host/cmdline.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "core/records.h"
#include "files/file.h"
#include "files/path.h"

HostSettings host_settings = {0, false, false, false, 0, 0x10, {0}};

namespace {

bool g_option_bit;

bool is_space(const char* p) {
  return char_is((unsigned char)*p, CC_SPACE);
}
bool is_alnum(char c) {
  return char_is((unsigned char)c, CC_ALNUM);
}
bool is_letter(char c) {
  return char_is((unsigned char)c, CC_LETTER);
}

// Moves p to the closing quote of a quoted run that starts after an opening one (or to the end).
const char* to_quote(const char* p) {
  while (*p && *p != '"') p += char_len(p);
  return p;
}

struct Token {
  const char* start;  // in the command line
  int length;
  bool quoted;  // began with a double quote (the quotes are still part of it when closed)
  const char* after;
};

bool next_token(const char* s, Token* out) {
  while (*s && is_space(s)) ++s;
  if (!*s) return false;
  const char* p = s;
  out->quoted = false;
  if (*s == '"') {
    out->quoted = true;
    const char* q = to_quote(s + 1);
    if (*q == '"') {
      p = q + 1;
    } else {
      s = s + 1;  // no closing quote: from after the quote to the end
      p = q;
    }
  } else {
    if (*s == '-' || *s == '/') {
      const char* n = s + 1;
      while (is_alnum(*n)) ++n;
      if (n[0] == '(' && n[1] == '"') {
        const char* q = to_quote(n + 2);
        if (q[0] == '"' && q[1] == ')') p = q + 2;
      }
    }
    if (p == s)
      while (*p && !is_space(p)) p += char_len(p);
  }
  out->start = s;
  out->length = (int)(p - s);
  out->after = p;
  return true;
}

// The decimal number at s (an optional minus and digits; what follows is not read) in *out; false
// when it does not fit 32 bits, in every build.
bool read_int(const char* s, int* out) {
  bool minus = *s == '-';
  if (minus) ++s;
  int64_t v = 0;
  const int64_t limit = minus ? -(int64_t)INT32_MIN : INT32_MAX;
  for (; *s >= '0' && *s <= '9'; ++s) {
    v = v * 10 + (*s - '0');
    if (v > limit) return false;
  }
  *out = (int)(minus ? -v : v);
  return true;
}

// A malloc'd copy of [s, s + n) with every CR and LF a space, so that no value can end its record.
char* copy_value(const char* s, size_t n) {
  char* out = (char*)std::malloc(n + 1);
  if (!out) return nullptr;
  for (size_t i = 0; i < n; ++i) out[i] = (s[i] == '\r' || s[i] == '\n') ? ' ' : s[i];
  out[n] = 0;
  return out;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The reverse of %es, in place: backslash and two hex digits become that byte. A NUL, CR or LF
// cannot travel in a record, so their escapes stay as written.
void unescape(char* s) {
  char* o = s;
  for (char* p = s; *p;) {
    if (p[0] == '\\' && hex_value(p[1]) >= 0 && hex_value(p[2]) >= 0) {
      int b = hex_value(p[1]) * 16 + hex_value(p[2]);
      if (b != 0 && b != '\r' && b != '\n') {
        *o++ = (char)b;
        p += 3;
        continue;
      }
    }
    int n = char_len(p);
    for (int i = 0; i < n && *p; ++i) *o++ = *p++;
  }
  *o = 0;
}

// Single forward slashes become backslashes; a double "//" (after a scheme, or a UNC root written
// with slashes) stays.
void to_backslashes(char* s) {
  for (char* p = s; *p; p += char_len(p)) {
    if (*p != '/') continue;
    if (p[1] == '/') {
      ++p;
      continue;
    }
    *p = '\\';
  }
}

struct Parser {
  Text* list;
  int show;
  PackedId default_app;
  bool have_app = false;         // an "app" record opens the current run of records
  bool wrote = false;            // anything at all was written
  bool last_app_editor = false;  // the last applet token was EDITOR ...
  bool wrote_after_app = false;  // ... and switches or files followed it
  int jump = -1;

  void app(PackedId id) {
    text_bottom(list);
    text_printf(list, "app\t%id\n", id);
    text_printf(list, "show\t%d\n", show);
    have_app = wrote = true;
  }
  void before_record() {
    if (!have_app) app(default_app);
    wrote_after_app = true;
    text_bottom(list);
  }

  // SHOW and NOSHOW rewrite the last "show" record in place.
  void rewrite_show(int n) {
    before_record();
    bool found = false;
    for (;;) {
      bool moved = text_prev_line(list);
      if (!text_at_end(list) && text_id(list) == ID("SHOW")) {
        found = true;
        break;
      }
      if (!moved) break;
    }
    if (found) {
      text_line_begin(list);
      text_delete_to_line_end(list);
      text_printf(list, "show\t%d", n);
    }
    text_bottom(list);
  }

  void switch_token(const char* t) {
    const char* p = t + 1;
    PackedId name = id_pack(p);
    while (is_alnum(*p)) ++p;
    if (name == 0) {  // not a valid word: the applet decides what it means
      word(t);
      return;
    }
    bool escaped = false;
    if (p[0] == '.' && (p[1] | 0x20) == 'e' && (p[2] | 0x20) == 's') {
      escaped = true;
      p += 3;
    }
    char* string = nullptr;
    int number = 0;
    if (p[0] == '(' && p[1] == '"') {
      // A value that holds a quote runs to the token's closing quote and parenthesis, so that
      // the applet sees the quote (and refuses it) instead of a shortened value.
      const char* q = to_quote(p + 2);
      size_t n = std::strlen(p);
      if (*q && n >= 4 && p[n - 2] == '"' && p[n - 1] == ')') q = p + n - 2;
      string = copy_value(p + 2, (size_t)(q - (p + 2)));
      if (!string) return;
      if (escaped) unescape(string);
    } else if (p[0] == '(') {
      ++p;
      if ((p[0] >= '0' && p[0] <= '9') || (p[0] == '-' && p[1] >= '0' && p[1] <= '9')) {
        if (!read_int(p, &number)) return;  // out of range: the switch is dropped
      } else {
        number = (int)id_pack(p);
      }
    }
    if (!string && name == ID("SHOW")) {
      rewrite_show(number);
    } else if (!string && name == ID("NOSHOW")) {
      rewrite_show((int)ID("NOSHOW"));
    } else if (string) {
      before_record();
      text_printf(list, "swstr\t%id\t%s\n", name, string);
    } else {
      before_record();
      text_printf(list, "sw\t%id\t%d\n", name, number);
    }
    std::free(string);
  }

  // A token the host does not take (a slash word other than /j, a switch whose name is no
  // word): passed on as written, for the applet to understand or refuse.
  void word(const char* token) {
    before_record();
    text_printf(list, "word\t%s\n", token);
  }

  void file(const char* path) {
    before_record();
    text_printf(list, "file\t%s\n", path);
    if (jump >= 0) {
      text_printf(list, "sw\t%id\t%d\n", ID("JMPARA"), jump);
      if (host_settings.scroll_on_jump) text_printf(list, "sw\t%id\n", ID("SCRJMP"));
    }
  }
};

bool starts_switch(const Token& k) {
  return *k.start == '"' || *k.start == '-' || *k.start == '/';
}

// A jump token: "/j" and a digit. The line number, -1 for another token, -2 for a number out of
// range (the jump is dropped).
int jump_line(const char* t) {
  if (t[0] != '/' || t[1] != 'j' || t[2] < '0' || t[2] > '9') return -1;
  int n;
  return read_int(t + 2, &n) ? n : -2;
}

// The file system's answers for one line, so that the same question is never asked twice: whether
// a path exists, and the names in a folder. An open-addressed table of entries, each a malloc'd
// block: the answer byte, the question (its kind letter and the path) with its NUL, and for a
// folder its names, each with its NUL, and one NUL more.
struct FsMemo {
  char** slots = nullptr;
  size_t size = 0, used = 0;
  ~FsMemo() {
    for (size_t i = 0; i < size; ++i) std::free(slots[i]);
    std::free(slots);
  }
  static size_t hash(const char* s) {
    uint64_t h = 1469598103934665603ull;
    for (; *s; ++s) h = (h ^ (unsigned char)*s) * 1099511628211ull;
    return (size_t)h;
  }
  static char** slot(char** table, size_t n, const char* key) {
    size_t i = hash(key) & (n - 1);
    while (table[i] && std::strcmp(table[i] + 1, key) != 0) i = (i + 1) & (n - 1);
    return &table[i];
  }
  bool grow() {
    size_t n = size ? size * 2 : 64;
    char** table = (char**)std::calloc(n, sizeof(char*));
    if (!table) return false;
    for (size_t i = 0; i < size; ++i)
      if (slots[i]) *slot(table, n, slots[i] + 1) = slots[i];
    std::free(slots);
    slots = table;
    size = n;
    return true;
  }
  // The entry of a question, or null; *at is where a new one goes (null without memory).
  char* find(const char* key, char*** at) {
    *at = nullptr;
    if (used * 2 >= size && !grow()) return nullptr;
    char** s = slot(slots, size, key);
    if (*s) return *s;
    *at = s;
    return nullptr;
  }
  char* keep(char** at, char* entry) {
    if (at && entry) {
      *at = entry;
      ++used;
    }
    return entry;
  }
  // A new entry: answer, key (kind and path), then `extra` bytes left for the caller.
  static char* entry(bool answer, char kind, const char* path, size_t extra) {
    size_t n = std::strlen(path);
    char* e = (char*)std::malloc(n + 3 + extra);
    if (!e) return nullptr;
    e[0] = answer;
    e[1] = kind;
    std::memcpy(e + 2, path, n + 1);
    return e;
  }

  // Whether the path exists; with a wildcard in it, whether anything matches.
  bool exists(const char* path) {
    char* key = entry(false, 'E', path, 0);
    if (!key) return file_find_data(path, nullptr);
    char** at;
    char* e = find(key + 1, &at);
    if (e) {
      std::free(key);
      return e[0] != 0;
    }
    key[0] = file_find_data(path, nullptr);
    bool found = key[0];
    if (!keep(at, key)) std::free(key);
    return found;
  }

  // The names of a folder (path with its trailing separator): each with its NUL, then one NUL
  // more; null when the folder cannot be listed.
  const char* names(const char* folder) {
    char* key = entry(false, 'L', folder, 0);
    if (!key) return nullptr;
    char** at;
    if (char* e = find(key + 1, &at)) {
      std::free(key);
      return e[0] ? e + 3 + std::strlen(e + 2) : nullptr;
    }
    size_t head = 3 + std::strlen(folder), n = head, cap = head + 256;
    char* e = (char*)std::realloc(key, cap);
    if (!e) {
      std::free(key);
      return nullptr;
    }
    size_t fn = std::strlen(folder);
    char* pattern = (char*)std::malloc(fn + 2);
    FileFindData d;
    FindHandle f = FIND_INVALID;
    if (pattern) {
      std::memcpy(pattern, folder, fn);
      std::memcpy(pattern + fn, "*", 2);
      f = file_find_first(pattern, &d);
      std::free(pattern);
    }
    bool ok = f != FIND_INVALID;
    for (bool more = ok; more; more = file_find_next(f, &d)) {
      size_t k = std::strlen(d.name) + 1;
      if (n + k + 1 > cap) {
        cap = (n + k + 1) * 2;
        char* grown = (char*)std::realloc(e, cap);
        if (!grown) {
          ok = false;
          break;
        }
        e = grown;
      }
      std::memcpy(e + n, d.name, k);
      n += k;
    }
    if (f != FIND_INVALID) file_find_close(f);
    e[n] = 0;
    e[0] = ok;
    if (!keep(at, e)) {
      std::free(e);
      return nullptr;
    }
    return ok ? e + head : nullptr;
  }
};

// Whether a name that the system matches against `start` case-insensitively could begin with it.
// Only plain ASCII is compared (the system's case rules beyond ASCII are its own), so a name the
// system would take is never turned down.
bool may_begin(const char* name, const char* start) {
  for (;; ++start, ++name) {
    unsigned char a = (unsigned char)*start, b = (unsigned char)*name;
    if (!a) return true;
    if (a >= 0x80 || b >= 0x80 || std::strchr("*?<>\"", a)) return true;
    if (!b) return false;
    if (a >= 'a' && a <= 'z') a -= 32;
    if (b >= 'a' && b <= 'z') b -= 32;
    if (a != b) return false;
  }
}

// The names of the folder s[0, n) (listed once per line), or null; *unknown when the folder
// exists but cannot be listed (it may still hold any name).
const char* folder_names(const char* s, size_t n, FsMemo* memo, bool* unknown) {
  *unknown = false;
  char* folder = (char*)std::malloc(n + 1);
  if (!folder) {
    *unknown = true;
    return nullptr;
  }
  std::memcpy(folder, s, n);
  folder[n] = 0;
  const char* names = memo->names(folder);
  // Asked without its trailing separator, which the system refuses.
  if (!names && (int)n > path_root_length(folder)) folder[n - 1] = 0;
  *unknown = !names && memo->exists(folder);
  std::free(folder);
  return names;
}

// The system's path limit (MAX_PATH without its NUL) in UTF-16 units; the programs are not
// long-path aware. Each character of the internal text is at least one unit.
constexpr int JOIN_PATH_LIMIT = 259;

// The join being built: the text (CR and LF as spaces, single slashes as backslashes), its
// characters and where its last name begins, each kept up to date as tokens are added, so that
// a join costs the length of what it adds.
struct Join {
  char* s = nullptr;
  size_t n = 0, cap = 0;
  size_t name_at = 0;  // after the last separator
  int chars = 0;
  ~Join() { std::free(s); }
  bool add(const char* p, size_t k) {
    if (n + k + 1 > cap) {
      size_t c = (n + k + 1) * 2;
      char* grown = (char*)std::realloc(s, c);
      if (!grown) return false;
      s = grown;
      cap = c;
    }
    for (size_t i = 0; i < k; ++i) s[n + i] = (p[i] == '\r' || p[i] == '\n') ? ' ' : p[i];
    n += k;
    s[n] = 0;
    return true;
  }
  // Turns the slashes from `from` on (as to_backslashes does) and counts their characters.
  void scan(size_t from) {
    for (char* p = s + from; *p;) {
      if (*p == '/' && p[1] == '/') {
        p += 2;
        chars += 2;
        name_at = (size_t)(p - s);
        continue;
      }
      if (*p == '/') *p = '\\';
      if (*p == '\\') name_at = (size_t)(p - s) + 1;
      ++chars;
      p += char_len(p);
    }
  }
};

// The joined-path rule for a path that does not exist: the path joined with the following tokens
// (up to one that starts with a double quote, "-" or "/") and the blanks between them, the first
// join that exists (malloc'd, backslashes), or null. *after moves past the tokens taken.
//
// Linear in the line: before each join, the names of the joined text's folder (listed once per
// line) are asked whether any begins with the joined text and the blanks that follow; when none
// does, no longer join can exist either (it begins with the same text), and the search ends. A
// join longer than the path limit cannot name a file. So a path is joined with at most as many
// tokens as fit in the limit, each join costs the length it adds and one question, and most
// paths cost one question (does it exist) and one listing of their folder per line.
char* join_path(const char* path, const char** after, FsMemo* memo) {
  Join j;
  if (!j.add(path, std::strlen(path))) return nullptr;
  j.scan(0);
  int root = path_root_length(j.s);  // bytes, at least its characters
  const char* end = *after;
  const char* names = nullptr;
  bool unknown = false;
  size_t listed = (size_t)-1;  // the folder whose names are held
  Token more;
  while (next_token(end, &more) && !starts_switch(more)) {
    size_t before = j.n;
    if (!j.add(end, (size_t)(more.start - end))) break;  // the blanks: a name must go on so
    if (j.name_at != listed) {
      names = folder_names(j.s, j.name_at, memo, &unknown);
      listed = j.name_at;
    }
    bool go_on = unknown;
    for (const char* n = names; !go_on && n && *n; n += std::strlen(n) + 1)
      go_on = may_begin(n, j.s + j.name_at);
    if (!go_on || !j.add(more.start, (size_t)(more.after - more.start))) break;
    j.scan(before);
    if (j.chars - root > JOIN_PATH_LIMIT) break;
    end = more.after;
    if (memo->exists(j.s)) {
      *after = end;
      char* found = j.s;
      j.s = nullptr;
      return found;
    }
  }
  return nullptr;
}

}  // namespace

const char* cmdline_token(const char* s, int* length) {
  Token k;
  if (!s || !next_token(s, &k)) {
    if (length) *length = 0;
    return nullptr;
  }
  if (length) *length = k.length;
  return k.start;
}

Text* cmdline_parse(const char* line, int show, unsigned options) {
  Text* list = text_new();
  if (!list) return nullptr;
  if (!line) line = "";
  Parser ps{list, show, ID("CAB")};
  FsMemo memo;
  Token k;
  if (options & CL_EDITOR_ARG) {
    bool first = true;
    for (const char* s = line; next_token(s, &k); s = k.after, first = false) {
      if (first && (options & CL_PROGRAM)) continue;
      char c = *k.start;
      if (c != '-' && c != '/' && c != '@') {
        ps.default_app = ID("EDMDI1");
        break;
      }
    }
  }
  bool first = true;
  for (const char* s = line; next_token(s, &k); s = k.after) {
    if (first) {
      first = false;
      if (options & CL_PROGRAM) continue;
    }
    const char* from = k.start;
    size_t n = (size_t)k.length;
    if (k.quoted && *from == '"') {  // a closed quote: without its quotes
      ++from;
      n = n >= 2 ? n - 2 : 0;
    }
    char* t = copy_value(from, n);
    if (!t) break;
    int jump = jump_line(t);
    if (jump >= 0) {
      ps.jump = jump;
    } else if (jump == -2) {
      // a line number out of range: no jump
    } else if (!k.quoted && *t == '/') {
      ps.word(t);
    } else if (*t == '@' && (!k.quoted || is_letter(t[1]))) {
      PackedId id = id_pack(t + 1);
      if (id == ID("0")) {
        g_option_bit = true;
      } else if (id != 0) {
        ps.app(id);
        ps.last_app_editor = id == ID("EDITOR");
        ps.wrote_after_app = false;
      }
    } else if (*t == '-' && (!k.quoted || is_letter(t[1]))) {
      ps.switch_token(t);
    } else {
      if (!k.quoted && path_root_length(t) > 0 && !memo.exists(t)) {
        // An unquoted path with spaces: try it joined with the following tokens.
        if (char* joined = join_path(t, &k.after, &memo)) {
          std::free(t);
          t = joined;
        }
      }
      to_backslashes(t);
      ps.file(t);
    }
    std::free(t);
  }
  if ((options & CL_DEFAULT_APP) && (!ps.wrote || (ps.last_app_editor && !ps.wrote_after_app))) {
    text_clear(list);
    ps.have_app = false;
    ps.app(ps.default_app);
  }
  text_top(list);
  return list;
}

const char* cmdline_source(const char* process_line, const char* zqname) {
  // "@zq" then stands where the program's path stands, and CL_PROGRAM skips it.
  if (zqname && std::strncmp(zqname, "@zq ", 4) == 0 &&
      !cmdline_has_unattended_switch(process_line))
    return zqname;
  return process_line;
}

bool cmdline_has_unattended_switch(const char* line) {
  // The set-up's switches that run it unattended or choose what it does, other installers' words
  // for a silent run, and the removal request of the set-up's own helper.
  static const char* const kUnattended[] = {"silent", "user",  "exe",        "log",  "opt",
                                            "force",  "debug", "uninst",     "s",    "quiet",
                                            "qn",     "zqpid", "verysilent", "zqrmv"};
  Token k;
  bool first = true;
  for (const char* s = line ? line : ""; next_token(s, &k); s = k.after, first = false) {
    const char* p = k.start;
    if (*p == '"') ++p;
    if (first || (*p != '-' && *p != '/')) continue;
    const char* name = p + 1;
    size_t n = 0;
    while ((name[n] >= 'a' && name[n] <= 'z') || (name[n] >= 'A' && name[n] <= 'Z')) ++n;
    for (const char* u : kUnattended) {
      size_t i = 0;
      while (i < n && u[i] && (name[i] | 0x20) == u[i]) ++i;
      if (i == n && !u[i]) return true;
    }
  }
  return false;
}

unsigned cmdline_startup_options(const char* line) {
  unsigned options = CL_DEFAULT_APP | CL_PROGRAM;
  if ((host_settings.editor_mode & 3) == 1 && !cmdline_has_unattended_switch(line))
    options |= CL_EDITOR_ARG;
  return options;
}

bool cmdline_option_bit() {
  return g_option_bit;
}
void cmdline_set_option_bit(bool on) {
  g_option_bit = on;
}

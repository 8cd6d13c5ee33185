// The command line into the CommandList: tokens, applet tokens, switches with their values, files
// with the joined-path rule and the /j jump line.

#include "core/records.h"
#include "host/cmdline.h"

#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "files/file.h"
#include "files/path.h"

HostSettings host_settings = {0, false, false, false, 0, {0}};

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
    long number = 0;
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
      if ((p[0] >= '0' && p[0] <= '9') || (p[0] == '-' && p[1] >= '0' && p[1] <= '9'))
        number = std::strtol(p, nullptr, 10);
      else
        number = (long)id_pack(p);
    }
    if (!string && name == ID("SHOW")) {
      rewrite_show((int)number);
    } else if (!string && name == ID("NOSHOW")) {
      rewrite_show((int)ID("NOSHOW"));
    } else if (string) {
      before_record();
      text_printf(list, "swstr\t%id\t%s\n", name, string);
    } else {
      before_record();
      text_printf(list, "sw\t%id\t%d\n", name, (int)number);
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

// A jump token: "/j" and a digit. The line number, or -1.
int jump_line(const char* t) {
  if (t[0] == '/' && t[1] == 'j' && t[2] >= '0' && t[2] <= '9') return std::atoi(t + 2);
  return -1;
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
      if (!k.quoted && path_root_length(t) > 0 && !file_find_data(t, nullptr)) {
        // An unquoted path with spaces: try it joined with the following tokens.
        Token more;
        for (const char* m = k.after; next_token(m, &more) && !starts_switch(more);
             m = more.after) {
          char* joined = copy_value(k.start, (size_t)(more.after - k.start));
          if (!joined) break;
          to_backslashes(joined);
          if (file_find_data(joined, nullptr)) {
            std::free(t);
            t = joined;
            k.after = more.after;
            break;
          }
          std::free(joined);
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
  if (zqname && std::strncmp(zqname, "@zq ", 4) == 0) return zqname;
  return process_line;
}

unsigned cmdline_startup_options() {
  unsigned options = CL_DEFAULT_APP | CL_PROGRAM;
  if ((host_settings.editor_mode & 3) == 1) options |= CL_EDITOR_ARG;
  return options;
}

bool cmdline_option_bit() {
  return g_option_bit;
}
void cmdline_set_option_bit(bool on) {
  g_option_bit = on;
}

// The set-up program's switches and the unattended contract.

#include "setup/switches.h"

#include <cstring>

#include "core/format.h"
#include "core/header.h"
#include "files/codes.h"
#include "files/path.h"
#include "setup/pak.h"

namespace {

struct Field {
  const char* p;
  int64_t n;
};

// Splits one record into at most three tab-separated fields (the last one runs to the end, so
// that a value keeps its tabs); returns their count.
int split_fields(const char* line, int64_t len, Field* f) {
  int count = 0;
  int64_t start = 0;
  for (int64_t k = 0; k <= len && count < 3; ++k) {
    if (k == len || (line[k] == '\t' && count < 2)) {
      f[count++] = {line + start, k - start};
      start = k + 1;
    }
  }
  return count;
}

bool field_is(const Field& f, const char* word) {
  size_t n = std::strlen(word);
  return (size_t)f.n == n && std::memcmp(f.p, word, n) == 0;
}

bool field_is_nocase(const Field& f, const char* word) {
  size_t n = std::strlen(word);
  if ((size_t)f.n != n) return false;
  for (size_t k = 0; k < n; ++k)
    if ((f.p[k] | 0x20) != (word[k] | 0x20)) return false;
  return true;
}

PackedId field_id(const Field& f) {
  char buf[16];
  if (f.n <= 0 || f.n >= (int64_t)sizeof buf) return 0;
  std::memcpy(buf, f.p, (size_t)f.n);
  buf[f.n] = 0;
  return id_pack(buf);
}

Text* field_text(const Field& f) {
  Text* t = text_new();
  if (t && f.n > 0) text_insert(t, f.p, TI_RAW, f.n);
  return t;
}

void refuse(SetupSwitches* s, const char* what, const Field& name) {
  if (!s->bad) s->bad = text_new();
  if (text_length(s->bad) > 0) text_puts(s->bad, ", ");
  text_puts(s->bad, what);
  text_insert(s->bad, name.p, TI_RAW, name.n);
}

bool is_slash_silent(const Field& word) {
  if (word.n < 2 || word.p[0] != '/') return false;
  Field rest = {word.p + 1, word.n - 1};
  for (const char* w : SETUP_SLASH_SILENT)
    if (field_is_nocase(rest, w)) return true;
  return false;
}

bool is_help_word(const Field& word) {
  return field_is(word, "/?") || field_is(word, "-?");
}

// The commands of the set-up window's table, which the host posts to it as switches.
bool window_command(PackedId id) {
  switch (id) {
    case ID("WLIST1"):
    case ID("SET"):
    case ID("CAB"):
    case ID("CABEXE"):
    case ID("NEW"):
    case ID("NEWS"):
    case ID("NEWNE"):
    case ID("NEWSS"):
    case ID("VIEW"):
    case ID("CHECK"):
    case ID("STAT"):
    case ID("REGS"):
    case ID("REGEXT"):
    case ID("UNINST"):
    case ID("HLPSUP"):
    case ID("ZQ0"):
    case ID("ZQ5"):
    case ID("ZQ6"):
    case ID("UPDATE"):
    case ID("QMC"):
    case ID("QMCDEV"):
    case ID("EXIT"):
    case ID("OKBTN"):
      return true;
    default:
      return false;
  }
}

// Walks the records of the applet CAB: calls visit(kind, fields, count) for each.
template <typename Visit>
void each_cab_record(Text* commands, Visit visit) {
  const char* s = text_cstr(commands);
  int64_t n = text_length(commands);
  if (!s) return;
  bool any_app = n > 0 && (std::strncmp(s, "app\t", 4) == 0 || std::strstr(s, "\napp\t"));
  bool in_cab = !any_app;
  for (int64_t at = 0; at < n;) {
    const char* line = s + at;
    const char* nl = (const char*)std::memchr(line, '\n', (size_t)(n - at));
    int64_t len = nl ? nl - line : n - at;
    at += nl ? len + 1 : len;
    if (len > 0 && line[len - 1] == '\r') --len;
    Field f[3];
    int count = split_fields(line, len, f);
    if (count < 1) continue;
    if (field_is(f[0], "app")) {
      in_cab = count >= 2 && field_id(f[1]) == ID("CAB");
      continue;
    }
    if (in_cab) visit(f, count);
  }
}

// A string switch's value: one quoted value, never two different ones.
void take_value(SetupSwitches* out, Text** slot, bool swstr, const Field* f, int count) {
  if (!swstr || count < 3 || f[2].n == 0) {
    refuse(out, "-", f[1]);  // unquoted, or without a value
    return;
  }
  if (std::memchr(f[2].p, '"', (size_t)f[2].n)) {
    refuse(out, "\"", f[2]);
    return;
  }
  if (*slot) {
    if (text_length(*slot) != f[2].n || std::memcmp(text_cstr(*slot), f[2].p, (size_t)f[2].n))
      refuse(out, "twice -", f[1]);
    return;
  }
  *slot = field_text(f[2]);
}

void set_mode(Text* rec, bool common) {
  setup_set(rec, ID("COMMON"), common ? 1 : 0);
  header_set(rec, ID("MODE"), HK_ID | HV_ID, common ? ID("COMMON") : ID("USER"));
}

}  // namespace

bool setup_is_unattended_word(const char* name) {
  if (!name) return false;
  if (*name == '-' || *name == '/') ++name;
  Field f = {name, (int64_t)std::strlen(name)};
  for (const char* w : SETUP_UNATTENDED_SWITCHES)
    if (field_is_nocase(f, w)) return true;
  for (const char* w : SETUP_SLASH_SILENT)
    if (field_is_nocase(f, w)) return true;
  return false;
}

bool setup_commands_unattended(Text* commands) {
  bool yes = false;
  each_cab_record(commands, [&](const Field* f, int count) {
    if (field_is(f[0], "word")) {
      if (count >= 2 && is_slash_silent(f[1])) yes = true;
      return;
    }
    if ((!field_is(f[0], "sw") && !field_is(f[0], "swstr")) || count < 2) return;
    switch (field_id(f[1])) {
      case ID("SILENT"):
      case ID("EXE"):
      case ID("LOG"):
      case ID("OPT"):
        yes = true;
    }
  });
  return yes;
}

void setup_switches_read(Text* commands, SetupSwitches* out) {
  *out = SetupSwitches{};
  out->unattended = setup_commands_unattended(commands);
  each_cab_record(commands, [&](const Field* f, int count) {
    if (field_is(f[0], "file")) {
      if (out->unattended && count >= 2 && f[1].n > 0) refuse(out, "file ", f[1]);
      return;
    }
    if (field_is(f[0], "word")) {
      if (count < 2) return;
      if (is_slash_silent(f[1]))
        out->silent = true;
      else if (is_help_word(f[1]))
        out->help = true;
      else if (out->unattended)
        refuse(out, "", f[1]);
      return;
    }
    bool sw = field_is(f[0], "sw"), swstr = field_is(f[0], "swstr");
    if ((!sw && !swstr) || count < 2) return;
    PackedId id = field_id(f[1]);
    bool* flag = nullptr;
    switch (id) {
      case ID("SILENT"):
        flag = &out->silent;
        break;
      case ID("UNINST"):
        flag = &out->uninst;
        break;
      case ID("USER"):
        flag = &out->user;
        break;
      case ID("DEBUG"):
        flag = &out->debug;
        break;
      case ID("FORCE"):
        flag = &out->force;
        break;
      case ID("HELP"):
        flag = &out->help;
        break;
      case ID("EXE"):
        take_value(out, &out->exe, swstr, f, count);
        return;
      case ID("LOG"):
        take_value(out, &out->log, swstr, f, count);
        return;
      case ID("OPT"):
        take_value(out, &out->opt, swstr, f, count);
        return;
      default:
        // A mistyped switch must not install anyway; the window's commands are understood.
        if (out->unattended && !window_command(id)) refuse(out, "-", f[1]);
        return;
    }
    if (swstr)
      refuse(out, "-", f[1]);  // these take no value
    else
      *flag = true;
  });
  if (out->uninst && out->exe) {
    Field name = {"exe", 3};
    refuse(out, "-uninst -", name);
  }
  // The wizard asks for the folder and the options itself: these would be ignored there.
  if (!out->silent && !out->uninst) {
    if (out->exe)
      refuse(out, "-silent -", {"exe", 3});  // reads "-silent -exe": one needs the other
    if (out->opt) refuse(out, "-silent -", {"opt", 3});
    if (out->force) refuse(out, "-silent -", {"force", 5});
  }
}

void setup_switches_free(SetupSwitches* s) {
  text_free(s->exe);
  text_free(s->log);
  text_free(s->opt);
  text_free(s->bad);
  *s = SetupSwitches{};
}

bool setup_usage(Text* out) {
  return text_printf(
             out,
             "%s セットアップ\n\n"
             "zq9utl.exe [-silent] [-user] [-exe(\"FOLDER\")] [-log(\"FILE\")]\n"
             "           [-opt(\"KEY=VALUE,...\")] [-force] [-debug]\n"
             "zqsetup.exe -uninst [-silent] [-log(\"FILE\")]\n\n"
             "-silent      ウィザードを表示せずにインストールします"
             "（/silent /verysilent /S /quiet /qn も同じ）\n"
             "-user        ログオンのユーザ専用にインストールします\n"
             "-exe(\"...\")  インストール先のフォルダ\n"
             "-log(\"...\")  ログをUTF-8で書き出すファイル（最初に作成されます）\n"
             "-opt(\"...\")  オプション: REGSM REGDT REGBRD REGFIR REGEXE REGTXT REGC REGCPP "
             "REGH SPEAK RESCUE (0/1), ICON (ショートカットの名前)\n"
             "-force       新しいバージョンのインストールを古いもので上書きします\n"
             "-debug       手順を番号付きでログに書きます\n"
             "-uninst      アンインストールします\n"
             "-help, -?, /?  この説明\n\n"
             "終了コード:\n"
             "  0  完了\n"
             "  1  失敗（ログに原因）\n"
             "  2  何も書き込まずに中止（スイッチ、フォルダ、ログ、新しいバージョン、キャンセル）\n"
             "  3  %sのプログラムが起動中\n",
             SETUP_PRODUCT, SETUP_PRODUCT) > 0;
}

bool setup_icon_name_ok(const char* name) {
  // The package's rule for a file name, judged in the form the file system will be given (escapes
  // decoded), and no character that cannot travel in -opt (neither is a Shift-JIS trail byte).
  return name && std::strlen(name) <= 80 && !std::strpbrk(name, ",=") && pak_name_is_safe(name);
}

namespace {

// One "KEY=VALUE" of -opt as a line "KEY\tVALUE" of changes; false when it is not understood.
bool option_item(Field item, Text* changes, PackedId* seen, int* nseen) {
  static constexpr PackedId flags[] = {ID("REGSM"),  ID("REGDT"),  ID("REGBRD"), ID("REGFIR"),
                                       ID("REGEXE"), ID("REGTXT"), ID("REGC"),   ID("REGCPP"),
                                       ID("REGH"),   ID("SPEAK"),  ID("RESCUE")};
  const char* eq = (const char*)std::memchr(item.p, '=', (size_t)item.n);
  if (!eq) return false;
  Field key = {item.p, eq - item.p};
  Field value = {eq + 1, item.p + item.n - eq - 1};
  PackedId id = key.n < 8 ? field_id(key) : 0;
  bool known = id == ID("ICON");
  for (PackedId k : flags) known |= id == k;
  for (int k = 0; k < *nseen; ++k) known &= seen[k] != id;  // a key given twice
  if (!known || *nseen == 16) return false;
  seen[(*nseen)++] = id;
  if (id != ID("ICON")) {
    if (!field_is(value, "0") && !field_is(value, "1")) return false;
    return text_printf(changes, "%id\t%d\n", id, value.p[0] - '0') > 0;
  }
  Text* name = field_text(value);
  bool good = setup_icon_name_ok(text_cstr(name));
  if (good) text_printf(changes, "%id\t%s\n", id, text_cstr(name));
  text_free(name);
  return good;
}

}  // namespace

bool setup_options_apply(Text* rec, const char* options, Text* why) {
  Text* changes = text_new();  // checked whole before anything reaches the record
  if (!changes) return false;
  PackedId seen[16];
  int nseen = 0;
  for (const char* p = options ? options : ""; *p;) {
    const char* end = std::strchr(p, ',');
    if (!end) end = p + std::strlen(p);
    if (!option_item({p, end - p}, changes, seen, &nseen)) {
      text_puts(why, "-opt: ");
      text_insert(why, p, TI_RAW, end - p);
      text_puts(why, "\n");
      text_free(changes);
      return false;
    }
    p = *end ? end + 1 : end;
  }
  const char* s = text_cstr(changes);
  for (const char* line = s; line && *line;) {
    const char* tab = std::strchr(line, '\t');
    size_t vn = std::strcspn(tab + 1, "\r\n");  // a Text's line ends are CR LF
    const char* nl = std::strchr(tab, '\n');
    char key[16];
    std::memcpy(key, line, (size_t)(tab - line));
    key[tab - line] = 0;
    PackedId id = id_pack(key);
    Text* v = text_new();
    text_insert(v, tab + 1, TI_RAW, (int64_t)vn);
    if (id == ID("ICON"))
      setup_set_text(rec, id, v);
    else
      setup_set(rec, id, text_cstr(v)[0] - '0');
    text_free(v);
    line = nl + 1;
  }
  text_free(changes);
  return true;
}

bool setup_log_is_device(const char* path) {
  if (!path) return false;
  // The device namespace, and the long-path prefix which can reach it too.
  if (path[0] == '\\' && path[1] == '\\' && (path[2] == '.' || path[2] == '?') && path[3] == '\\')
    return true;
  const char* name = path_file_name(path);
  if (!name) name = path;
  char stem[16];
  size_t n = 0;
  // The system takes "NUL.txt", "nul " and "NUL:" as the device too.
  while (name[n] && name[n] != '.' && name[n] != ':' && name[n] != ' ' && n + 1 < sizeof stem) {
    stem[n] = (char)(name[n] | 0x20);
    ++n;
  }
  if (name[n] && name[n] != '.' && name[n] != ':' && name[n] != ' ') return false;
  stem[n] = 0;
  static const char* const devices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  for (const char* d : devices)
    if (std::strcmp(stem, d) == 0) return true;
  return n == 4 && (std::strncmp(stem, "com", 3) == 0 || std::strncmp(stem, "lpt", 3) == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

FileHandle setup_log_open(const char* path) {
  if (!path || !*path || setup_log_is_device(path) || file_is_folder(path)) return FILE_INVALID;
  return file_create(path, FSYS_WRITE, FSYS_SHARE_READ, 0);
}

bool setup_log_finish(FileHandle h, Text* log) {
  if (h == FILE_INVALID) return false;
  const char* s = text_cstr(log);
  int64_t n = text_length(log);
  Text* utf8 = bytes_to_code(s ? s : "", s ? n : 0, CODE_UTF, 0);
  int64_t un = text_length(utf8);
  bool ok = utf8 && file_rewind(h) && file_set_end(h) &&
            (un == 0 || file_write(h, text_cstr(utf8), un) == un) && file_flush(h);
  file_close(h);
  text_free(utf8);
  return ok;
}

SetupAction setup_silent_record(const SetupSwitches* s, Text* rec, const SetupEnv* env, Text* log,
                                int* exit_code) {
  *exit_code = SETUP_EXIT_OK;
  if (s->bad) {
    text_printf(log, "スイッチの指定が間違っています: %s\n", text_cstr(s->bad));
    *exit_code = SETUP_EXIT_REFUSED;
    return SETUP_RUN_NONE;
  }
  if (!s->silent) return SETUP_RUN_WIZARD;
  if (s->uninst) return SETUP_RUN_UNINSTALL;
  set_mode(rec, !s->user);
  if (s->user) setup_set(rec, ID("USER"), 1);
  if (s->exe) {
    // Normalised first, so that ".." cannot lead out of the folder that the check accepts.
    Text* exe = text_new();
    text_puts(exe, s->exe);
    path_normalise(exe);
    path_strip_separator(exe, 2);
    setup_set_text(rec, ID("EXE"), exe);
    text_free(exe);
  } else {
    setup_drop(rec, ID("EXE"));
  }
  setup_defaults(rec, env);
  setup_option_defaults(rec);
  if (!setup_folder_valid(rec, env, log) ||
      (s->opt && !setup_options_apply(rec, text_cstr(s->opt), log))) {
    *exit_code = SETUP_EXIT_REFUSED;
    return SETUP_RUN_NONE;
  }
  return SETUP_RUN_INSTALL;
}

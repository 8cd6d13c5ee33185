// The wizard's pages as a state machine, and the unattended run's switches.

#include "setup/wizard.h"

#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "files/codes.h"
#include "files/file.h"
#include "files/path.h"

namespace {

bool installed_time(Text* rec, FileTime* out) {
  Text* exe = setup_folder_exe(rec);
  FileHandle h =
      text_length(exe) > 0 ? file_open_read(exe, FSYS_READ, FSYS_SHARE_READ, 0) : FILE_INVALID;
  text_free(exe);
  if (h == FILE_INVALID) return false;
  bool ok = file_get_time(h, out);
  file_close(h);
  return ok;
}

void overwrite_page(Wizard* w, Text* content) {
  Text* folder = setup_folder(w->rec);
  text_printf(content, "セットアップ先:\n  %s\n", text_cstr(folder));
  text_free(folder);
  if (setup_installed(w->rec)) {
    text_printf(content, "%sがすでにインストールされています。\n", SETUP_PRODUCT);
    text_puts(content, "上書きセットアップを実行します。\n");
  }
  text_printf(
      content,
      "すべての設定をクリアして%sを修復するには、\n「修復インストール」をONにしてください。\n",
      SETUP_PRODUCT);
  FileTime installed;
  if (w->package_time_known && installed_time(w->rec, &installed) &&
      setup_installed_is_newer(w->package_time, installed))
    text_puts(content,
              "セットアップ先のVI "
              "ZIZUZAは、これからセットアップするZQよりも新しいバージョンです。\nセットアップをおこ"
              "なうとバージョンが古くなりますので、セットアップをおこなわず「キャンセル」してくださ"
              "い。\n");
}

void set_mode(Text* rec, bool common) {
  setup_set(rec, ID("COMMON"), common ? 1 : 0);
  header_set(rec, ID("MODE"), HK_ID | HV_ID, common ? ID("COMMON") : ID("USER"));
}

}  // namespace

void wizard_init(Wizard* w, Text* rec, const SetupEnv* env) {
  *w = Wizard{};
  w->rec = rec;
  w->env = env;
  w->flags = WIZ_STANDARD;  // the first page offers the standard road first
}

unsigned wizard_enter(Wizard* w, int page, Text* content, bool* radio1) {
  if (page < 0 || page >= WIZ_PAGES) return 0;
  w->page = page;
  // Back on the first page shows the road chosen there.
  if (radio1)
    *radio1 = page == WIZ_KIND      ? setup_get(w->rec, ID("COMMON")) != 0
              : page == WIZ_WELCOME ? (w->flags & WIZ_STANDARD) != 0
                                    : true;
  if (page == WIZ_OVERWRITE && content) overwrite_page(w, content);
  if (page == WIZ_START && content) setup_status(content, w->rec);
  if (page == WIZ_WELCOME) return WIZ_NEXT;
  return page == WIZ_START ? WIZ_BACK | WIZ_FINISH : WIZ_BACK | WIZ_NEXT;
}

int wizard_next(Wizard* w, bool radio1, Text* message, Text* note) {
  int to = w->page;
  switch (w->page) {
    case WIZ_WELCOME:
      w->flags = radio1 ? (uint8_t)(w->flags | WIZ_STANDARD) : (uint8_t)(w->flags & ~WIZ_STANDARD);
      // Started with " -user", the standard road is the user's own installation, as the first
      // page's defaults promise; the custom road offers both kinds still.
      set_mode(w->rec, setup_get(w->rec, ID("USER")) == 0);
      setup_defaults(w->rec, w->env);
      setup_option_defaults(w->rec);
      to = !radio1 ? WIZ_KIND : setup_installed(w->rec) ? WIZ_OVERWRITE : WIZ_AGREEMENT;
      break;
    case WIZ_KIND:
      set_mode(w->rec, radio1);
      setup_defaults(w->rec, w->env);
      setup_option_defaults(w->rec);
      to = WIZ_FOLDER;
      break;
    case WIZ_FOLDER:
      if (!setup_folder_valid(w->rec, w->env, message)) return w->page;
      to = setup_installed(w->rec) ? WIZ_OVERWRITE : WIZ_AGREEMENT;
      break;
    case WIZ_OVERWRITE:
      if (setup_get(w->rec, ID("RESCUE")) && note)
        text_puts(note, "修復インストールを実行すると、設定内容は初期化されます。\n");
      to = w->flags & WIZ_STANDARD ? WIZ_START : WIZ_OPTIONS;
      break;
    case WIZ_AGREEMENT:
      to = w->flags & WIZ_STANDARD ? WIZ_START : WIZ_OPTIONS;
      break;
    case WIZ_OPTIONS:
      to = WIZ_START;
      break;
    default:
      return w->page;  // the last page finishes, it has no Next
  }
  if (w->depth < WIZ_HISTORY) w->history[w->depth++] = w->page;
  w->page = to;
  return to;
}

int wizard_back(Wizard* w) {
  if (w->depth > 0) w->page = w->history[--w->depth];
  return w->page;
}

void wizard_hist(Wizard* w, const char* previous) {
  setup_set_text(w->rec, ID("HIST"), previous ? previous : "");
  if (!previous || !*previous) return;
  Text* dst = text_new();
  text_puts(dst, previous);
  path_strip_separator(dst, 2);
  const char* name = path_file_name(dst);
  if (!name || !*name) {
    text_free(dst);
    return;
  }
  Text* folder = text_new();
  text_puts(folder, name);
  path_parent(dst);
  setup_set_text(w->rec, ID("FOLDER"), folder);
  setup_set_text(w->rec, ID("DST"), dst);
  text_free(folder);
  text_free(dst);
}

void wizard_refer(Wizard* w, const char* chosen) {
  setup_set_text(w->rec, ID("DST"), chosen ? chosen : "");
  setup_drop(w->rec, ID("HIST"));
}

// ---- unattended ----

namespace {

struct Field {
  const char* p;
  int64_t n;
};

// Splits one record into at most four tab-separated fields; returns their count.
int split_fields(const char* line, int64_t len, Field* f) {
  int count = 0;
  int64_t start = 0;
  for (int64_t k = 0; k <= len && count < 4; ++k) {
    if (k == len || line[k] == '\t') {
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

}  // namespace

void setup_switches_read(Text* commands, SetupSwitches* out) {
  *out = SetupSwitches{};
  int64_t n = 0;
  const char* s = text_cstr(commands);
  n = text_length(commands);
  bool any_app = s && n > 0 && (std::strncmp(s, "app\t", 4) == 0 || std::strstr(s, "\napp\t"));
  // Two passes: the silent switch decides how unknown switches are taken, wherever it stands.
  for (int pass = 0; pass < 2; ++pass) {
    bool in_cab = !any_app;
    for (int64_t at = 0; s && at < n;) {
      const char* line = s + at;
      const char* nl = (const char*)std::memchr(line, '\n', (size_t)(n - at));
      int64_t len = nl ? nl - line : n - at;
      at += nl ? len + 1 : len;
      if (len > 0 && line[len - 1] == '\r') --len;
      Field f[4];
      int count = split_fields(line, len, f);
      if (count < 1) continue;
      if (field_is(f[0], "app")) {
        in_cab = count >= 2 && field_id(f[1]) == ID("CAB");
        continue;
      }
      if (!in_cab) continue;
      bool sw = field_is(f[0], "sw"), swstr = field_is(f[0], "swstr");
      if (pass == 0) {
        if (sw && count >= 2 && field_id(f[1]) == ID("SILENT")) out->silent = true;
        continue;
      }
      if (field_is(f[0], "file")) {
        if (out->silent && count >= 2 && f[1].n > 0) refuse(out, "file ", f[1]);
        continue;
      }
      if ((!sw && !swstr) || count < 2) continue;
      PackedId id = field_id(f[1]);
      switch (id) {
        case ID("SILENT"):
        case ID("UNINST"):
        case ID("USER"):
        case ID("DEBUG"):
          if (swstr) {
            refuse(out, "-", f[1]);
          } else if (id == ID("UNINST")) {
            out->uninst = true;
          } else if (id == ID("USER")) {
            out->user = true;
          } else if (id == ID("DEBUG")) {
            out->debug = true;
          }
          break;
        case ID("EXE"):
        case ID("LOG"): {
          Text** slot = id == ID("EXE") ? &out->exe : &out->log;
          if (!swstr || count < 3 || f[2].n == 0) {
            refuse(out, "-", f[1]);
            break;
          }
          text_free(*slot);
          *slot = field_text(f[2]);
          break;
        }
        default:
          if (out->silent) refuse(out, "-", f[1]);  // a mistyped switch must not install anyway
      }
    }
  }
  if (out->uninst && out->exe) {
    Field name = {"exe", 3};
    refuse(out, "-uninst -", name);
  }
}

void setup_switches_free(SetupSwitches* s) {
  text_free(s->exe);
  text_free(s->log);
  text_free(s->bad);
  *s = SetupSwitches{};
}

SetupAction setup_silent_record(const SetupSwitches* s, Text* rec, const SetupEnv* env, Text* log,
                                int* exit_code) {
  *exit_code = SETUP_EXIT_OK;
  if (!s->silent) return SETUP_RUN_WIZARD;
  if (s->bad) {
    text_printf(log, "スイッチの指定が間違っています: %s\n", text_cstr(s->bad));
    *exit_code = SETUP_EXIT_REFUSED;
    return SETUP_RUN_NONE;
  }
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
  if (!setup_folder_valid(rec, env, log)) {
    *exit_code = SETUP_EXIT_REFUSED;
    return SETUP_RUN_NONE;
  }
  return SETUP_RUN_INSTALL;
}

bool setup_log_write(const char* path, Text* log) {
  int64_t n = 0;
  const char* s = text_cstr(log);
  n = text_length(log);
  Text* utf8 = bytes_to_code(s ? s : "", s ? n : 0, CODE_UTF, 0);
  if (!utf8) return false;
  int64_t un = 0;
  const char* u = text_cstr(utf8);
  un = text_length(utf8);
  FileHandle h = file_create(path, FSYS_WRITE, 0, 0);
  bool ok = h != FILE_INVALID && (un == 0 || file_write(h, u, un) == un);
  if (h != FILE_INVALID) ok = file_flush(h) && ok;
  file_close(h);
  if (!ok && h != FILE_INVALID) file_delete(path);
  text_free(utf8);
  return ok;
}

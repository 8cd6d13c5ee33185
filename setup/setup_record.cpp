// The set-up record: start-up values, defaults, the installation folder, the summary, the folder
// check and the help sections.

#include "setup/setup_record.h"

#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "files/file.h"
#include "files/path.h"
#include "setup/destination.h"

const SetupExtension setup_extensions[4] = {{ID("REGTXT"), ID("TXT")},
                                            {ID("REGC"), ID("C")},
                                            {ID("REGCPP"), ID("CPP")},
                                            {ID("REGH"), ID("H")}};

namespace {

int ascii_lower(int c) {
  return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

// Case-insensitive search of an ASCII word in internal text, stepping whole characters.
bool contains_word(const char* s, const char* word) {
  size_t n = std::strlen(word);
  for (const char* p = s; p && *p; p = char_next(p)) {
    size_t k = 0;
    while (k < n && p[k] && ascii_lower((unsigned char)p[k]) == word[k]) ++k;
    if (k == n) return true;
  }
  return false;
}

Text* read_settings(TextArg path) {
  Text* t = text_new();
  if (t && !text_load(t, path, TL_READ_ONLY_CONTENTS)) {
    text_free(t);
    return nullptr;
  }
  return t;
}

}  // namespace

int setup_get(Text* rec, PackedId key) {
  int v = 0;
  header_get(rec, key, SETUP_INT, &v);
  return v;
}

bool setup_set(Text* rec, PackedId key, int value) {
  return header_set(rec, key, SETUP_INT, value);
}

bool setup_has(Text* rec, PackedId key) {
  return header_has(rec, key, HK_ID);
}

void setup_drop(Text* rec, PackedId key) {
  header_delete(rec, key, HK_ID);
}

Text* setup_get_text(Text* rec, PackedId key) {
  Text* t = text_new();
  HeaderSpan v = header_get(rec, key, SETUP_STR);
  if (t && v && v.n > 0) text_insert(t, v.p, TI_RAW, v.n);
  return t;
}

bool setup_set_text(Text* rec, PackedId key, TextArg value) {
  return header_set(rec, key, SETUP_STR, value);
}

Text* setup_record_new(const SetupEnv* env, bool user_flag) {
  Text* rec = text_new();
  if (!rec) return nullptr;
  if (user_flag) {
    setup_set(rec, ID("COMMON"), 0);
    setup_set(rec, ID("USER"), 1);
  } else if (env->settings_folder && contains_word(env->settings_folder, "setup")) {
    setup_set(rec, ID("COMMON"), 1);
  } else {
    setup_set(rec, ID("STD"), 1);
  }
  setup_set(rec, ID("REGEXE"), 1);
  setup_defaults(rec, env);
  setup_option_defaults(rec);
  return rec;
}

Text* setup_folder(Text* rec) {
  if (setup_has(rec, ID("EXE"))) return setup_get_text(rec, ID("EXE"));
  Text* t = setup_get_text(rec, ID("DST"));
  Text* folder = setup_get_text(rec, ID("FOLDER"));
  if (t && text_length(t) > 0 && text_length(folder) > 0) {
    path_separator(t, 1);
    path_join(t, folder);
  } else if (t && text_length(folder) > 0) {
    text_puts(t, folder);
  }
  text_free(folder);
  return t;
}

Text* setup_folder_exe(Text* rec) {
  Text* t = setup_folder(rec);
  if (t && text_length(t) > 0) {
    path_separator(t, 1);
    path_join(t, SETUP_EDITOR_EXE);
  }
  return t;
}

Text* setup_uninstall_command(Text* rec) {
  Text* exe = setup_folder(rec);
  if (!exe || text_length(exe) == 0) {
    text_free(exe);  // no folder, no command
    return nullptr;
  }
  path_separator(exe, 1);
  path_join(exe, "zqsetup.exe");
  Text* cmd = text_new();
  if (cmd) text_printf(cmd, "\"%s\" -uninst", text_cstr(exe));
  text_free(exe);
  return cmd;
}

bool setup_installed(Text* rec) {
  Text* exe = setup_folder_exe(rec);
  bool yes = exe && text_length(exe) > 0 && file_is_file(exe);
  text_free(exe);
  return yes;
}

bool setup_defaults(Text* rec, const SetupEnv* env) {
  if (!rec || !env) return false;
  bool common = setup_get(rec, ID("COMMON")) != 0;
  bool ok = true;
  if (!setup_has(rec, ID("EXE"))) {
    if (common) {
      ok &= setup_set_text(rec, ID("DST"), env->program_files ? env->program_files : "");
    } else {
      // The vendor folder is made by the installation, not here: looking at the wizard's
      // pages writes nothing.
      Text* dst = text_new_from(env->app_data);
      if (text_length(dst) > 0) {
        path_separator(dst, 1);
        path_join(dst, SETUP_VENDOR);
      }
      ok &= dst && setup_set_text(rec, ID("DST"), dst);
      text_free(dst);
    }
    ok &= setup_set_text(rec, ID("FOLDER"), SETUP_FOLDER_NAME);
  }
  Text* icon = text_new();
  if (common)
    text_puts(icon, SETUP_ICON_NAME);
  else
    text_printf(icon, "%s (%s)", SETUP_ICON_NAME, env->user_name ? env->user_name : "");
  ok &= icon && setup_set_text(rec, ID("ICON"), icon);
  text_free(icon);

  // An earlier installation keeps its shortcut name and speech option.
  Text* sys = setup_folder(rec);
  if (sys && text_length(sys) > 0) {
    path_separator(sys, 1);
    path_join(sys, SETUP_USER_SETTINGS);
    if (file_is_file(sys)) {
      if (Text* old = read_settings(sys)) {
        HeaderSpan v = header_get(old, ID("ICON"), SETUP_STR);
        if (v && v.n > 0) {
          Text* name = text_new();
          text_insert(name, v.p, TI_RAW, v.n);
          ok &= setup_set_text(rec, ID("ICON"), name);
          text_free(name);
        }
        if (header_has(old, ID("SPEAK"), HK_ID))
          ok &= setup_set(rec, ID("SPEAK"), setup_get(old, ID("SPEAK")));
        text_free(old);
      }
    }
  }
  text_free(sys);
  return ok;
}

bool setup_option_defaults(Text* rec) {
  if (!rec) return false;
  bool ok = setup_set(rec, ID("REGSM"), setup_installed(rec) ? 0 : 1);
  return setup_set(rec, ID("REGDT"), 1) && ok;
}

bool setup_status(Text* out, Text* rec) {
  if (!out || !rec) return false;
  Text* folder = setup_folder(rec);
  text_printf(out, "インストール先\t%s\n", text_cstr(folder));
  text_free(folder);
  text_printf(out, "種類\t%s",
              setup_get(rec, ID("COMMON")) ? "標準ユーザインストール" : "ユーザ専用セットアップ");
  if (setup_get(rec, ID("RESCUE")))
    text_puts(out, "　修復インストール");
  else if (setup_installed(rec))
    text_puts(out, "　上書きインストール");
  else
    text_puts(out, "　新規インストール");
  text_puts(out, "\n関連付け\t");
  int on = 0;
  for (const SetupExtension& row : setup_extensions) {
    if (!setup_get(rec, row.key)) continue;
    char id[8];
    if (on++) text_puts(out, "・");
    text_puts(out, id_unpack(row.ext, id));
  }
  text_puts(out, on ? " ファイル\n" : "なし\n");
  Text* icon = setup_get_text(rec, ID("ICON"));
  text_printf(out, "名前\t%cs\n", text_cstr(icon));
  text_free(icon);
  text_puts(out, "オプション\t");
  static const struct {
    const char* key;
    const char* text;
  } options[] = {{"REGSM", "スタートメニューに登録　"},
                 {"REGDT", "デスクトップに登録　"},
                 {"REGBRD", "デスクトップにDO Rivedのアイコンを登録　"},
                 {"REGFIR", "デスクトップにRU Zirarのアイコンを登録　"},
                 {"REGEXE", "レジストリに登録　"},
                 {"SPEAK", "音声化　"}};
  for (const auto& o : options)
    if (setup_get(rec, id_pack(o.key))) text_puts(out, o.text);
  bool ok = text_puts(out, "\n") > 0 && !(out->flags & TX_OUT_OF_MEMORY);
  text_top(out);
  return ok;
}

bool setup_folder_valid(Text* rec, const SetupEnv* env, Text* message) {
  Text* folder = setup_folder(rec);
  // The folder's real identity: "..", "\\?\", 8.3 names and links cannot lead out of the
  // folder that passes the check.
  Text* real = folder_identity(folder);
  const char* pf = env && env->program_files ? env->program_files : "";
  Text* pf_real = folder_identity(pf);
  bool common = setup_get(rec, ID("COMMON")) != 0;
  bool ok = real && pf_real && path_inside(text_cstr(real), text_cstr(pf_real), true) == common;
  const char* why = nullptr;
  if (ok) {
    // The one judge of the installation and the uninstall, with this program-files folder.
    FolderGuard g = folder_guard_system();
    const char* system_pf = g.program_files;
    g.program_files = pf;
    why = folder_refusal(real, &g);
    g.program_files = system_pf;
    folder_guard_free(&g);
  }
  if (why && message)
    text_printf(message, "フォルダの指定が間違っています。\n%s\nは%s。\n", text_cstr(real), why);
  else if (!ok && message)
    text_printf(message,
                "フォルダの指定が間違っています。\n[標準]セットアップでは%s以下に、\n[ユーザ専用]"
                "では%s以外のフォルダを指定してください。\n",
                pf, pf);
  text_free(folder);
  text_free(real);
  text_free(pf_real);
  return ok && !why;
}

Text* help_section(Text* help, PackedId id) {
  if (!help || !id) return nullptr;
  if (id == ID("HLPSUP")) id = ID("SETUP");
  Text* mark = text_new();
  text_printf(mark, "＿∥.a.help.%id∥＿", id);
  const char* m = text_cstr(mark);
  size_t mn = std::strlen(m);
  const char* prefix_end = std::strstr(m, "help.");  // the marker's part before the id
  size_t pn = prefix_end ? (size_t)(prefix_end - m) + 5 : mn;
  int64_t n = 0;
  const char* s = text_cstr(help);
  n = text_length(help);
  Text* out = nullptr;
  for (int64_t at = 0; s && at < n;) {
    const char* line = s + at;
    const char* nl = (const char*)std::memchr(line, '\n', (size_t)(n - at));
    int64_t len = nl ? nl - line : n - at;
    int64_t body = len;
    if (body > 0 && line[body - 1] == '\r') --body;
    if (!out && (size_t)body == mn && path_compare(TextArg(m), TextArg(line), (int64_t)mn) == 0) {
      out = text_new();
    } else if (out) {
      if ((size_t)body >= pn && std::memcmp(line, m, pn) == 0) break;  // the next section
      text_insert(out, line, TI_RAW, nl ? len + 1 : len);
    }
    at += nl ? len + 1 : len;
  }
  text_free(mark);
  if (out) text_top(out);
  return out;
}

bool setup_installed_time(Text* rec, FileTime* out) {
  Text* exe = setup_folder_exe(rec);
  FileHandle h =
      text_length(exe) > 0 ? file_open_read(exe, FSYS_READ, FSYS_SHARE_READ, 0) : FILE_INVALID;
  text_free(exe);
  if (h == FILE_INVALID) return false;
  bool ok = file_get_time(h, out);
  file_close(h);
  return ok;
}

bool setup_installed_is_newer(FileTime package_editor, FileTime installed_editor) {
  const uint64_t second = 10000000;  // file-time ticks
  return installed_editor.ticks / second > package_editor.ticks / second;
}

bool setup_env_load(SetupEnv* env) {
  env->program_files = text_take_cstr(special_folder(ID("PFILES")));
  env->app_data = text_take_cstr(special_folder(ID("APDAT")));
  env->user_name = text_take_cstr(special_folder(ID("LOGIN")));
  env->settings_folder = text_take_cstr(special_folder(ID("USER")));
  return env->program_files && env->app_data;
}

void setup_env_free(SetupEnv* env) {
  std::free((void*)env->program_files);
  std::free((void*)env->app_data);
  std::free((void*)env->user_name);
  std::free((void*)env->settings_folder);
  *env = SetupEnv{};
}

// File associations: the ProgId rule, the previous-command lists, the HKCR values of an
// association, the HTML-editor registration and the logic of the association dialogs.

#include "setup/assoc.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/format.h"
#include "files/file.h"
#include "files/path.h"
#include "files/save.h"
#include "setup/install.h"
#include "setup/registry.h"
#include "setup/shell.h"
#include "ui/notify.h"

namespace {

char* g_editor;
char* g_lists;        // the lists' folder; null: the settings folder
int g_os_major = -1;  // -1: the system's

const char kHtmlList[] = "SOFTWARE\\Classes\\.htm\\OpenWithList";
const char kHtmlEntry[] = "SOFTWARE\\Classes\\.htm\\OpenWithList\\VA VUDOVA 9.0";

char* dup_n(const char* s, size_t n) {
  char* d = (char*)std::malloc(n + 1);
  if (!d) return nullptr;
  std::memcpy(d, s, n);
  d[n] = 0;
  return d;
}

void set_string(char** slot, const char* s) {
  std::free(*slot);
  *slot = s ? dup_n(s, std::strlen(s)) : nullptr;
}

const char* command_key(PackedId verb) {
  return verb == ID("EDIT") ? "\\shell\\edit\\command" : "\\shell\\open\\command";
}

PackedId other_verb(PackedId verb) {
  return verb == ID("EDIT") ? ID("OPEN") : ID("EDIT");
}

Text* quoted_editor() {
  TextOwner exe(assoc_editor());
  return exe.t ? format_text("\"%s\"", exe.t) : nullptr;
}

bool is_editor_command(const char* command) {
  TextOwner q(quoted_editor());
  if (!command || !q.t) return false;
  int64_t n = text_length(q.t);
  return (int64_t)std::strlen(command) >= n && path_compare(command, text_cstr(q.t), n) == 0;
}

Text* load_list(PackedId verb) {
  Text* t = text_new();
  TextOwner path(assoc_list_file(verb));
  if (t && path.t) text_load(t, path.t, TL_READ_ONLY_CONTENTS);
  return t;
}

// An origin field: "=PROGID" or "-".
bool is_origin(const char* p, size_t n) {
  return n >= 1 && (p[0] == '=' || (p[0] == '-' && n == 1));
}

// ext's line in a list: its command and origin (origin_n 0 when the line has none).
bool find_line(const char* s, const char* ext, const char** command, size_t* command_n,
               const char** origin, size_t* origin_n) {
  if (!s || !ext) return false;
  while (*s) {
    size_t line = std::strcspn(s, "\r\n");
    const char* tab = (const char*)std::memchr(s, '\t', line);
    if (tab && equal_nocase_ascii_n(s, (size_t)(tab - s), ext)) {
      const char* rest = tab + 1;
      size_t n = line - (size_t)(rest - s);
      // The origin is the last field; a command may hold a tab of its own.
      const char* last = nullptr;
      for (size_t k = 0; k < n; ++k)
        if (rest[k] == '\t') last = rest + k;
      *origin = nullptr;
      *origin_n = 0;
      if (last && is_origin(last + 1, n - (size_t)(last + 1 - rest))) {
        *origin = last + 1;
        *origin_n = n - (size_t)(last + 1 - rest);
        n = (size_t)(last - rest);
      }
      *command = rest;
      *command_n = n;
      return true;
    }
    s += line;
    while (*s == '\r' || *s == '\n') ++s;
  }
  return false;
}

// A default value written as it is (no placeholder), logged when the key cannot be made.
bool set_value(const char* key, const char* text) {
  if (reg_set_string(REG_CLASSES, key, nullptr, text ? text : "") == 0) return true;
  char line[1200];
  notify_log(buf_printf(line, sizeof line, "regCreateKey(%s) 失敗\n", key));
  return false;
}

// The key that holds the verb's command for ext (the ProgId's for an extension), written on the
// way: the extension's ProgId, and for ".txt" its description and flags (the icon only when on).
Text* verb_key(const char* ext, PackedId verb, bool on) {
  TextOwner key(text_new_from(ext));
  if (ext[0] == '.') {
    TextOwner prog(assoc_prog_id(ext));
    if (!prog.t || !registry_set_default(ext, text_cstr(prog.t))) return nullptr;
    if (equal_nocase_ascii(ext, ".txt")) {
      registry_set_default(text_cstr(prog.t), "テキスト ドキュメント");
      reg_set_dword(REG_CLASSES, text_cstr(prog.t), "EditFlags", 0x10000);
      if (on) {
        TextOwner icon(format_text("%s\\DefaultIcon", prog.t));
        registry_set_default(text_cstr(icon.t), "ZQ.EXE,5");
      }
    }
    text_free(key.t);
    key.t = text_new_from(text_cstr(prog.t));
  }
  text_bottom(key.t);
  text_puts(key.t, command_key(verb));
  Text* out = key.t;
  key.t = nullptr;
  return out;
}

// True when the extension's key names the editor's ProgId.
bool names_our_prog_id(const char* ext) {
  TextOwner ours(assoc_prog_id(ext));
  char* now = reg_get_string(REG_CLASSES, ext, nullptr);
  bool mine = now && ours.t && equal_nocase_ascii(now, text_cstr(ours.t));
  std::free(now);
  return mine;
}

// What ext is now, saved in both lists (switching the ProgId takes both verbs), unless it already
// names the editor's ProgId and a list knows what it was before.
bool remember(const char* ext) {
  bool exists = reg_key_exists(REG_CLASSES, ext);
  char* prog = exists ? reg_get_string(REG_CLASSES, ext, nullptr) : nullptr;
  bool ours = names_our_prog_id(ext);
  TextOwner origin(exists ? format_text("=%s", prog ? prog : "") : text_new_from("-"));
  if (g_lists && !file_is_folder(g_lists)) folder_create_all(g_lists);
  bool ok = origin.t != nullptr;
  for (PackedId verb : {ID("EDIT"), ID("OPEN")}) {
    TextOwner list(load_list(verb));
    char* known = ours ? assoc_saved_command(list.t, ext) : nullptr;
    if (known) {
      std::free(known);
      continue;
    }
    TextOwner key(prog && *prog ? format_text("%s%s", prog, command_key(verb)) : nullptr);
    char* command = key.t ? reg_get_string(REG_CLASSES, text_cstr(key.t), nullptr) : nullptr;
    TextOwner path(assoc_list_file(verb));
    bool saved = ok &&
                 assoc_save_command(list.t, ext, command ? command : "", text_cstr(origin.t)) &&
                 text_save_to(list.t, path.t);
    if (!saved && path.t) install_log_failure(text_cstr(path.t), os_last_error(), nullptr);
    ok = saved && ok;
    std::free(command);
  }
  std::free(prog);
  return ok;
}

// The saved command back into the editor's ProgId (the editor's own, or none saved, becomes an
// empty command); once neither verb is the editor's, the extension names what it named before.
// An extension that no longer names the editor's ProgId is the user's choice and stays. *mine:
// the verb was the editor's.
bool restore(const char* ext, PackedId verb, bool* mine) {
  if (!names_our_prog_id(ext)) return true;
  if (mine) *mine = assoc_query(ext, verb, false);
  TextOwner key(verb_key(ext, verb, false));
  if (!key.t) return false;
  TextOwner list(load_list(verb));
  char* saved = assoc_saved_command(list.t, ext);
  bool ok = registry_set_default(text_cstr(key.t), saved && !is_editor_command(saved) ? saved : "");
  std::free(saved);
  if (!ok || assoc_query(ext, other_verb(verb), false)) return ok;
  char* origin = assoc_saved_origin(list.t, ext);
  if (!origin) {
    TextOwner other(load_list(other_verb(verb)));
    origin = assoc_saved_origin(other.t, ext);
  }
  if (origin && origin[0] == '=') {
    ok = set_value(ext, origin + 1);
  } else if (origin && origin[0] == '-') {
    // A key that has gained subkeys since stays, naming nothing.
    if (reg_delete_key(REG_CLASSES, ext) != 0) ok = set_value(ext, "");
  }
  std::free(origin);
  return ok;
}

}  // namespace

void assoc_set_editor(const char* exe) {
  set_string(&g_editor, exe);
}

Text* assoc_editor() {
  if (g_editor) return text_new_from(g_editor);
  Text* t = program_path();
  if (t) path_join(t, SETUP_EDITOR_EXE);
  return t;
}

void assoc_set_list_folder(const char* folder) {
  set_string(&g_lists, folder);
}

Text* assoc_installation_settings(Text* rec) {
  TextOwner folder(setup_folder(rec));
  if (!folder.t || text_length(folder.t) == 0) return nullptr;
  TextOwner pf(special_folder(ID("PFILES")));
  // Installed inside the program-files folder, the programs keep their settings per user.
  if (!pf.t || !path_inside(text_cstr(folder.t), text_cstr(pf.t), false))
    return text_new_from(text_cstr(folder.t));
  TextOwner data(special_folder(ID("APDAT")));
  return data.t ? path_child(data.t, SETUP_USER_DATA) : nullptr;
}

void assoc_use_installation(Text* rec) {
  TextOwner exe(rec ? setup_folder_exe(rec) : nullptr);
  TextOwner lists(rec ? assoc_installation_settings(rec) : nullptr);
  assoc_set_editor(exe.t ? text_cstr(exe.t) : nullptr);
  assoc_set_list_folder(lists.t ? text_cstr(lists.t) : nullptr);
}

void assoc_set_os_version(int major) {
  g_os_major = major;
}

Text* assoc_prog_id(const char* ext) {
  if (!ext) return nullptr;
  int major = g_os_major >= 0 ? g_os_major : os_major_version();
  return format_text("%s%sfile", major == 0 || major > 5 ? "text_" : "zq_",
                     ext[0] == '.' ? ext + 1 : ext);
}

// ---- previous-command lists ----

Text* assoc_list_file(PackedId verb) {
  const char* name = verb == ID("EDIT") ? "rgedit.lst" : "rgopen.lst";
  return g_lists ? path_child(g_lists, name) : format_text("zqcfg://%s", name);
}

char* assoc_saved_command(TextArg list, const char* ext) {
  const char *command, *origin;
  size_t n, on;
  return find_line(text_arg_cstr(list), ext, &command, &n, &origin, &on) ? dup_n(command, n)
                                                                         : nullptr;
}

char* assoc_saved_origin(TextArg list, const char* ext) {
  const char *command, *origin;
  size_t n, on;
  if (!find_line(text_arg_cstr(list), ext, &command, &n, &origin, &on) || !origin) return nullptr;
  return dup_n(origin, on);
}

bool assoc_save_command(Text* list, const char* ext, const char* command, const char* origin) {
  if (!list || !ext || !*ext || !command) return false;
  // A line break would split the line and lose the command; a tab in the extension or the
  // origin, or a command with a tab and no origin after it, would be read back wrongly.
  if (std::strpbrk(ext, "\t\r\n") || std::strpbrk(command, "\r\n")) return false;
  if (origin ? std::strpbrk(origin, "\t\r\n") || !is_origin(origin, std::strlen(origin))
             : std::strchr(command, '\t') != nullptr)
    return false;
  TextOwner line(origin ? format_text("%s\t%s\t%s\r\n", ext, command, origin)
                        : format_text("%s\t%s\r\n", ext, command));
  TextOwner out(text_new());
  if (!out.t || !line.t) return false;
  bool found = false;
  const char* s = text_cstr(list);
  while (*s) {
    size_t n = std::strcspn(s, "\r\n");
    const char* tab = (const char*)std::memchr(s, '\t', n);
    if (n) {
      if (!found && tab && equal_nocase_ascii_n(s, (size_t)(tab - s), ext)) {
        text_put_text(out.t, text_cstr(line.t));
        found = true;
      } else {
        text_write(out.t, s, (int64_t)n);
        text_puts(out.t, "\r\n");
      }
    }
    s += n;
    while (*s == '\r' || *s == '\n') ++s;
  }
  if (!found) text_put_text(out.t, text_cstr(line.t));
  if (out.t->flags & TX_OUT_OF_MEMORY) return false;
  text_clear(list);
  return text_insert(list, out.t, TI_WHOLE, -1) == text_length(out.t);
}

// ---- the registry ----

bool registry_set_default(const char* key, const char* text) {
  if (!text || std::strncmp(text, "ZQ.EXE", 6) != 0) return set_value(key, text);
  TextOwner q(quoted_editor());
  TextOwner value(q.t ? format_text("%s%s", q.t, text + 6) : nullptr);
  if (value.t) return set_value(key, text_cstr(value.t));
  char line[1200];
  notify_log(buf_printf(line, sizeof line, "regCreateKey(%s) 失敗\n", key));
  return false;
}

bool assoc_query(const char* ext, PackedId verb, bool remember_now) {
  if (!ext || ext[0] != '.') return false;
  // An extension new to the system is remembered too (with no key), so that removing the
  // editor's associations later still finds it and takes its key away again.
  if (remember_now) remember(ext);
  char* prog = reg_get_string(REG_CLASSES, ext, nullptr);
  TextOwner key(prog && *prog ? format_text("%s%s", prog, command_key(verb)) : nullptr);
  std::free(prog);
  char* command = key.t ? reg_get_string(REG_CLASSES, text_cstr(key.t), nullptr) : nullptr;
  bool mine = is_editor_command(command);
  std::free(command);
  return mine;
}

bool assoc_set(const char* ext, PackedId verb, bool on) {
  if (!ext || !*ext) return false;
  if (!on && ext[0] == '.') return restore(ext, verb, nullptr);
  // What the extension was must be safe in the lists before anything of it changes.
  if (on && ext[0] == '.' && !remember(ext)) return false;
  TextOwner key(verb_key(ext, verb, on));
  if (!key.t) return false;
  if (on) return registry_set_default(text_cstr(key.t), "ZQ.EXE \"%1\"");
  TextOwner list(load_list(verb));
  char* saved = assoc_saved_command(list.t, ext);
  bool ok = registry_set_default(text_cstr(key.t), saved && !is_editor_command(saved) ? saved : "");
  std::free(saved);
  return ok;
}

int assoc_remove_all(PackedId verb) {
  TextOwner list(load_list(verb));
  const char* s = text_cstr(list.t);
  int count = 0;
  while (s && *s) {
    size_t line = std::strcspn(s, "\r\n");
    const char* tab = (const char*)std::memchr(s, '\t', line);
    if (tab && tab > s && s[0] == '.') {
      char* ext = dup_n(s, (size_t)(tab - s));
      bool mine = false;
      if (ext && restore(ext, verb, &mine) && mine) ++count;
      std::free(ext);
    }
    s += line;
    while (*s == '\r' || *s == '\n') ++s;
  }
  return count;
}

void assoc_uninstall(Text* rec) {
  assoc_use_installation(rec);
  assoc_remove_all(ID("EDIT"));
  assoc_remove_all(ID("OPEN"));
  assoc_use_installation(nullptr);
}

namespace {

bool list_one(void* context, const char* name) {
  if (name[0] == '.' && assoc_query(name, ID("EDIT"), false))
    text_printf((Text*)context, "%s\n", name);
  return true;
}

}  // namespace

Text* assoc_list() {
  Text* t = text_new();
  if (t) reg_each_subkey(REG_CLASSES, "", list_one, t);
  return t;
}

bool html_editor(int mode) {
  if (!reg_key_exists(REG_MACHINE, kHtmlList)) return false;
  TextOwner command(format_text("%s\\shell\\edit\\command", kHtmlEntry));
  if (mode == 2) return reg_key_exists(REG_MACHINE, text_cstr(command.t));
  if (mode == 0) {
    // From the deepest key up; a key that cannot go keeps its parents.
    TextOwner key(text_new_from(text_cstr(command.t)));
    for (int k = 0; k < 4; ++k) {
      if (reg_delete_key(REG_MACHINE, text_cstr(key.t))) return false;
      path_join(key.t, nullptr);
      path_strip_separator(key.t, 0);
    }
    return true;
  }
  TextOwner exe(program_path());
  path_join(exe.t, SETUP_EDITOR_EXE);
  TextOwner value(format_text("\"%s\" \"%%1\"", exe.t));
  if (reg_set_string(REG_MACHINE, text_cstr(command.t), nullptr, text_cstr(value.t)) == 0) {
    notify_log("HTMLエディタの一覧に登録しました。\n");
    return true;
  }
  setup_ask(
      "関連付けを変更できませんでした。\nZQを管理者で起動しなおして、再度設定を変更してください。"
      "\n",
      SETUP_ASK_OK, NOTIFY_YES);
  return false;
}

// ---- the dialogs' logic ----

bool assoc_refused(const char* ext) {
  if (!ext) return false;
  const char* e = ext[0] == '.' ? ext + 1 : ext;
  return equal_nocase_ascii(e, "bat") || equal_nocase_ascii(e, "vbs") ||
         equal_nocase_ascii(e, "js");
}

Text* assoc_extension(const char* text) {
  if (!text || !*text || (text[0] == '.' && !text[1])) return nullptr;
  return text[0] == '.' ? text_new_from(text) : format_text(".%s", text);
}

bool assoc_add(const char* text) {
  TextOwner ext(assoc_extension(text));
  if (!ext.t) return false;
  const char* e = text_cstr(ext.t);
  bool ok = assoc_set(e, ID("EDIT"), true);
  if (!equal_nocase_ascii(e, ".bat")) ok = assoc_set(e, ID("OPEN"), true) && ok;
  return ok;
}

void assoc_remove(const char* ext) {
  assoc_set(ext, ID("EDIT"), false);
  assoc_set(ext, ID("OPEN"), false);
}

void assoc_apply(const char* ext, bool open_before, bool open_now, bool edit_before,
                 bool edit_now) {
  if (!ext || assoc_refused(ext)) return;
  if (open_before != open_now) assoc_set(ext, ID("OPEN"), open_now);
  if (edit_before != edit_now) assoc_set(ext, ID("EDIT"), edit_now);
}

int assoc_html_choice() {
  return html_editor(2) ? 2 : 0;
}

void assoc_html_apply(int choice) {
  html_editor(choice != 0 ? 1 : 0);
}

Text* assoc_extension_of(PackedId ext) {
  char id[8];
  if (!ext || !*id_unpack(ext, id)) return nullptr;
  return format_text(".%s", lower_ascii(id));
}

bool assoc_query_id(PackedId ext) {
  TextOwner e(assoc_extension_of(ext));
  return e.t && assoc_query(text_cstr(e.t), ID("EDIT"), false);
}

void assoc_set_id(PackedId ext, bool on) {
  TextOwner e(assoc_extension_of(ext));
  if (!e.t) return;
  assoc_set(text_cstr(e.t), ID("EDIT"), on);
  assoc_set(text_cstr(e.t), ID("OPEN"), on);
}

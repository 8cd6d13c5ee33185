// File associations: the ProgId rule, the previous-command lists, the HKCR values of an
// association, the HTML-editor registration and the logic of the association dialogs.

#include "setup/assoc.h"

#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "files/file.h"
#include "files/path.h"
#include "files/save.h"
#include "setup/engine_util.h"
#include "setup/install.h"
#include "setup/registry.h"
#include "setup/shell.h"
#include "ui/notify.h"

namespace {

char* g_editor;

const char kHtmlList[] = "SOFTWARE\\Classes\\.htm\\OpenWithList";
const char kHtmlEntry[] = "SOFTWARE\\Classes\\.htm\\OpenWithList\\VA VUDOVA 9.0";

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? (char)(c + 32) : c;
}

// ASCII case-insensitive equality of the first n bytes of a with the whole of b.
bool ieq_n(const char* a, size_t n, const char* b) {
  size_t m = std::strlen(b);
  if (n != m) return false;
  for (size_t k = 0; k < n; ++k)
    if (lower(a[k]) != lower(b[k])) return false;
  return true;
}

bool ieq(const char* a, const char* b) {
  return ieq_n(a, std::strlen(a), b);
}

char* dup_n(const char* s, size_t n) {
  char* d = (char*)std::malloc(n + 1);
  if (!d) return nullptr;
  std::memcpy(d, s, n);
  d[n] = 0;
  return d;
}

const char* command_key(PackedId verb) {
  return verb == ID("EDIT") ? "\\shell\\edit\\command" : "\\shell\\open\\command";
}

Text* quoted_editor() {
  Owned exe(assoc_editor());
  return exe.t ? format_text("\"%s\"", exe.t) : nullptr;
}

bool is_editor_command(const char* command) {
  Owned q(quoted_editor());
  if (!command || !q.t) return false;
  int64_t n = text_length(q.t);
  return (int64_t)std::strlen(command) >= n && path_compare(command, text_cstr(q.t), n) == 0;
}

Text* load_list(PackedId verb) {
  Text* t = text_new();
  if (t) text_load(t, assoc_list_file(verb), TL_READ_ONLY_CONTENTS);
  return t;
}

// The key that holds the verb's command for ext (the ProgId's for an extension), written on the
// way: the extension's ProgId, and for ".txt" its description and flags (the icon only when on).
Text* verb_key(const char* ext, PackedId verb, bool on) {
  Owned key(text_of(ext));
  if (ext[0] == '.') {
    Owned prog(assoc_prog_id(ext));
    if (!prog.t || !registry_set_default(ext, text_cstr(prog.t))) return nullptr;
    if (ieq(ext, ".txt")) {
      registry_set_default(text_cstr(prog.t), "テキスト ドキュメント");
      reg_set_dword(REG_CLASSES, text_cstr(prog.t), "EditFlags", 0x10000);
      if (on) {
        Owned icon(format_text("%s\\DefaultIcon", prog.t));
        registry_set_default(text_cstr(icon.t), "ZQ.EXE,5");
      }
    }
    text_free(key.t);
    key.t = text_of(text_cstr(prog.t));
  }
  text_bottom(key.t);
  text_puts(key.t, command_key(verb));
  Text* out = key.t;
  key.t = nullptr;
  return out;
}

// The saved command back; the editor's own, or none saved, becomes an empty command.
bool restore(const char* ext, PackedId verb, Text* key) {
  Owned list(load_list(verb));
  char* saved = assoc_saved_command(list.t, ext);
  bool ok = registry_set_default(text_cstr(key), saved && !is_editor_command(saved) ? saved : "");
  std::free(saved);
  return ok;
}

}  // namespace

void assoc_set_editor(const char* exe) {
  std::free(g_editor);
  g_editor = nullptr;
  if (exe) g_editor = dup_n(exe, std::strlen(exe));
}

Text* assoc_editor() {
  if (g_editor) return text_of(g_editor);
  Text* t = program_path();
  if (t) path_join(t, SETUP_EDITOR_EXE);
  return t;
}

Text* assoc_prog_id(const char* ext) {
  if (!ext) return nullptr;
  int major = os_major_version();
  return format_text("%s%sfile", major == 0 || major > 5 ? "text_" : "zq_",
                     ext[0] == '.' ? ext + 1 : ext);
}

// ---- previous-command lists ----

const char* assoc_list_file(PackedId verb) {
  return verb == ID("EDIT") ? "zqcfg://rgedit.lst" : "zqcfg://rgopen.lst";
}

char* assoc_saved_command(TextArg list, const char* ext) {
  const char* s = str_of(list);
  if (!s || !ext) return nullptr;
  while (*s) {
    size_t line = std::strcspn(s, "\r\n");
    const char* tab = (const char*)std::memchr(s, '\t', line);
    if (tab && ieq_n(s, (size_t)(tab - s), ext))
      return dup_n(tab + 1, line - (size_t)(tab - s) - 1);
    s += line;
    while (*s == '\r' || *s == '\n') ++s;
  }
  return nullptr;
}

bool assoc_save_command(Text* list, const char* ext, const char* command) {
  if (!list || !ext || !*ext || !command) return false;
  // A line break would split the line and lose the command.
  if (std::strpbrk(ext, "\t\r\n") || std::strpbrk(command, "\r\n")) return false;
  Owned out(text_new());
  if (!out.t) return false;
  bool found = false;
  const char* s = text_cstr(list);
  while (*s) {
    size_t line = std::strcspn(s, "\r\n");
    const char* tab = (const char*)std::memchr(s, '\t', line);
    if (line) {
      if (!found && tab && ieq_n(s, (size_t)(tab - s), ext)) {
        text_printf(out.t, "%s\t%s\r\n", ext, command);
        found = true;
      } else {
        text_write(out.t, s, (int64_t)line);
        text_puts(out.t, "\r\n");
      }
    }
    s += line;
    while (*s == '\r' || *s == '\n') ++s;
  }
  if (!found) text_printf(out.t, "%s\t%s\r\n", ext, command);
  if (out.t->flags & TX_OUT_OF_MEMORY) return false;
  text_clear(list);
  return text_insert(list, out.t, TI_WHOLE, -1) == text_length(out.t);
}

// ---- the registry ----

bool registry_set_default(const char* key, const char* text) {
  Owned value(nullptr);
  if (text && std::strncmp(text, "ZQ.EXE", 6) == 0) {
    Owned q(quoted_editor());
    value.t = format_text("%s%s", q.t, text + 6);
  } else {
    value.t = text_of(text);
  }
  uint32_t e = value.t ? reg_set_string(REG_CLASSES, key, nullptr, text_cstr(value.t)) : 1;
  if (e) {
    char line[1200];
    notify_log(buf_printf(line, sizeof line, "regCreateKey(%s) 失敗\n", key));
    return false;
  }
  return true;
}

bool assoc_query(const char* ext, PackedId verb, bool remember) {
  if (!ext || ext[0] != '.') return false;
  char* prog = reg_get_string(REG_CLASSES, ext, nullptr);
  Owned key(prog && *prog ? format_text("%s%s", prog, command_key(verb)) : nullptr);
  std::free(prog);
  char* command = key.t ? reg_get_string(REG_CLASSES, text_cstr(key.t), nullptr) : nullptr;
  // An extension new to the system is remembered too (with no command), so that removing the
  // editor's associations later still finds it.
  if (remember) {
    Owned list(load_list(verb));
    if (assoc_save_command(list.t, ext, command ? command : ""))
      text_save_to(list.t, assoc_list_file(verb));
  }
  bool mine = is_editor_command(command);
  std::free(command);
  return mine;
}

bool assoc_set(const char* ext, PackedId verb, bool on) {
  if (!ext || !*ext) return false;
  if (on) assoc_query(ext, verb, true);
  Owned key(verb_key(ext, verb, on));
  if (!key.t) return false;
  return on ? registry_set_default(text_cstr(key.t), "ZQ.EXE \"%1\"") : restore(ext, verb, key.t);
}

int assoc_remove_all(PackedId verb) {
  Owned list(load_list(verb));
  const char* s = text_cstr(list.t);
  int count = 0;
  while (s && *s) {
    size_t line = std::strcspn(s, "\r\n");
    const char* tab = (const char*)std::memchr(s, '\t', line);
    if (tab && tab > s) {
      char* ext = dup_n(s, (size_t)(tab - s));
      Owned key(ext ? verb_key(ext, verb, false) : nullptr);
      if (key.t && restore(ext, verb, key.t)) ++count;
      std::free(ext);
    }
    s += line;
    while (*s == '\r' || *s == '\n') ++s;
  }
  return count;
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
  Owned command(format_text("%s\\shell\\edit\\command", kHtmlEntry));
  if (mode == 2) return reg_key_exists(REG_MACHINE, text_cstr(command.t));
  if (mode == 0) {
    // From the deepest key up; a key that cannot go keeps its parents.
    Owned key(text_of(text_cstr(command.t)));
    for (int k = 0; k < 4; ++k) {
      if (reg_delete_key(REG_MACHINE, text_cstr(key.t))) return false;
      path_join(key.t, nullptr);
      path_strip_separator(key.t, 0);
    }
    return true;
  }
  Owned exe(program_path());
  path_join(exe.t, SETUP_EDITOR_EXE);
  Owned value(format_text("\"%s\" \"%%1\"", exe.t));
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
  return ieq(e, "bat") || ieq(e, "vbs") || ieq(e, "js");
}

Text* assoc_extension(const char* text) {
  if (!text || !*text || (text[0] == '.' && !text[1])) return nullptr;
  return text[0] == '.' ? text_of(text) : format_text(".%s", text);
}

bool assoc_add(const char* text) {
  Owned ext(assoc_extension(text));
  if (!ext.t) return false;
  const char* e = text_cstr(ext.t);
  bool ok = assoc_set(e, ID("EDIT"), true);
  if (!ieq(e, ".bat")) ok = assoc_set(e, ID("OPEN"), true) && ok;
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
  Owned e(assoc_extension_of(ext));
  return e.t && assoc_query(text_cstr(e.t), ID("EDIT"), false);
}

void assoc_set_id(PackedId ext, bool on) {
  Owned e(assoc_extension_of(ext));
  if (!e.t) return;
  assoc_set(text_cstr(e.t), ID("EDIT"), on);
  assoc_set(text_cstr(e.t), ID("OPEN"), on);
}

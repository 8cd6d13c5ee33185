// The uninstall: deletion requests, the product and settings lists, the safety check and the run.

#include "setup/uninstall.h"

#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "core/header.h"
#include "files/file.h"
#include "files/fsys.h"
#include "files/path.h"
#include "setup/assoc.h"
#include "setup/install.h"
#include "setup/pak.h"
#include "setup/registry.h"
#include "setup/shell.h"
#include "setup/switches.h"
#include "setup/wizard.h"
#include "ui/notify.h"

namespace {

bool ends_with(const char* s, const char* tail) {
  size_t n = std::strlen(s), m = std::strlen(tail);
  return n >= m && std::strcmp(s + n - m, tail) == 0;
}

// A sample the user has not changed still carries the installation's time (within the two
// seconds that some file systems round to).
bool untouched_sample(const FileFindData& fd) {
  uint64_t sample = pak_sample_time().ticks, t = fd.written.ticks;
  uint64_t d = t > sample ? t - sample : sample - t;
  return d <= 2 * FILETIME_TICKS_PER_SECOND;
}

void log_line(const char* format, const char* path) {
  char line[1200];
  notify_log(buf_printf(line, sizeof line, format, path));
}

struct Entry {
  const char* pattern;
  int flags;
};

int delete_list(TextArg folder, const Entry* list, int count, const DeleteProof* proof) {
  int n = 0;
  for (int k = 0; k < count; ++k)
    n += delete_matching(folder, list[k].pattern, list[k].flags, proof);
  return n;
}

// Whether the file found may go. Links go only when the manifest names them; without a proof
// every other file may.
bool proved(const DeleteProof* proof, Text* path, const FileFindData& fd) {
  bool link = (fd.attributes & FSYS_ATTR_REPARSE_POINT) != 0;
  // A link to a folder stays: removing it as a folder can reach the folder it points to.
  if (link && (fd.attributes & FSYS_ATTR_DIRECTORY)) return false;
  if (link) return proof && manifest_names(proof->manifest, path, &fd);
  if (!proof || proof->product_folder || install_is_temporary(fd.name)) return true;
  return manifest_proves(proof->manifest, path, &fd);
}

// Whether a folder of the pattern may be removed once emptied.
bool folder_removable(const DeleteProof* proof, Text* dir) {
  return !proof || proof->product_folder || manifest_made_folder(proof->manifest, dir);
}

}  // namespace

int delete_matching(TextArg folder, const char* pattern, int flags, const DeleteProof* proof) {
  TextOwner full(path_child(folder, pattern));
  TextOwner dir(text_new_from(text_arg_cstr(full.t)));
  if (!full.t || !dir.t || !path_join(dir.t, nullptr)) return 0;
  path_strip_separator(dir.t, 2);
  // A folder of the pattern that is a link leads elsewhere: nothing there is searched.
  if (file_is_link(folder) || path_has_link(dir.t, folder)) {
    if (file_is_folder(dir.t)) log_line("keep: %s\n", text_cstr(dir.t));
    return 0;
  }
  TextOwner self(program_path());
  int deleted = 0;
  FileFindData fd;
  FindHandle f = file_find_first(full.t, &fd);
  if (f != FIND_INVALID) {
    do {
      bool link = (fd.attributes & FSYS_ATTR_REPARSE_POINT) != 0;
      if ((fd.attributes & FSYS_ATTR_DIRECTORY) && !link) continue;
      if (std::strcmp(fd.name, ".") == 0 || std::strcmp(fd.name, "..") == 0) continue;
      TextOwner path(path_child(dir.t, fd.name));
      if (!path.t) continue;
      if (!proved(proof, path.t, fd)) {
        log_line("keep: %s\n", text_cstr(path.t));
        continue;
      }
      if (flags == DELETE_SAMPLES && !path_has_extension(path.t, ".txp") &&
          !install_is_temporary(fd.name) && !untouched_sample(fd))
        continue;  // changed by the user: kept
      // The running program cannot delete itself: it stays, and its folder with it.
      if (self.t && path_same(text_cstr(path.t), text_cstr(self.t))) {
        log_line("fail: %s\n", text_cstr(path.t));
        continue;
      }
      if (file_delete(path.t)) {
        log_line("del: %s\n", text_cstr(path.t));
        ++deleted;
      } else {
        install_log_failure(text_cstr(path.t), os_last_error(), nullptr);
      }
    } while (file_find_next(f, &fd));
    file_find_close(f);
  }
  if (flags == DELETE_TREE) {
    TextOwner all(path_child(dir.t, "*"));
    f = file_find_first(all.t, &fd);
    if (f != FIND_INVALID) {
      do {
        if (!(fd.attributes & FSYS_ATTR_DIRECTORY) || (fd.attributes & FSYS_ATTR_REPARSE_POINT) ||
            std::strcmp(fd.name, ".") == 0 || std::strcmp(fd.name, "..") == 0)
          continue;
        TextOwner sub(path_child(dir.t, fd.name));
        deleted += delete_matching(sub.t, "*.*", DELETE_FILES, proof);
      } while (file_find_next(f, &fd));
      file_find_close(f);
    }
  }
  if (ends_with(pattern, "*.*") && folder_removable(proof, dir.t)) {
    folder_remove(dir.t);  // stays when something is left in it
    log_line("rmdir: %s\n", text_cstr(dir.t));
  }
  return deleted;
}

int delete_product_files(TextArg folder, const DeleteProof* proof) {
  static const Entry list[] = {
      {"*.btn", 0},
      {"*.c", 0},
      {"*.h", 0},
      {"*.exe", 0},
      {"*.mnu", 0},
      {"*.ph", 0},
      {"*.jpg", 0},
      {"spell.dic", 0},
      {"readme.txt", 0},
      {"contract.txt", 0},
      {"readme.txz", 0},
      {"zq6.txz", 0},
      {"qmac.txz", 0},
      {"filer.txz", 0},
      {"editor.txz", 0},
      {"mailer.txz", 0},
      {"zq8.txt", 0},
      {"zq8.txt.pdf", 0},
      {"qmac8.txt", 0},
      {"qmac8.txt.pdf", 0},
      {"tfiler.txt.pdf", 0},
      {"dic*.ime", 0},
      {"*.idx", 0},
      {"zq7.txt", 0},
      {"filer7.txt", 0},
      {"qmac7.txt", 0},
      {"sample.*", 0},
      {"roma.tsv", 0},
      {"webto.txt", 0},
      {"zq9.txt", 0},
      {"cmd9.txt", 0},
      {"uninst.bat", 0},
      {"zodo.dll", 0},
      // The library the package installs; the old name alone would leave it behind.
      {"ZOdo64.dll", 0},
      {"sample\\*.*", DELETE_SAMPLES},
      {"*.zq~*", 0}};
  return delete_list(folder, list, (int)(sizeof list / sizeof list[0]), proof);
}

int settings_clear(TextArg folder, const DeleteProof* proof) {
  static const Entry list[] = {{"*.hst", 0},
                               {"*.cfg", 0},
                               {"*.sys", 0},
                               {"*.key", 0},
                               {"*.lst", 0},
                               {"*.log", 0},
                               {"resume.tpj", 0},
                               {"qmac\\system\\*.*", 0},
                               {"autosave.mbx\\*.*", 0},
                               {"gene.mbx\\*.*", 0},
                               {"qmac\\sample\\*.*", DELETE_SAMPLES},
                               {"qmac\\*.*", 0},
                               {"cmd.txt", 0},
                               {"cmd9.txt", 0},
                               {"zq9.txt", 0},
                               {"texts\\*.*", DELETE_TREE},
                               {"winapi.txt", 0},
                               {"zqime.idx", 0},
                               {"zqime.dic", 0},
                               {"config.txt", 0}};
  return delete_list(folder, list, (int)(sizeof list / sizeof list[0]), proof);
}

// ---- the safety check ----

UninstallGuard uninstall_guard_system() {
  return folder_guard_system();
}

void uninstall_guard_free(UninstallGuard* g) {
  folder_guard_free(g);
}

const char* uninstall_refusal(TextArg folder, const UninstallGuard* g) {
  if (const char* why = folder_refusal(folder, g)) return why;
  TextOwner settings(path_child(folder, SETUP_USER_SETTINGS));
  TextOwner setup(path_child(folder, "zqsetup.exe"));
  if (!file_is_file(settings.t) || !file_is_file(setup.t))
    return "ZQのインストール先ではありません（idsystem.sysとzqsetup.exeがありません）";
  return nullptr;
}

// ---- the run ----

namespace {

struct UserClear {
  const char* profiles;  // the folder of the users' profiles
};

// One user's settings folder of the product: cleared only when no folder on its path from the
// profile down is a link (a user could point it at any folder of the machine).
void clear_user_folder(void* context, const char* path) {
  UserClear* u = (UserClear*)context;
  if (user_path_has_link(path, u->profiles)) {
    log_line("skip (link): %s\n", path);
    return;
  }
  if (!file_is_folder(path)) return;
  DeleteProof proof = {nullptr, true};
  settings_clear(path, &proof);
  TextOwner manifest(path_child(path, MANIFEST_NAME));
  FileFindData fd;
  if (file_find_data(manifest.t, &fd) && !(fd.attributes & FSYS_ATTR_REPARSE_POINT) &&
      file_delete(manifest.t))
    log_line("del: %s\n", text_cstr(manifest.t));
  folder_remove(path);  // the product made it; it goes when empty
}

// The editor's application registration (REGEXE) would outlive its program: it goes when it
// names the editor of this folder, and stays when another installation owns it.
void editor_registration_remove(Text* folder) {
  TextOwner exe(path_child(folder, SETUP_EDITOR_EXE));
  const char* app = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zqeditor.exe";
  char* path = reg_get_string(REG_MACHINE, app, nullptr);
  if (path && path_same(path, text_cstr(exe.t))) reg_delete_key(REG_MACHINE, app);
  std::free(path);
  const char* key = "Applications\\zqeditor.exe";
  path = reg_get_string(REG_CLASSES, key, nullptr);
  if (path && path_same(path, text_cstr(exe.t))) {
    const char* keys[] = {"Applications\\zqeditor.exe\\shell\\open\\command",
                          "Applications\\zqeditor.exe\\shell\\open",
                          "Applications\\zqeditor.exe\\shell", key};
    for (const char* k : keys)
      if (reg_delete_key(REG_CLASSES, k)) break;
  }
  std::free(path);
}

}  // namespace

bool uninstall_run(Text* rec, int* exit_code) {
  if (exit_code) *exit_code = SETUP_EXIT_REFUSED;
  TextOwner folder(special_folder(ID("ZQ")));
  if (!folder.t) return false;
  UninstallGuard guard = uninstall_guard_system();
  const char* why = uninstall_refusal(folder.t, &guard);
  TextOwner real(folder_identity(folder.t));
  TextOwner running(why ? nullptr : program_running_in(text_cstr(real.t ? real.t : folder.t)));
  if (why || running.t) {
    char message[1600];
    if (running.t) {
      buf_printf(message, sizeof message,
                 "%sが実行中です。\n    %s\n\n終了してからアンインストールしてください。"
                 "ファイルの削除も登録の解除もおこなっていません。\n",
                 SETUP_PRODUCT, running.t);
      if (exit_code) *exit_code = SETUP_EXIT_RUNNING;
    } else {
      buf_printf(message, sizeof message,
                 "%sフォルダ\n    %s\nは%s。\n\nこのフォルダではアンインストールを実行できません。"
                 "ファイルの削除も登録の解除もおこなっていません。\n",
                 "ZQ", folder.t, why);
    }
    setup_ask(rec, message, SETUP_ASK_OK, NOTIFY_YES);  // a silent run logs it
    uninstall_guard_free(&guard);
    return false;
  }
  // What the installation made here; an installation older than its manifest is taken as the
  // package's entries at their destinations.
  Manifest made;
  if (!manifest_load(&made, folder.t)) {
    log_line("manifest: %s\n", "none, the package's names are used");
    manifest_from_package(&made, pak_open());
  }
  DeleteProof proof = {&made, false};
  // The shortcuts' name as the installation made it: from the installed settings, else the default.
  setup_set_text(rec, ID("EXE"), text_cstr(folder.t));
  SetupEnv env{};
  setup_env_load(&env);
  setup_defaults(rec, &env);
  setup_env_free(&env);
  assoc_uninstall(rec);
  shortcuts(rec, nullptr, true);
  uninstall_entry(rec, nullptr, nullptr, true);
  editor_registration_remove(folder.t);
  html_editor(0);
  delete_product_files(folder.t, &proof);
  settings_clear(folder.t, &proof);
  if (path_inside(text_cstr(real.t ? real.t : folder.t), guard.program_files, false)) {
    // A standard installation: every user's settings folder.
    TextOwner current(special_folder(ID("APDAT")));
    path_add_separator(current.t);
    path_join(current.t, SETUP_USER_DATA);
    TextOwner profile(user_profile_folder());
    UserClear u = {guard.profiles};
    if (current.t && profile.t && guard.profiles)
      each_user_path(current.t, profile.t, clear_user_folder, &u);
  }
  // The manifest goes last, with nothing left that it could prove.
  TextOwner list(path_child(folder.t, MANIFEST_NAME));
  FileFindData fd;
  if (file_find_data(list.t, &fd) && !(fd.attributes & FSYS_ATTR_REPARSE_POINT) &&
      file_delete(list.t))
    log_line("del: %s\n", text_cstr(list.t));
  manifest_free(&made);
  uninstall_guard_free(&guard);
  if (exit_code) *exit_code = SETUP_EXIT_OK;
  return true;
}

bool setup_uninstall(Text* rec, int* exit_code) {
  if (exit_code) *exit_code = SETUP_EXIT_REFUSED;
  TextOwner folder(special_folder(ID("ZQ")));
  if (!folder.t) return false;
  TextOwner path(path_child(folder.t, SETUP_USER_SETTINGS));
  TextOwner settings(text_new());
  if (text_load(settings.t, path.t, TL_READ_ONLY_CONTENTS))
    header_copy(rec, ID("COMMON"), settings.t, HK_ID);
  char message[1600];
  buf_printf(
      message, sizeof message,
      "%sフォルダ\n    %s\n%sをアンインストールしますか？\n\nアンインストールの前に、起動中の%s"
      "をすべて終了してください。\n",
      "ZQ", folder.t, SETUP_PRODUCT, SETUP_PRODUCT);
  // A silent run (the quiet uninstall command) answers yes.
  if (setup_ask(rec, message, SETUP_ASK_YES_NO, NOTIFY_YES) != NOTIFY_YES) return false;
  if (!uninstall_run(rec, exit_code)) return false;
  setup_ask(rec, "アンインストールが完了しました", SETUP_ASK_OK, NOTIFY_YES);
  return true;
}

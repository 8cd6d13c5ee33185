// The set-up run: switches and log, the steps of SET, the engine's operations and the end.

#include "setup/setup_run.h"

#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "files/codes.h"
#include "files/file.h"
#include "files/path.h"
#include "setup/assoc.h"
#include "setup/install.h"
#include "setup/pak.h"
#include "setup/setup_record.h"
#include "setup/setup_texts.h"
#include "setup/shell.h"
#include "setup/wizard.h"
#include "ui/notify.h"

int setup_association_changes(Text* rec, const bool current[4], SetupAssocChange out[4]) {
  int n = 0;
  for (int k = 0; k < 4; ++k) {
    bool want = setup_get(rec, setup_extensions[k].key) != 0;
    if (want != current[k]) out[n++] = {setup_extensions[k].ext, want};
  }
  return n;
}

// ---- the set-up run ----

namespace {

// Shows a message through the engine's one door for questions: a box, or in an unattended run
// a log line and silent_answer.
int say(Text* rec, SetupMessage which, unsigned kind, int silent_answer) {
  Text* t = text_new();
  setup_message(t, which);
  int answer = setup_ask(rec, text_cstr(t), kind, silent_answer);
  text_free(t);
  return answer;
}

// Waits for the user to close the running editor; false when they stop the set-up, or in an
// unattended run, which cannot wait for anyone.
bool editor_closed(const SetupRunOps* ops, Text* rec, bool silent) {
  while (ops->editor_running(ops->ctx)) {
    if (say(rec, SETUP_MSG_RUNNING, SETUP_ASK_YES_NO, NOTIFY_NO) == NOTIFY_YES) continue;
    if (silent || say(rec, SETUP_MSG_STOP, SETUP_ASK_YES_NO, NOTIFY_YES) == NOTIFY_YES)
      return false;
  }
  return true;
}

// An unattended overwrite never makes the installed editor older unless asked to (-force).
bool newer_allowed(const SetupRunOps* ops, Text* rec, bool silent) {
  if (!silent || !ops->installed_newer(ops->ctx, rec)) return true;
  bool force = setup_get(rec, ID("FORCE")) != 0;
  char line[400];
  notify_log(buf_printf(line, sizeof line,
                        "セットアップ先の%sは、これからセットアップするZQよりも新しいバージョンで"
                        "す。\n%s\n",
                        SETUP_EDITOR_NAME,
                        force ? "-force: 上書きします。" : "上書きするには -force を指定します。"));
  return force;
}

bool op_editor_running(void* window) {
  return product_running(window);
}
bool op_installed_newer(void*, Text* rec) {
  FileTime package, installed;
  return pak_editor_date(pak_open(), &package) && setup_installed_time(rec, &installed) &&
         setup_installed_is_newer(package, installed);
}
// The log names the folder and, once every file is written, each file installed, so that an
// unattended run's log says what it did.
bool op_install(void*, Text* rec, Text* failure) {
  const PakBlock* pak = pak_open();
  Text* folder = setup_folder(rec);
  char line[1200];
  notify_log(buf_printf(line, sizeof line, "install: %s\n", text_cstr(folder)));
  bool ok = pak_install(rec, pak, failure);
  if (ok) pak_list_destinations(pak, folder);
  text_free(folder);
  return ok;
}
bool op_associated(void*, PackedId ext) {
  return assoc_query_id(ext);
}
void op_associate(void*, PackedId ext, bool on) {
  assoc_set_id(ext, on);
}
void op_uninstall_entry(void*, Text* rec, const char* name, const char* command) {
  uninstall_entry(rec, name, command, false);
}
bool op_start(void*, const char* exe) {
  return shell_start_program(exe);
}
void op_rights(void*, Text* rec, SetupRights* out) {
  Text* folder = setup_folder(rec);
  elevate_probe(text_cstr(folder), out);
  text_free(folder);
}
int op_elevate(void*, const char* args, bool* declined) {
  return elevate_start(nullptr, args, declined);
}

// The elevated program's log (UTF-8) into this run's log and view.
void take_child_log(const char* path) {
  size_t n = 0;
  uint8_t* bytes = file_read_all(path, &n);
  Text* t = bytes ? bytes_from_code((const char*)bytes, (int64_t)n, CODE_UTF) : nullptr;
  if (t && text_length(t) > 0) notify_log(text_cstr(t));
  text_free(t);
  std::free(bytes);
}

// A standard installation (or its uninstall) that the process may not write: the same program,
// elevated, does it with the run's choices. False when the run ended here (exit code set).
bool rights_enough(SetupRun* run, const SetupRunOps* ops, Text* rec, bool silent, bool uninstall) {
  SetupRights rights{};
  ops->rights(ops->ctx, rec, &rights);
  SetupElevation e = setup_elevation(rec, uninstall, silent, rights);
  if (e == SETUP_ELEVATE_NO) return true;
  if (e == SETUP_ELEVATE_REFUSE) {  // deployment tools expect no prompt
    char message[200];
    setup_ask(rec,
              buf_printf(message, sizeof message, "%sには管理者権限が必要です。\n",
                         uninstall ? "アンインストール" : "標準（共用）のセットアップ"),
              SETUP_ASK_OK, NOTIFY_YES);
    run->exit_code = SETUP_EXIT_REFUSED;
    return false;
  }
  Text* log = temp_file_name(".log");
  // The user has seen the newer-version warning of the wizard: the child needs -force for it.
  Text* args = setup_elevated_args(rec, uninstall, true, text_cstr(log));
  bool declined = false;
  int code = -1;
  if (args) {
    char line[2400];
    notify_log(buf_printf(line, sizeof line, "elevate: %s\n", text_cstr(args)));
    code = ops->elevate(ops->ctx, text_cstr(args), &declined);
    if (log) take_child_log(text_cstr(log));
  }
  if (log) file_delete(text_cstr(log));
  text_free(log);
  bool built = args != nullptr;
  text_free(args);
  if (declined || !built) {
    setup_ask(rec, "管理者権限が得られなかったため、セットアップを中止しました。\n", SETUP_ASK_OK,
              NOTIFY_YES);
    run->exit_code = SETUP_EXIT_REFUSED;
  } else if (code < 0) {
    setup_ask(rec, "管理者としてセットアップを起動できませんでした。\n", SETUP_ASK_OK, NOTIFY_YES);
    run->exit_code = SETUP_EXIT_FAILED;
  } else {
    run->exit_code = code;
    if (code == SETUP_EXIT_OK && !uninstall) {  // the elevated run starts nothing: the editor
                                                // starts from here
      say(rec, SETUP_MSG_DONE_COMMON, SETUP_ASK_OK, NOTIFY_YES);
      Text* exe = setup_folder_exe(rec);
      run->started = ops->start(ops->ctx, text_cstr(exe));
      text_free(exe);
    }
  }
  return false;
}

// The completion message as a log line: what was done, without the announcement of a start
// that an unattended run does not make.
void log_done(Text* rec, SetupMessage which) {
  Text* t = text_new();
  setup_message(t, which);
  const char* s = text_cstr(t);
  Text* line = text_new();  // the first line says what was done
  text_insert(line, s ? s : "", TI_RAW, s ? (int64_t)std::strcspn(s, "\r\n") : 0);
  text_puts(line, "\n");
  setup_ask(rec, text_cstr(line), SETUP_ASK_OK, NOTIFY_YES);
  text_free(line);
  text_free(t);
}

}  // namespace

SetupRunOps setup_engine_ops(void* window) {
  return {op_editor_running,  nullptr,  op_installed_newer, op_install, op_associated, op_associate,
          op_uninstall_entry, op_start, op_rights,          op_elevate, window};
}

SetupAction setup_begin(SetupRun* run, Text* commands, const SetupEnv* env) {
  *run = SetupRun{};
  run->log = text_new();
  run->log_file = FILE_INVALID;
  notify_set_transcript(run->log);
  setup_switches_read(commands, &run->sw);
  SetupSwitches& sw = run->sw;
  run->rec = setup_record_new(env, sw.user);  // in memory only
  // The log first: a log that cannot be written refuses the run before anything else.
  if (sw.log) {
    run->log_file = setup_log_open(text_cstr(sw.log));
    if (run->log_file == FILE_INVALID) {
      text_printf(run->log, "ログファイルを作成できません: %s\n", text_cstr(sw.log));
      run->exit_code = SETUP_EXIT_REFUSED;
      return run->action = SETUP_RUN_NONE;
    }
  }
  if (sw.help) {
    setup_usage(run->log);
    run->exit_code = SETUP_EXIT_OK;
    return run->action = SETUP_RUN_NONE;
  }
  run->action = setup_silent_record(&sw, run->rec, env, run->log, &run->exit_code);
  if (sw.silent) setup_set(run->rec, ID("SILENT"), 1);
  if (sw.force) setup_set(run->rec, ID("FORCE"), 1);
  return run->action;
}

namespace {
void run_steps(SetupRun* run, const SetupRunOps* ops);
}

void setup_run(SetupRun* run, const SetupRunOps* ops) {
  // Until the wizard has chosen, the associations are asked about the default folder's editor;
  // the installation's step sets the folder finally chosen.
  assoc_use_installation(run->rec);
  run_steps(run, ops);
  assoc_use_installation(nullptr);
}

namespace {
void run_steps(SetupRun* run, const SetupRunOps* ops) {
  Text* rec = run->rec;
  bool silent = setup_get(rec, ID("SILENT")) != 0;
  run->exit_code = SETUP_EXIT_OK;
  run->started = false;
  if (!editor_closed(ops, rec, silent)) {
    run->exit_code = SETUP_EXIT_RUNNING;
    return;
  }
  // An extension the record says nothing about keeps its association: the default road and a
  // repeated installation change none, and the options page shows what is there.
  for (const SetupExtension& row : setup_extensions)
    if (!setup_has(rec, row.key))
      setup_set(rec, row.key, ops->associated(ops->ctx, row.ext) ? 1 : 0);
  if (!silent && !ops->wizard(ops->ctx, rec)) {
    run->exit_code = SETUP_EXIT_REFUSED;  // cancelled: nothing written
    return;
  }
  // The editor may have started while the wizard was open: it would keep files open.
  if (!editor_closed(ops, rec, silent)) {
    run->exit_code = SETUP_EXIT_RUNNING;
    return;
  }
  if (!newer_allowed(ops, rec, silent)) {
    run->exit_code = SETUP_EXIT_REFUSED;
    return;
  }
  if (!rights_enough(run, ops, rec, silent, false)) return;
  // The associations name the editor of the folder the wizard chose, and keep their lists where
  // the installed programs read them.
  assoc_use_installation(rec);
  Text* exe = setup_folder_exe(rec);
  Text* failure = text_new();
  if (!ops->install(ops->ctx, rec, failure)) {
    // The message names what failed and why.
    Text* message = install_failure_message(failure);
    setup_ask(rec, text_cstr(message), SETUP_ASK_OK, NOTIFY_YES);
    text_free(message);
    text_free(failure);
    text_free(exe);
    run->exit_code = SETUP_EXIT_FAILED;
    return;
  }
  text_free(failure);
  bool current[4];
  for (int k = 0; k < 4; ++k) current[k] = ops->associated(ops->ctx, setup_extensions[k].ext);
  SetupAssocChange changes[4];
  int n = setup_association_changes(rec, current, changes);
  for (int k = 0; k < n; ++k) ops->associate(ops->ctx, changes[k].ext, changes[k].on);

  bool common = setup_get(rec, ID("COMMON")) != 0;
  bool start = false;
  if (silent) {
    log_done(rec, common ? SETUP_MSG_DONE_COMMON : SETUP_MSG_DONE_USER);  // nothing is started
  } else if (common) {
    say(rec, SETUP_MSG_DONE_COMMON, SETUP_ASK_OK, NOTIFY_YES);
    start = true;
  } else {
    start = say(rec, SETUP_MSG_DONE_USER, SETUP_ASK_YES_NO, NOTIFY_NO) == NOTIFY_YES;
  }
  Text* command = setup_uninstall_command(rec);
  ops->uninstall_entry(ops->ctx, rec, SETUP_PRODUCT, text_cstr(command));
  text_free(command);
  if (start) run->started = ops->start(ops->ctx, text_cstr(exe));
  text_free(exe);
}
}  // namespace

bool setup_uninstall_here(SetupRun* run, const SetupRunOps* ops, const char* folder) {
  Text* rec = run->rec;
  // The kind of installation as it recorded itself.
  Text* path = text_new();
  text_puts(path, folder);
  path_add_separator(path);
  path_join(path, SETUP_USER_SETTINGS);
  Text* settings = text_new();
  if (text_load(settings, path, TL_READ_ONLY_CONTENTS))
    header_copy(rec, ID("COMMON"), settings, HK_ID);
  text_free(settings);
  text_free(path);
  setup_set_text(rec, ID("EXE"), folder);
  return rights_enough(run, ops, rec, setup_get(rec, ID("SILENT")) != 0, true);
}

int setup_end(SetupRun* run) {
  notify_set_transcript(nullptr);
  if (run->log_file != FILE_INVALID && !setup_log_finish(run->log_file, run->log) &&
      run->exit_code == SETUP_EXIT_OK)
    run->exit_code = SETUP_EXIT_FAILED;
  run->log_file = FILE_INVALID;
  text_free(run->log);
  run->log = nullptr;
  setup_switches_free(&run->sw);
  return run->exit_code;
}

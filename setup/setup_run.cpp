// Texts and decisions of the set-up window's commands.

#include "setup/setup_run.h"

#include "core/format.h"
#include "files/path.h"
#include "setup/install.h"
#include "setup/setup_record.h"
#include "setup/wizard.h"
#include "ui/notify.h"

bool setup_menu(Text* out, bool building) {
  if (!out) return false;
  if (building)
    text_puts(
        out,
        "..メニュー(&F)\nNEWNE\tCAB(必要セット)の作成(&2)\n--\nCHECK\tファイル内容の確認(&H)\n"
        "VIEW\t作成ファイル一覧の表示(&V)\nSTATW\tステータスウィンドウ(&S)\n");
  else
    text_puts(out,
              "..セットアップ(&F)\nSET\tセットアップ開始(&S)...\nHLPSUP\tセットアップについて(&H)\n"
              "--\nVIEW\t作成ファイル一覧の表示(&V)\nSTAT\tステータス表示(&T)\n");
  return text_puts(out, "--\nEXIT\t終了(&C/&X)\n") > 0;
}

bool setup_title(Text* out, bool building) {
  return text_printf(out, building ? "%s CAB作成" : "%s セットアップ", SETUP_PRODUCT) > 0;
}

bool setup_help_frame(Text* title, Text* menu, Text* keys) {
  bool ok = text_puts(title, "ZQ9について") > 0;
  ok &= text_puts(menu, "..メニュー(&F)\nEXIT\t閉じる(&X)\n") > 0;
  return text_puts(keys, "{Enter}\tExit\n") > 0 && ok;
}

bool setup_stat(Text* log, Text* rec, const SetupFolders* f) {
  if (!log || !f) return false;
  text_printf(log, "common: %d\n", setup_get(rec, ID("COMMON")));
  text_printf(log, "user: %s\n", f->user ? f->user : "");
  text_printf(log, "desktop: %s\n", f->desktop ? f->desktop : "");
  text_printf(log, "startmenu: %s\n", f->startmenu ? f->startmenu : "");
  return text_printf(log, "common-startmenu: %s\n",
                     f->common_startmenu ? f->common_startmenu : "") > 0;
}

bool setup_regext_line(Text* log, const char* settings_folder) {
  return text_printf(log, "以下にインストールされている%sに拡張子を関連づけます\n%s\n",
                     SETUP_PRODUCT, settings_folder ? settings_folder : "") > 0;
}

bool setup_message(Text* out, SetupMessage which) {
  const char* e = SETUP_EDITOR_NAME;
  switch (which) {
    case SETUP_MSG_RUNNING:
      return text_printf(out,
                         "%sが起動中です。\nセットアップを開始するには、常駐の%sも含めたすべての%s"
                         "画面を閉じてください。\nすべての%sを閉じましたか？",
                         e, e, e, e) > 0;
    case SETUP_MSG_STOP:
      return text_puts(out, "セットアップを中止しますか？") > 0;
    case SETUP_MSG_FAILED:
      return text_puts(out,
                       "セットアップに失敗しました。\nPDFのReaderを開いていた場合は閉じてから、再度"
                       "セットアップを実行してください。\nその他の場合は、一度Windowsを終了して再起"
                       "動してから、再度セットアップを実行してください") > 0;
    case SETUP_MSG_DONE_COMMON:
      return text_printf(
                 out,
                 "標準（共用）でのセットアップを完了しました。\n\n%sを起動します。\n初回の起"
                 "動は、およそ１分の時間がかかります。",
                 e) > 0;
    case SETUP_MSG_DONE_USER:
      return text_printf(out,
                         "セットアップを完了しました。\n\n%sを起動しますか？\n初回の起動は、およそ"
                         "１分の時間がかかります。",
                         e) > 0;
    case SETUP_MSG_REGEXT_NOTE:
      return text_puts(
                 out,
                 "Windows 8/7/Vistaでは、ファイル拡張子をVI ZIZUZAに関連付けの操作をおこなっても、"
                 "VI ZIZUZAが起動しない場合があります。\n\n改善するには、下記の操作をおこないます。"
                 "\n・エクスプローラでファイルを右クリック。\n・「プログラムから開く」から「規定の"
                 "プログラムの選択」を実行。\n・推奨されたプログラムにVI ZIZUZAが表示された場合は、"
                 "選択してOK。\n\n表示されない場合は、\n・VI ZIZUZAに切り替え、[ウィンドウ]メニュ"
                 "ーから[バージョン情報]を実行して、「情報のコピー」ボタンを押す。\n・エクスプロー"
                 "ラに切り替え、参照ボタンを押してファイル名に貼り付けてOK。\n") > 0;
  }
  return false;
}

int setup_association_changes(Text* rec, const bool current[4], SetupAssocChange out[4]) {
  int n = 0;
  for (int k = 0; k < 4; ++k) {
    bool want = setup_get(rec, setup_extensions[k].key) != 0;
    if (want != current[k]) out[n++] = {setup_extensions[k].ext, want};
  }
  return n;
}

// ---- the SET run ----

namespace {

// Shows a message through the engine's one door for questions: a box, or in an unattended run
// a log line and silent_answer.
int say(SetupMessage which, unsigned kind, int silent_answer) {
  Text* t = text_new();
  setup_message(t, which);
  int answer = setup_ask(text_cstr(t), kind, silent_answer);
  text_free(t);
  return answer;
}

// The engine's questions are silent while an unattended run lasts.
struct Silence {
  bool was;
  explicit Silence(bool on) : was(setup_silent()) { setup_set_silent(on); }
  ~Silence() { setup_set_silent(was); }
};

// Waits for the user to close the running editor; false when they stop the set-up, or in an
// unattended run, which cannot wait for anyone.
bool editor_closed(const SetupRunOps* ops, bool silent) {
  while (ops->editor_running(ops->ctx)) {
    // Unattended, nobody can close it: the run stops.
    if (say(SETUP_MSG_RUNNING, SETUP_ASK_YES_NO, NOTIFY_NO) == NOTIFY_YES) continue;
    if (silent || say(SETUP_MSG_STOP, SETUP_ASK_YES_NO, NOTIFY_YES) == NOTIFY_YES) return false;
  }
  return true;
}

}  // namespace

SetupRunResult setup_run(const SetupRunOps* ops, Text* rec, bool silent) {
  SetupRunResult r = {SETUP_EXIT_OK, false};
  Silence quiet(silent);
  if (!editor_closed(ops, silent)) {
    r.exit_code = silent ? SETUP_EXIT_FAILED : SETUP_EXIT_REFUSED;
    return r;
  }
  // An extension the record says nothing about keeps its association: the default road and a
  // repeated installation change none, and the options page shows what is there.
  for (const SetupExtension& row : setup_extensions)
    if (!setup_has(rec, row.key))
      setup_set(rec, row.key, ops->associated(ops->ctx, row.ext) ? 1 : 0);
  if (!silent && !ops->wizard(ops->ctx, rec)) {
    r.exit_code = SETUP_EXIT_REFUSED;  // cancelled: nothing written
    return r;
  }
  if (!editor_closed(ops, silent)) {
    r.exit_code = silent ? SETUP_EXIT_FAILED : SETUP_EXIT_REFUSED;
    return r;
  }
  Text* failure = text_new();
  if (!ops->install(ops->ctx, rec, failure)) {
    // The message names what failed and why.
    Text* message = install_failure_message(failure);
    setup_ask(text_cstr(message), SETUP_ASK_OK, NOTIFY_YES);
    text_free(message);
    text_free(failure);
    r.exit_code = SETUP_EXIT_FAILED;
    return r;
  }
  text_free(failure);
  bool current[4];
  for (int k = 0; k < 4; ++k) current[k] = ops->associated(ops->ctx, setup_extensions[k].ext);
  SetupAssocChange changes[4];
  int n = setup_association_changes(rec, current, changes);
  for (int k = 0; k < n; ++k) ops->associate(ops->ctx, changes[k].ext, changes[k].on);

  bool start = false;
  if (setup_get(rec, ID("COMMON"))) {
    say(SETUP_MSG_DONE_COMMON, SETUP_ASK_OK, NOTIFY_YES);
    start = !silent;
  } else {
    // Unattended, nothing is started.
    start = say(SETUP_MSG_DONE_USER, SETUP_ASK_YES_NO, NOTIFY_NO) == NOTIFY_YES && !silent;
  }
  Text* command = setup_uninstall_command(rec);
  ops->uninstall_entry(ops->ctx, SETUP_PRODUCT, text_cstr(command));
  text_free(command);
  if (start) {
    Text* exe = setup_folder_exe(rec);
    r.started = ops->start(ops->ctx, text_cstr(exe));
    text_free(exe);
  }
  return r;
}

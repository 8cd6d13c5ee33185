// The set-up window's texts: menus, title, help, log lines and messages.

#include "setup/setup_texts.h"

#include "core/format.h"
#include "setup/setup_record.h"

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

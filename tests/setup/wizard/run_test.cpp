// The set-up window's texts and the decisions of the SET run.

#include "setup/setup_run.h"
#include "setup/setup_texts.h"
#include "setup_env.h"

namespace {

std::string made(bool (*fn)(Text*, bool), bool flag) {
  Text* t = text_new();
  fn(t, flag);
  std::string s = lf(t);
  text_free(t);
  return s;
}

}  // namespace

TEST(SetupRun, MenusAndTitlesOfBothModes) {
  EXPECT_EQ(
      made(setup_menu, false),
      "..セットアップ(&F)\nSET\tセットアップ開始(&S)...\nHLPSUP\tセットアップについて(&H)\n--"
      "\nVIEW\t作成ファイル一覧の表示(&V)\nSTAT\tステータス表示(&T)\n--\nEXIT\t終了(&C/&X)\n");
  EXPECT_EQ(
      made(setup_menu, true),
      "..メニュー(&F)\nNEWNE\tCAB(必要セット)の作成(&2)\n--\nCHECK\tファイル内容の確認(&H)\n"
      "VIEW\t作成ファイル一覧の表示(&V)\nSTATW\tステータスウィンドウ(&S)\n--\nEXIT\t終了(&C/&X)"
      "\n");
  EXPECT_EQ(made(setup_title, false), "VI RIDEVA 9 64ved セットアップ");
  EXPECT_EQ(made(setup_title, true), "VI RIDEVA 9 64ved CAB作成");
}

TEST(SetupRun, StatLogsCommonUserAndShortcutFolders) {
  Text* rec = text_new();
  setup_set(rec, ID("COMMON"), 1);
  SetupFolders f = {"taro", "C:\\Users\\taro\\Desktop", "C:\\P", nullptr};
  Text* log = text_new();
  ASSERT_TRUE(setup_stat(log, rec, &f));
  EXPECT_EQ(lf(log),
            "common: 1\nuser: taro\ndesktop: C:\\Users\\taro\\Desktop\nstartmenu: C:\\P\n"
            "common-startmenu: \n");
  text_free(log);
  text_free(rec);
}

TEST(SetupRun, UninstallCommandQuotesTheInstalledSetupProgram) {
  Text* rec = text_new();
  setup_set_text(rec, ID("DST"), "C:\\Program Files");
  setup_set_text(rec, ID("FOLDER"), "VA VUDOVA 9");
  Text* cmd = setup_uninstall_command(rec);
  EXPECT_STREQ(text_cstr(cmd), "\"C:\\Program Files\\VA VUDOVA 9\\zqsetup.exe\" -uninst");
  text_free(cmd);
  text_free(rec);
}

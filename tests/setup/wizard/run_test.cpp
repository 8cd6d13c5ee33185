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

// The window acts on the command words, so they and the menu's shape are what matter: one
// popup line, then "WORD<TAB>label" items and "--" separators, ending with EXIT.
TEST(SetupRun, MenusAndTitlesOfBothModes) {
  struct Case {
    bool building;
    const char* words;  // the command words in order, "--" for a separator
  } cases[] = {
      {false, "SET HLPSUP -- VIEW STAT -- EXIT"},
      {true, "NEWNE -- CHECK VIEW STATW -- EXIT"},
  };
  std::string titles[2];
  for (const Case& c : cases) {
    SCOPED_TRACE(c.building ? "building" : "set-up");
    std::string menu = made(setup_menu, c.building), words;
    ASSERT_EQ(menu.compare(0, 2, ".."), 0) << "a popup first";
    ASSERT_EQ(menu.back(), '\n');
    size_t at = menu.find('\n') + 1;
    for (size_t end; at < menu.size(); at = end + 1) {
      end = menu.find('\n', at);
      std::string line = menu.substr(at, end - at);
      size_t tab = line.find('\t');
      if (line != "--") {
        EXPECT_TRUE(tab != std::string::npos && tab + 1 < line.size()) << line;
      }
      if (!words.empty()) words += ' ';
      words.append(line, 0, tab);
    }
    EXPECT_EQ(words, c.words);
    std::string& title = titles[c.building];
    title = made(setup_title, c.building);
    EXPECT_EQ(title.rfind(std::string(SETUP_PRODUCT) += ' ', 0), 0u)
        << "the product, then the mode";
  }
  EXPECT_NE(titles[0], titles[1]) << "the modes are told apart";
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

// The set-up record: start-up values, defaults, the installation folder, the summary, the folder
// check and the help sections of the shipped help text.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "setup_env.h"
#include "support/links.h"

TEST_F(SetupTest, StartUpMarksFollowTheUserFlagAndTheSettingsFolder) {
  struct Row {
    bool user;
    const char* settings;
    int common, user_mark, std_mark;
  } rows[] = {
      {true, "/x/setup", 0, 1, 0},
      {false, "C:\\Users\\taro\\SetUp Files", 1, 0, 0},
      {false, "/home/taro/.zq", 0, 0, 1},
  };
  for (const Row& r : rows) {
    settings = r.settings;
    env.settings_folder = settings.c_str();
    text_free(rec);
    rec = setup_record_new(&env, r.user);
    SCOPED_TRACE(r.settings);
    EXPECT_EQ(setup_get(rec, ID("COMMON")), r.common);
    EXPECT_EQ(setup_get(rec, ID("USER")), r.user_mark);
    EXPECT_EQ(setup_get(rec, ID("STD")), r.std_mark);
    EXPECT_EQ(setup_get(rec, ID("REGEXE")), 1);
    EXPECT_EQ(setup_get(rec, ID("REGSM")), 1);
    EXPECT_EQ(setup_get(rec, ID("REGDT")), 1);
    EXPECT_EQ(get(ID("FOLDER")), "VA VUDOVA 9");
  }
}

TEST_F(SetupTest, DefaultsPutTheFolderWhereTheKindOfInstallationBelongs) {
  rec = text_new();
  setup_set(rec, ID("COMMON"), 1);
  ASSERT_TRUE(setup_defaults(rec, &env));
  EXPECT_EQ(get(ID("DST")), pf);
  EXPECT_EQ(get(ID("ICON")), "VI Rideva 9 64ved");
  EXPECT_EQ(slashes(folder()), slashes(pf + "/VA VUDOVA 9"));

  setup_set(rec, ID("COMMON"), 0);
  ASSERT_TRUE(setup_defaults(rec, &env));
  EXPECT_EQ(slashes(get(ID("DST"))), slashes(ad + "/VODudeduva"));
  EXPECT_EQ(get(ID("ICON")), "VI Rideva 9 64ved (taro)");
  // Looking at the defaults writes nothing: the vendor folder is the installation's to make.
  EXPECT_FALSE(fs::exists(root / "ad" / "VODudeduva"));

  // An explicit folder replaces DST and FOLDER, as given.
  setup_set_text(rec, ID("EXE"), "D:\\Tools\\ZQ\\");
  setup_set_text(rec, ID("DST"), "elsewhere");
  ASSERT_TRUE(setup_defaults(rec, &env));
  EXPECT_EQ(get(ID("DST")), "elsewhere");
  EXPECT_EQ(folder(), "D:\\Tools\\ZQ\\");
  Text* exe = setup_folder_exe(rec);
  EXPECT_STREQ(text_cstr(exe), "D:\\Tools\\ZQ\\zqeditor.exe");
  text_free(exe);
}

TEST_F(SetupTest, AnEarlierInstallationKeepsItsShortcutNameSpeechAndStartMenuChoice) {
  fs::path dir = root / "pf" / "VA VUDOVA 9";
  put(dir / "idsystem.sys", "SETUP: 1\r\nICON: わたしのエディタ\r\nSPEAK: 1\r\n");
  put(dir / "zqeditor.exe", "MZ");
  rec = setup_record_new(&env, false);
  setup_set(rec, ID("COMMON"), 1);
  ASSERT_TRUE(setup_defaults(rec, &env));
  ASSERT_TRUE(setup_option_defaults(rec));
  EXPECT_EQ(get(ID("ICON")), "わたしのエディタ");
  EXPECT_EQ(setup_get(rec, ID("SPEAK")), 1);
  EXPECT_TRUE(setup_installed(rec));
  EXPECT_EQ(setup_get(rec, ID("REGSM")), 0);
  EXPECT_EQ(setup_get(rec, ID("REGDT")), 1);
}

TEST_F(SetupTest, SummaryNamesFolderKindAssociationsNameAndOptions) {
  rec = text_new();
  setup_set_text(rec, ID("EXE"), "C:\\ZQ");
  setup_set(rec, ID("COMMON"), 1);
  setup_set_text(rec, ID("ICON"), "VI Rideva 9 64ved");
  setup_set(rec, ID("REGSM"), 1);
  setup_set(rec, ID("REGEXE"), 1);
  Text* out = text_new();
  ASSERT_TRUE(setup_status(out, rec));
  EXPECT_EQ(lf(out),
            "インストール先\tC:\\ZQ\n種類\t標準ユーザインストール　新規インストール\n"
            "関連付け\tなし\n名前\tVI Rideva 9 64ved\n"
            "オプション\tスタートメニューに登録　レジストリに登録　\n");
  EXPECT_EQ(text_tell(out), 0);

  text_clear(out);
  setup_set(rec, ID("COMMON"), 0);
  setup_set(rec, ID("RESCUE"), 1);
  setup_set(rec, ID("REGTXT"), 1);
  setup_set(rec, ID("REGH"), 1);
  setup_status(out, rec);
  std::string s = lf(out);
  EXPECT_NE(s.find("種類\tユーザ専用セットアップ　修復インストール\n"), std::string::npos) << s;
  EXPECT_NE(s.find("関連付け\tTXT・H ファイル\n"), std::string::npos) << s;
  text_free(out);
}

TEST_F(SetupTest, FolderCheckKeepsStandardInsideAndUserOutsideProgramFiles) {
  struct Row {
    int common;
    std::string exe;
    bool ok;
    const char* why;  // the judge's reason; null: the program-files message
  } rows[] = {
      {1, pf + "/VA VUDOVA 9", true, nullptr},
      // The program-files folder itself: its files would lie among every other program's.
      {1, pf, false, "Program Filesのフォルダそのものです"},
      {1, pf + "/VA VUDOVA 9/..", false, "Program Filesのフォルダそのものです"},
      {1, pf + "/VA VUDOVA 9/. . .", true, nullptr},
      {1, ad + "/ZQ", false, nullptr},
      {0, ad + "/ZQ", true, nullptr},
      {0, pf + "/VA VUDOVA 9", false, nullptr},
      {1, pf + " (x86)/ZQ", false, nullptr},
      {0, pf + " (x86)/ZQ", true, nullptr},
      {1, "", false, nullptr},
      {0, "relative\\ZQ", false, nullptr},
      {1, pf + "/VA VUDOVA 9/../../ZQ", false, nullptr},
      // A link into the program-files folder does not make a user installation's folder pass.
      {0, ad + "/pf-link/ZQ", false, nullptr},
      {0, ad + "/" + std::string(240, 'x'), false, "パスが長すぎます"},
  };
  std::filesystem::create_directories(pf);
  std::filesystem::create_directories(ad);
  Links links;
  ASSERT_TRUE(links.make(pf, ad + "/pf-link"));
  rec = text_new();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.exe);
    setup_set(rec, ID("COMMON"), r.common);
    setup_set_text(rec, ID("EXE"), r.exe.c_str());
    Text* msg = text_new();
    EXPECT_EQ(setup_folder_valid(rec, &env, msg), r.ok);
    std::string m = lf(msg);
    if (r.ok) {
      EXPECT_EQ(m, "");
    } else if (r.why) {
      EXPECT_NE(m.find(std::string("は") + r.why + "。\n"), std::string::npos) << m;
    } else {
      EXPECT_EQ(m, "フォルダの指定が間違っています。\n[標準]セットアップでは" + pf +
                       "以下に、\n[ユーザ専用]では" + pf + "以外のフォルダを指定してください。\n");
    }
    text_free(msg);
  }
}

TEST(HelpSection, EverySectionOfTheShippedHelpTextIsFound) {
  const char* src = std::getenv("ZQ_SOURCE_DIR");
  std::ifstream in(std::string(src ? src : ".") + "/package/zq9.txt", std::ios::binary);
  ASSERT_TRUE(in) << "package/zq9.txt";
  std::stringstream ss;
  ss << in.rdbuf();
  Text* help = text_new();
  text_puts(help, ss.str().c_str());
  const char* ids[] = {"SETUP", "ZQ0", "ZQ5", "ZQ6", "UPDATE", "QMC", "QMCDEV"};
  for (const char* id : ids) {
    Text* s = help_section(help, id_pack(id));
    ASSERT_NE(s, nullptr) << id;
    std::string body = lf(s);
    EXPECT_GT(body.size(), 100u) << id;
    EXPECT_EQ(body.find(".a.help."), std::string::npos) << id << ": runs into the next section";
    text_free(s);
  }
  Text* a = help_section(help, ID("HLPSUP"));
  Text* b = help_section(help, ID("SETUP"));
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(text_cstr(a), text_cstr(b));
  EXPECT_EQ(help_section(help, ID("NOSUCH")), nullptr);
  EXPECT_EQ(help_section(nullptr, ID("SETUP")), nullptr);
  text_free(a);
  text_free(b);
  text_free(help);
}

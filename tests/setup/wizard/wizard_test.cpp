// The wizard's roads through its pages, Back, the history, HIST and REFER, the page texts.

#include "setup/wizard.h"

#include "setup_env.h"

class WizardTest : public SetupTest {
 protected:
  Wizard w{};
  void start() {
    rec = setup_record_new(&env, false);
    wizard_init(&w, rec, &env);
    wizard_enter(&w, 0, nullptr, nullptr);
  }
  // Next with a radio choice; enters the page it reaches. Returns the page.
  int next(bool radio1 = true, Text* message = nullptr, Text* note = nullptr) {
    int p = wizard_next(&w, radio1, message, note);
    wizard_enter(&w, p, nullptr, nullptr);
    return p;
  }
  void install_editor() { put(root / "pf" / "VA VUDOVA 9" / "zqeditor.exe", "MZ"); }
};

TEST_F(WizardTest, RoadsThroughThePages) {
  // first: the choices made on the first page (true: standard), with Back after each but the
  // last; user: started with " -user".
  struct Road {
    const char* name;
    bool installed;
    std::vector<bool> first;
    std::vector<int> pages;
    bool user;
    int common;
  } roads[] = {
      {"standard, new", false, {true}, {0, 4, 6}, false, 1},
      {"standard, over an installation", true, {true}, {0, 3, 6}, false, 1},
      {"custom, new", false, {false}, {0, 1, 2, 4, 5, 6}, false, 1},
      {"custom, over an installation", true, {false}, {0, 1, 2, 3, 5, 6}, false, 1},
      {"standard, Back, custom", false, {true, false}, {0, 1, 2, 4, 5, 6}, false, 1},
      {"custom, Back, standard", false, {false, true}, {0, 4, 6}, false, 1},
      {"-user, standard: for the user", false, {true}, {0, 4, 6}, true, 0},
      {"-user, custom: the user's kind first", false, {false}, {0, 1, 2, 4, 5, 6}, true, 0},
  };
  for (const Road& r : roads) {
    SCOPED_TRACE(r.name);
    fs::remove_all(root / "pf" / "VA VUDOVA 9");
    if (r.installed) install_editor();
    text_free(rec);
    rec = setup_record_new(&env, r.user);
    wizard_init(&w, rec, &env);
    wizard_enter(&w, 0, nullptr, nullptr);
    for (size_t k = 0; k + 1 < r.first.size(); ++k) {
      next(r.first[k]);
      EXPECT_EQ(wizard_back(&w), WIZ_WELCOME);
      bool radio1 = !r.first[k];
      wizard_enter(&w, WIZ_WELCOME, nullptr, &radio1);
      EXPECT_EQ(radio1, r.first[k]) << "Back shows the road chosen";
    }
    std::vector<int> seen = {w.page};
    // On the kind page the radio shown is taken.
    while (w.page != WIZ_START && seen.size() < 10) {
      bool radio1 = true;
      wizard_enter(&w, w.page, nullptr, &radio1);
      seen.push_back(next(w.page == WIZ_WELCOME ? r.first.back() : radio1));
    }
    EXPECT_EQ(seen, r.pages);
    EXPECT_EQ(setup_get(rec, ID("COMMON")), r.common);
    if (!r.common) {
      EXPECT_EQ(slashes(folder()), slashes(ad + "/VODudeduva/VA VUDOVA 9"));
    }
    // Back retraces the road exactly.
    for (size_t k = r.pages.size() - 1; k > 0; --k) EXPECT_EQ(wizard_back(&w), r.pages[k - 1]);
    EXPECT_EQ(wizard_back(&w), 0);
  }
}

TEST_F(WizardTest, ButtonsAndInitialRadios) {
  start();
  bool radio1 = false;
  EXPECT_EQ(wizard_enter(&w, 0, nullptr, &radio1), WIZ_NEXT);
  EXPECT_TRUE(radio1);
  for (int p = 1; p <= 5; ++p)
    EXPECT_EQ(wizard_enter(&w, p, nullptr, nullptr), WIZ_BACK | WIZ_NEXT);
  EXPECT_EQ(wizard_enter(&w, 6, nullptr, nullptr), WIZ_BACK | WIZ_FINISH);
  setup_set(rec, ID("COMMON"), 0);
  wizard_enter(&w, 1, nullptr, &radio1);
  EXPECT_FALSE(radio1);
  setup_set(rec, ID("COMMON"), 1);
  wizard_enter(&w, 1, nullptr, &radio1);
  EXPECT_TRUE(radio1);
}

TEST_F(WizardTest, UserChoiceOnTheKindPagePutsTheFolderUnderApplicationData) {
  start();
  next(false);                         // custom
  EXPECT_EQ(next(false), WIZ_FOLDER);  // user only
  EXPECT_EQ(setup_get(rec, ID("COMMON")), 0);
  EXPECT_EQ(slashes(folder()), slashes(ad + "/VODudeduva/VA VUDOVA 9"));
}

TEST_F(WizardTest, RefusedFolderKeepsTheDestinationPageWithItsMessage) {
  start();
  next(false);
  next(true);  // standard kind: the folder must lie in program files
  setup_set_text(rec, ID("DST"), ad.c_str());
  Text* msg = text_new();
  EXPECT_EQ(next(true, msg), WIZ_FOLDER);
  EXPECT_NE(std::string(text_cstr(msg)).find("フォルダの指定が間違っています。"),
            std::string::npos);
  EXPECT_EQ(w.depth, 2);  // nothing pushed for the refused Next
  setup_set_text(rec, ID("DST"), pf.c_str());
  EXPECT_EQ(next(true), WIZ_AGREEMENT);
  EXPECT_EQ(wizard_back(&w), WIZ_FOLDER);
  text_free(msg);
}

TEST_F(WizardTest, HistoryHoldsAtMostNinePages) {
  start();
  for (int k = 0; k < 12; ++k) {
    wizard_enter(&w, WIZ_OPTIONS, nullptr, nullptr);
    EXPECT_EQ(next(), WIZ_START);
  }
  EXPECT_EQ(w.depth, WIZ_HISTORY);
  for (int k = 0; k < WIZ_HISTORY; ++k) EXPECT_EQ(wizard_back(&w), WIZ_OPTIONS);
  wizard_enter(&w, WIZ_START, nullptr, nullptr);
  EXPECT_EQ(wizard_back(&w), WIZ_START);  // nothing left to pop
}

TEST_F(WizardTest, OverwritePageNotesRepairAndTheNewerInstalledEditor) {
  install_editor();
  start();
  fs::last_write_time(root / "pf" / "VA VUDOVA 9" / "zqeditor.exe",
                      fs::file_time_type::clock::now());
  w.package_time_known = true;
  w.package_time = {10000000ull * 3600};  // 1601, older than anything on the disk
  EXPECT_EQ(next(true), WIZ_OVERWRITE);
  Text* content = text_new();
  wizard_enter(&w, WIZ_OVERWRITE, content, nullptr);
  std::string s = lf(content);
  EXPECT_EQ(s.rfind("セットアップ先:\n  ", 0), 0u) << s;
  EXPECT_NE(s.find("VI RIDEVA 9 "
                   "64vedがすでにインストールされています。\n上書きセットアップを実行します。\n"),
            std::string::npos);
  EXPECT_NE(s.find("新しいバージョンです。"), std::string::npos);
  // Times are cut to whole seconds before they are compared.
  const uint64_t sec = 10000000;
  EXPECT_FALSE(setup_installed_is_newer({100 * sec}, {100 * sec + sec - 1}));
  EXPECT_TRUE(setup_installed_is_newer({100 * sec + sec - 1}, {101 * sec}));
  w.package_time_known = false;
  text_clear(content);
  wizard_enter(&w, WIZ_OVERWRITE, content, nullptr);
  EXPECT_EQ(std::string(text_cstr(content)).find("新しいバージョンです。"), std::string::npos);

  Text* note = text_new();
  setup_set(rec, ID("RESCUE"), 1);
  EXPECT_EQ(next(true, nullptr, note), WIZ_START);
  EXPECT_EQ(lf(note), "修復インストールを実行すると、設定内容は初期化されます。\n");
  text_free(note);
  text_free(content);
}

TEST_F(WizardTest, HistAndReferSetTheDestination) {
  start();
  wizard_hist(&w, "E:\\Apps\\My ZQ\\");
  EXPECT_EQ(get(ID("HIST")), "E:\\Apps\\My ZQ\\");
  EXPECT_EQ(get(ID("FOLDER")), "My ZQ");
  EXPECT_EQ(slashes(get(ID("DST"))), slashes("E:/Apps"));
  wizard_refer(&w, "F:\\Other");
  EXPECT_EQ(get(ID("DST")), "F:\\Other");
  EXPECT_FALSE(setup_has(rec, ID("HIST")));
  wizard_hist(&w, "");  // no previous installation: DST and FOLDER stay
  EXPECT_EQ(get(ID("DST")), "F:\\Other");
  EXPECT_EQ(get(ID("FOLDER")), "My ZQ");
}

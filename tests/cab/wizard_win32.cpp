// The set-up wizard's window driven with real input under Wine: the standard and custom roads,
// Back after a jump, the folder check, the version warning, Help, and a cancelled wizard that
// leaves the record and the disk as they were.

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cab/wizard_ui.h"
#include "setup/install.h"
#include "setup/pak.h"
#include "setup/registry.h"
#include "setup/setup_record.h"
#include "ui/desc.h"
#include "uiwin/driver.h"

namespace {

namespace fs = std::filesystem;

// Child identifiers of the wizard's panes.
enum : int { BUTTONS = 30250, RADIO2_PANE = 30211, CHECKS = 30212, INFO = 30213, DST = 30200 };

const wchar_t* const kTitles[7] = {L"VI RIDEVA 9 64ved セットアップ",
                                   L"インストールの種類 - VI RIDEVA 9 64ved",
                                   L"インストール先 - VI RIDEVA 9 64ved",
                                   L"上書きインストール - VI RIDEVA 9 64ved",
                                   L"使用許諾契約証 - VI RIDEVA 9 64ved",
                                   L"オプション - VI RIDEVA 9 64ved",
                                   L"VI RIDEVA 9 64ved"};

// A package of the agreement, the help text and an editor of 29 May 2018.
std::string make_package() {
  std::string pak = std::string("zqpak1.0(00000000)") + '\0';
  auto add = [&](const std::string& name, const std::string& data) {
    std::string head = "\r\nFNAME: " + name + "\r\nDATE: 29 May 2018 08:14:07 +0900\r\nSIZE: " +
                       std::to_string(data.size()) + "\r\n";
    uint32_t h = (uint32_t)head.size();
    for (int k = 0; k < 4; ++k) pak += (char)(h >> 8 * k);
    pak += head + data;
  };
  add("contract.txt", "使用許諾の条件\r\nこのソフトウェアは現状のまま提供されます。\r\n");
  add("zq9.txt", "＿∥.a.help.SETUP∥＿\r\nセットアップの手引き\r\n＿∥.a.help.ZQ0∥＿\r\n別\r\n");
  add("zqeditor.exe", "editor");
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", (unsigned)pak.size());
  std::memcpy(&pak[9], hex, 8);
  return pak;
}

std::wstring title_of(HWND w) {
  wchar_t buf[256] = L"";
  GetWindowTextW(w, buf, 256);
  return buf;
}

std::string pane_string(HWND frame, int id) {
  HWND p = pane_in(frame, id);
  Text* t = p ? pane_text(p) : nullptr;
  return t ? text_cstr(t) : "";
}

class WizardTest : public ::testing::Test {
 protected:
  fs::path root;
  std::string pf, ad, pak_bytes;
  SetupEnv env{};
  PakBlock pak{};
  Text* rec = nullptr;
  std::vector<int> pages;  // the pages seen, in order

  void SetUp() override {
    root =
        fs::temp_directory_path() /
        (std::string("zqwiz_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root / "pf");
    fs::create_directories(root / "ad");
    pf = (root / "pf").string();
    ad = (root / "ad").string();
    env = {pf.c_str(), ad.c_str(), "taro", "C:\\zq\\cfg"};
    pak_bytes = make_package();
    ASSERT_TRUE(pak_block(pak_bytes.data(), pak_bytes.size(), &pak));
    rec = setup_record_new(&env, false);
  }
  void TearDown() override {
    text_free(rec);
    fs::remove_all(root);
  }

  bool run() { return setup_wizard_with(nullptr, rec, &env, &pak); }

  // Waits for the page and notes it.
  Step at(int page) {
    return [this, page] {
      HWND w = active_dialog(1);
      if (!w || title_of(w) != kTitles[page]) return false;
      pages.push_back(page);
      return true;
    };
  }
  static Step press(const char* button) { return click(BUTTONS, id_pack(button), 1); }
  // A box or window over the wizard (the wizard is out of its loop while it shows one).
  static HWND over_wizard() {
    HWND w = active_dialog(1);
    return w && !pane_in(w, BUTTONS) ? w : nullptr;
  }
  // The text of the box over the wizard, once it shows.
  static Step box_text(std::string* out, int pane = CHILD_MSG_TEXT) {
    return [=] {
      HWND box = over_wizard();
      if (box) *out = pane_string(box, pane);
      return box != nullptr;
    };
  }
  // The custom road up to the destination page, for all users or for the user only; then `more`.
  std::vector<Step> custom(bool user, std::vector<Step> more) {
    std::vector<Step> s{at(0), click(RADIO2_PANE, ID("RADIO2"), 1), press("NEXT"), at(1)};
    if (user) s.push_back(click(RADIO2_PANE, ID("RADIO2"), 1));
    s.insert(s.end(), {press("NEXT"), at(2)});
    s.insert(s.end(), more.begin(), more.end());
    return s;
  }
  // One click on a check box, then a wait for the state it shows.
  static Step toggle(int pane, const char* item, bool want) {
    auto clicked = std::make_shared<bool>(false);
    return [=] {
      HWND w = active_dialog(1);
      HWND p = w ? pane_in(w, pane) : nullptr;
      RECT rc;
      if (!p) return false;
      if (*clicked) return desc_is_checked(pane_text(p), id_pack(item)) == want;
      if (!pane_item_rect(p, id_pack(item), &rc)) return false;
      click_at(p, rc);
      *clicked = true;
      return false;
    };
  }
  std::string get(const char* key) {
    Text* t = setup_get_text(rec, id_pack(key));
    std::string s = text_cstr(t);
    text_free(t);
    return s;
  }
  // The installed editor, with its time.
  void install_editor(int year) {
    fs::path exe = root / "pf" / SETUP_FOLDER_NAME / "zqeditor.exe";
    fs::create_directories(exe.parent_path());
    std::ofstream(exe) << "old";
    SYSTEMTIME st{(WORD)year, 1, 0, 1, 0, 0, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    HANDLE h = CreateFileW(exe.wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
  }
};

TEST_F(WizardTest, StandardRoadShowsTheAgreementAndBackAfterTheJumpReturnsToTheFirstPage) {
  std::string agreement, summary;
  HWND frame = nullptr;
  Driver d({at(0), press("NEXT"), at(4), press("BACK"), at(0), press("NEXT"), at(4), check([&] {
              frame = active_dialog(1);
              agreement = pane_string(frame, INFO);
            }),
            press("NEXT"), at(6), check([&] { summary = pane_string(active_dialog(1), INFO); }),
            press("FINISH")});
  EXPECT_TRUE(run());
  EXPECT_EQ(pages, (std::vector<int>{0, 4, 0, 4, 6}));
  EXPECT_NE(agreement.find("使用許諾の条件"), std::string::npos) << "contract.txt of the package";
  EXPECT_NE(summary.find("インストール先\t" + pf), std::string::npos) << summary;
  EXPECT_NE(summary.find("新規インストール"), std::string::npos);
  EXPECT_EQ(setup_get(rec, ID("COMMON")), 1);
  EXPECT_EQ(get("DST"), pf);
  EXPECT_FALSE(IsWindow(frame)) << "the wizard's window is gone";
}

TEST_F(WizardTest, StandardRoadOverAnInstallationWarnsOfANewerEditor) {
  struct Case {
    int year;
    bool warned;
  } cases[] = {{2030, true}, {2010, false}};
  for (const Case& c : cases) {
    install_editor(c.year);
    pages.clear();
    std::string info, note;
    Driver d({at(0), press("NEXT"), at(3),
              check([&] { info = pane_string(active_dialog(1), INFO); }),
              toggle(CHECKS, "RESCUE", true), press("NEXT"), box_text(&note), key(VK_RETURN), at(6),
              press("FINISH")});
    EXPECT_TRUE(run());
    EXPECT_EQ(pages, (std::vector<int>{0, 3, 6})) << c.year;
    EXPECT_NE(info.find("すでにインストールされています"), std::string::npos) << info;
    EXPECT_EQ(info.find("新しいバージョンです") != std::string::npos, c.warned) << c.year;
    EXPECT_NE(note.find("設定内容は初期化されます"), std::string::npos);
    EXPECT_EQ(setup_get(rec, ID("RESCUE")), 1);
    setup_set(rec, ID("RESCUE"), 0);
  }
}

TEST_F(WizardTest, CustomRoadShowsEveryPageAndKeepsTheChoices) {
  Driver d(custom(true, {press("NEXT"), at(4), press("NEXT"), at(5), toggle(CHECKS, "REGDT", false),
                         toggle(CHECKS, "REGTXT", true), press("NEXT"), at(6), press("BACK"), at(5),
                         press("NEXT"), at(6), key(VK_RETURN)}));
  EXPECT_TRUE(run());
  EXPECT_EQ(pages, (std::vector<int>{0, 1, 2, 4, 5, 6, 5, 6}));
  EXPECT_EQ(setup_get(rec, ID("COMMON")), 0);
  EXPECT_EQ(get("DST"), (fs::path(ad) / "VODudeduva").string());
  EXPECT_EQ(setup_get(rec, ID("REGDT")), 0) << "unchecked on the options page";
  EXPECT_EQ(setup_get(rec, ID("REGTXT")), 1);
  EXPECT_EQ(setup_get(rec, ID("REGSM")), 1);
}

// Back to the first page shows the road chosen there, and the road taken afterwards is the one
// chosen last.
TEST_F(WizardTest, BackToTheFirstPageShowsTheRoadChosen) {
  std::vector<bool> custom_shown;
  auto shown = [&] {
    return check([&] {
      HWND p = pane_in(active_dialog(1), RADIO2_PANE);
      custom_shown.push_back(p && desc_is_checked(pane_text(p), ID("RADIO2")));
    });
  };
  std::vector<Step> steps{at(0),         shown(), click(RADIO2_PANE, ID("RADIO2"), 1),
                          press("NEXT"), at(1),   press("BACK")};
  for (Step s : {at(0), shown(), click(RADIO2_PANE - 1, ID("RADIO1"), 1), press("NEXT"), at(4),
                 press("BACK")})
    steps.push_back(s);
  for (Step s :
       {at(0), shown(), click(RADIO2_PANE, ID("RADIO2"), 1), press("NEXT"), at(1), press("NEXT"),
        at(2), press("NEXT"), at(4), press("NEXT"), at(5), press("NEXT"), at(6), press("FINISH")})
    steps.push_back(s);
  Driver d(steps);
  EXPECT_TRUE(run());
  EXPECT_EQ(pages, (std::vector<int>{0, 1, 0, 4, 0, 1, 2, 4, 5, 6}));
  EXPECT_EQ(custom_shown, (std::vector<bool>{false, true, false}));
}

// Started with " -user", the standard road installs for the logged-on user under application
// data; the custom road offers the user's kind first.
TEST_F(WizardTest, StartedForTheUserTheStandardRoadIsTheUsersInstallation) {
  text_free(rec);
  rec = setup_record_new(&env, true);
  Driver d({at(0), press("NEXT"), at(4), press("NEXT"), at(6), press("FINISH")});
  EXPECT_TRUE(run());
  EXPECT_EQ(pages, (std::vector<int>{0, 4, 6}));
  EXPECT_EQ(setup_get(rec, ID("COMMON")), 0);
  EXPECT_EQ(get("DST"), (fs::path(ad) / "VODudeduva").string());
  pages.clear();
  bool user_shown = false;
  Driver d2({at(0), click(RADIO2_PANE, ID("RADIO2"), 1), press("NEXT"), at(1), check([&] {
               HWND p = pane_in(active_dialog(1), RADIO2_PANE);
               user_shown = p && desc_is_checked(pane_text(p), ID("RADIO2"));
             }),
             press("CANCEL")});
  EXPECT_FALSE(run());
  EXPECT_TRUE(user_shown) << "ユーザ専用インストール preset";
}

TEST_F(WizardTest, AFolderOutsideTheProgramFolderStaysOnTheDestinationPage) {
  std::string message;
  std::vector<Step> steps = custom(false, {[&] {
                                             SetFocus(pane_in(active_dialog(1), DST));
                                             return true;
                                           },
                                           key(VK_END)});
  for (size_t k = 0; k < pf.size(); ++k) steps.push_back(key(VK_BACK));
  for (char ch : std::string("C:\\elsewhere")) steps.push_back(chr(ch));
  steps.insert(steps.end(),
               {press("NEXT"), box_text(&message), key(VK_RETURN), at(2), press("CANCEL")});
  Driver d(steps);
  EXPECT_FALSE(run());
  EXPECT_EQ(pages, (std::vector<int>{0, 1, 2, 2}));
  EXPECT_NE(message.find("フォルダの指定が間違っています"), std::string::npos) << message;
  EXPECT_NE(message.find(pf), std::string::npos);
}

TEST_F(WizardTest, CancelLeavesTheRecordAndTheDiskAsTheyWere) {
  std::string before = text_cstr(rec);
  Driver d(custom(true, {press("NEXT"), at(4), press("NEXT"), at(5), toggle(CHECKS, "REGSM", false),
                         press("CANCEL")}));
  EXPECT_FALSE(run());
  EXPECT_EQ(pages, (std::vector<int>{0, 1, 2, 4, 5}));
  EXPECT_EQ(std::string(text_cstr(rec)), before) << "the record is untouched";
  EXPECT_TRUE(fs::is_empty(root / "pf"));
  EXPECT_TRUE(fs::is_empty(root / "ad")) << "no folder made for the user's installation";
}

TEST_F(WizardTest, HelpShowsTheSetupSectionOverThePage) {
  std::string help;
  Driver d({at(0), press("HELP"), box_text(&help, 30201), key(VK_ESCAPE), at(0), press("CANCEL")});
  EXPECT_FALSE(run());
  EXPECT_NE(help.find("セットアップの手引き"), std::string::npos) << help;
  EXPECT_EQ(help.find("別"), std::string::npos) << "only the SETUP section";
}

TEST_F(WizardTest, FolderButtonsTakeThePreviousFolderAndTheFolderDialog) {
  std::string previous = pf + "\\Old ZQ";
  ASSERT_EQ(reg_set_string(REG_MACHINE, SETUP_HIST_KEY, "folder", previous.c_str()), 0u);
  std::string dst_after_hist, folder_after_hist, dst_after_refer;
  HWND browser = nullptr;
  Driver d(custom(
      false, {click(30214, ID("HIST"), 1),
              [&] {
                dst_after_hist = pane_string(active_dialog(1), DST);
                folder_after_hist = pane_string(active_dialog(1), DST + 1);
                return dst_after_hist == pf;
              },
              click(30214, ID("REFER"), 1),
              [&] {  // the system's folder dialog, titled, once it shows DST chosen: OK keeps it
                browser = FindWindowW(nullptr, L"セットアップ先");
                HWND tree =
                    browser ? FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr) : 0;
                wchar_t name[64] = L"";
                TVITEMW item{};
                item.mask = TVIF_TEXT;
                item.hItem = tree ? TreeView_GetSelection(tree) : nullptr;
                item.pszText = name;
                item.cchTextMax = 64;
                if (!item.hItem || !TreeView_GetItem(tree, &item) || wcscmp(name, L"pf") != 0)
                  return false;
                PostMessageW(browser, WM_COMMAND, IDOK, 0);
                return true;
              },
              at(2), check([&] { dst_after_refer = pane_string(active_dialog(1), DST); }),
              press("NEXT"), at(4), press("NEXT"), at(5), press("NEXT"), at(6), press("FINISH")}));
  EXPECT_TRUE(run());
  reg_delete_key(REG_MACHINE, SETUP_HIST_KEY);
  EXPECT_EQ(dst_after_hist, pf);
  EXPECT_EQ(folder_after_hist, "Old ZQ");
  EXPECT_NE(browser, nullptr);
  EXPECT_EQ(dst_after_refer, pf);
  EXPECT_FALSE(setup_has(rec, ID("HIST"))) << "the folder chosen drops HIST";
  EXPECT_EQ(get("FOLDER"), "Old ZQ");
}

}  // namespace

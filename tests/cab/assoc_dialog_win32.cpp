// The association dialogs driven with real input under Wine, against the prefix's registry: ADD
// and DEL of the extension list, the boxes of the one-extension dialog and its refusals, and the
// HTML-editor choice of the other associations.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "cab/wizard_ui.h"
#include "setup/assoc.h"
#include "setup/install/assoc_snapshot.h"
#include "setup/registry.h"
#include "ui/desc.h"
#include "uiwin/driver.h"

namespace {

std::string list_text(HWND frame) {
  HWND p = pane_in(frame, 30200);
  return p && pane_text(p) ? text_cstr(pane_text(p)) : "";
}

// Waits for the extension list to show (or not) an extension.
Step list_shows(const char* ext, bool present) {
  return [=] {
    HWND w = active_dialog(1);
    return w && (list_text(w).find(ext) != std::string::npos) == present;
  };
}

void forget(const char* ext) {
  Text* prog = assoc_prog_id(ext);
  reg_delete_key(REG_CLASSES, text_cstr(prog));
  reg_delete_key(REG_CLASSES, ext);
  text_free(prog);
}

class AssocDialogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const char* e : {".zqa", ".zqo"}) forget(e);
  }
};

// ADD and DEL with the mouse and Enter; afterwards the extension opens exactly as before: one
// new to the system loses its key again, ".txt" opens in the system's editor again.
TEST_F(AssocDialogTest, ExtensionListAddsAndRemovesThroughItsButtons) {
  std::wstring txt = assoc_test::value_of(L".txt");
  reg_set_string(REG_CLASSES, ".txt", nullptr, "txtfile");
  for (const char* ext : {".zqa", ".txt"}) {
    SCOPED_TRACE(ext);
    std::wstring wide(ext, ext + std::strlen(ext));
    const std::wstring before = assoc_test::snapshot(wide.c_str());
    Text* rec = text_new();
    setup_set_text(rec, ID("EXT"), ext);  // handed over by another window: prefills ADD
    std::vector<Step> steps{click(CHILD_OK_COLUMN, ID("ADD"), 1),
                            [] { return active_dialog(1) && pane_in(active_dialog(1), 30199); },
                            key(VK_RETURN),
                            list_shows(ext, true),
                            click(CHILD_OK_COLUMN, ID("DEL"), 1),
                            list_shows(ext, false),
                            click(CHILD_OK_COLUMN, ID("OK"), 1)};
    Driver d(steps);
    assoc_dialog_list(nullptr, rec);
    EXPECT_FALSE(assoc_query(ext, ID("EDIT"), false)) << "DEL removed EDIT";
    EXPECT_FALSE(assoc_query(ext, ID("OPEN"), false)) << "and OPEN";
    EXPECT_EQ(assoc_test::snapshot(wide.c_str()), before);
    text_free(rec);
  }
  if (txt != L"<none>")
    RegSetValueW(HKEY_CLASSES_ROOT, L".txt", REG_SZ, txt.substr(txt.find(L':') + 1).c_str(), 0);
}

TEST_F(AssocDialogTest, OneExtensionAppliesTheBoxesThatChanged) {
  Driver d({click(30210, ID("OPEN"), 1), key(VK_RETURN)});
  EXPECT_TRUE(assoc_dialog_one(nullptr, ".zqo"));
  EXPECT_TRUE(assoc_query(".zqo", ID("OPEN"), false));
  EXPECT_FALSE(assoc_query(".zqo", ID("EDIT"), false)) << "an unchanged box writes nothing";
  // Preset from the registry: OPEN shows checked; unchecking it restores the previous command.
  bool preset = false;
  Driver d2({check([&] {
               HWND w = active_dialog(1);
               preset = w && desc_is_checked(pane_text(pane_in(w, 30210)), ID("OPEN"));
             }),
             click(30210, ID("OPEN"), 1), key(VK_RETURN)});
  EXPECT_TRUE(assoc_dialog_one(nullptr, ".zqo"));
  EXPECT_TRUE(preset);
  EXPECT_FALSE(assoc_query(".zqo", ID("OPEN"), false));
}

TEST_F(AssocDialogTest, OneExtensionRefusesScriptsWithAMessage) {
  for (const char* ext : {".bat", "vbs", ".JS"}) {
    std::string message;
    Driver d({[&] {
                HWND w = active_dialog(1);
                HWND t = w ? pane_in(w, CHILD_MSG_TEXT) : nullptr;
                if (!t) return false;
                message = text_cstr(pane_text(t));
                return true;
              },
              key(VK_RETURN)});
    EXPECT_FALSE(assoc_dialog_one(nullptr, ext)) << ext;
    EXPECT_NE(message.find(ASSOC_REFUSED_MESSAGE), std::string::npos) << ext;
  }
}

TEST_F(AssocDialogTest, OtherAssociationsRegisterAndRemoveTheHtmlEditor) {
  // The list of HTML editors that Windows keeps (a fresh Wine prefix has none).
  HKEY list;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.htm\\OpenWithList", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &list, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(list);
  html_editor(0);
  Driver d({click(30200, ID("R2"), 1), key(VK_RETURN)});
  EXPECT_TRUE(assoc_dialog_other(nullptr));
  EXPECT_TRUE(html_editor(2));
  bool preset = false;
  Driver d2({check([&] {
               HWND w = active_dialog(1);
               preset = w && desc_is_checked(pane_text(pane_in(w, 30200)), ID("R2"));
             }),
             click(30200, ID("R0"), 1), key(VK_RETURN)});
  EXPECT_TRUE(assoc_dialog_other(nullptr));
  EXPECT_TRUE(preset) << "preset to 2 when registered";
  EXPECT_FALSE(html_editor(2));
  Driver d3({click(30200, ID("R2"), 1), key(VK_ESCAPE)});
  EXPECT_FALSE(assoc_dialog_other(nullptr));
  EXPECT_FALSE(html_editor(2)) << "cancel changes nothing";
}

}  // namespace

// The wizard of the real zq9utl.exe: it opens by itself over the set-up window and is drawn there,
// Enter goes on to the next page of the standard road, and closing it ends the program with
// nothing written; taken with Enter to its end, it installs and starts the editor.

#include <gtest/gtest.h>
#include <shlobj.h>

#include <initializer_list>
#include <string>

#include "../setup/install/assoc_snapshot.h"
#include "../support/setup_windows.h"
#include "e2e.h"

namespace {

// The share of the window's screen area in the colour of the dialog face: a window that the
// screen shows unpainted (black) has none of it.
double face_share(HWND w) {
  RECT rc;
  if (!GetWindowRect(w, &rc)) return 0;
  int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
  if (cx <= 0 || cy <= 0) return 0;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof bi.bmiHeader, cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, cx, cy, screen, rc.left, rc.top, SRCCOPY);
  GdiFlush();
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  DWORD want = (DWORD)(GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face));
  long n = 0;
  for (long i = 0; bits && i < (long)cx * cy; ++i) n += (((DWORD*)bits)[i] & 0xFFFFFF) == want;
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return (double)n / ((double)cx * cy);
}

std::wstring title_of(HWND w) {
  wchar_t t[256] = L"";
  GetWindowTextW(w, t, 256);
  return t;
}

struct Child {
  int id;
  HWND found;
};

BOOL CALLBACK find_child(HWND w, LPARAM lp) {
  Child* c = (Child*)lp;
  if (GetDlgCtrlID(w) == c->id && IsWindowVisible(w)) {
    c->found = w;
    return FALSE;
  }
  return TRUE;
}

// The keys a person presses in a pane of the wizard (its items answer Home, End and Space).
bool keys_to_pane(HWND wizard, int id, std::initializer_list<UINT> keys) {
  Child c{id, nullptr};
  for (int k = 0; k < 600 && !c.found; ++k) {
    EnumChildWindows(wizard, find_child, (LPARAM)&c);
    if (!c.found) Sleep(50);
  }
  if (!c.found) return false;
  for (UINT vk : keys) {
    PostMessageW(c.found, WM_KEYDOWN, vk, 1);
    PostMessageW(c.found, WM_KEYUP, vk, 0xC0000001);
  }
  DWORD_PTR r = 0;
  SendMessageTimeoutW(wizard, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &r);
  return true;
}

TEST(Wizard, OpensByItselfGoesOnWithEnterAndWritesNothingWhenClosed) {
  wchar_t pf[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, pf);
  std::wstring standard = std::wstring(pf) + L"\\VA VUDOVA 9";
  bool installed =
      GetFileAttributesW((standard + L"\\zqeditor.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
  e2e::Process p = e2e::start(e2e::build_path(L"app/zq9utl/zq9utl.exe"), L"");
  SetupWindows f = setup_windows_wait(p.id, 400);
  ASSERT_NE(f.wizard, nullptr) << "the wizard opens by itself";
  EXPECT_NE(f.main, nullptr) << "over the set-up window";
  EXPECT_EQ(title_of(f.wizard), L"VI RIDEVA 9 64ved セットアップ");
  // Drawn on the screen over the set-up window, not left as a black rectangle.
  double share = 0;
  for (int k = 0; k < 300 && (share = face_share(f.wizard)) < 0.2; ++k) Sleep(50);
  EXPECT_GE(share, 0.2) << "the wizard's face is on the screen";
  // Enter on the first page: the standard road's next page, with the package's agreement.
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  DWORD thread = GetWindowThreadProcessId(f.wizard, nullptr);
  std::wstring next =
      installed ? L"上書きインストール - VI RIDEVA 9 64ved" : L"使用許諾契約証 - VI RIDEVA 9 64ved";
  // Generous waits: a loaded machine may take seconds to build and focus a page.
  for (int k = 0; k < 600 && !(GetGUIThreadInfo(thread, &gui) && gui.hwndFocus); ++k) Sleep(50);
  ASSERT_NE(gui.hwndFocus, nullptr) << "a control of the wizard has the focus";
  PostMessageW(gui.hwndFocus, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(gui.hwndFocus, WM_KEYUP, VK_RETURN, 0xC0000001);
  for (int k = 0; k < 600 && title_of(f.wizard) != next; ++k) Sleep(50);
  EXPECT_EQ(title_of(f.wizard), next);
  PostMessageW(f.wizard, WM_CLOSE, 0, 0);
  int code = e2e::wait(p, 30000);
  e2e::stop(p);
  EXPECT_EQ(code, 2) << "a cancelled set-up is a refusal";
  HKEY key;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\VODudeduva\\ZQ9", 0, KEY_READ, &key),
            ERROR_SUCCESS)
      << "no previous-folder record";
  if (!installed) {
    EXPECT_EQ(GetFileAttributesW(standard.c_str()), INVALID_FILE_ATTRIBUTES) << "no folder";
  }
}

// The road a person takes: Enter on every page of the standard road, Enter on the closing box
// (the editor starts), and the program ends with 0, the product installed and its editor shown.
TEST(Wizard, EnterThroughTheStandardRoadInstallsAndStartsTheEditor) {
  std::wstring standard = e2e::folder(CSIDL_PROGRAM_FILES) + L"\\VA VUDOVA 9";
  bool installed = e2e::exists(standard + L"\\zqeditor.exe");
  ASSERT_EQ(e2e::viewers(false), 0) << "an editor of someone else";
  e2e::Process p = e2e::start(e2e::build_path(L"app/zq9utl/zq9utl.exe"), L"");
  // Whatever fails below, the installation goes again (an earlier one is left as it was).
  struct Cleanup {
    e2e::Process& p;
    std::wstring folder;
    ~Cleanup() {
      e2e::stop(p);
      e2e::viewers(true);
      for (int k = 0; k < 200 && e2e::viewers(false); ++k) Sleep(50);
      if (folder.empty()) return;
      e2e::remove_installation_traces();
      // The editor's process may hold its file a moment after its window went.
      for (int k = 0; k < 100 && e2e::exists(folder); ++k) {
        e2e::remove_tree(folder);
        if (e2e::exists(folder)) Sleep(100);
      }
    }
  } cleanup{p, installed ? L"" : standard};
  SetupWindows f = setup_windows_wait(p.id, 600);
  ASSERT_NE(f.wizard, nullptr) << "the wizard opens by itself";
  const std::wstring road[] = {
      installed ? L"上書きインストール - VI RIDEVA 9 64ved" : L"使用許諾契約証 - VI RIDEVA 9 64ved",
      L"VI RIDEVA 9 64ved"};
  for (const std::wstring& next : road) {
    ASSERT_TRUE(e2e::press_enter(f.wizard, 30000)) << e2e::narrow(title_of(f.wizard));
    for (int k = 0; k < 600 && title_of(f.wizard) != next; ++k) Sleep(50);
    ASSERT_EQ(title_of(f.wizard), next);
  }
  ASSERT_TRUE(e2e::press_enter(f.wizard, 30000)) << "Finish";
  // The closing box of the standard installation, once the files are in.
  HWND known[] = {f.main, f.wizard};
  HWND box = e2e::wait_process_window(p.id, L"DuroDA64", known, 2, 60000);
  ASSERT_NE(box, nullptr) << "the closing box";
  EXPECT_FALSE(IsWindow(f.wizard)) << "the wizard has closed";
  EXPECT_TRUE(e2e::exists(standard + L"\\zqeditor.exe")) << "installed before the box";
  ASSERT_TRUE(e2e::press_enter(box, 30000)) << "OK";
  EXPECT_EQ(e2e::wait(p, 30000), 0);
  EXPECT_NE(e2e::wait_window(L"DuroDA64", L"VI RIDEVA 9 64ved [読み取り専用]", 30000), nullptr)
      << "the installed editor is shown";
  for (const wchar_t* file : {L"zqeditor.exe", L"zqsetup.exe", L"idsystem.sys"})
    EXPECT_TRUE(e2e::exists(standard + L"\\" + file)) << e2e::narrow(file);
  EXPECT_EQ(e2e::reg(HKEY_LOCAL_MACHINE,
                     L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VI RIDEVA 9 64ved",
                     L"UninstallString"),
            L"\"" + standard + L"\\zqsetup.exe\" -uninst");
  EXPECT_EQ(e2e::reg(HKEY_LOCAL_MACHINE, L"Software\\VODudeduva\\ZQ9", L"folder"), standard);
}

// The custom road taken with keys: the standard kind in the default folder and the text files on;
// ".txt" then opens in the installed editor, and the installed zqsetup.exe's uninstall gives it
// back to the system's editor, value for value.
TEST(Wizard, CustomRoadAssociatesTextFilesWithTheInstalledEditorUntilTheUninstall) {
  std::wstring standard = e2e::folder(CSIDL_PROGRAM_FILES) + L"\\VA VUDOVA 9";
  bool installed = e2e::exists(standard + L"\\zqeditor.exe");
  ASSERT_EQ(e2e::viewers(false), 0) << "an editor of someone else";
  std::wstring txt = assoc_test::value_of(L".txt");
  RegSetValueW(HKEY_CLASSES_ROOT, L".txt", REG_SZ, L"txtfile", 0);
  const std::wstring system = assoc_test::snapshot(L".txt");
  e2e::Process p = e2e::start(e2e::build_path(L"app/zq9utl/zq9utl.exe"), L"");
  struct Cleanup {
    e2e::Process& p;
    std::wstring folder, txt;
    ~Cleanup() {
      e2e::stop(p);
      e2e::viewers(true);
      for (int k = 0; k < 200 && e2e::viewers(false); ++k) Sleep(50);
      if (txt != L"<none>")
        RegSetValueW(HKEY_CLASSES_ROOT, L".txt", REG_SZ, txt.substr(txt.find(L':') + 1).c_str(), 0);
      RegDeleteTreeW(HKEY_CLASSES_ROOT, L"text_txtfile");
      if (folder.empty()) return;
      e2e::remove_installation_traces();
      for (int k = 0; k < 100 && e2e::exists(folder); ++k) {
        e2e::remove_tree(folder);
        if (e2e::exists(folder)) Sleep(100);
      }
    }
  } cleanup{p, installed ? L"" : standard, txt};
  SetupWindows f = setup_windows_wait(p.id, 600);
  ASSERT_NE(f.wizard, nullptr) << "the wizard opens by itself";
  auto reach = [&](const std::wstring& title) {
    for (int k = 0; k < 600 && title_of(f.wizard) != title; ++k) Sleep(50);
    return title_of(f.wizard) == title;
  };
  ASSERT_TRUE(reach(L"VI RIDEVA 9 64ved セットアップ"));
  ASSERT_TRUE(e2e::press_enter(f.wizard, 30000)) << "the first page has the focus";
  ASSERT_TRUE(reach(installed ? L"上書きインストール - VI RIDEVA 9 64ved"
                              : L"使用許諾契約証 - VI RIDEVA 9 64ved"));
  // Back, and the custom road: Space on "カスタムインストール".
  ASSERT_TRUE(keys_to_pane(f.wizard, 30250, {VK_HOME, VK_SPACE})) << "< 戻る";
  ASSERT_TRUE(reach(L"VI RIDEVA 9 64ved セットアップ"));
  ASSERT_TRUE(keys_to_pane(f.wizard, 30211, {VK_HOME, VK_SPACE}));
  const std::wstring road[] = {
      L"インストールの種類 - VI RIDEVA 9 64ved", L"インストール先 - VI RIDEVA 9 64ved",
      installed ? L"上書きインストール - VI RIDEVA 9 64ved" : L"使用許諾契約証 - VI RIDEVA 9 64ved",
      L"オプション - VI RIDEVA 9 64ved"};
  for (const std::wstring& next : road) {
    ASSERT_TRUE(e2e::press_enter(f.wizard, 30000)) << e2e::narrow(title_of(f.wizard));
    ASSERT_TRUE(reach(next)) << e2e::narrow(title_of(f.wizard));
  }
  // "テキストファイル(.txt)に関連付け", the last box of the options.
  ASSERT_TRUE(keys_to_pane(f.wizard, 30212, {VK_END, VK_SPACE}));
  ASSERT_TRUE(e2e::press_enter(f.wizard, 30000));
  ASSERT_TRUE(reach(L"VI RIDEVA 9 64ved"));
  ASSERT_TRUE(e2e::press_enter(f.wizard, 30000)) << "Finish";
  HWND known[] = {f.main, f.wizard};
  HWND box = e2e::wait_process_window(p.id, L"DuroDA64", known, 2, 60000);
  ASSERT_NE(box, nullptr) << "the closing box";
  ASSERT_TRUE(e2e::press_enter(box, 30000)) << "OK";
  EXPECT_EQ(e2e::wait(p, 30000), 0);
  const std::wstring exe = standard + L"\\zqeditor.exe";
  EXPECT_TRUE(e2e::exists(exe));
  for (const wchar_t* verb : {L"open", L"edit"})
    EXPECT_EQ(
        e2e::reg(HKEY_CLASSES_ROOT,
                 (std::wstring(L"text_txtfile\\shell\\") + verb + L"\\command").c_str(), nullptr),
        L"\"" + exe + L"\" \"%1\"")
        << e2e::narrow(verb);
  EXPECT_EQ(e2e::reg(HKEY_CLASSES_ROOT, L".txt", nullptr), L"text_txtfile");
  EXPECT_TRUE(e2e::exists(e2e::folder(CSIDL_APPDATA) + L"\\VODudeduva\\ZQ9xcom\\rgopen.lst"))
      << "the lists where the installed programs read them";
  e2e::viewers(true);
  for (int k = 0; k < 200 && e2e::viewers(false); ++k) Sleep(50);
  e2e::Process u = e2e::start(standard + L"\\zqsetup.exe", L"-uninst -silent");
  EXPECT_EQ(e2e::wait(u, 120000), 0);
  e2e::stop(u);
  EXPECT_EQ(assoc_test::snapshot(L".txt"), system);
}

}  // namespace

// The wizard of the real zq9utl.exe: it opens by itself over the set-up window and is drawn there,
// Enter goes on to the next page of the standard road, and closing it ends the program with
// nothing written; taken with Enter to its end, it installs and starts the editor.

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "e2e.h"

namespace {

struct Windows {
  DWORD pid;
  HWND main, wizard;
};

BOOL CALLBACK find(HWND w, LPARAM lp) {
  Windows* f = (Windows*)lp;
  DWORD pid = 0;
  wchar_t cls[32];
  GetWindowThreadProcessId(w, &pid);
  if (pid == f->pid && IsWindowVisible(w) && GetClassNameW(w, cls, 32) &&
      wcscmp(cls, L"DuroDA64") == 0)
    (GetWindow(w, GW_OWNER) ? f->wizard : f->main) = w;
  return TRUE;
}

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

TEST(Wizard, OpensByItselfGoesOnWithEnterAndWritesNothingWhenClosed) {
  wchar_t pf[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, pf);
  std::wstring standard = std::wstring(pf) + L"\\VA VUDOVA 9";
  bool installed =
      GetFileAttributesW((standard + L"\\zqeditor.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
  e2e::Process p = e2e::start(e2e::build_path(L"app/zq9utl/zq9utl.exe"), L"");
  Windows f{p.id, nullptr, nullptr};
  for (int k = 0; k < 400 && !f.wizard; ++k) {
    Sleep(50);
    EnumWindows(find, (LPARAM)&f);
  }
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
  Windows f{p.id, nullptr, nullptr};
  for (int k = 0; k < 600 && !f.wizard; ++k) {
    Sleep(50);
    EnumWindows(find, (LPARAM)&f);
  }
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

}  // namespace

// Takes the README's screenshots of the set-up: every page of the wizard (the custom road over a
// new folder, then the standard road over an installed editor for the overwrite page) and the
// set-up window of the real zq9utl.exe. The wizard runs on the package named on the command line;
// each window is captured from the screen once it has drawn, with a margin of the desktop, as
// FOLDER\wizard-N-DPI.bmp and FOLDER\main-DPI.bmp (scripts/screenshots/wizard makes PNG files).
// Usage: wizardshots FOLDER DPI PACKAGE ZQ9UTL

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "cab/wizard_ui.h"
#include "capture.h"
#include "core/codepage.h"
#include "setup/pak.h"
#include "setup/setup_record.h"
#include "tests/support/setup_windows.h"
#include "uiwin/pane.h"

namespace {

wchar_t g_folder[MAX_PATH];
wchar_t g_dpi[16];

// The window as the screen shows it, with a margin of the desktop, into FOLDER\NAME-DPI.bmp.
void capture(HWND w, const wchar_t* name) {
  RECT rc;
  GetWindowRect(w, &rc);
  int m = ui_scale(w, 12);
  InflateRect(&rc, m, m);
  shots_capture(rc, g_folder, name, g_dpi);
}

// Steps run by a timer while the wizard runs its loop; each waits until it returns true.
std::vector<std::function<bool()>> g_steps;
size_t g_next;
int g_wait;

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_next < g_steps.size() && g_steps[g_next]()) {
    ++g_next;
    g_wait = 0;
  }
}

std::wstring title_of(HWND w) {
  wchar_t t[256] = L"";
  GetWindowTextW(w, t, 256);
  return t;
}

// Waits for the wizard's page with that title to settle, then captures it.
std::function<bool()> page(const wchar_t* title, int number) {
  return [=] {
    HWND w = GetActiveWindow();
    if (!w || title_of(w) != title || ++g_wait < 10) return false;
    wchar_t name[16];
    swprintf(name, 16, L"wizard-%d", number);
    capture(w, name);
    return true;
  };
}

std::function<bool()> press(PackedId item, int pane = 30250) {
  return [=] {
    HWND w = GetActiveWindow();
    HWND c = w ? GetDlgItem(w, CHILD_CONTAINER) : nullptr;
    HWND p = c ? GetDlgItem(c, pane) : nullptr;
    RECT rc;
    if (!p || !pane_item_rect(p, item, &rc)) return false;
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    PostMessageW(p, WM_MOUSEMOVE, 0, at);
    PostMessageW(p, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(p, WM_LBUTTONUP, 0, at);
    return true;
  };
}

const wchar_t kProduct[] = L"VI RIDEVA 9 64ved";
std::wstring page_title(const wchar_t* name) {
  return std::wstring(name) + L" - " + kProduct;
}

void wizard_pages(const PakBlock* pak) {
  SetupEnv env{};
  setup_env_load(&env);
  Text* rec = setup_record_new(&env, false);
  static std::wstring t1 = page_title(L"インストールの種類"), t2 = page_title(L"インストール先"),
                      t3 = page_title(L"上書きインストール"), t4 = page_title(L"使用許諾契約証"),
                      t5 = page_title(L"オプション");
  const wchar_t* t0 = L"VI RIDEVA 9 64ved セットアップ";
  // The custom road over a new folder.
  g_steps = {page(t0, 0),        press(ID("RADIO2"), 30211), press(ID("NEXT")), page(t1.c_str(), 1),
             press(ID("NEXT")),  page(t2.c_str(), 2),        press(ID("NEXT")), page(t4.c_str(), 4),
             press(ID("NEXT")),  page(t5.c_str(), 5),        press(ID("NEXT")), page(kProduct, 6),
             press(ID("CANCEL"))};
  g_next = 0;
  setup_wizard_with(nullptr, rec, &env, pak);
  // The standard road over an installed editor (made for the picture, removed after it).
  setup_set(rec, ID("COMMON"), 1);
  setup_defaults(rec, &env);
  Text* exe = setup_folder_exe(rec);
  Text* folder = setup_folder(rec);
  char16_t* wexe = to_wide_new(text_cstr(exe), -1);
  char16_t* wfolder = to_wide_new(text_cstr(folder), -1);
  bool made = wfolder && CreateDirectoryW((const wchar_t*)wfolder, nullptr);
  HANDLE h =
      wexe ? CreateFileW((const wchar_t*)wexe, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)
           : INVALID_HANDLE_VALUE;
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  g_steps = {[t0] {
               HWND w = GetActiveWindow();
               return w && title_of(w) == t0 && ++g_wait > 5;
             },
             press(ID("NEXT")), page(t3.c_str(), 3), press(ID("CANCEL"))};
  g_next = 0;
  setup_wizard_with(nullptr, rec, &env, pak);
  if (h != INVALID_HANDLE_VALUE) DeleteFileW((const wchar_t*)wexe);
  if (made) RemoveDirectoryW((const wchar_t*)wfolder);
  std::free(wexe);
  std::free(wfolder);
  text_free(exe);
  text_free(folder);
  text_free(rec);
  setup_env_free(&env);
}

// The set-up window of the real program: started, its wizard hidden once it has opened, the
// window captured, then the wizard cancelled (which ends the program).
void main_window(const wchar_t* program) {
  std::wstring command = std::wstring(L"\"") + program + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    return;
  SetupWindows f = setup_windows_wait(pi.dwProcessId, 300);
  if (f.wizard && f.main) {
    ShowWindow(f.wizard, SW_HIDE);
    RedrawWindow(f.main, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(1500);
    capture(f.main, L"main");
    PostMessageW(f.wizard, WM_CLOSE, 0, 0);
  }
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  shots_dpi_aware();
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 5) return 2;
  wcsncpy(g_folder, argv[1], MAX_PATH - 1);
  wcsncpy(g_dpi, argv[2], 15);
  HANDLE file =
      CreateFileW(argv[3], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD size = GetFileSize(file, nullptr), got = 0;
  std::vector<char> bytes(size);
  ReadFile(file, bytes.data(), size, &got, nullptr);
  CloseHandle(file);
  PakBlock pak{};
  if (got != size || !pak_block(bytes.data(), bytes.size(), &pak)) return 2;
  ui_init(instance);
  ui_set_program_title(SETUP_PRODUCT);
  SetTimer(nullptr, 0, 50, tick);
  wizard_pages(&pak);
  main_window(argv[4]);
  return 0;
}

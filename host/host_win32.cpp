// Start-up, the message loop with its IME and key-repeat handling, the thread's input hooks, and
// the shutdown, each in the order the runtime depends on.

// clang-format off
#include <windows.h>  // imm.h needs it first
#include <imm.h>
// clang-format on

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/text.h"
#include "files/file.h"
#include "files/fsys.h"
#include "files/path.h"
#include "host/cmdline.h"
#include "host/host.h"
#include "host/settings.h"
#include "host/startup.h"
#include "uiwin/msgbox.h"
#include "uiwin/pane.h"
#include "uiwin/ui_host.h"

void host_free_posted_strings();  // dispatch_win32.cpp

HostFlags host_flags;

namespace {

HINSTANCE g_instance;
Text* g_scratch;
Text* g_host_text;
DWORD g_ui_thread;
HWND g_host_window;
SYSTEMTIME g_start_time;
bool g_quitting;
int g_exit_code;     // what host_main returns (an applet's result)
bool g_busy;         // the resident icon step is running
bool g_in_dispatch;  // cleared before every GetMessageW
HHOOK g_keyboard_hook, g_mouse_hook;
HWND g_imeon;           // wants the IME keys directly
HWND g_shift_released;  // its IMEON option was cleared by SHIFT
HWND g_shortcut;
unsigned g_key_presses;
HANDLE g_child;
char* g_child_temp;

// The true version: GetVersionExW answers what the manifest claims, RtlGetVersion does not.
void read_version(DWORD* major, DWORD* minor) {
  typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
  OSVERSIONINFOW v;
  std::memset(&v, 0, sizeof v);
  v.dwOSVersionInfoSize = sizeof v;
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  RtlGetVersionFn fn =
      ntdll ? (RtlGetVersionFn)(void*)GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
  if (!fn || fn(&v) != 0) GetVersionExW(&v);
  *major = v.dwMajorVersion;
  *minor = v.dwMinorVersion;
}

// "UxTheme.dll" is no known system DLL: imported statically it would be looked for beside the
// program first, so it is loaded at run time from the system folder.
int theme_active() {
  typedef BOOL(WINAPI * IsThemeActiveFn)();
  HMODULE lib = host_load_system_library(L"uxtheme.dll");
  IsThemeActiveFn fn = lib ? (IsThemeActiveFn)(void*)GetProcAddress(lib, "IsThemeActive") : nullptr;
  return fn && fn() ? 1 : 0;
}

void set_version_flags() {
  DWORD major = 0, minor = 0;
  read_version(&major, &minor);
  host_flags.vista = major > 5;
  host_flags.win7 = major > 6 || (major == 6 && minor >= 1);
  host_flags.win81 = major > 6 || (major == 6 && minor >= 3);
  host_flags.visual_styles = host_flags.win7 ? 1 : major == 6 ? theme_active() : 0;
  if (host_flags.win81)
    host_flags.default_font = "游ゴシック";
  else
    host_flags.default_font = host_flags.visual_styles ? "メイリオ" : "MS UI Gothic";
}

bool is_repeat_key(WPARAM vk) {
  return vk == VK_PRIOR || vk == VK_NEXT || vk == VK_LEFT || vk == VK_UP || vk == VK_RIGHT ||
         vk == VK_DOWN;
}

// A key event of the hook as the message it stands for.
UINT hook_key_message(LPARAM lp) {
  UINT m = WM_KEYDOWN;
  if (lp & (1u << 31)) m |= 1;  // released: WM_KEYUP
  if (lp & (1u << 29)) m |= 4;  // ALT: WM_SYSKEYDOWN / WM_SYSKEYUP
  return m;
}

bool inside(HWND outer, HWND w) {
  return w && (w == outer || IsChild(outer, w));
}

LRESULT CALLBACK keyboard_hook(int code, WPARAM wp, LPARAM lp) {
  if (code != HC_ACTION || !g_shortcut) return CallNextHookEx(g_keyboard_hook, code, wp, lp);
  HWND focus = GetFocus();
  if (!inside(g_shortcut, focus)) {
    if (!ui_is_pane(focus)) return CallNextHookEx(g_keyboard_hook, code, wp, lp);
    UINT m = hook_key_message(lp);
    bool plain = m == WM_KEYDOWN || m == WM_KEYUP;
    if ((ui_pane_options(focus) & UI_PANE_IMEON) && plain && !ui_transient_open())
      return CallNextHookEx(g_keyboard_hook, code, wp, lp);
    MSG msg = {focus, m, wp, lp, (DWORD)GetMessageTime(), {0, 0}};
    if (!ui_pretranslate(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return 1;
  }
  if ((lp & (1u << 29)) && !(lp & (1u << 31))) {
    int n = -1;
    if (wp >= '1' && wp <= '9') n = (int)(wp - '1');
    if (wp == '0') n = 9;
    if (wp == 'A') n = 10;
    if (wp == 'B') n = 11;
    if (n >= 0) {
      SendMessageW(g_shortcut, WM_COMMAND, (WPARAM)(80 + n), 0);
      return 1;
    }
  }
  return CallNextHookEx(g_keyboard_hook, code, wp, lp);
}

// A click outside the open popup closes it.
LRESULT CALLBACK mouse_hook(int code, WPARAM wp, LPARAM lp) {
  HWND popup = ui_popup_window();
  if (code == HC_ACTION && popup && (wp == WM_NCLBUTTONDOWN || wp == WM_LBUTTONDOWN)) {
    const MOUSEHOOKSTRUCT* m = (const MOUSEHOOKSTRUCT*)lp;
    if (!inside(popup, m->hwnd) && !inside(popup, WindowFromPoint(m->pt))) DestroyWindow(popup);
  }
  return CallNextHookEx(g_mouse_hook, code, wp, lp);
}

void create_host_window() {
  WNDCLASSW wc;
  std::memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = ui_host_window_proc;
  wc.hInstance = g_instance;
  wc.lpszClassName = UI_CLASS_HOST;
  RegisterClassW(&wc);
  g_host_window = CreateWindowExW(0, UI_CLASS_HOST, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  g_instance, nullptr);
  GetLocalTime(&g_start_time);
  SetTimer(g_host_window, 96, 1000, nullptr);
  SetTimer(g_host_window, 99, 1000, nullptr);
  SetTimer(g_host_window, 88, 300, nullptr);
  SetTimer(g_host_window, 79, 200, nullptr);
}

// The resident icon applet follows its setting, unless an own window already runs.
void resident_icon_step() {
  g_busy = true;
  if (!host_first_window()) {
    HWND running = applet_find(ID("ZQICON"), nullptr, 0);
    if (host_settings.zqicon && !running)
      applet_create(ID("ZQICON"), nullptr, SW_SHOWNOACTIVATE);
    else if (!host_settings.zqicon && running)
      PostMessageW(running, WM_CLOSE, 0, 0);
  }
  g_busy = false;
}

void startup(HINSTANCE instance) {
  // The Text pool's lock is a static of the text core: nothing to create here.
  g_instance = instance;
  ui_set_message_pump(host_pump_message);  // the modal loops of dialogs and menus go through it
  char_class_init();
  g_scratch = text_new();
  set_version_flags();
  host_flags.touch = (GetSystemMetrics(SM_DIGITIZER) & 0xC0) != 0;
  ui_set_touch(host_flags.touch);  // panes then configure touch gestures
  per_user_init();
  host_flags.in_program_files = per_user_mode();
  g_keyboard_hook = SetWindowsHookExW(WH_KEYBOARD, keyboard_hook, nullptr, GetCurrentThreadId());
  g_mouse_hook = SetWindowsHookExW(WH_MOUSE, mouse_hook, nullptr, GetCurrentThreadId());
  ui_register_view_class(instance);
  g_host_text = text_new();
  g_ui_thread = GetCurrentThreadId();
  create_host_window();
  // Step 12: the settings first (the command line's ZQNAME among them), then the icon applet.
  host_settings_load();
  msg_set_sound_setting(host_settings.sound);
  resident_icon_step();
}

void shutdown() {
  g_quitting = true;
  text_free(g_scratch);
  g_scratch = nullptr;
  if (g_child) {
    WaitForSingleObject(g_child, 3600000);
    CloseHandle(g_child);
    g_child = nullptr;
    if (g_child_temp) file_delete(g_child_temp);
    std::free(g_child_temp);
    g_child_temp = nullptr;
  }
  ui_shutdown();
  text_free(g_host_text);
  g_host_text = nullptr;
  host_free_posted_strings();
  if (g_keyboard_hook) UnhookWindowsHookEx(g_keyboard_hook);
  if (g_mouse_hook) UnhookWindowsHookEx(g_mouse_hook);
  g_keyboard_hook = g_mouse_hook = nullptr;
  if (g_host_window) DestroyWindow(g_host_window);
  g_host_window = nullptr;
  temp_copy_cleanup();
  path_cache_free();
}

// Key 229 stands for a key the IME took; the real key is the IME's.
bool pretranslate_ime_key(MSG* msg) {
  MSG real = *msg;
  real.wParam = ImmGetVirtualKey(msg->hwnd);
  return ui_pretranslate(&real);
}

}  // namespace

HWND host_window() {
  return g_host_window;
}
bool host_quitting() {
  return g_quitting;
}
DWORD host_ui_thread() {
  return g_ui_thread;
}
const SYSTEMTIME* host_start_time() {
  return &g_start_time;
}
unsigned host_key_presses() {
  return g_key_presses;
}
bool host_busy() {
  return g_busy;
}
bool host_in_dispatch() {
  return g_in_dispatch;
}
void host_set_in_dispatch(bool on) {
  g_in_dispatch = on;
}

void host_set_imeon_window(HWND window, bool on) {
  if (on) {
    g_imeon = window;
    return;
  }
  if (window && window == g_shift_released) ui_pane_set_imeon(window, true);
  g_imeon = g_shift_released = nullptr;
}

void host_set_shortcut_window(HWND window) {
  g_shortcut = window;
}

void host_set_exit_code(int code) {
  g_exit_code = code;
}

void host_set_child_process(HANDLE process, const char* temp_file) {
  g_child = process;
  std::free(g_child_temp);
  g_child_temp = temp_file ? _strdup(temp_file) : nullptr;
}

int host_pump_message(MSG* out) {
  MSG local;
  MSG& msg = out ? *out : local;
  g_in_dispatch = false;
  BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  if (got == 1 && msg.message == WM_KEYDOWN && is_repeat_key(msg.wParam) &&
      host_settings.key_repeat) {
    uint32_t d = host_settings.key_delays;
    UINT delay = (msg.lParam & (1 << 30)) ? (d >> 16) : (d & 0xFFFF);
    SetTimer(g_host_window, 1000 + msg.wParam, delay, nullptr);
  }
  if (got != 1) return got;
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) ++g_key_presses;
  if (msg.message == WM_KEYDOWN) {
    if (g_imeon) {
      if (msg.hwnd == g_imeon && msg.wParam == VK_PROCESSKEY) {
        SendMessageW(msg.hwnd, msg.message, ImmGetVirtualKey(msg.hwnd), msg.lParam);
        return 1;
      }
      if (msg.hwnd == g_imeon && msg.wParam == VK_SHIFT &&
          (ui_pane_options(g_imeon) & UI_PANE_IMEON)) {
        ui_pane_set_imeon(g_imeon, false);
        g_shift_released = g_imeon;
      }
      g_imeon = nullptr;
    } else if (msg.wParam != VK_PROCESSKEY) {
      if (!ui_pretranslate(&msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      return 1;
    } else if (pretranslate_ime_key(&msg)) {
      return 1;
    }
  }
  if (msg.message == 0x118) {  // the system's caret-blink timer
    HWND focus = GetFocus();
    if (ui_is_pane(focus)) {
      ui_pane_blink_seen(focus);
      if (ui_pane_options(focus) & UI_PANE_SWALLOW_BLINK) return 1;
    }
  }
  if (!ui_pretranslate(&msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 1;
}

void host_run_loop() {
  if (ui_open_window_count() == 0) PostQuitMessage(0);
  while (host_pump_message(nullptr) == 1) continue;
}

int host_main(HINSTANCE instance, const wchar_t* command_line, int show) {
  host_harden_dll_search();
  startup(instance);
  if (cmdline_run(command_line, show, cmdline_startup_options())) {
    UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    PostMessageW(g_host_window, UI_MSG_IDLE, ID("IDLE"), 0);
    host_run_loop();
    SetErrorMode(old_mode);
  }
  shutdown();
  return g_exit_code;
}

bool host_harden_dll_search() {
  typedef BOOL(WINAPI * SetDirsFn)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  SetDirsFn fn =
      kernel ? (SetDirsFn)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
  return fn && fn(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE host_load_system_library(const wchar_t* name) {
  return (HMODULE)fsys_load_system_library((const char16_t*)name);
}

// The set-up window: start-up, the command table, the host's messages, the SET and UNINST runs
// and the unattended run. The steps themselves are the engine's (install.h, uninstall.h,
// assoc.h) and the portable set-up logic's (setup_run.h, wizard.h); this file puts them behind
// the window and its menu.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "cab/cab.h"
#include "cab/wizard_ui.h"
#include "core/codepage.h"
#include "core/format.h"
#include "core/records.h"
#include "files/path.h"
#include "host/cmdline.h"
#include "host/host.h"
#include "host/startup.h"
#include "setup/assoc.h"
#include "setup/install.h"
#include "setup/pak.h"
#include "setup/setup_record.h"
#include "setup/setup_run.h"
#include "setup/setup_texts.h"
#include "setup/shell.h"
#include "setup/switches.h"
#include "setup/uninstall.h"
#include "setup/wizard.h"
#include "ui/desc.h"
#include "ui/notify.h"
#include "uiwin/msgbox.h"
#include "uiwin/pane.h"

namespace {

struct Cab {
  HWND frame;
  HWND log;    // the log view (30200)
  Text* rec;   // run.rec
  Text* help;  // zq9.txt as WLIST1 loaded it; null without a package
  SetupEnv env;
  SetupRun run;  // the switches, the action, the run's log and exit code
  bool debug, building, busy;
  bool uninst_done;
  HostStringReceiver receiver;
};

// One set-up window per process; its record lives until the process ends.
Cab g_cab;

void log_line(const char* line) {
  notify_log(line);
}

// " -debug": every step of the start-up is logged with its number.
void step(int n) {
  if (!g_cab.debug) return;
  char b[48];
  log_line(buf_printf(b, sizeof b, "%d@%s\n", n, "cab.c"));
}

void post(HWND w, PackedId id) {
  PostMessageW(w, UI_MSG_COMMAND, id, 0);
}

void close_window(Cab* c) {
  PostMessageW(c->frame, WM_CLOSE, 0, 0);
}

// Text for a console, when the program was started from one (or its output is redirected):
// the reason of a refusal, or the usage. False when there is none.
bool console_write(DWORD which, const char* text) {
  HANDLE h = GetStdHandle(which);
  bool opened = false;
  if (!h || h == INVALID_HANDLE_VALUE) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    h = GetStdHandle(which);
    if (!h || h == INVALID_HANDLE_VALUE) {  // older systems leave a window program's handles
      h = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
      if (h == INVALID_HANDLE_VALUE) return false;
      opened = true;
    }
  }
  wchar_t* w = (wchar_t*)to_wide_new(text, -1);
  if (!w) return false;
  DWORD mode = 0, done = 0;
  bool ok;
  if (GetConsoleMode(h, &mode)) {
    ok = WriteConsoleW(h, w, (DWORD)std::wcslen(w), &done, nullptr) != 0;
  } else {
    // A file or a pipe: UTF-8, as the -log file.
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    char* u = n > 0 ? (char*)std::malloc((size_t)n) : nullptr;
    ok = u && WideCharToMultiByte(CP_UTF8, 0, w, -1, u, n, nullptr, nullptr) > 0 &&
         WriteFile(h, u, (DWORD)(n - 1), &done, nullptr);
    std::free(u);
  }
  std::free(w);
  if (opened) CloseHandle(h);
  return ok;
}

// A frame starts small: the set-up window takes a readable size in the middle of its monitor.
void place_window(HWND w) {
  MONITORINFO mi = {};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTOPRIMARY), &mi);
  RECT a = mi.rcWork;
  int cx = ui_scale(w, 640), cy = ui_scale(w, 480);
  if (cx > a.right - a.left) cx = a.right - a.left;
  if (cy > a.bottom - a.top) cy = a.bottom - a.top;
  SetWindowPos(w, nullptr, a.left + (a.right - a.left - cx) / 2,
               a.top + (a.bottom - a.top - cy) / 2, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The menu bar's description: set-up or building mode, CHECK marked from the record.
void set_menu(Cab* c) {
  Text* menu = text_new();
  setup_menu(menu, c->building);
  desc_check(menu, ID("CHECK"), setup_get(c->rec, ID("CHECK")) != 0);
  frame_set(c->frame, ID("MENU"), menu);
  text_free(menu);
}

void set_title(Cab* c) {
  Text* title = text_new();
  setup_title(title, c->building);
  frame_set(c->frame, ID("TITLE"), title);
  text_free(title);
}

// ---- commands ----

void wlist(Cab* c) {
  const PakBlock* pak = pak_open();
  size_t n = 0;
  uint8_t* bytes = pak ? pak_read_file(pak, PAK_MODE_HELP, &n) : nullptr;
  if (bytes) {
    text_free(c->help);
    c->help = text_new();
    text_insert(c->help, (const char*)bytes, TI_RAW, (int64_t)n);
    std::free(bytes);
    // Lines already logged stay after the help text.
    Text* view = pane_text(c->log);
    Text* before = text_new();
    text_put_text(before, text_cstr(view));
    text_clear(view);
    text_put_text(view, text_cstr(c->help));
    text_put_text(view, text_cstr(before));
    text_free(before);
    text_top(view);
    view_update(c->log, false);
  }
  if (pak) pak_extract_images(pak);
}

void stat_lines(Cab* c) {
  Text* desk = special_folder(ID("DESK"));
  Text* startp = special_folder(ID("STARTP"));
  Text* startc = special_folder(ID("STARTC"));
  SetupFolders f = {c->env.user_name, text_cstr(desk), text_cstr(startp), text_cstr(startc)};
  Text* lines = text_new();
  setup_stat(lines, c->rec, &f);
  log_line(text_cstr(lines));
  text_free(lines);
  text_free(desk);
  text_free(startp);
  text_free(startc);
}

void building_mode(Cab* c) {
  KillTimer(c->frame, CAB_TIMER_START);
  c->building = true;
  ShowWindow(c->frame, SW_SHOWNORMAL);
  set_title(c);
  set_menu(c);
  post(c->frame, ID("STATW"));
}

void build_package(Cab* c, int mode) {
  if (!pak_build(mode)) c->run.exit_code = SETUP_EXIT_FAILED;
}

void regext(Cab* c) {
  KillTimer(c->frame, CAB_TIMER_START);
  Text* folder = settings_folder();
  Text* line = text_new();
  setup_regext_line(line, text_cstr(folder));
  log_line(text_cstr(line));
  if (os_major_version() > 5) {
    Text* note = text_new();
    setup_message(note, SETUP_MSG_REGEXT_NOTE);
    msg_box(0, "%s", text_cstr(note));
    text_free(note);
  }
  text_free(line);
  text_free(folder);
  assoc_dialog_list(c->frame, c->rec);
  close_window(c);
}

// ---- SET ----

bool op_wizard(void* ctx, Text* rec) {
  return setup_wizard((HWND)ctx, rec);
}

// The engine's run; the window only puts its wizard in.
void set_run(Cab* c) {
  KillTimer(c->frame, CAB_TIMER_START);
  if (c->busy) return;
  c->busy = true;
  SetupRunOps ops = setup_engine_ops(c->frame);
  ops.wizard = op_wizard;
  setup_run(&c->run, &ops);
  c->busy = false;
  close_window(c);
}

void remove_self_later();

void uninst(Cab* c) {
  KillTimer(c->frame, CAB_TIMER_START);
  if (c->uninst_done || c->busy) return;
  c->uninst_done = c->busy = true;
  char title[128];
  frame_set(c->frame, ID("TITLE"),
            buf_printf(title, sizeof title, "%s アンインストール", SETUP_PRODUCT));
  Text* folder = special_folder(ID("ZQ"));
  SetupRunOps ops = setup_engine_ops(c->frame);
  if (setup_uninstall_here(&c->run, &ops, text_cstr(folder))) {
    // Refused (not an installation, a program of it running) or declined: nothing was removed.
    int refusal = SETUP_EXIT_REFUSED;
    c->run.exit_code = setup_uninstall(c->rec, &refusal) ? SETUP_EXIT_OK : refusal;
    if (c->run.exit_code == SETUP_EXIT_OK) remove_self_later();
  }
  text_free(folder);
  c->busy = false;
  close_window(c);
}

// The uninstall cannot delete the running program, which keeps its folder too. A copy in the
// temporary folder waits for this process to end and removes both.
void remove_self_later() {
  wchar_t self[MAX_PATH], temp[MAX_PATH], copy[MAX_PATH + 64], line[3 * MAX_PATH + 64];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !GetTempPathW(MAX_PATH, temp)) return;
  swprintf(copy, sizeof copy / sizeof *copy, L"%lszqsetup-%lu.exe", temp, GetCurrentProcessId());
  if (!CopyFileW(self, copy, FALSE)) return;
  // Should the helper never get to it, the copy goes at the next restart; the log names it.
  MoveFileExW(copy, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  Text* name = text_new();
  text_put_wide(name, (const char16_t*)copy);
  char logged[1200];
  log_line(buf_printf(logged, sizeof logged, "del at restart: %s\n", text_cstr(name)));
  text_free(name);
  swprintf(line, sizeof line / sizeof *line, L"\"%ls\" -zqpid(%lu) -zqrmv(\"%ls\")", copy,
           GetCurrentProcessId(), self);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(copy, line, nullptr, nullptr, FALSE, 0, nullptr, temp, &si, &pi)) {
    DeleteFileW(copy);
    return;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

// The end of the window: the -log file from the run's log, and the process's exit code.
void finish(Cab* c) {
  KillTimer(c->frame, CAB_TIMER_START);
  ui_set_log_view(nullptr);
  host_set_exit_code(setup_end(&c->run));
  host_receiver_free(&c->receiver);
}

bool hook(HWND w, UINT message, WPARAM wp, LPARAM lp, LRESULT* result) {
  Cab* c = &g_cab;
  if (w != c->frame) return false;
  if (host_receive_string(&c->receiver, w, message, wp, lp)) {
    *result = 0;
    return true;
  }
  switch (message) {
    case UI_MSG_COMMAND:
      cab_command(w, (PackedId)wp, nullptr);
      *result = 0;
      return true;
    case HOST_QUERY:
      switch ((PackedId)wp) {
        case ID("ISAPP"):
          *result = (PackedId)lp == ID("CAB") ? 2 : 0;
          return true;
        case ID("GETAPP"):
          *result = ID("CAB");
          return true;
        case ID("PRSSID"):
          *result = (LRESULT)GetCurrentProcessId();
          return true;
      }
      *result = 0;
      return true;
    case HOST_STRING:
      // The switches' strings (EXE, LOG) were read from the command line at start-up.
      if ((PackedId)wp == ID("EXT") && lp) setup_set_text(c->rec, ID("EXT"), (const char*)lp);
      *result = 0;
      return true;
    case WM_TIMER:
      if (wp != CAB_TIMER_START) return false;
      KillTimer(w, CAB_TIMER_START);
      post(w, ID("SET"));
      *result = 0;
      return true;
    case WM_CLOSE:
      if (c->busy) {  // the run closes the window itself when it ends
        *result = 0;
        return true;
      }
      return false;
    case WM_DESTROY:
      finish(c);
      return false;
  }
  return false;
}

// The uninstall's helper copy (`-zqpid(PID) -zqrmv("PATH")`): waits, deletes, ends. -1 when
// the records are not that request.
int remove_request(Text* records) {
  int pid = -1;
  Text* exe = nullptr;
  for (text_top(records); !text_at_end(records); text_next_line(records)) {
    PackedId kind = text_id(records);
    PackedId name = id_pack(text_field(records, 2));
    if (kind == ID("SW") && name == ID("ZQPID") && text_field(records, 3))
      pid = std::atoi(text_field(records, 3));
    if (kind == ID("SWSTR") && name == ID("ZQRMV") && !exe) {
      const char* f = text_field(records, 3);
      exe = text_new();
      if (f) text_insert(exe, f, TI_RAW, (int64_t)std::strcspn(f, "\r\n"));  // to the line end
    }
  }
  int code = -1;
  if (exe && pid > 0) {
    wchar_t* w = (wchar_t*)to_wide_new(text_cstr(exe), -1);
    code = w ? cab_remove_helper((DWORD)pid, w) : 1;
    std::free(w);
  }
  text_free(exe);
  return code;
}

}  // namespace

HWND cab_open(PackedId, const char*, int show, Text* records) {
  Cab* c = &g_cab;
  if (c->frame) return nullptr;
  int removed = remove_request(records);
  if (removed >= 0) {  // no window
    host_set_exit_code(removed);
    return nullptr;
  }
  // The run begins before any window: the -log file first, then the switches' contract.
  setup_env_load(&c->env);
  SetupAction action = setup_begin(&c->run, records, &c->env);
  c->rec = c->run.rec;
  c->debug = c->run.sw.debug;
  if (action == SETUP_RUN_NONE) {
    // Refused, or the usage: on the console when there is one; a box only where someone looks.
    bool help = c->run.sw.help && c->run.exit_code == SETUP_EXIT_OK;
    const char* text = text_cstr(c->run.log);
    bool shown = console_write(help ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, text);
    if (!shown && (help || !c->run.sw.unattended)) msg_box(0, "%s", text);
    host_set_exit_code(setup_end(&c->run));
    return nullptr;
  }
  c->frame = frame_new(FRAME_APPLET, nullptr);
  if (!c->frame) {
    // No window (no display): a script must not take this for an installation.
    notify_log("ウィンドウを作成できません\n");
    c->run.exit_code = SETUP_EXIT_FAILED;
    host_set_exit_code(setup_end(&c->run));
    return nullptr;
  }
  frame_set(c->frame, ID("HOOK"), hook);
  // 2: the menu and the class icon.
  if (!c->building) set_menu(c);
  HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(30020));
  if (icon) SetClassLongPtrW(c->frame, GCLP_HICON, (LONG_PTR)icon);
  // 3: the frame's empty view and the log view.
  pane_create(nullptr, c->frame, 0x2E, CAB_CHILD_FRAME_VIEW, 0);
  c->log = pane_create(nullptr, dialog_client(c->frame), PANE_VISIBLE | PANE_TABSTOP | 0x2E,
                       CAB_CHILD_LOG, 0);
  pane_set(c->log, ID("READ"), 1);
  place_window(c->frame);
  ui_set_log_view(c->log);
  set_title(c);
  step(3);
  step(5);  // 4, 5: the record with its defaults (setup_begin)
  if (action == SETUP_RUN_INSTALL) {
    post(c->frame, ID("SET"));
    return c->frame;
  }
  if (action == SETUP_RUN_UNINSTALL) return c->frame;  // the host posts UNINST
  // 6: shown, the timer that starts the wizard, the help text.
  ShowWindow(c->frame, show == (int)ID("NOSHOW") ? SW_SHOWNORMAL : show);
  if (!c->run.sw.uninst) SetTimer(c->frame, CAB_TIMER_START, CAB_START_DELAY_MS, nullptr);
  post(c->frame, ID("WLIST1"));
  step(6);
  return c->frame;
}

void cab_command(HWND window, PackedId id, HWND sender) {
  Cab* c = &g_cab;
  if (!c->frame || window != c->frame) return;
  switch (id) {
    case ID("WLIST1"):
      wlist(c);
      break;
    case ID("SET"):
      set_run(c);
      break;
    case ID("CAB"):
      building_mode(c);
      break;
    case ID("CABEXE"):
      building_mode(c);
      post(c->frame, ID("NEWS"));
      break;
    case ID("NEW"):
    case ID("NEWSS"):
      build_package(c, 0);
      break;
    case ID("NEWS"):
      build_package(c, PAK_BUILD_NEEDED);
      close_window(c);
      break;
    case ID("NEWNE"):
      build_package(c, PAK_BUILD_NEEDED);
      break;
    case ID("VIEW"): {
      Text* folder = setup_folder(c->rec);
      pak_list_destinations(pak_open(), folder);
      text_free(folder);
      break;
    }
    case ID("CHECK"):
      setup_set(c->rec, ID("CHECK"), !setup_get(c->rec, ID("CHECK")));
      set_menu(c);
      break;
    case ID("STAT"):
      stat_lines(c);
      break;
    case ID("REGS"):
      KillTimer(c->frame, CAB_TIMER_START);
      assoc_dialog_other(c->frame);
      close_window(c);
      break;
    case ID("REGEXT"):
      regext(c);
      break;
    case ID("UNINST"):
      uninst(c);
      break;
    case ID("HLPSUP"):
    case ID("ZQ0"):
    case ID("ZQ5"):
    case ID("ZQ6"):
    case ID("UPDATE"):
    case ID("QMC"):
    case ID("QMCDEV"):
      cab_help(c->frame, id);
      setup_set(c->rec, id, 1);
      break;
    case ID("EXIT"):
    case ID("OKBTN"):
      close_window(c);
      break;
    // The host's batch marks and the switches, read at start-up; SHOW is ignored.
    case ID("START"):
    case ID("SHOW"):
    case ID("SILENT"):
    case ID("USER"):
    case ID("DEBUG"):
    case ID("FORCE"):
    case ID("HELP"):
      break;
    default:
      post(sender ? sender : c->log, id);
      break;
  }
}

void cab_help(HWND owner, PackedId id) {
  Text* section = help_section(g_cab.help, id);
  Text* title = text_new();
  Text* menu = text_new();
  Text* keys = text_new();
  setup_help_frame(title, menu, keys);
  text_put_text(menu, text_cstr(keys));
  HWND f = frame_new(FRAME_DIALOG | FRAME_CENTER, owner);
  frame_set(f, ID("HOOK"), frame_standard_hook);
  frame_set(f, ID("TITLE"), title);
  frame_set(f, ID("MENU"), menu);
  HWND view =
      pane_create(section, dialog_client(f), PANE_VISIBLE | PANE_BORDER | 0x2E, CAB_CHILD_LOG, 0);
  pane_set(view, ID("READ"), 1);
  pane_set(view, ID("CXAL"), 480);
  dialog_show(f);
  for (;;) {
    PackedId r = dialog_run(f);
    if (!r || r == ID("OK") || r == ID("EXIT") || r == ID("CANCEL")) break;
  }
  dialog_close(f);
  text_free(section);
  text_free(title);
  text_free(menu);
  text_free(keys);
}

int cab_remove_helper(DWORD pid, const wchar_t* exe) {
  const wchar_t* name = std::wcsrchr(exe, L'\\');
  int code = 1;
  // Only a program of the suite's set-up name, so that the helper cannot be aimed elsewhere.
  if (name && _wcsicmp(name + 1, L"zqsetup.exe") == 0) {
    if (HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid)) {
      WaitForSingleObject(h, 60000);
      CloseHandle(h);
    }
    for (int k = 0; k < 50 && !DeleteFileW(exe) && GetLastError() != ERROR_FILE_NOT_FOUND; ++k)
      Sleep(100);
    wchar_t* folder = _wcsdup(exe);
    if (folder) {
      folder[name - exe] = 0;
      RemoveDirectoryW(folder);  // only when nothing else is left in it
      std::free(folder);
    }
    code = GetFileAttributesW(exe) == INVALID_FILE_ATTRIBUTES ? 0 : 1;
  }
  // The copy itself goes with the next restart (where the system lets it).
  wchar_t self[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n > 0 && n < MAX_PATH) MoveFileExW(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return code;
}

// The set-up window: start-up, the command table, the host's messages, the SET and UNINST runs
// and the unattended run. The steps themselves are the engine's (install.h, uninstall.h,
// assoc.h) and the portable set-up logic's (setup_run.h, wizard.h); this file puts them behind
// the window and its menu.

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/codepage.h"
#include "core/format.h"
#include "files/path.h"
#include "host/cmdline.h"
#include "host/host.h"
#include "setup/assoc.h"
#include "setup/cab/cab.h"
#include "setup/cab/wizard_ui.h"
#include "setup/install.h"
#include "setup/pak.h"
#include "setup/setup_record.h"
#include "setup/setup_run.h"
#include "setup/shell.h"
#include "setup/uninstall.h"
#include "setup/wizard.h"
#include "ui/desc.h"
#include "ui/notify.h"
#include "ui/win/msgbox.h"
#include "ui/win/pane.h"

namespace {

struct Cab {
  HWND frame;
  HWND log;  // the log view (30200)
  Text* rec;
  Text* help;  // zq9.txt as WLIST1 loaded it; null without a package
  SetupEnv env;
  SetupSwitches sw;
  SetupAction action;
  bool debug, user, building, busy;
  bool uninst_done;
  int exit_code;
  int64_t log_from;  // where the -log file starts: the help text that WLIST1 shows is no log line
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

// The process's command line as the host parses it, for the switches of the unattended run.
void read_switches(Cab* c, int show) {
  const wchar_t* line = GetCommandLineW();
  c->debug = std::wcsstr(line, L" -debug") != nullptr;
  c->user = std::wcsstr(line, L" -user") != nullptr;
  int n = to_narrow((const char16_t*)line, -1, nullptr, 0);
  char* mb = n > 0 ? (char*)std::malloc((size_t)n) : nullptr;
  Text* list = nullptr;
  if (mb && to_narrow((const char16_t*)line, -1, mb, n) > 0)
    list = cmdline_parse(mb, show, cmdline_startup_options());
  std::free(mb);
  setup_switches_read(list, &c->sw);
  text_free(list);
  if (c->sw.user) c->user = true;
  if (c->sw.debug) c->debug = true;
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
    c->log_from = text_length(view);
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
  if (!pak_build(mode)) c->exit_code = SETUP_EXIT_FAILED;
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

bool op_editor_running(void* ctx) {
  return product_running(((Cab*)ctx)->frame);
}
bool op_wizard(void* ctx, Text* rec) {
  return setup_wizard(((Cab*)ctx)->frame, rec);
}
// The log names the folder and, once every file is written, each file installed, so that an
// unattended run's log file says what it did.
bool op_install(void*, Text* rec, Text* failure) {
  const PakBlock* pak = pak_open();
  Text* folder = setup_folder(rec);
  char line[1200];
  log_line(buf_printf(line, sizeof line, "install: %s\n", text_cstr(folder)));
  bool ok = pak_install(rec, pak, failure);
  if (ok) pak_list_destinations(pak, folder);
  text_free(folder);
  return ok;
}
bool op_associated(void*, PackedId ext) {
  return assoc_query_id(ext);
}
void op_associate(void*, PackedId ext, bool on) {
  assoc_set_id(ext, on);
}
void op_uninstall_entry(void* ctx, const char* name, const char* command) {
  uninstall_entry(((Cab*)ctx)->rec, name, command, false);
}
bool op_start(void*, const char* exe) {
  return cab_start_program(exe);
}

void set_run(Cab* c) {
  KillTimer(c->frame, CAB_TIMER_START);
  if (c->busy) return;
  c->busy = true;
  bool silent = c->action == SETUP_RUN_INSTALL;
  SetupRunOps ops = {op_editor_running, op_wizard,          op_install, op_associated,
                     op_associate,      op_uninstall_entry, op_start,   c};
  // The associations name the editor of the folder being installed while the run lasts.
  Text* exe = setup_folder_exe(c->rec);
  assoc_set_editor(text_cstr(exe));
  text_free(exe);
  SetupRunResult r = setup_run(&ops, c->rec, silent);
  assoc_set_editor(nullptr);
  c->exit_code = r.exit_code;
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
  bool silent = c->action == SETUP_RUN_UNINSTALL;
  setup_set_silent(silent);
  // Refused (not an installation, a program of it running) or declined: nothing was removed.
  int refusal = SETUP_EXIT_REFUSED;
  c->exit_code = setup_uninstall(c->rec, &refusal) ? SETUP_EXIT_OK : refusal;
  setup_set_silent(false);
  if (c->exit_code == SETUP_EXIT_OK) remove_self_later();
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
  swprintf(line, sizeof line / sizeof *line, L"\"%ls\" %ls %lu \"%ls\"", copy, CAB_REMOVE_SWITCH,
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

// The end of the window: the -log file and the process's exit code.
void finish(Cab* c) {
  KillTimer(c->frame, CAB_TIMER_START);
  if (c->sw.log && c->log) {
    Text* view = pane_text(c->log);
    Text* lines = text_new();
    int64_t from = c->log_from <= text_length(view) ? c->log_from : 0;
    text_insert(lines, text_cstr(view) + from, TI_RAW, text_length(view) - from);
    if (!setup_log_write(text_cstr(c->sw.log), lines) && c->exit_code == SETUP_EXIT_OK)
      c->exit_code = SETUP_EXIT_FAILED;
    text_free(lines);
  }
  ui_set_log_view(nullptr);
  host_set_exit_code(c->exit_code);
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

}  // namespace

HWND cab_open(PackedId, const char*, int show) {
  Cab* c = &g_cab;
  if (c->frame) return nullptr;
  c->frame = frame_new(FRAME_APPLET, nullptr);
  if (!c->frame) {
    // No window (no display): a script must not take this for an installation.
    host_set_exit_code(SETUP_EXIT_FAILED);
    return nullptr;
  }
  frame_set(c->frame, ID("HOOK"), hook);
  read_switches(c, show);
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
  // 4, 5: the record with its defaults.
  setup_env_load(&c->env);
  c->rec = setup_record_new(&c->env, c->user);
  step(5);
  // The unattended run decides now; the host's posted switch commands are then ignored.
  Text* why = text_new();
  c->action = setup_silent_record(&c->sw, c->rec, &c->env, why, &c->exit_code);
  if (c->action == SETUP_RUN_WIZARD && c->sw.bad) {
    // A switch of the wrong form: refused before anything is shown or written.
    text_printf(why, "スイッチの指定が間違っています: %s\n", text_cstr(c->sw.bad));
    c->action = SETUP_RUN_NONE;
    c->exit_code = SETUP_EXIT_REFUSED;
  }
  if (c->action == SETUP_RUN_NONE) {
    log_line(text_cstr(why));
    if (!c->sw.silent) msg_box(0, "%s", text_cstr(why));
    text_free(why);
    close_window(c);
    return c->frame;
  }
  text_free(why);
  if (c->action == SETUP_RUN_INSTALL) {
    post(c->frame, ID("SET"));
    return c->frame;
  }
  if (c->action == SETUP_RUN_UNINSTALL) return c->frame;  // the host posts UNINST
  // 6: shown, the timer that starts the wizard, the help text.
  ShowWindow(c->frame, show == (int)ID("NOSHOW") ? SW_SHOWNORMAL : show);
  if (!c->sw.uninst) SetTimer(c->frame, CAB_TIMER_START, CAB_START_DELAY_MS, nullptr);
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

int cab_remove_helper(const wchar_t* command_line) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(command_line, &argc);
  if (!argv) return -1;
  if (argc != 4 || std::wcscmp(argv[1], CAB_REMOVE_SWITCH) != 0) {
    LocalFree(argv);
    return -1;
  }
  DWORD pid = (DWORD)std::wcstoul(argv[2], nullptr, 10);
  const wchar_t* exe = argv[3];
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
  LocalFree(argv);
  // The copy itself goes with the next restart (where the system lets it).
  wchar_t self[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n > 0 && n < MAX_PATH) MoveFileExW(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return code;
}

bool cab_start_program(const char* exe) {
  if (!exe || !*exe) return false;
  wchar_t* path = (wchar_t*)to_wide_new(exe, -1);
  if (!path) return false;
  size_t n = std::wcslen(path);
  wchar_t* line = (wchar_t*)std::malloc((n + 3) * sizeof(wchar_t));
  wchar_t* folder = _wcsdup(path);
  bool ok = false;
  if (line && folder) {
    line[0] = L'"';
    std::memcpy(line + 1, path, n * sizeof(wchar_t));
    line[n + 1] = L'"';
    line[n + 2] = 0;
    if (wchar_t* slash = std::wcsrchr(folder, L'\\')) *slash = 0;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ok = CreateProcessW(path, line, nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi) != 0;
    // Not handed to the host: the set-up ends when its window closes, whatever the editor does.
    if (ok) {
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
  }
  std::free(line);
  std::free(folder);
  std::free(path);
  return ok;
}

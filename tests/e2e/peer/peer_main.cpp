// zqpeer.exe: a stand-in for a running applet of another process, for the end-to-end tests.
//   zqpeer APPLET NAME LOG [--file PATH]... [--hang]
// Opens a hidden "DuroDA64" window titled "zqpeer NAME" that answers ISAPP for APPLET and the file
// hand-over for the files it is given, and appends every command, switch and string it receives
// to LOG, one line each, in order:
//   have TAB kind TAB path     a hand-over of a file it has (kind isopen, iaopen or isprj)
//   id TAB number              UI_MSG_COMMAND (start 1, x 3, ...)
//   str TAB id TAB text        a string, in this process or by the transfer between processes
//   hang TAB isapp             (--hang) an ISAPP query, before it stops answering for 3 s
// It closes itself after a minute, so that a failed test leaves nothing behind.

// clang-format off
#include <windows.h>  // shellapi.h needs it first
#include <shellapi.h>
// clang-format on

#include <cstring>
#include <string>
#include <vector>

#include "core/format.h"
#include "core/ids.h"
#include "host/host.h"

namespace {

struct Peer {
  PackedId applet;
  std::wstring log;
  std::vector<std::string> files;
  bool hang;
  HostStringReceiver receiver;
};
Peer g_peer;

std::string narrow(const wchar_t* w) {
  int n = WideCharToMultiByte(932, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s((size_t)(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(932, 0, w, -1, &s[0], n, nullptr, nullptr);
  return s;
}

void log_line(const char* line) {
  HANDLE h = CreateFileW(g_peer.log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD n = 0;
  WriteFile(h, line, (DWORD)std::strlen(line), &n, nullptr);
  WriteFile(h, "\n", 1, &n, nullptr);
  CloseHandle(h);
}

LRESULT on_query(WPARAM what, LPARAM arg) {
  switch (what) {
    case ID("ISAPP"):
      if (g_peer.hang) {
        log_line("hang\tisapp");
        Sleep(3000);
      }
      return (PackedId)arg == g_peer.applet ? 2 : 0;
    case ID("GETAPP"):
      return g_peer.applet;
    case ID("PRSSID"):
      return GetCurrentProcessId();
  }
  return 0;
}

LRESULT on_copydata(const COPYDATASTRUCT* cd) {
  if (!cd || !cd->lpData || cd->cbData == 0) return 0;
  const char* path = (const char*)cd->lpData;
  if (path[cd->cbData - 1] != 0) return 0;
  for (const std::string& f : g_peer.files) {
    if (f != path) continue;
    char line[1024];
    buf_printf(line, sizeof line, "have\t%id\t%s", (PackedId)cd->dwData, path);
    log_line(line);
    return 2;
  }
  return 0;
}

LRESULT CALLBACK peer_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  char line[1024];
  if (host_receive_string(&g_peer.receiver, w, m, wp, lp)) return 0;
  switch (m) {
    case HOST_QUERY:
      return on_query(wp, lp);
    case WM_COPYDATA:
      return on_copydata((const COPYDATASTRUCT*)lp);
    case UI_MSG_COMMAND:
      log_line(buf_printf(line, sizeof line, "%id\t%d", (PackedId)wp, (int)lp));
      return 0;
    case HOST_STRING:
      log_line(buf_printf(line, sizeof line, "str\t%id\t%s", (PackedId)wp, (const char*)lp));
      return 0;
    case WM_TIMER:
    case WM_CLOSE:
      DestroyWindow(w);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 4) return 2;
  g_peer.applet = id_pack(narrow(argv[1]).c_str());
  g_peer.log = argv[3];
  for (int i = 4; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--hang") == 0)
      g_peer.hang = true;
    else if (std::wcscmp(argv[i], L"--file") == 0 && i + 1 < argc)
      g_peer.files.push_back(narrow(argv[++i]));
  }
  WNDCLASSW wc = {};
  wc.lpfnWndProc = peer_proc;
  wc.hInstance = instance;
  wc.lpszClassName = UI_CLASS_FRAME;
  RegisterClassW(&wc);
  std::wstring title = std::wstring(L"zqpeer ") + argv[2];
  HWND w = CreateWindowExW(0, UI_CLASS_FRAME, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                           nullptr, nullptr, instance, nullptr);
  if (!w) return 1;
  // A hung peer stands in front of every live one, so that it is asked first.
  SetWindowPos(w, g_peer.hang ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetTimer(w, 1, 60000, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  host_receiver_free(&g_peer.receiver);
  LocalFree(argv);
  return 0;
}

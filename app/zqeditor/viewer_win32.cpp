// zqeditor.exe: opens the files named on its command line read-only, one top-level window each,
// and answers the applet protocol as a window of the EDITOR family (ISAPP, GETAPP, PRSSID, the
// WM_COPYDATA file hand-over, commands with numbers and strings, the string transfer between
// processes), so that an installation starts a real program and a second instance can hand a
// file over to it. The editor proper is not part of this project.

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/codepage.h"
#include "core/ids.h"
#include "core/text.h"
#include "files/codes.h"
#include "files/file.h"
#include "files/path.h"
#include "host/host.h"

namespace {

constexpr LRESULT REPLY_YES = 2;
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

const wchar_t kProduct[] = L"VI RIDEVA 9 64ved";
const uint64_t kMaxFile = 64u << 20;  // a viewer, not an editor: larger files are refused
const int64_t kMaxTransfer = 32768;   // bytes of a string handed over between processes

struct Viewer {
  HWND hwnd;
  Text* path;        // internal form, full path; empty for a window without file
  wchar_t* text;     // the whole contents in UTF-16
  int* line_starts;  // offsets into text
  int lines;
  int top;  // first visible line
  int line_height;
  HFONT font;
  UINT dpi;
  HostStringReceiver receiver;  // string transfer in progress (HOST_XFER)
};

int g_windows;

// The file's text in UTF-16: read whole, its character code detected, converted to the internal
// form and widened. Null (with a message in *why) when it cannot be shown.
wchar_t* load_wide(const char* path, const wchar_t** why) {
  FileHandle h = file_open_read(path, FSYS_READ, FSYS_SHARE_READ | FSYS_SHARE_WRITE, 0);
  if (h == FILE_INVALID) {
    *why = L"ファイルを開けません";
    return nullptr;
  }
  int64_t n = file_size(h);
  char* bytes = n >= 0 && (uint64_t)n <= kMaxFile ? (char*)std::malloc((size_t)n + 1) : nullptr;
  bool ok = bytes && file_read(h, bytes, n) == n;
  file_close(h);
  if (!ok) {
    std::free(bytes);
    *why = n > (int64_t)kMaxFile ? L"ファイルが大きすぎます" : L"ファイルを読めません";
    return nullptr;
  }
  PackedId code = code_detect_bytes(bytes, n);
  Text* t = bytes_from_code(bytes, n, code ? code : CODE_SJIS);
  std::free(bytes);
  int64_t len = 0;
  const char* mb = t ? text_cstr(t) : nullptr;
  len = text_length(t);
  wchar_t* wide = mb && len < 0x7FFFFFFF ? (wchar_t*)to_wide_new(mb, (int)len) : nullptr;
  text_free(t);
  if (!wide) *why = L"文字コードを変換できません";
  return wide;
}

void split_lines(Viewer* v) {
  std::free(v->line_starts);
  v->lines = 0;
  int n = (int)std::wcslen(v->text);
  int cap = 1;
  for (int k = 0; k < n; ++k)
    if (v->text[k] == L'\n' || (v->text[k] == L'\r' && v->text[k + 1] != L'\n')) ++cap;
  v->line_starts = (int*)std::malloc(sizeof(int) * (size_t)(cap + 1));
  if (!v->line_starts) return;
  v->line_starts[v->lines++] = 0;
  for (int k = 0; k < n; ++k) {
    if (v->text[k] == L'\r' && v->text[k + 1] == L'\n') ++k;
    if (v->text[k] == L'\n' || v->text[k] == L'\r') v->line_starts[v->lines++] = k + 1;
  }
  v->line_starts[v->lines] = n;
}

void set_font(Viewer* v, UINT dpi) {
  if (v->font) DeleteObject(v->font);
  v->dpi = dpi;
  v->font = CreateFontW(-MulDiv(10, (int)dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                        SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                        CLEARTYPE_QUALITY, FIXED_PITCH | FF_MODERN, L"MS Gothic");
  HDC dc = GetDC(v->hwnd);
  HGDIOBJ old = SelectObject(dc, v->font);
  TEXTMETRICW tm;
  GetTextMetricsW(dc, &tm);
  v->line_height = tm.tmHeight + tm.tmExternalLeading;
  SelectObject(dc, old);
  ReleaseDC(v->hwnd, dc);
  if (v->line_height < 1) v->line_height = 16;
}

int visible_lines(Viewer* v) {
  RECT rc;
  GetClientRect(v->hwnd, &rc);
  int n = (rc.bottom - rc.top) / v->line_height;
  return n < 1 ? 1 : n;
}

void update_scroll(Viewer* v) {
  SCROLLINFO si = {
      sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, v->lines - 1, (UINT)visible_lines(v), v->top,
      0};
  SetScrollInfo(v->hwnd, SB_VERT, &si, TRUE);
}

void scroll_to(Viewer* v, int top) {
  int last = v->lines - visible_lines(v);
  if (top > last) top = last;
  if (top < 0) top = 0;
  if (top == v->top) return;
  v->top = top;
  update_scroll(v);
  InvalidateRect(v->hwnd, nullptr, TRUE);
}

void paint(Viewer* v, HDC dc) {
  RECT rc;
  GetClientRect(v->hwnd, &rc);
  FillRect(dc, &rc, (HBRUSH)GetStockObject(WHITE_BRUSH));
  HGDIOBJ old = SelectObject(dc, v->font);
  SetBkMode(dc, TRANSPARENT);
  int margin = MulDiv(4, (int)v->dpi, 96);
  for (int k = v->top, y = 0; k < v->lines && y < rc.bottom; ++k, y += v->line_height) {
    int start = v->line_starts[k], end = v->line_starts[k + 1];
    while (end > start && (v->text[end - 1] == L'\n' || v->text[end - 1] == L'\r')) --end;
    RECT line = {margin, y, rc.right, y + v->line_height};
    DrawTextW(dc, v->text + start, end - start, &line,
              DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS | DT_TABSTOP | (8 << 8));
  }
  SelectObject(dc, old);
}

void set_text(Viewer* v, wchar_t* text) {
  std::free(v->text);
  v->text = text;
  v->top = 0;
  split_lines(v);
}

HWND open_window(const char* path);

// A string handed over as a command (1923, or assembled from 1919/1918).
void on_command_string(Viewer*, PackedId command, const char* s) {
  if (command == ID("FILE") && s && *s) open_window(s);
}

// The host's receiver assembles the string; a viewer also drops one too long to be a file name.
void on_transfer(Viewer* v, UINT msg, WPARAM wp, LPARAM lp) {
  host_receive_string(&v->receiver, v->hwnd, msg, wp, lp);
  if (v->receiver.text && text_length(v->receiver.text) > kMaxTransfer)
    host_receiver_free(&v->receiver);
}

// WM_COPYDATA file hand-over: 2 when this window has the file open.
LRESULT on_copy_data(Viewer* v, const COPYDATASTRUCT* cd) {
  PackedId kind = (PackedId)cd->dwData;
  if (kind != ID("ISOPEN") && kind != ID("IAOPEN")) return 0;  // ISPRJ: no projects here
  if (!cd->lpData || cd->cbData < 2 || cd->cbData > 32768 || text_length(v->path) == 0) return 0;
  const char* p = (const char*)cd->lpData;
  if (!std::memchr(p, 0, cd->cbData)) return 0;  // the path must end within the block
  if (path_compare(v->path, p, -1) != 0) return 0;
  if (kind == ID("IAOPEN")) {
    if (IsIconic(v->hwnd)) ShowWindow(v->hwnd, SW_RESTORE);
    SetForegroundWindow(v->hwnd);
  }
  return REPLY_YES;
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Viewer* v = (Viewer*)GetWindowLongPtrW(hwnd, GWLP_USERDATA);
  if (msg == WM_NCCREATE) {
    v = (Viewer*)((CREATESTRUCTW*)lp)->lpCreateParams;
    v->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, (LONG_PTR)v);
  }
  if (!v) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case HOST_QUERY:
      switch ((PackedId)wp) {
        case ID("ISAPP"):
          return applet_is_editor((PackedId)lp) ? REPLY_YES : 0;
        case ID("GETAPP"):
          return ID("EDITOR");
        case ID("PRSSID"):
          return (LRESULT)GetCurrentProcessId();
      }
      return 0;
    case UI_MSG_COMMAND:
      if ((PackedId)wp == ID("SHOW")) ShowWindow(hwnd, (int)lp);
      return 0;
    case HOST_STRING:
      on_command_string(v, (PackedId)wp, (const char*)lp);
      return 0;
    case HOST_XFER:
    case HOST_XFER_NEXT:
      on_transfer(v, msg, wp, lp);
      return 0;
    case WM_COPYDATA:
      return on_copy_data(v, (const COPYDATASTRUCT*)lp);
    case WM_SIZE:
      update_scroll(v);
      return 0;
    case WM_VSCROLL: {
      SCROLLINFO si = {sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(hwnd, SB_VERT, &si);
      int page = visible_lines(v);
      switch (LOWORD(wp)) {
        case SB_LINEUP:
          scroll_to(v, v->top - 1);
          break;
        case SB_LINEDOWN:
          scroll_to(v, v->top + 1);
          break;
        case SB_PAGEUP:
          scroll_to(v, v->top - page);
          break;
        case SB_PAGEDOWN:
          scroll_to(v, v->top + page);
          break;
        case SB_THUMBTRACK:
          scroll_to(v, si.nTrackPos);
          break;
        case SB_TOP:
          scroll_to(v, 0);
          break;
        case SB_BOTTOM:
          scroll_to(v, v->lines);
          break;
      }
      return 0;
    }
    case WM_MOUSEWHEEL:
      scroll_to(v, v->top - GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA * 3);
      return 0;
    case WM_KEYDOWN:
      switch (wp) {
        case VK_UP:
          scroll_to(v, v->top - 1);
          break;
        case VK_DOWN:
          scroll_to(v, v->top + 1);
          break;
        case VK_PRIOR:
          scroll_to(v, v->top - visible_lines(v));
          break;
        case VK_NEXT:
          scroll_to(v, v->top + visible_lines(v));
          break;
        case VK_HOME:
          scroll_to(v, 0);
          break;
        case VK_END:
          scroll_to(v, v->lines);
          break;
        case VK_ESCAPE:
          PostMessageW(hwnd, WM_CLOSE, 0, 0);
          break;
      }
      return 0;
    case WM_DPICHANGED: {
      set_font(v, HIWORD(wp));
      const RECT* r = (const RECT*)lp;
      SetWindowPos(hwnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      paint(v, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      paint(v, (HDC)wp);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      if (v->font) DeleteObject(v->font);
      text_free(v->path);
      host_receiver_free(&v->receiver);
      std::free(v->text);
      std::free(v->line_starts);
      std::free(v);
      if (--g_windows == 0) PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// A window for one file (path null: an empty window).
HWND open_window(const char* path) {
  Viewer* v = (Viewer*)std::calloc(1, sizeof(Viewer));
  if (!v) return nullptr;
  v->path = text_new();
  wchar_t* wpath = nullptr;
  const wchar_t* why = nullptr;
  wchar_t* text = nullptr;
  if (path && *path) {
    // Kept as a full path, so that a hand-over names the file the same way.
    wpath = (wchar_t*)to_wide_new(path, -1);
    wchar_t full[MAX_PATH * 4];
    DWORD n = wpath ? GetFullPathNameW(wpath, MAX_PATH * 4, full, nullptr) : 0;
    if (n > 0 && n < MAX_PATH * 4) {
      std::free(wpath);
      wpath = _wcsdup(full);
      text_put_wide(v->path, (const char16_t*)full);
    } else {
      text_puts(v->path, path);
    }
    text = load_wide(text_cstr(v->path), &why);
    if (!text) text_clear(v->path);  // a file it could not show is not one it has open
  }
  if (!text) {
    size_t n = (why ? std::wcslen(why) : 0) + (wpath ? std::wcslen(wpath) : 0) + 8;
    text = (wchar_t*)std::calloc(n, sizeof(wchar_t));
    if (text && why) swprintf(text, n, L"%ls: %ls", why, wpath ? wpath : L"");
  }
  set_text(v, text);
  wchar_t title[MAX_PATH * 4 + 64];
  const wchar_t* name = wpath ? wpath : L"";
  if (const wchar_t* slash = std::wcsrchr(name, L'\\')) name = slash + 1;
  swprintf(title, sizeof title / sizeof *title, L"%ls%ls%ls [読み取り専用]", name,
           *name ? L" - " : L"", kProduct);
  std::free(wpath);
  HWND hwnd = CreateWindowExW(0, UI_CLASS_FRAME, title, WS_OVERLAPPEDWINDOW | WS_VSCROLL,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                              nullptr, GetModuleHandleW(nullptr), v);
  if (!hwnd) {
    text_free(v->path);
    std::free(v->text);
    std::free(v->line_starts);
    std::free(v);
    return nullptr;
  }
  ++g_windows;
  HDC dc = GetDC(hwnd);
  UINT dpi = (UINT)GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(hwnd, dc);
  set_font(v, dpi ? dpi : 96);
  update_scroll(v);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  return hwnd;
}

bool register_class(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = window_proc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(30020));
  wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
  wc.lpszClassName = UI_CLASS_FRAME;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  if (!register_class(instance)) return 1;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int k = 1; argv && k < argc; ++k) {
    wchar_t c = argv[k][0];
    if (c == L'-' || c == L'/' || c == L'@') continue;  // switches and applet names
    char* mb = to_narrow_new((const char16_t*)argv[k], -1);
    if (mb) open_window(mb);
    std::free(mb);
  }
  LocalFree(argv);
  if (g_windows == 0 && !open_window(nullptr)) return 1;
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return (int)m.wParam;
}

#pragma once
// Inside the pane runtime: the records kept on frames, containers and panes, and what the
// runtime's files share (fonts and drawing, the item panes, the input field, the text view, the
// popup chain). Not for callers: they use pane.h, msgbox.h and menu.h. Win32 build only.

#include <windows.h>

#include "ui/desc.h"
#include "ui/window_names.h"
#include "uiwin/pane.h"
#include "uiwin/ui_host.h"

// ---- drawing (draw_win32.cpp) ----
struct UiFont {
  HFONT font;
  int dpi;
  int height;  // line height in pixels
  int ascent;
  int avg;  // average character width
};
const UiFont* ui_font(int dpi);
bool ui_themed();  // visual styles are on
// Wide copy of internal text (malloc; the caller frees); n -1 up to the NUL. Never null.
wchar_t* ui_wide(const char* s, int n);
int ui_text_width(HDC dc, const wchar_t* s, int n);
// One caption with its accelerator marks, measured or drawn with the marked characters underlined.
SIZE ui_caption_size(HDC dc, const wchar_t* caption);
void ui_draw_caption(HDC dc, const wchar_t* caption, RECT rc, UINT format, COLORREF color);
enum : int {
  BTN_NORMAL = 0,
  BTN_HOT = 1,
  BTN_PRESSED = 2,
  BTN_DISABLED = 4,
  BTN_DEFAULT = 8,
  BTN_FOCUS = 16,
  BTN_CHECKED = 32,
  BTN_MARK_ONLY = 64
};
void ui_draw_button(HWND window, HDC dc, RECT rc, int flags);
// With BTN_MARK_ONLY (menus) only the check or dot is drawn, in the DC's text colour.
void ui_draw_check(HWND window, HDC dc, RECT box, int flags, bool radio);
void ui_draw_focus(HWND window, HDC dc, RECT rc);
void ui_draw_border(HWND window, HDC dc, RECT rc, bool focused);
void ui_fill(HDC dc, RECT rc, COLORREF color);
// WM_ERASEBKGND of frames and containers: the whole client in the button face colour; 1.
LRESULT ui_erase_face(HWND window, HDC dc);
COLORREF ui_color(int index);  // GetSysColor
void ui_draw_shutdown();

// ---- panes (pane_win32.cpp) ----
struct Item {
  TextPos line;  // start of the line in the pane's Text
  DescLineKind kind;
  PackedId id;
  uint32_t state;
  int level;         // dots of a heading
  bool wide_gap;     // "--sp"
  wchar_t* caption;  // with its "&" marks (malloc)
  RECT rc;           // in the pane's client coordinates
};

struct Pane {
  HWND hwnd;
  Text* text;  // a reference of the pane
  unsigned style;
  int kind_byte;
  PaneKind kind;
  intptr_t extra;  // the number after the comma of the window name
  PackedId place;
  bool read_only;
  bool no_wrap;  // a text view shown without wrapping (KUMI 0)
  bool enabled;
  int cxal;  // width at 96 DPI, 0 for the preferred one
  unsigned options;
  // item panes
  Item* items;
  int count;
  int cursor;  // index into items, -1 for none
  int hot;
  int pressed;
  bool in_popup;     // the pane of a "TEXTMENUBASE" popup
  HWND parent_pane;  // the pane that opened this popup's chain level
  int open_item;     // the item whose popup is open (menu bar, submenus), -1 for none
  // the one-line input (edit_win32.cpp)
  wchar_t* buf;
  int len, cap;
  int caret, anchor;
  int scroll_x;
  bool dragging;
  // the text view (view_win32.cpp)
  struct ViewLine* vlines;
  int vcount;
  int vcap;
  int built_wrap;  // the width the rows were wrapped to
  int top;         // first line shown
  int left;        // horizontal scroll in pixels
  int longest;     // widest line in pixels
  int wheel_rest;
};

Pane* pane_of(HWND window);
bool pane_is_items(const Pane* p);
int pane_dpi(const Pane* p);
SIZE pane_preferred(HWND pane, int width);    // the size the pane wants; width: the room across
void pane_report(Pane* p, PackedId command);  // a command to the pane's frame
HWND pane_frame(HWND window);                 // the "DuroDA64" (or popup) root of a window
void pane_choose(Pane* p, int index);
bool pane_accelerator(Pane* p, int ch);  // true when an item answered
void pane_set_cursor(Pane* p, int index);
bool pane_move_cursor(Pane* p, int step);  // false at the end
void pane_reload(Pane* p);                 // items from the Text again
// A key line of the pane's description (or of `desc`) matching the key; 0 when none.
PackedId keys_match(Text* desc, UINT vk, bool shift, bool ctrl);

// ---- the one-line input (edit_win32.cpp) ----
void edit_create(Pane* p);
void edit_destroy(Pane* p);
bool edit_message(Pane* p, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
void edit_paint(Pane* p, HDC dc);
SIZE edit_preferred(Pane* p);
void edit_apply(Pane* p);
void edit_history_free();

// ---- the text view and list (view_win32.cpp) ----
void view_create(Pane* p);
void view_destroy(Pane* p);
bool view_message(Pane* p, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
void view_paint(Pane* p, HDC dc);
SIZE view_preferred(Pane* p, int width);
bool view_list_enter(Pane* p);  // Enter on a list: its cursor line is chosen
void ui_view_set_wheel_lines(int lines);
void view_shutdown();

LRESULT CALLBACK pane_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// ---- frames (frame_win32.cpp, layout_win32.cpp, tabs_win32.cpp) ----
struct Frame {
  HWND hwnd;
  unsigned mode;
  PackedId result;
  int page;
  FrameHook hook;
  HWND owner;
};
Frame* frame_of(HWND window);
bool frame_is(HWND window);
void frame_layout(HWND frame);      // the bars and the container over the client
SIZE frame_outer_size(HWND frame);  // the window size for the panes at the frame's DPI
SIZE container_need(HWND container);
void container_layout(HWND container);
int tabs_strip_height(HWND tabs);      // 0 for a wizard's pages
HWND tabs_page(HWND tabs, int index);  // null past the last page
LRESULT CALLBACK container_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK tabs_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// ---- dialogs (dialog_win32.cpp, dialog_key_win32.cpp) ----
// A command for the frame: the dialog's result when it is on top of the stack.
void frame_command(HWND frame, PackedId command);
bool dialog_in_loop(HWND frame);     // the frame is on the stack of modal loops
void dialog_frame_gone(HWND frame);  // a destroyed frame's loop ends with CANCEL
// The keyboard handler of dialogs; true when the message was taken.
bool dialog_key(MSG* msg);
// The next (or previous) pane of the frame that takes the focus, wrapping around.
HWND dialog_next_pane(HWND frame, HWND from, bool back);

// ---- set-up (frame_win32.cpp) ----
HINSTANCE ui_instance();
// Registers a window class of the runtime (the arrow cursor); its atom, 0 when it cannot.
ATOM ui_register_class(HINSTANCE instance, const wchar_t* name, WNDPROC proc, UINT style,
                       int extra);
const wchar_t* ui_program_title_wide();
void ui_beep(unsigned type);

// ---- popups (menu_win32.cpp) ----
HWND popup_root();                 // the first popup of the open chain
bool popup_contains(HWND window);  // the window lies in the open chain
void popup_close_all();
bool popup_key(MSG* msg);                 // keys while a popup is open
void popup_chosen(Pane* p, PackedId id);  // an item of a popup was chosen
// Opens the submenu of the heading item `index` of a menu pane or bar.
bool popup_open_sub(Pane* p, int index);
bool popup_click_outside(const MSG* msg);  // closes the chain on a click outside; never takes it
void menu_shutdown();

// ---- tips (ui_host_win32.cpp) ----
void tip_show(HWND pane, const RECT* item_screen, const char* help, int length);
void tip_hide();
HWND tip_window();

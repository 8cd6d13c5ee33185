#pragma once
// The dialog and pane runtime: frames of the class "DuroDA64" whose client is a pane container
// ("TEXTPANE"), and panes ("TXVIEW"), each a view of one Text: a button row or column, a check-box
// list or label column written as a description (ui/desc.h), a one-line input field, a read-only
// text view, a list or a spacer. A caller builds a frame, adds panes, shows it and runs the modal
// loop, which hands back the PackedId of each command the user gives; the caller's own loop
// decides which commands end the dialog. Descriptions stay owned by the caller (the pane keeps a
// reference), so item states and input texts are read after dialog_run, before dialog_close.
//
// Every size in pixels is derived from the window's DPI. Win32 build only.

#include <windows.h>

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"
#include "uiwin/messages.h"

// Standard child identifiers.
enum : int {
  CHILD_CONTAINER = 30000,
  CHILD_TABS = 30001,
  CHILD_TITLE = 30003,
  CHILD_MENUBAR = 30005,
  CHILD_BUTTONS = 30006,
  CHILD_MENUBAR_C = 30011,
  CHILD_POPUP_PANE = 30017,
  CHILD_BUTTONS2 = 30018,
  CHILD_BUTTONS3 = 30019,
  CHILD_PAGE = 30020,  // + n: the n-th page of a tabbed frame
  CHILD_PANE_FIRST = 30199,
  CHILD_MSG_BUTTONS = 30200,
  CHILD_MSG_TEXT = 30201,
  CHILD_MSG_CHECK = 30202,
  CHILD_INPUT_LABEL = 30199,
  CHILD_INPUT_FIELD = 30200,
  CHILD_OK_COLUMN = 30290,
  CHILD_OK_ROW = 30291,
  CHILD_TAB_PANE_FIRST = 40000,
  CHILD_TAB_PANE_LAST = 49999,
};

// The pane creation word: window styles in the high bits, the pane kind in the low byte. One
// enumeration, so that a word is written as styles | kind.
enum : unsigned {
  PANE_VISIBLE = 0x10000000,
  PANE_BORDER = 0x00800000,
  PANE_TABSTOP = 0x00010000,
  PANE_HAS_TEXT = 0x4000,  // the window name carries a Text handle
  PANE_KIND_MASK = 0xFF,
  // The kind bytes that the runtime's own panes are made of (pane_kind_of sorts them all).
  PANE_KIND_ITEMS = 0x12,       // vertical items: labels, check boxes, radio buttons, OK column
  PANE_KIND_ITEM_ROW = 0x14,    // horizontal items: a button row
  PANE_KIND_LIST = 0x15,        // a list
  PANE_KIND_POPUP = 0x16,       // the items of a popup menu
  PANE_KIND_MENUBAR = 0x17,     // the items of a menu bar
  PANE_KIND_SPACER_TOP = 0x18,  // a spacer docked TOP; BOTTOM, LEFT, RIGHT follow
  PANE_KIND_SPACER_BOTTOM = 0x19,
  PANE_KIND_SPACER_LEFT = 0x1A,
  PANE_KIND_SPACER_RIGHT = 0x1B,
  PANE_KIND_INPUT = 0x1D,       // a one-line input field
  PANE_KIND_CHECK_LINE = 0x27,  // vertical items: a message box's check line
  PANE_KIND_VIEW = 0x2E,        // a text view
  // The creation words of a frame's bars (frame_set) and of a box's button row.
  PANE_WORD_MENUBAR = PANE_VISIBLE | 0x800 | PANE_KIND_MENUBAR,  // 0x800 as the system writes it
  PANE_WORD_BUTTON_ROW = PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_ITEM_ROW,
};
// Pane kinds as the runtime sorts the kind bytes.
enum PaneKind : int {
  PK_NONE = 0,
  PK_MENU,     // vertical items (0x12, 0x2A, 0x36, 0x27, 0x16)
  PK_MENUH,    // horizontal items (0x14, 0x21, 0x24)
  PK_MENUBAR,  // horizontal items of a menu bar (0x17)
  PK_1LINE,    // one-line input (0x01, 0x13, 0x1D, 0x23, 0x28, 0x2C, 0x1C, 0x1E)
  PK_EDIT,     // text view (0x07, 0x0D, 0x2D, 0x2E, 0x35)
  PK_LIST,     // list (0x02, 0x15, 0x37)
  PK_SPACER,   // spacer (0x18 TOP, 0x19 BOTTOM, 0x1A LEFT, 0x1B RIGHT)
  PK_PROP,     // property sheet of a header record (0x1F)
};
PaneKind pane_kind_of(unsigned creation_word);

// Frame modes.
enum : unsigned {
  FRAME_DIALOG = 1,
  FRAME_MODELESS = 2,
  FRAME_IN_LOOP = 4,
  FRAME_CENTER = 8,
  FRAME_AUTO = 0x10,    // positioned from the focused view when shown
  FRAME_APPLET = 0x20,  // an applet's main window: counted as open, the last one ends the loop
  FRAME_WIZARD = 0x40,  // pages without tab headers, turned by frame_select_page
};

// The frame's hook: receives the frame's messages first; true when it handled the message (then
// *result is returned). Commands arrive as UI_MSG_COMMAND.
typedef bool (*FrameHook)(HWND frame, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);

// ---- set-up of the runtime ----
// Registers the runtime's window classes (once) and routes ui/notify.h to the real boxes.
void ui_init(HINSTANCE instance);
// The owner window of new dialogs (the host's owner); null: the active window.
void ui_set_owner(HWND owner);
// The program's title, the title of message boxes.
void ui_set_program_title(const char* title);
// The touch-input setting: new panes then get every touch gesture ("SetGestureConfig").
void ui_set_touch(bool on);
// The standard gap in twips (default 90).
void ui_set_gap_twips(int twips);

// ---- DPI ----
int ui_dpi(HWND window);              // the window's DPI (the system's for null)
int ui_scale(HWND window, int px96);  // a size given at 96 DPI, in the window's pixels
int ui_dialog_unit(HWND window);      // DPI x gap / 1440: 6 at 96 DPI
int ui_gap(HWND window);              // the standard gap, 4 at 96 DPI

// ---- frames and dialogs ----
// A frame with the mode bits. FRAME_APPLET frames are counted by ui_open_window_count, and
// destroying the last one posts the quit message.
HWND frame_new(unsigned mode, HWND owner);
HWND dialog_new();               // dialog mode, owned by the host's owner or the active window
HWND dialog_new_modeless();      // the same, kept modeless: it takes no result
HWND dialog_client(HWND frame);  // the pane container (30000), or the current tab page's
unsigned frame_mode(HWND frame);
void frame_set_mode(HWND frame, unsigned set, unsigned clear);
// TITLE (string or Text), MENU, MENUC, BUTTON, BTN2, BTN3 (descriptions; null removes the bar).
bool frame_set(HWND frame, PackedId property, TextArg value);
bool frame_set(HWND frame, PackedId property, FrameHook hook);  // HOOK
// The standard hook: window commands to the frame, every other command to the dialog.
bool frame_standard_hook(HWND frame, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
// Tabbed frames: adds a page (30020 + n, class TEXTPANE inside the tabbed container 30001) and
// makes it current; panes of a page take identifiers 40000 to 49999.
HWND frame_add_page(HWND frame, TextArg title);
bool frame_select_page(HWND frame, int index);

void dialog_show(HWND frame);
// The next command the user gives: OK, CANCEL (Esc, the close box, the frame destroyed, the quit
// message), a button's or check box's identifier... 0 when the frame is already in its loop; past
// the twentieth dialog a notice and CANCEL. Inside the loop the keys go through ui_pretranslate:
// Tab and Shift+Tab step through the items of a column, then to the next pane; Enter presses the
// focused button, opens a submenu, or answers OK; Esc answers CANCEL; characters are accelerators
// of the focused pane, then of the others (Alt+character from an input field).
PackedId dialog_run(HWND frame);
bool dialog_ok(HWND frame);
void dialog_close(HWND frame);
// Number of dialogs inside their loop (at most 20).
int dialog_depth();
// Sends APPLY to every pane of the container (or of the pages of a tabbed container).
void dialog_apply(HWND frame);
// The title and label are internal text; `text` holds the input before and after. True on OK.
bool input_box(TextArg title, TextArg label, Text* text);

// ---- panes ----
// Creates a pane on `description` (a string is copied into a new Text; null gives an empty one)
// with the creation word `style`; extra is the number after the comma (a spacer's thickness at 96
// DPI, a setting, the record of a property sheet). Null when the window cannot be created.
HWND pane_create(TextArg description, HWND parent, unsigned style, int child_id, intptr_t extra);
// The properties of pane_set.
inline constexpr PackedId PANE_PLACE = ID("PLACE");    // TOP, BOTTOM, LEFT, RIGHT; 0 fills the rest
inline constexpr PackedId PANE_READ = ID("READ");      // 1: read-only
inline constexpr PackedId PANE_CXAL = ID("CXAL");      // the width at 96 DPI
inline constexpr PackedId PANE_ENABLE = ID("ENABLE");  // 0: disabled
inline constexpr PackedId PANE_CURSOR =
    ID("CURSOR");                                    // the item line to put the cursor on, 0-based
inline constexpr PackedId PANE_TOP = ID("TOP");      // the cursor to the first item
inline constexpr PackedId PANE_END = ID("END");      // the cursor to the last item
inline constexpr PackedId PANE_KUMI = ID("KUMI");    // 0: a text view does not wrap
inline constexpr PackedId PANE_PRLF = ID("PRLF");    // accepted; line ends are never drawn
inline constexpr PackedId PANE_APPLY = ID("APPLY");  // an input field keeps its text in its history
bool pane_set(HWND pane, PackedId property, intptr_t value);
Text* pane_text(HWND pane);  // the pane's Text (no reference taken)
PaneKind pane_kind(HWND pane);
// Redraws the pane and recomputes its layout after its description changed.
void pane_refresh(HWND pane);
// The line of the item that has the cursor in an item pane (a position of its Text), or -1.
TextPos pane_cursor_line(HWND pane);
// Where the item with the identifier is drawn (client coordinates of the pane); false when the
// pane shows no such item.
bool pane_item_rect(HWND pane, PackedId id, RECT* rect);
// Lays the panes of a container out again.
void pane_layout(HWND container);
// The standard OK / CANCEL column (30290, docked RIGHT, with a gap) and row (30291, BOTTOM).
HWND pane_button_column(HWND parent);
HWND pane_button_row(HWND parent);
// The history list of the input panes with that child identifier (APPLY adds their text to it,
// newest first): a Text of lines kept by the runtime; null when no more lists can be kept.
Text* pane_history(int child_id);
// A spacer of the standard gap docked against `side` (TOP, BOTTOM, LEFT, RIGHT).
HWND pane_gap(HWND parent, PackedId side);

// The text view: shows the Text again after it changed (a log view appends and calls this), and
// scrolls to its end when `to_end`.
void view_update(HWND pane, bool to_end);
// A text view draws a line that is byte 0x01 followed by an internal path as the picture in that
// file (PNG, JPEG, BMP, GIF), scaled to the DPI; a file that does not load is shown as its name.
enum : char { VIEW_IMAGE_MARK = 0x01 };

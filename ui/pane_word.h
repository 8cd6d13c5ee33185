#pragma once
// The pane creation word and window name of a "TXVIEW" pane, the standard gap and the dialog unit:
// the numbers the dialog and pane runtime (ui/win) decodes, kept apart from its Win32 calls.
//
// The creation word is the pane's window style: ordinary window styles in the high bits, 0x4000
// when the window name carries a Text handle, and the pane kind in the low byte. The window name is
// the decimal Text handle, optionally followed by "," and a number (a setting, or a spacer's
// thickness in pixels); at most 40 characters are read.

#include <cstdint>

#include "core/ids.h"

enum : uint32_t {
  PANE_STYLE_VISIBLE = 0x10000000,
  PANE_STYLE_BORDER = 0x00800000,
  PANE_STYLE_TABSTOP = 0x00010000,
  PANE_STYLE_TEXT_NAME = 0x4000,  // the window name carries a Text handle
  PANE_STYLE_KIND = 0xFF,
};

enum PaneKind : int {
  PANE_UNKNOWN = 0,
  PANE_MENU = 1,   // vertical list of items: buttons, check boxes, radio buttons, labels
  PANE_MENUH = 2,  // horizontal row of items: button rows and bars
  PANE_1LINE = 3,  // one-line input field
  PANE_EDIT = 4,   // edit view (read-only in message boxes)
  PANE_LIST = 5,   // list view
  PANE_SPACER = 6,
  PANE_PPROP = 7,  // property sheet of the Text named by the number
};

struct PaneWord {
  PaneKind kind;
  uint8_t code;       // the low byte as given
  bool menu_bar;      // MENUH used as the menu bar (0x17)
  bool check_list;    // MENU variant for check boxes below a message (0x27)
  bool keeps_number;  // the number after the comma is a setting (0x16, 0x1C, 0x1E) or, for
                      // PPROP, names its Text
  PackedId side;      // spacer: TOP, BOTTOM, LEFT or RIGHT; 0 otherwise
  bool text_name;     // PANE_STYLE_TEXT_NAME
  uint32_t styles;    // the window styles above the low 16 bits
};
PaneWord pane_word_decode(uint32_t style);

struct PaneName {
  uint64_t text;   // the Text handle as written (0 when none); the caller checks it is one
  int64_t number;  // the number after the comma, 0 when none
  bool has_number;
};
// Reads at most 40 characters of a window name. False (out zeroed) for a name that does not begin
// with a decimal number or whose number does not fit; "" is a pane without a Text.
bool pane_name_parse(const char* name, PaneName* out);

// Standard gap in dialog units: the configured gap length in twips (default 90) divided by 20.
inline constexpr int UI_GAP_TWIPS_DEFAULT = 90;
int ui_standard_gap(int gap_twips);
// One dialog unit in pixels at a DPI: dpi * gap_twips / 1440 (6 at 96 DPI with the default gap),
// at least 1.
int ui_dialog_unit(int dpi, int gap_twips);

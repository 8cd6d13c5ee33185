#pragma once
// Descriptions: the short texts of tab-separated lines from which dialogs, button rows, check-box
// lists, label columns and menus are built. One line is one item; the same Text stays the live
// model of its pane, so the state of every item (checked, disabled, default) is written back into
// its own line as the leading number of its option list, and check boxes and radio buttons may be
// bound to integer headers of a settings record (core/header.h).
//
// Line kinds, by their first character: a letter begins an item line ("OK(b)\tOK\n"), a digit a
// numbered label line ("1\t検索(&S):\n", which sends the focus to the input pane 30199 + N),
// dots a heading ("..end\n"), "-" a separator ("--\n", "--sp\n"); anything else ("{", "+", "^":
// key lines of menus) is not an item. Items are named by PackedIds: at most six significant
// characters, a seventh and later ones are ignored.
//
// Functions that take (desc, line) accept any position inside the line, or -1 for the cursor's
// line; they leave the cursor where it was unless they say otherwise. A bound record is named in
// the line by its handle in decimal ("text=%p"); a number that is not a live Text handle is no
// binding. Every function accepts a null Text and then does nothing and returns 0 or false.

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"

// Item state word.
enum : uint32_t {
  DESC_CHECKED = 0x1,
  DESC_DISABLED = 0x2,  // drawn greyed, never chosen, accelerator ignored
  DESC_CHECKBOX = 0x10,
  DESC_RADIO = 0x20,
  DESC_NUMBERED = 0x40,  // numbered label line
  DESC_ICON = 0x80,
  DESC_PTN = 0x100,
  DESC_BMP = 0x200,
  DESC_LINK = 0x400,
  DESC_CFG = 0x10000,
  DESC_CMD = 0x20000,
  DESC_DEFAULT = 0x40000000,  // default push button
};

// Child identifiers of the panes that numbered label lines 1 to 93 send the focus to.
enum : int { DESC_LABEL_BASE = 30199, DESC_LABEL_LAST = 30292 };

enum DescLineKind : int {
  DESC_LINE_OTHER = 0,  // key lines, empty lines, malformed item lines
  DESC_LINE_ITEM = 1,
  DESC_LINE_NUMBERED = 2,
  DESC_LINE_HEADING = 3,
  DESC_LINE_SEPARATOR = 4,
};

// ---- reading one line (a pointer to its first byte; it ends at LF, CR or NUL) ----

DescLineKind desc_line_kind(const char* line);
// Offset of the option list's "(" or of the end of the identifier on an item or numbered line,
// the offset after the dots on a heading line, -1 for any other line. `numbered` (optional) is set
// to whether the line begins with a digit.
int desc_item_pos(const char* line, bool* numbered = nullptr);
// Identifier of an item or numbered line (its first six characters packed), 0 for other lines.
PackedId desc_item_id(const char* line);
// N of a numbered label line (1..), 0 for other lines or a number too long to be one.
int desc_label_number(const char* line);
// The child identifier that label N sends the focus to: 30199 + N, or 0 beyond 30292.
int desc_label_target(int n);
// Number of dots of a heading line, 0 for other lines.
int desc_heading_level(const char* line);
// Caption (field 2) and help (field 3) of an item or numbered line, with their lengths; for a
// heading the title after the dots. An absent field gives "" and 0.
const char* desc_caption(const char* line, int* length);
const char* desc_help(const char* line, int* length);
// The accelerators of a line's caption, upper-cased, in order: each "&" followed by an ASCII letter
// or digit marks one ("終了(&C/&X)" gives "CX"). With `key_names`, the character after each "Alt+"
// counts too. Writes at most max - 1 characters and a NUL; returns how many there are.
int desc_accelerators(const char* line, bool key_names, char* out, int max);
bool desc_has_accelerator(const char* line, int ch, bool key_names);

// ---- item state and bindings ----

// Modes of desc_parse_options.
enum : int {
  DESC_READ = 0,    // compute the state, reading the binding
  DESC_WRITE = 1,   // store the item's state into its binding
  DESC_GROUP = 2,   // only report the binding; nothing is read or written
  DESC_INIT = 0x80  // read, then write the state number into a line that has none
};

// The binding named by a line's options.
struct DescBinding {
  Text* record;   // text=: the bound settings record; null when absent or not a live Text
  PackedId key;   // id= or mh=: the header's PackedId; 0 when absent
  uint32_t kind;  // header kind for key: HK_ID|HK_HEADER_ONLY|HV_INT (id=) or HK_MAIL|HV_INT (mh=)
  int32_t mask;   // mask= as written, 0 when none
  int64_t value;  // the header's value (DESC_READ, DESC_INIT with a binding; else 0)
  bool read;      // value was read from the record
  bool bound() const { return record && key; }
};

// Parses the option list of a line. Returns the item state word: the stored number when the list
// holds one (a word that begins with a digit, normally the first), else the bits of the option
// words and, in read and initialise modes, the checked bit read from a bound check box (mask rules:
// a positive mask checks when any of its bits is set in the header, a negative one when all bits of
// its negation are clear; no mask: when the header is not 0). A bound radio line reports the
// header's value in out->value; the pane checks the line of the group whose identifier equals it
// (desc_init_states does so). Write mode stores the checked bit of a check box into its header
// (setting or clearing the mask's bits, or 1 / 0) only when the value changes, and for a checked
// radio line the line's identifier. 0 for lines that are not items. The list ends at its ")" or at
// the tab before the caption.
uint32_t desc_parse_options(Text* desc, TextPos line, int mode, DescBinding* out = nullptr);
// The item state word: the stored number, else the bits of the options (no binding is read).
uint32_t desc_item_state(Text* desc, TextPos line);
// Writes `state` as the leading number of the line's option list: inserted with one blank after
// "(" (OK(b) -> OK(1073741824 b)), a new list "(N)" when there is none, or replacing the number
// already there. False for lines that are not items (nothing changes).
bool desc_set_state(Text* desc, TextPos line, uint32_t state);

// Moves the cursor to the start of the first item line whose identifier equals id; false (cursor
// unchanged) when there is none.
bool desc_find(Text* desc, PackedId id);
// Sets or clears DESC_CHECKED of every item with that identifier, storing the binding of a check
// box; checking a radio line unchecks the rest of its group and stores the group's binding.
// False when no item bears the identifier.
bool desc_check(Text* desc, PackedId id, bool on);
// Clears (on) or sets DESC_DISABLED of every item with that identifier. The identifier _ALL does
// so for every item line except the twenty file-history items (FHIST0 and the nineteen packed
// values after it).
bool desc_enable(Text* desc, PackedId id, bool on);
// DESC_CHECKED of the first item with that identifier.
bool desc_is_checked(Text* desc, PackedId id);
// On the radio group around the cursor line (the run of consecutive radio lines; any other line
// ends it): SEL checks the cursor line, unchecks the others and stores the PackedId of the cursor
// line's identifier into the header of any binding of the group, returning that identifier; GET
// returns the identifier of the first checked line. 0 when the cursor line is not a radio line
// (SEL) or none is checked (GET).
PackedId desc_radio(Text* desc, PackedId op);

// What a pane does for every line when it opens: each item line gets its state number (mode
// DESC_INIT), and in a bound radio group without a stored number the line whose identifier equals
// the header's value becomes the checked one. Returns the number of item lines.
int desc_init_states(Text* desc);

// ---- submenus: heading lines in a description ----

// A heading other than "end" (any case) opens a submenu: its block is the lines after it up to the
// next heading with as many dots or fewer; an "end" heading with exactly as many dots closes the
// block and belongs to it. A pane shows the lines outside every block: the opening headings (as
// submenu entries), items, labels and separators.

// Position just after the block of the opening heading at `heading` (the text's length when the
// block runs to the end); -1 when that line is not an opening heading.
TextPos desc_submenu_end(Text* desc, TextPos heading);
// A new Text with the block's lines (without a closing "end"), each heading in it shortened by as
// many dots as the opening heading has unless keep_levels. Null when the line is not an opening
// heading or memory runs out.
Text* desc_submenu(Text* desc, TextPos heading, bool keep_levels);
// The next shown line after the line at `line` (-1: the first shown line), or -1 after the last.
TextPos desc_next_shown(Text* desc, TextPos line);

// ---- choosing and accelerators (the logic of a pane) ----

enum DescAction : int {
  DESC_NONE = 0,     // not an item, or disabled: nothing happens
  DESC_COMMAND = 1,  // report `id` to the dialog as a command
  DESC_FOCUS = 2,    // numbered label: move the focus to the sibling pane `child`
};
struct DescChoice {
  DescAction action;
  PackedId id;  // the item's identifier (DESC_COMMAND)
  int child;    // the child identifier to focus (DESC_FOCUS); 0 when N is beyond 93
};
// Chooses the item of a line: a check box toggles and stores its binding, a radio line becomes
// the checked line of its group; then the item reports its identifier, or a label its pane.
DescChoice desc_choose(Text* desc, TextPos line);

// The accelerator search of a pane for character ch (upper-cased) over its shown lines (items,
// labels and submenu headings): count is the number of enabled lines answering to it; with exactly
// one, `line` is that item (to be chosen); with several, it is the next matching item after
// `current` (wrapping to the first), which only gets the cursor. `line` is -1 when there is no
// match.
struct DescAccelHit {
  int count;
  TextPos line;
};
DescAccelHit desc_accelerator(Text* desc, int ch, TextPos current, bool key_names);

// ---- native menus kept in step ----

// Called after desc_check, desc_enable, desc_radio and desc_choose change an item's state, for the
// runtime that also shows the description as a native menu (it finds its menu through a Text
// property). `line` is the position of the changed line. Null removes the hook.
typedef void (*DescChangeFn)(Text* desc, TextPos line, PackedId id, uint32_t state);
void desc_set_change_hook(DescChangeFn fn);

// The three association dialogs: thin windows of the runtime over setup/assoc.h. The extension
// list (REGEXT) adds and removes associations until it is closed; the one-extension dialog
// applies the boxes that changed; the other associations (REGS) register the editor among the
// HTML editors or remove it.

#include <windows.h>

#include <cstring>

#include "cab/wizard_ui.h"
#include "core/format.h"
#include "setup/assoc.h"
#include "setup/setup_run.h"
#include "ui/desc.h"
#include "uiwin/msgbox.h"
#include "uiwin/pane.h"

namespace {

enum : int { A_LIST = 30200, A_BOXES = 30210, A_CHOICE = 30200, A_LABEL = 30220 };

HWND new_dialog(HWND owner) {
  if (!owner) return dialog_new();
  HWND f = frame_new(FRAME_DIALOG | FRAME_CENTER, owner);
  frame_set(f, ID("HOOK"), frame_standard_hook);
  return f;
}

// The list shows assoc_list again, its cursor on the first line.
void refill(HWND list) {
  Text* t = pane_text(list);
  Text* now = assoc_list();
  text_clear(t);
  if (now) text_put_text(t, text_cstr(now));
  text_free(now);
  text_top(t);
  view_update(list, false);
}

// The extension on the list's cursor line (a new Text; empty when the list is empty).
Text* selected(HWND list) {
  Text* t = pane_text(list);
  Text* out = text_new();
  if (!t || text_length(t) == 0) return out;
  const char* line = text_cstr(t) + text_line_start(t, text_tell(t));
  text_write(out, line, (int64_t)std::strcspn(line, "\r\n"));
  return out;
}

void make_radio_choice(Text* d, bool first) {
  text_clear(d);
  text_printf(d, "R0(rb%s)\tなし(&N)\nR2(rb%s)\tHTMLエディタの一覧に登録(&R)\n", first ? " ck" : "",
              first ? "" : " ck");
}

}  // namespace

void assoc_dialog_list(HWND owner, Text* rec) {
  HWND f = new_dialog(owner);
  if (!f) return;
  Text* title = format_text("%sに登録されている拡張子", SETUP_PRODUCT);
  frame_set(f, ID("TITLE"), title);
  text_free(title);
  HWND c = dialog_client(f);
  HWND column = pane_create("OK(b)\t閉じる\nADD\t追加(&A)...\nDEL\t登録を解除(&D)\n", c,
                            PANE_VISIBLE | PANE_TABSTOP | 0x12, CHILD_OK_COLUMN, 0);
  pane_set(column, ID("PLACE"), ID("RIGHT"));
  pane_gap(c, ID("RIGHT"));
  Text* lines = text_new();
  HWND list = pane_create(lines, c, PANE_VISIBLE | PANE_BORDER | PANE_TABSTOP | 0x15, A_LIST, 0);
  text_free(lines);
  pane_set(list, ID("CXAL"), 200);
  refill(list);
  dialog_show(f);
  for (;;) {
    PackedId r = dialog_run(f);
    if (r == ID("OK") || r == ID("CANCEL") || !r || !IsWindow(f)) break;
    if (r == ID("ADD")) {
      Text* ext = rec ? setup_get_text(rec, ID("EXT")) : nullptr;
      if (!ext || text_length(ext) == 0) {
        text_free(ext);
        ext = text_new();
        text_puts(ext, ".txt");
      }
      if (input_box("追加", "拡張子", ext) && text_length(ext)) assoc_add(text_cstr(ext));
      text_free(ext);
      refill(list);
      SetFocus(list);
    } else if (r == ID("DEL")) {
      Text* ext = selected(list);
      if (text_length(ext)) assoc_remove(text_cstr(ext));
      text_free(ext);
      refill(list);
    }
  }
  dialog_close(f);
}

bool assoc_dialog_one(HWND owner, const char* ext) {
  if (!ext || !*ext) ext = ".txt";
  if (assoc_refused(ext)) {
    msg_info("%s", ASSOC_REFUSED_MESSAGE);
    return false;
  }
  Text* e = assoc_extension(ext);
  if (!e) return false;
  const char* name = text_cstr(e);
  bool open_before = assoc_query(name, ID("OPEN"), false);
  bool edit_before = assoc_query(name, ID("EDIT"), false);
  HWND f = new_dialog(owner);
  if (!f) {
    text_free(e);
    return false;
  }
  frame_set(f, ID("TITLE"), "拡張子をVI ZIZUZAへ関連付け");
  HWND c = dialog_client(f);
  pane_button_column(c);
  Text* boxes = text_new();
  text_printf(boxes, "OPEN(cb%s)\t%sファイルを開く(&O)\nEDIT(cb%s)\t%sファイルの編集(&E)\n",
              open_before ? " ck" : "", name, edit_before ? " ck" : "", name);
  pane_set(pane_create(boxes, c, PANE_VISIBLE | PANE_TABSTOP | 0x12, A_BOXES, 0), ID("PLACE"),
           ID("TOP"));
  bool ok = dialog_ok(f);
  if (ok)
    assoc_apply(name, open_before, desc_is_checked(boxes, ID("OPEN")), edit_before,
                desc_is_checked(boxes, ID("EDIT")));
  dialog_close(f);
  text_free(boxes);
  text_free(e);
  return ok;
}

bool assoc_dialog_other(HWND owner) {
  HWND f = new_dialog(owner);
  if (!f) return false;
  frame_set(f, ID("TITLE"), "その他の関連付け");
  HWND c = dialog_client(f);
  pane_button_column(c);
  // REGHTM's choice of 0 (none) and 2 (registered): the runtime's property sheet shows a record
  // read-only, so the choice is a pair of radio buttons under its label.
  HWND label = pane_create("1\tHTML編集(&H)\n", c, PANE_VISIBLE | 0x12, A_LABEL, 0);
  pane_set(label, ID("PLACE"), ID("TOP"));
  Text* choice = text_new();
  make_radio_choice(choice, assoc_html_choice() == 0);
  pane_set(pane_create(choice, c, PANE_VISIBLE | PANE_TABSTOP | 0x12, A_CHOICE, 0), ID("PLACE"),
           ID("TOP"));
  dialog_show(f);
  bool ok = false;
  for (;;) {
    PackedId r = dialog_run(f);
    if (r == ID("R0") || r == ID("R2")) {
      make_radio_choice(choice, r == ID("R0"));
      pane_refresh(GetDlgItem(c, A_CHOICE));
      continue;
    }
    if (r == ID("OK")) ok = true;
    if (r == ID("OK") || r == ID("CANCEL") || !r || !IsWindow(f)) break;
  }
  if (ok) assoc_html_apply(desc_is_checked(choice, ID("R2")) ? 2 : 0);
  dialog_close(f);
  text_free(choice);
  return ok;
}

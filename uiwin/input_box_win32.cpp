// The input box: a label, a one-line field and OK / Cancel; the caller's text is kept on Cancel.

#include <windows.h>

#include "core/records.h"
#include "uiwin/runtime.h"

bool input_box(TextArg title, TextArg label, Text* text) {
  if (!text) return false;
  HWND f = dialog_new();
  if (!f) return false;
  frame_set(f, ID("TITLE"), title);
  frame_set_mode(f, FRAME_AUTO, FRAME_CENTER);
  HWND c = dialog_client(f);
  Text* before = text_new();
  text_put_text(before, text_cstr(text));
  pane_button_column(c);
  Text* d = text_new();
  // The label's cell, and of that only its first line: more lines would become item lines.
  int64_t n = 0;
  const char* s = text_cell(label, &n);
  int64_t k = 0;
  while (k < n && s[k] != '\r' && s[k] != '\n') ++k;
  text_puts(d, "1\t");
  text_write(d, s, k);
  text_puts(d, "(&N):\n");
  HWND lab = pane_create(d, c, PANE_VISIBLE | PANE_KIND_ITEMS, CHILD_INPUT_LABEL, 0);
  pane_set(lab, PANE_PLACE, ID("TOP"));
  text_free(d);
  HWND field = pane_create(text, c, PANE_VISIBLE | PANE_BORDER | PANE_TABSTOP | PANE_KIND_INPUT,
                           CHILD_INPUT_FIELD, 0);
  pane_set(field, PANE_PLACE, ID("TOP"));
  const UiFont* font = ui_font(96);
  SIZE pref = pane_preferred(field, 0);
  int chars = MulDiv(pref.cx, 96, ui_dpi(field));
  if (chars > 20 * font->avg) pane_set(field, PANE_CXAL, chars + 3 * font->avg);
  // As dialog_ok, but the typing starts in the field.
  dialog_show(f);
  SetFocus(field);
  PackedId r;
  while ((r = dialog_run(f)) != ID("OK") && r != ID("CANCEL") && r) continue;
  bool ok = r == ID("OK");
  if (ok) dialog_apply(f);
  if (!ok) {
    // Cancelled: the caller's text is as it was.
    text_clear(text);
    text_put_text(text, text_cstr(before));
  }
  text_free(before);
  dialog_close(f);
  return ok;
}

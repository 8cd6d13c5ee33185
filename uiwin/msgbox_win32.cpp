// Message and question boxes built from descriptions on the pane runtime, and the Windows end of
// the portable message seam (status line, boxes, log view).

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "ui/desc.h"
#include "uiwin/msgbox.h"
#include "uiwin/runtime.h"

namespace {

unsigned g_sound = 0x10;
HWND g_log_view;

}  // namespace

void msg_set_sound_setting(unsigned setting) {
  g_sound = setting;
}

int msg_box_slots(unsigned callword, TextArg format, const uint64_t* args, int count) {
  if ((callword & MSG_BEEP_INFO) && (g_sound & 0x10)) MessageBeep(MSG_SOUND_INFO);
  if ((callword & MSG_BEEP_QUESTION) && (g_sound & 0x10)) MessageBeep(MSG_SOUND_QUESTION);
  Text* message = format_text_slots(format, args, count);
  if (!message) return MSG_ANSWER_CANCEL;
  HWND frame = dialog_new();
  if (!frame) {
    text_free(message);
    return MSG_ANSWER_CANCEL;
  }
  char title[256];
  int n = WideCharToMultiByte(932, 0, ui_program_title_wide(), -1, title, sizeof title, nullptr,
                              nullptr);
  if (n > 0) frame_set(frame, ID("TITLE"), title);
  frame_set_mode(frame, FRAME_CENTER, FRAME_AUTO);
  HWND client = dialog_client(frame);

  Text* buttons = msg_buttons(callword);
  text_set_prop(buttons, ID("_FIXHED"), 1);
  HWND row = pane_create(buttons, client, PANE_WORD_BUTTON_ROW, CHILD_MSG_BUTTONS, 0);
  text_free(buttons);
  pane_refresh(row);
  pane_set(row, PANE_PLACE, ID("BOTTOM"));
  HWND check = nullptr;
  if (callword & MSG_IGNORE_BOX) {
    check = pane_create(MSG_IGNORE_LINE, client, PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_CHECK_LINE,
                        CHILD_MSG_CHECK, 0);
    pane_set(check, PANE_PLACE, ID("BOTTOM"));
  }
  pane_gap(client, ID("BOTTOM"));

  msg_prepare_text(message);
  HWND view =
      pane_create(message, client, PANE_VISIBLE | PANE_BORDER | PANE_KIND_VIEW, CHILD_MSG_TEXT, 0);
  pane_set(view, PANE_KUMI, 1);
  pane_set(view, PANE_PRLF, 0);
  pane_set(view, PANE_READ, 1);

  SetWindowPos(frame, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  dialog_show(frame);
  if (callword & MSG_NO_DEFAULT) {
    Text* t = pane_text(row);
    if (desc_find(t, ID("NO"))) {
      TextPos no_line = text_tell(t);
      Pane* p = pane_of(row);
      for (int i = 0; p && i < p->count; ++i)
        if (p->items[i].line == no_line) pane_set(row, PANE_CURSOR, i);
    }
    SetFocus(row);
  }
  PackedId r = 0;
  do {
    r = IsWindow(frame) ? dialog_run(frame) : ID("CANCEL");
  } while (r && !msg_is_final(r));
  bool ignored = r == ID("OK") && check && desc_is_checked(pane_text(check), MSG_IGNORE);
  int answer = msg_answer(r, callword, ignored);
  if (IsWindow(frame)) dialog_close(frame);
  text_free(message);
  return answer;
}

// ---- the message seam ----

void ui_set_log_view(HWND pane) {
  g_log_view = pane;
}

int ui_notify_line(bool log, const char* message) {
  if (!message) message = "";
  if (log && g_log_view && IsWindow(g_log_view)) {
    Text* t = pane_text(g_log_view);
    text_bottom(t);
    text_put_text(t, message);
    view_update(g_log_view, true);
    return 0;
  }
  wchar_t* w = ui_wide(message, -1);
  if (w) OutputDebugStringW(w);
  std::free(w);
  return 0;
}

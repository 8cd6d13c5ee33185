#pragma once
// Message and question boxes: every notice and yes/no question goes through msg_box, a small
// dialog of the pane runtime (the formatted message in a read-only text pane, a button row and,
// on request, a check box asking not to show the message again). Answers are Windows-style codes.
// No system message box is used. Win32 build only.

#include <windows.h>

#include <cstdint>

#include "core/format.h"
#include "ui/msg_text.h"

// Call word, answers and the button rows of the kinds: ui/msg_text.h.
int msg_box_slots(unsigned callword, TextArg format, const uint64_t* args, int count);
template <class... A>
int msg_box(unsigned callword, TextArg format, A... a) {
  const uint64_t s[] = {fmt_detail::slot(a)..., 0};
  return msg_box_slots(callword, format, s, (int)sizeof...(A));
}
// Kind 0 with the information beep.
template <class... A>
int msg_info(TextArg format, A... a) {
  const uint64_t s[] = {fmt_detail::slot(a)..., 0};
  return msg_box_slots(0x10000, format, s, (int)sizeof...(A));
}
// Kind 1 (yes, no, cancel) with the question beep.
template <class... A>
int msg_ask(TextArg format, A... a) {
  const uint64_t s[] = {fmt_detail::slot(a)..., 0};
  return msg_box_slots(0x20001, format, s, (int)sizeof...(A));
}
// Any call word, question beep.
template <class... A>
int msg_ask_kind(unsigned callword, TextArg format, A... a) {
  const uint64_t s[] = {fmt_detail::slot(a)..., 0};
  return msg_box_slots(0x20000 | callword, format, s, (int)sizeof...(A));
}
// Kind 1 with NO as the default, question beep.
template <class... A>
int msg_ask_no(TextArg format, A... a) {
  const uint64_t s[] = {fmt_detail::slot(a)..., 0};
  return msg_box_slots(0x20101, format, s, (int)sizeof...(A));
}
// Bits of msg_box_slots' call word used by the entry points above.
enum : unsigned { MSG_BEEP_INFO = 0x10000, MSG_BEEP_QUESTION = 0x20000 };

// The sound setting of the host: the beeps sound when bit 4 (0x10) is set (the default).
void msg_set_sound_setting(unsigned setting);

// Where ui/notify.h's log lines go: a text view pane (the set-up log view); without it, and for
// status lines, the debugger output. Null unregisters.
void ui_set_log_view(HWND pane);
// Appends a line to the log view (log), else writes it to the debugger output; returns 0.
int ui_notify_line(bool log, const char* message);

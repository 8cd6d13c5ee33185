#pragma once
// What a message box says before any window exists: its button row as a description, the message
// text as it is shown, and its answer. The boxes themselves (msg_box, msg_info, msg_ask,
// msg_ask_kind, msg_ask_no) are the Win32 runtime's (uiwin/).
//
// Call word: the low byte is the kind (the button set), 0x100 makes the second button (NO) the
// default, 0x200 adds the check box IGNORE ("do not show this message again").

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"

enum : unsigned { MSG_KIND_MASK = 0xFF, MSG_NO_DEFAULT = 0x100, MSG_IGNORE_BOX = 0x200 };
// Answers, as Windows-style codes; IGNORE's PackedId is 0x212D70FD.
enum : int { MSG_ANSWER_YES = 6, MSG_ANSWER_NO = 7, MSG_ANSWER_CANCEL = 2 };
inline constexpr PackedId MSG_IGNORE = ID("IGNORE");
// Sounds: the system sounds of an information and a question box.
enum : unsigned { MSG_SOUND_INFO = 64, MSG_SOUND_QUESTION = 32 };

// The check-box description of 0x200: "IGNORE(cb)\t今後このメッセージを表示しない(&I)\n".
extern const char MSG_IGNORE_LINE[];

// A new Text with the button row of a call word: kind 0 "OK(b)\t OK (&Y) \n"; kinds 1 to 8 (and
// any other, as 1) the first and second buttons, each followed by "--sp\n", then
// "CANCEL\tキャンセル\n"; "(b)" on the first unless 0x100, then on the second. Null without memory.
Text* msg_buttons(unsigned callword);
// Makes the message ready to show: one empty line above it and a line end at its end when it has
// none. False when memory runs out (the text is then unchanged).
bool msg_prepare_text(Text* message);
// Whether a dialog result ends the box (OK, NO, CANCEL); other commands are ignored.
bool msg_is_final(PackedId result);
// The answer for the final result: OK 6 (IGNORE's PackedId when 0x200 and the box is checked), NO
// 7, anything else 2.
int msg_answer(PackedId result, unsigned callword, bool ignore_checked);

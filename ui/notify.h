#pragma once
// Messages from portable code: the status line, message and question boxes, and the log view.
// On Windows these reach the real user interface; the native build writes them to stderr and
// answers questions with the answer its caller chose beforehand. Messages are internal text.

#include <cstdint>

enum NotifyKind : int { NOTIFY_STATUS = 1, NOTIFY_BOX = 2, NOTIFY_LOG = 3 };

// Answers of a box, as the system's message boxes return them.
enum : int { NOTIFY_YES = 6, NOTIFY_NO = 7, NOTIFY_CANCEL = 2 };

void notify_status(const char* message);
void notify_log(const char* line);
// Shows a message or question box; the call word is that of the message box (low byte the kind:
// 0 OK only, 1 yes/no/cancel, ...). Returns 6, 7 or 2.
int notify_box(const char* message, unsigned callword);

// Where the messages go; tests install a sink to see them. Null restores the default.
typedef int (*NotifySink)(NotifyKind kind, const char* message, unsigned callword);
void notify_set_sink(NotifySink sink);
// The answer the console implementation gives to questions (default NOTIFY_YES); a box with OK
// only answers YES unless this is NOTIFY_CANCEL. Part of the seam: the non-interactive answer a
// caller chooses from its options, kept even where no caller of the day sets it.
void notify_set_answer(int answer);

// A run that keeps its own log (the set-up's -log file) receives a copy of every log line and
// every box's message here, wherever they are shown; null stops the copy.
struct Text;
void notify_set_transcript(Text* transcript);

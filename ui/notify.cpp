// Messages from portable code. Until the runtime's own windows take them, and always in the
// native build, they go to stderr in UTF-8 and questions get the answer chosen by the caller.

#include "ui/notify.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/codepage.h"
#include "core/text.h"
#include "core/utf8.h"

namespace {
NotifySink g_sink;
int g_answer = NOTIFY_YES;
Text* g_transcript;

// A box's message becomes one ended line; log lines are copied as they come (some are parts).
void transcribe(const char* message, bool end_line) {
  if (!g_transcript || !message) return;
  text_bottom(g_transcript);
  text_puts(g_transcript, message);
  size_t n = std::strlen(message);
  if (end_line && (n == 0 || message[n - 1] != '\n')) text_puts(g_transcript, "\n");
}

// Internal text to UTF-8 for the console; bytes that do not convert are written as they are.
void print_utf8(FILE* f, const char* s) {
  char16_t* w = to_wide_new(s, -1);
  if (!w) {
    std::fputs(s, f);
    return;
  }
  for (size_t i = 0; w[i]; ++i) {
    uint32_t c = w[i];
    if (c >= 0xD800 && c < 0xDC00 && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    }
    char b[4];
    std::fwrite(b, 1, (size_t)utf8_put(c, b), f);
  }
  std::free(w);
}

void print_line(const char* prefix, const char* message) {
  std::fputs(prefix, stderr);
  print_utf8(stderr, message ? message : "");
  size_t n = message ? std::strlen(message) : 0;
  if (n == 0 || message[n - 1] != '\n') std::fputc('\n', stderr);
}
}  // namespace

void notify_set_sink(NotifySink sink) {
  g_sink = sink;
}
void notify_set_answer(int answer) {
  g_answer = answer;
}
void notify_set_transcript(Text* transcript) {
  g_transcript = transcript;
}

void notify_status(const char* message) {
  if (g_sink) {
    g_sink(NOTIFY_STATUS, message, 0);
    return;
  }
  print_line("", message);
}

void notify_log(const char* line) {
  transcribe(line, false);
  if (g_sink) {
    g_sink(NOTIFY_LOG, line, 0);
    return;
  }
  print_line("", line);
}

int notify_box(const char* message, unsigned callword) {
  transcribe(message, true);
  if (g_sink) return g_sink(NOTIFY_BOX, message, callword);
  print_line("", message);
  if ((callword & 0xFF) == 0) return g_answer == NOTIFY_CANCEL ? NOTIFY_CANCEL : NOTIFY_YES;
  return g_answer;
}

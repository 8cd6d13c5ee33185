// The console side of the message seam: the answer a box gives without a window, as the caller
// chose it beforehand.

#include "ui/notify.h"

#include <gtest/gtest.h>

namespace {

struct AnswerCase {
  int chosen;
  unsigned callword;
  int expected;
};

TEST(NotifyConsole, AnswersAsTheCallerChose) {
  const AnswerCase cases[] = {
      {NOTIFY_YES, 0, NOTIFY_YES},       {NOTIFY_NO, 0, NOTIFY_YES},
      {NOTIFY_CANCEL, 0, NOTIFY_CANCEL}, {NOTIFY_YES, 1, NOTIFY_YES},
      {NOTIFY_NO, 1, NOTIFY_NO},         {NOTIFY_CANCEL, 1, NOTIFY_CANCEL},
      {NOTIFY_NO, 0x20101, NOTIFY_NO},   {NOTIFY_NO, 0x100, NOTIFY_YES},
  };
  notify_set_sink(nullptr);
  for (const AnswerCase& c : cases) {
    notify_set_answer(c.chosen);
    EXPECT_EQ(notify_box("question", c.callword), c.expected)
        << "answer " << c.chosen << ", call word " << std::hex << c.callword;
  }
  notify_set_answer(NOTIFY_YES);
}

}  // namespace

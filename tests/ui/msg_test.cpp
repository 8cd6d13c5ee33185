// Message boxes before any window: the button rows of every kind, the message as shown, and the
// answers.

#include <gtest/gtest.h>

#include "desc_util.h"
#include "ui/desc.h"
#include "ui/msg_text.h"

namespace {

struct ButtonCase {
  unsigned callword;
  const char* row;
};

TEST(MsgButtons, EveryKind) {
  const char* tail = "--sp\nCANCEL\tキャンセル\n";
  const ButtonCase cases[] = {
      {0, "OK(b)\t OK (&Y) \n"},
      {0x300, "OK(b)\t OK (&Y) \n"},
      {1, "OK(b)\t はい(&Y) \n--sp\nNO\tいいえ(&N)\n"},
      {1 | 0x100, "OK\t はい(&Y) \n--sp\nNO(b)\tいいえ(&N)\n"},
      {2, "OK(b)\t保存する(&Y)\n--sp\nNO\t保存しない(&N)\n"},
      {3, "OK(b)\t破棄する(&Y)\n--sp\nNO\t破棄しない(&N)\n"},
      {4, "OK(b)\t更新する(&Y)\n--sp\nNO\t専用設定にする(&N)\n"},
      {5, "OK(b)\t出力する(&Y)\n--sp\nNO\t出力しない(&N)\n"},
      {6 | 0x300, "OK\t前方へジャンプ(&Y)\n--sp\nNO(b)\t後方へジャンプ(&N)\n"},
      {7, "OK(b)\t指定しない(&Y)\n--sp\nNO\t指定する(&N)\n"},
      {8, "OK(b)\t    32bit    \n--sp\nNO\t    64bit    \n"},
      {0xFF, "OK(b)\t はい(&Y) \n--sp\nNO\tいいえ(&N)\n"}};
  for (const ButtonCase& c : cases) {
    Owned row(msg_buttons(c.callword));
    ASSERT_NE(row.t, nullptr);
    std::string want = std::string(c.row) + ((c.callword & 0xFF) ? tail : "");
    EXPECT_EQ(row.lf(), want) << c.callword;
    EXPECT_NE(text_prop(row.t, ID("_FIXHED")), 0);
    // Read as a description: the default is where the call word says.
    bool no_default = (c.callword & 0xFF) != 0 && (c.callword & 0x100);
    EXPECT_EQ(desc_item_state(row.t, row.line(1)), no_default ? 0u : (uint32_t)DESC_DEFAULT);
  }
  Owned ignore(MSG_IGNORE_LINE);
  EXPECT_EQ(desc_item_id(MSG_IGNORE_LINE), MSG_IGNORE);
  EXPECT_EQ(desc_item_state(ignore.t, 0), (uint32_t)DESC_CHECKBOX);
  EXPECT_EQ(desc_accelerators(MSG_IGNORE_LINE, false, nullptr, 0), 1);
}

TEST(MsgText, EmptyLineAboveAndOneLineEnd) {
  const char* cases[][2] = {{"保存しますか", "\n保存しますか\n"},
                            {"保存しますか\n", "\n保存しますか\n"},
                            {"a\nb", "\na\nb\n"},
                            {"", "\n\n"}};
  for (auto& c : cases) {
    Owned m(c[0]);
    ASSERT_TRUE(msg_prepare_text(m.t));
    EXPECT_EQ(m.str(), c[1]) << c[0];
  }
  EXPECT_FALSE(msg_prepare_text(nullptr));
}

TEST(MsgAnswer, CodesOfTheAnswers) {
  struct {
    PackedId result;
    unsigned callword;
    bool checked;
    int64_t answer;
  } cases[] = {{ID("OK"), 1, false, 6},
               {ID("OK"), 0x201, false, 6},
               {ID("OK"), 0x201, true, 0x212D70FD},
               {ID("OK"), 1, true, 6},
               {ID("NO"), 0x201, true, 7},
               {ID("CANCEL"), 0x201, true, 2},
               {ID("ESC"), 0, false, 2},
               {0, 0, false, 2}};
  for (auto& c : cases)
    EXPECT_EQ(msg_answer(c.result, c.callword, c.checked), c.answer) << c.result << c.callword;
  EXPECT_EQ(MSG_IGNORE, 0x212D70FDu);
  const char* final_[] = {"OK", "NO", "CANCEL", "IGNORE", "ESC"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(msg_is_final(ID(final_[i])), i < 3) << final_[i];
}

}  // namespace

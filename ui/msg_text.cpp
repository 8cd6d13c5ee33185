// The button row, message text and answer of a message box.

#include "ui/msg_text.h"

#include "core/format.h"

const char MSG_IGNORE_LINE[] = "IGNORE(cb)\t今後このメッセージを表示しない(&I)\n";

namespace {

struct Buttons {
  const char* yes;
  const char* no;
};
// Kinds 1 to 8; any other kind is 1.
const Buttons kButtons[] = {
    {" はい(&Y) ", "いいえ(&N)"},       {"保存する(&Y)", "保存しない(&N)"},
    {"破棄する(&Y)", "破棄しない(&N)"}, {"更新する(&Y)", "専用設定にする(&N)"},
    {"出力する(&Y)", "出力しない(&N)"}, {"前方へジャンプ(&Y)", "後方へジャンプ(&N)"},
    {"指定しない(&Y)", "指定する(&N)"}, {"    32bit    ", "    64bit    "},
};

}  // namespace

Text* msg_buttons(unsigned callword) {
  Text* t = text_new();
  if (!t) return nullptr;
  unsigned kind = callword & MSG_KIND_MASK;
  bool ok = true;
  if (kind == 0) {
    ok = text_printf(t, "OK(b)\t OK (&Y) \n") > 0;
  } else {
    const Buttons& b = kButtons[kind <= 8 ? kind - 1 : 0];
    bool no_default = (callword & MSG_NO_DEFAULT) != 0;
    ok = text_printf(t, "OK%s\t%s\n", no_default ? "" : "(b)", b.yes) > 0 &&
         text_printf(t, "--sp\n") > 0 &&
         text_printf(t, "NO%s\t%s\n", no_default ? "(b)" : "", b.no) > 0 &&
         text_printf(t, "--sp\n") > 0 && text_printf(t, "CANCEL\tキャンセル\n") > 0;
  }
  if (!ok || (t->flags & TX_OUT_OF_MEMORY)) {
    text_free(t);
    return nullptr;
  }
  text_set_prop(t, ID("_FIXHED"), 1);
  text_top(t);
  return t;
}

bool msg_prepare_text(Text* message) {
  if (!message) return false;
  TextPos saved = text_tell(message);
  int64_t n = text_length(message);
  bool ends = n > 0 && text_byte_at(message, n - 1) == '\n';
  if (!ends) {
    text_bottom(message);
    if (text_insert(message, "\n", 0, 1) != 1) {
      text_seek(message, saved);
      return false;
    }
  }
  text_top(message);
  if (text_insert(message, "\n", 0, 1) != 1) {
    if (!ends) {
      text_seek(message, n);
      text_delete(message, 1);
    }
    text_seek(message, saved);
    return false;
  }
  text_top(message);
  return true;
}

bool msg_is_final(PackedId result) {
  return result == ID("OK") || result == ID("NO") || result == ID("CANCEL");
}

int msg_answer(PackedId result, unsigned callword, bool ignore_checked) {
  if (result == ID("OK"))
    return (callword & MSG_IGNORE_BOX) && ignore_checked ? (int)MSG_IGNORE : MSG_ANSWER_YES;
  if (result == ID("NO")) return MSG_ANSWER_NO;
  return MSG_ANSWER_CANCEL;
}

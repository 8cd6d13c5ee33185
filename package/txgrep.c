// txgrep.c: フォルダのファイルから検索する
#include "text64.ph"

int main(TX tx) {
  return txCommand(tx, "GREP");
}

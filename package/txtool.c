// txtool.c: ツールメニューから呼ばれる小さな道具
#include "text64.ph"

int main(TX tx) {
  txMessage("ツール: 行数を数えます");
  int n = 0;
  txTop(tx);
  do { n++; } while (txNextLine(tx));
  char buf[32];
  sprintf(buf, "%d行", n);
  txMessage(buf);
  return n;
}

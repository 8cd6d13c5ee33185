// txedit.c: サンプル: 行頭に引用記号を付ける
#include "text64.ph"

int main(TX tx) {
  txTop(tx);
  do { txInsert(tx, "> "); } while (txNextLine(tx));
  return 1;
}

// txcard.c: サンプル: 住所カードの1件を挿入する
#include "text64.ph"

int main(TX tx) {
  txInsert(tx, "名前:\n住所:\n電話:\n");
  return 1;
}

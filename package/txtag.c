// txtag.c: タグジャンプ
#include "text64.ph"

int main(TX tx) {
  return txCommand(tx, "TAGJMP");
}

// txboard.c: ボードを開く
#include "text64.ph"

int main(TX tx) {
  return txCommand(tx, "BOARD");
}

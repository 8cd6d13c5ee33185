// txicon.c: アイコンバーを開く
#include "text64.ph"

int main(TX tx) {
  return txCommand(tx, "ICON");
}

// txproof.c: 校正: 二重の句読点を探す
#include "text64.ph"

int main(TX tx) {
  txTop(tx);
  if (txSearch(tx, "[、。]{2}")) txMessage("二重の句読点があります");
  else txMessage("見つかりませんでした");
  return 1;
}

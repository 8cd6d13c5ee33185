// txtex.c: TeX‚Ì•¶‘‚ğˆ—‚·‚é
#include "text64.ph"

#include "winx.ph"

int main(TX tx) {
  txCommand(tx, "SAVE");
  return winRun("platex %f", 1);
}

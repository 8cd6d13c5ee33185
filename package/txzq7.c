// txzq7.c: ‘O‚Ì”Å‚ÌƒL[Š„‚è“–‚Ä‚ğ“Ç‚İ‚Ş
#include "text64.ph"

int main(TX tx) {
  return txCommand(tx, "KEYOLD");
}

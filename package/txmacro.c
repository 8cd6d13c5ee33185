// txmacro.c: ƒ}ƒNƒ‚ÌÀs‚Æ“o˜^
#include "text64.ph"

int main(TX tx) {
  return txCommand(tx, "MACRUN");
}

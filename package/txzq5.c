// txzq5.c: ‹Œ”Å‚Ìİ’è‚ğ“Ç‚İ‚Ş
#include "text64.ph"

int main(TX tx) {
  txMessage("‹Œ”Å‚Ìİ’è‚ÍŒ©‚Â‚©‚è‚Ü‚¹‚ñ‚Å‚µ‚½");
  return 0;
}

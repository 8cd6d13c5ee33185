// txiface.c: ‘¼‚ÌƒvƒƒOƒ‰ƒ€‚Æ‚Ìó‚¯“n‚µ
#include "text64.ph"

int main(TX tx) {
  return txCommand(tx, "IFACE");
}

// txndic.c: «‘‚ğˆø‚­
#include "text64.ph"

int main(TX tx) {
  return txCommand(tx, "DICREF");
}

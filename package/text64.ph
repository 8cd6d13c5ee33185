// text64.ph: 64ビット版のマクロで使う型と定数
#include "text.h"

typedef long long TXPOS;   // テキスト中の位置（なしは -1）

#define TXPOS_NONE (-1)
#define TX_MAXLINE 65535

TXPOS txGetPos(TX tx);
int   txSetPos(TX tx, TXPOS pos);
TXPOS txGetLength(TX tx);

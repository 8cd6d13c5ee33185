// winxce.ph: 小型機向けの版のWindows関数（互換のために残しています）
#include "winx.ph"

int winSipShow(int on);   // ソフトウェアキーボードの表示

// winceqmc.ph: 小型機向けの版で使っていたウィンドウ関数（互換のために残しています）
#include "winqmc.ph"

#define QMC_SMALL_SCREEN 1
int qmcFullScreen(HWND w, int on);

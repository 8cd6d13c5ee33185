// winqmc.ph: マクロからWindowsのウィンドウを扱う関数
#include "text64.ph"

typedef long long HWND;

HWND qmcFindWindow(const char *cls, const char *title);
int  qmcPostCommand(HWND w, ID cmd);
int  qmcSendText(HWND w, ID cmd, const char *s);
int  qmcMessageBox(const char *s, int kind);

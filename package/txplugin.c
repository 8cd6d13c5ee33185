// txplugin.c: サンプル: プラグインの雛形
#include "text64.ph"

int plugin_init(void) { return 1; }

int main(TX tx) {
  txMessage("プラグインの雛形です");
  return plugin_init();
}

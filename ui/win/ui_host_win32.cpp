// Placeholder of the runtime's face toward the host, until the pane runtime provides it: no panes,
// no popups, no pre-translation, and the host window's procedure does only the default.
#include "ui/win/ui_host.h"

void ui_register_view_class(HINSTANCE) {}
LRESULT CALLBACK ui_host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}
int ui_open_window_count() {
  return 0;
}
bool ui_pretranslate(MSG*) {
  return false;
}
bool ui_is_pane(HWND) {
  return false;
}
unsigned ui_pane_options(HWND) {
  return 0;
}
void ui_pane_set_imeon(HWND, bool) {}
void ui_pane_blink_seen(HWND) {}
HWND ui_popup_window() {
  return nullptr;
}
bool ui_transient_open() {
  return false;
}
void ui_shutdown() {}

#pragma once
// What the host's start-up, message loop and shutdown ask of the Win32 user-interface runtime.
// The host owns the order of things (start-up steps, the loop, shutdown); the runtime owns the
// windows, panes and transient popups that the loop and the hooks need to know about.
// Win32 build only.

#include <windows.h>

// Start-up step 9: registers "TXVIEW" once per process and reads the wheel scroll lines.
void ui_register_view_class(HINSTANCE instance);
// The procedure of the host window ("TXMAINTIMER"): its timers, IDLE and the key-repeat timers.
LRESULT CALLBACK ui_host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Open applet windows (top-level frames of the runtime); the loop quits at once when there are
// none.
int ui_open_window_count();
// Pre-translation of a queued message: accelerators, dialog navigation, pane keys. True: taken.
bool ui_pretranslate(MSG* msg);

// Panes of the text-described user interface and the options the loop and hooks look at.
bool ui_is_pane(HWND window);
enum : unsigned { UI_PANE_IMEON = 1, UI_PANE_SWALLOW_BLINK = 2 };
unsigned ui_pane_options(HWND pane);
// Sets or clears the IMEON option with its side effect on the input method.
void ui_pane_set_imeon(HWND pane, bool on);
void ui_pane_blink_seen(HWND pane);

// The transient popup (tip, drop-down list or menu) that a click outside closes; null when none.
HWND ui_popup_window();
bool ui_transient_open();

// The host's message pump (one message taken and handled, GetMessageW's result returned, the
// message in *msg), through which the modal loops of dialog_run and menu_track fetch their
// messages. Without one they take, pre-translate and dispatch each message themselves.
typedef int (*UiMessagePump)(MSG* msg);
void ui_set_message_pump(UiMessagePump pump);
int ui_pump_message(MSG* msg);

// Shutdown step 3: frees the runtime's shared Texts, its window list and shared drawing objects.
void ui_shutdown();

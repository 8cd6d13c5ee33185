#pragma once
// The window class names of the system, written once. The set-up's window seams look for the
// runtime's frames by class, below the Win32 runtime (uiwin/) and the host that register them, so
// the names live here, portable (no windows.h).

// Frames of every applet: this class, or this name, a colon and more.
inline constexpr wchar_t UI_CLASS_FRAME[] = L"DuroDA64";
// The pane container inside a frame, and the tabbed container around the pages.
inline constexpr wchar_t UI_CLASS_CONTAINER[] = L"TEXTPANE";
inline constexpr wchar_t UI_CLASS_TABS[] = L"TEXTTABPANE";
// Every pane.
inline constexpr wchar_t UI_CLASS_VIEW[] = L"TXVIEW";
// A popup menu, and the tip.
inline constexpr wchar_t UI_CLASS_MENU[] = L"TEXTMENUBASE";
inline constexpr wchar_t UI_CLASS_TIP[] = L"TEXTTIPBASE";
// The host's hidden window: timers and IDLE.
inline constexpr wchar_t UI_CLASS_HOST[] = L"TXMAINTIMER";

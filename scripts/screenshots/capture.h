#pragma once
// What the screenshot programs share: per-monitor DPI awareness before any window exists, and a
// capture of a screen rectangle as a BMP file (the scripts turn them into PNG files).

#include <windows.h>

// Per-monitor aware (v2) where the system offers it, so that captures are in real pixels.
void shots_dpi_aware();
// The screen under `rc` into FOLDER\NAME-SUFFIX.bmp (24 bits). False when it cannot be written.
bool shots_capture(RECT rc, const wchar_t* folder, const wchar_t* name, const wchar_t* suffix);

// The screenshot programs' capture and DPI set-up.

#include <cstdio>
#include <cwchar>
#include <vector>

#include "capture.h"
#include "tests/support/bmp_file.h"

namespace {

// The bitmap's pixels, top row first, into a BMP file.
bool write_bmp(const wchar_t* path, HBITMAP bmp, int w, int h) {
  BITMAPINFOHEADER bi = bmp_info(w, -h);
  std::vector<unsigned char> bits((size_t)bmp_stride(w) * h);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, bmp, 0, (UINT)h, bits.data(), (BITMAPINFO*)&bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return bmp_write(path, w, -h, bits.data());
}

}  // namespace

void shots_dpi_aware() {
  typedef BOOL(WINAPI * AwareFn)(HANDLE);
  AwareFn aware = (AwareFn)(void*)GetProcAddress(GetModuleHandleW(L"user32.dll"),
                                                 "SetProcessDpiAwarenessContext");
  if (aware) aware((HANDLE)-4);  // per-monitor aware (v2)
}

bool shots_capture(RECT rc, const wchar_t* folder, const wchar_t* name, const wchar_t* suffix) {
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
  SelectObject(mem, old);
  wchar_t path[MAX_PATH + 64];
  swprintf(path, MAX_PATH + 64, L"%ls\\%ls-%ls.bmp", folder, name, suffix);
  bool ok = write_bmp(path, bmp, w, h);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

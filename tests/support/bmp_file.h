#pragma once
// A 24-bit BMP file written from pixel rows: the screenshot programs' captures and the tests'
// pictures (Windows only).

#include <windows.h>

#include <cstdio>

// Bytes in a row of w 24-bit pixels (rows are padded to four bytes).
inline int bmp_stride(int w) {
  return (w * 3 + 3) & ~3;
}

// The header of a 24-bit picture of w x h pixels; h < 0: the top row first.
inline BITMAPINFOHEADER bmp_info(int w, int h) {
  return BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
}

// rows (bmp_stride(w) x |h| bytes, in the order bmp_info(w, h) says) into a new file at path.
// False when it cannot be written.
inline bool bmp_write(const wchar_t* path, int w, int h, const void* rows) {
  BITMAPINFOHEADER bi = bmp_info(w, h);
  DWORD size = (DWORD)bmp_stride(w) * (DWORD)(h < 0 ? -h : h);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi;
  fh.bfSize = fh.bfOffBits + size;
  FILE* f = _wfopen(path, L"wb");
  if (!f) return false;
  fwrite(&fh, sizeof fh, 1, f);
  fwrite(&bi, sizeof bi, 1, f);
  fwrite(rows, 1, size, f);
  fclose(f);
  return true;
}

#pragma once
// Little-endian reads and writes of byte buffers (package lengths, codec headers, executable
// headers). The caller has checked that the bytes are there.

#include <cstdint>

inline uint32_t le_read16(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8;
}
inline uint32_t le_read32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
inline void le_write32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
  p[2] = (uint8_t)(v >> 16);
  p[3] = (uint8_t)(v >> 24);
}

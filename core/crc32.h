#pragma once
// IEEE CRC-32 (the reflected polynomial 0xEDB88320, initial value and final XOR 0xFFFFFFFF), the
// checksum that the package stores per entry. Table-driven, eight bytes a step; it reads nothing
// outside [bytes, bytes + n) and needs no initialisation.

#include <cstddef>
#include <cstdint>

// Continues a checksum: crc32_update(crc32_update(0, a, n), b, m) is the checksum of a then b.
uint32_t crc32_update(uint32_t crc, const void* bytes, size_t n);
inline uint32_t crc32(const void* bytes, size_t n) {
  return crc32_update(0, bytes, n);
}

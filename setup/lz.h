#pragma once
// The package codec: an LZ stream of 9-bit literals and 17-bit matches (length 3..18, distance
// 3..4098), read most significant bit first, behind a 10-byte header (magic 0x0D 0x3F, total
// stream length, uncompressed length; both little-endian 32-bit). The keyed variant scrambles the
// literal bytes and distance fields with a two-word key; only dictionaries use it.
//
// The decoder never reads outside the `available` bytes it is given and never writes past the
// uncompressed length plus LZ_SLACK; a header claiming more output than the stream could possibly
// produce is refused before anything is allocated. The encoder's output is fixed byte for byte by
// its search rule (see lz.cpp), so that packages can be rebuilt identically.

#include <cstddef>
#include <cstdint>

enum : size_t {
  LZ_HEADER = 10,  // magic, total length, uncompressed length
  LZ_SLACK = 36,   // bytes after the uncompressed length that decoding may touch
};

struct LzKey {
  uint32_t word[2];
};

enum LzError : int {
  LZ_OK = 0,
  LZ_BAD_MAGIC,     // not a compressed stream
  LZ_TRUNCATED,     // the stream is longer than the bytes available, or a token runs past it
  LZ_IMPOSSIBLE,    // the uncompressed length cannot come out of a stream this short
  LZ_BAD_DISTANCE,  // a match reaches before the start of the output (or, keyed, overlaps)
  LZ_OVERRUN,       // the tokens produce more than the uncompressed length plus the slack
  LZ_SHORT,         // the tokens produce less than the uncompressed length
  LZ_NO_MEMORY,
  LZ_TOO_LARGE,  // encoder: input longer than a stream can describe
};
const char* lz_error_text(int error);

// Decodes the stream at `stream` (at most `available` bytes are read). Returns a new buffer
// (malloc; the caller frees) of *out_length bytes, the uncompressed length, followed by a NUL;
// null on failure, with the reason in *error when given. Key null for plain streams.
uint8_t* lz_decode(const void* stream, size_t available, const LzKey* key, size_t* out_length,
                   int* error = nullptr);

// The uncompressed length a stream header announces; false when fewer than LZ_HEADER bytes or no
// magic.
bool lz_header(const void* stream, size_t available, uint32_t* total, uint32_t* uncompressed);

// Encodes `length` bytes. Returns a new buffer (malloc) holding the stream, its length in
// *out_length; null when out of memory or the input is longer than 32 bits can describe.
uint8_t* lz_encode(const void* bytes, size_t length, size_t* out_length, const LzKey* key);

// The key built from a text: bytes above 32 are accumulated six to a word as value * 96 +
// (byte - 32); a second word of 0 takes the value of the first.
LzKey lz_key_from_text(const char* text);

#pragma once
// Packed identifiers and the character layer of the internal multibyte text.
//
// A PackedId holds a case-insensitive word of up to six letters and digits in 32 bits (bijective
// base 36: A..Z are 1..26, 0..9 are 27..36); commands, applets, switches, settings keys and
// character kinds are PackedIds and are compared as integers. `ID("CAB")` is the compile-time
// packer for code: `case ID("CAB"):`.
//
// The internal text is Shift-JIS extended by a three-byte escape (0x80 or 0xA0, then two bytes of
// at least 0x40) that carries any UTF-16 code unit; a surrogate pair of escapes is one six-byte
// character, and CR LF is one two-byte character.

#include <cstddef>
#include <cstdint>

typedef uint32_t PackedId;
typedef uint64_t PackedIdLong;

// Offset that turns a plain value into its underscore form (modulo 2^32 / 2^64).
inline constexpr uint32_t ID_UNDERSCORE_BIAS = 2055991180u;
inline constexpr uint32_t ID_PLAIN_MAX = 0x85741074u;
inline constexpr uint64_t ID_LONG_PLAIN_MAX = 0x43A3163A81075074ull;

// Reads the identifier at the start of a NUL-terminated string; 0 when it is not one.
PackedId id_pack(const char* text);
// Canonical upper-case text into buffer (at least 8 bytes); returns buffer. 0 gives "".
char* id_unpack(PackedId id, char* buffer);
// Twelve-symbol form; buffer at least 14 bytes.
char* id_unpack_long(PackedIdLong id, char* buffer);

// Compile-time packer with the rules of id_pack (ASCII letters and digits, optional ID_ and _).
constexpr PackedId ID(const char* s) {
  auto up = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; };
  if (up(s[0]) == 'I' && up(s[1]) == 'D' && s[2] == '_') s += 3;
  bool under = false;
  if (*s == '_') {
    under = true;
    ++s;
  }
  uint32_t v = 0;
  int n = 0;
  for (; n < 6; ++n, ++s) {
    char c = up(*s);
    if (c >= 'A' && c <= 'Z')
      v = v * 36 + uint32_t(c - 'A' + 1);
    else if (c >= '0' && c <= '9')
      v = v * 36 + uint32_t(c - '0' + 27);
    else if (c == '_')
      return 0;
    else
      break;
  }
  if (n == 6) {
    char c = up(*s);
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') return 0;
  }
  return under ? v - ID_UNDERSCORE_BIAS : v;
}

// Character-class bits of the 256-entry table.
enum : uint32_t {
  CC_LEAD = 0x0001,   // Shift-JIS lead byte
  CC_TRAIL = 0x0002,  // Shift-JIS trail byte
  CC_KANA = 0x0004,   // half-width katakana
  CC_EXT = 0x0008,    // extension lead (three-byte UTF-16 escape)
  CC_DIGIT = 0x0010,
  CC_UPPER = 0x0020,
  CC_LOWER = 0x0040,
  CC_SPACE = 0x0080,
  CC_IDEXTRA = 0x1000,  // $ and _
  CC_EOL = 0x2000,      // NUL, LF, CR, 0x1A
  CC_BARE = 0x4000,     // bare-word character
  CC_LETTER = 0x0060,
  CC_ALNUM = 0x0070,
  CC_IDENT = 0x1070,
};

extern uint32_t char_class[256];

// Fills the class table (idempotent; the table is also filled before main runs).
void char_class_init();

// Class test on a character value; values wider than a byte have no class.
inline bool char_is(int c, uint32_t mask) {
  return (unsigned)c < 256u && (char_class[(unsigned)c] & mask) != 0;
}

int char_len(const char* p);         // 1, 2, 3 or 6; an invalid sequence counts as one byte
int char_len_strict(const char* p);  // as char_len, but 0 for an invalid sequence
uint32_t char_code(const char* p);   // code of the character at p (strict length), 0 if invalid
PackedId char_kind(const char* p);   // ALNUM, SPACE, LF, SYMBOL, ZSPACE, KATA, ZALNUM, HIRA, ...
char* lower_ascii(char* s);          // ASCII letters to lower case, multibyte left alone
// ASCII case-insensitive equality, byte by byte: the whole of a (or its first n bytes) with the
// whole of b.
bool equal_nocase_ascii(const char* a, const char* b);
bool equal_nocase_ascii_n(const char* a, size_t n, const char* b);

const char* char_next(const char* p);                     // p + char_len(p)
const char* char_prev(const char* start, const char* p);  // start of the character before p
const char* char_last(const char* s, const char* end);    // start of the last character before end
bool char_is_hex(int c);
// The UTF-16 unit carried by an escape at p (both following bytes >= 0x40), or -1.
int char_escape_unit(const char* p);

#pragma once
// Character codes of files: the code ids, detection of a file's code, and the conversion of whole
// Texts between a file code and the internal form (Shift-JIS with SJIS-EX escapes).
//
// Loading reads raw bytes, then code_detect and code_from_file turn them into internal text and
// the loader records the code in the property _KC and the line-end kind in _LF; saving turns a
// copy back with code_to_file. Line ends are not touched here. A truncated character at the end
// of the input makes a conversion fail, and the Text is then left as it was. Reading EUC or JIS,
// a byte that cannot be the second byte of a pair is never swallowed: the first byte becomes
// one "?" and the other is read as itself.

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"

// Codes. 0, SJIS, SJISEX and ASCII need no conversion: their bytes are the internal bytes.
inline constexpr PackedId CODE_SJIS = ID("SJIS");
inline constexpr PackedId CODE_SJISEX = ID("SJISEX");  // the internal form itself
inline constexpr PackedId CODE_ASCII = ID("ASCII");    // seven-bit text (detection only)
inline constexpr PackedId CODE_EUC = ID("EUC");        // EUC-JP
inline constexpr PackedId CODE_JIS = ID("JIS");        // ISO-2022-JP
inline constexpr PackedId CODE_UTF = ID("UTF");        // UTF-8 without mark
inline constexpr PackedId CODE_UTFB = ID("UTFB");      // UTF-8 with EF BB BF
inline constexpr PackedId CODE_UNI = ID("UNI");        // UTF-16LE with FF FE
inline constexpr PackedId CODE_UNIB = ID("UNIB");      // UTF-16LE without mark
inline constexpr PackedId CODE_UNIBE = ID("UNIBE");    // UTF-16BE with FE FF
inline constexpr PackedId CODE_EURO = ID("EURO");      // Western single-byte (U+0000..U+00FF)

// Properties of a Text: its file's code and line-end kind (CRLF, CR or LF).
inline constexpr PackedId PROP_KC = ID("_KC");
inline constexpr PackedId PROP_LF = ID("_LF");
inline constexpr PackedId LF_CRLF = ID("CRLF");
inline constexpr PackedId LF_CR = ID("CR");
inline constexpr PackedId LF_LF = ID("LF");

// The code and line-end kind a Text was loaded with (0 and CRLF when not recorded).
PackedId text_code(const Text* t);
bool text_set_code(Text* t, PackedId code);
PackedId text_line_end(const Text* t);
bool text_set_line_end(Text* t, PackedId kind);
// The kind of the first line end in raw bytes of a code (CRLF when there is none); UTF-16 line
// ends are read as units.
PackedId line_end_detect(const char* bytes, int64_t length, PackedId code);

// Mode of code_to_file / bytes_to_code: no byte order mark.
enum : int { CODE_NO_MARK = 1 };

// The status line's name of a code ("SJIS" for 0, SJIS and ASCII; "UTF8+b", "UNI(be)", ...),
// and of a line-end kind ("CR+LF" for CRLF and 0, "CR", "LF"). Null for an unknown id.
const char* code_status_name(PackedId code);
const char* line_end_status_name(PackedId kind);
// Whether the id is one of the codes above (0 excluded).
bool code_is_known(PackedId code);

// Guesses the code of raw file bytes: a code id, or 0 when undecided (treat as Shift-JIS). Reads
// the whole Text; the cursor is restored.
PackedId code_detect(Text* t);
PackedId code_detect_bytes(const char* bytes, int64_t length);

// Replaces the contents (raw bytes of `code`) by the internal form. True on success; 0, SJIS,
// SJISEX and ASCII do nothing. On failure the Text is unchanged.
bool code_from_file(Text* t, PackedId code);
// Replaces the contents (internal) by the bytes of `code`; mode CODE_NO_MARK suppresses the byte
// order mark. On failure the Text is unchanged.
bool code_to_file(Text* t, PackedId code, int mode);

// The same on plain bytes: a new Text (the caller frees it), or null on failure.
Text* bytes_from_code(const char* bytes, int64_t length, PackedId code);
Text* bytes_to_code(const char* bytes, int64_t length, PackedId code, int mode);

// JIS X 0208 code (row and cell bytes 0x21..0x7E) <-> Shift-JIS code, by the standard arithmetic.
uint16_t jis_to_sjis(uint16_t jis);
uint16_t sjis_to_jis(uint16_t sjis);

// The JIS X 0208 code of a half-width katakana byte (0xA1..0xDF); `mark` is the byte after it.
// A voicing mark (0xDE, 0xDF) gives the voiced or semi-voiced form where the kana has one.
// *absorbed (may be null) tells whether the mark belongs to the kana. 0 for a non-kana byte.
uint16_t kana_to_jis(unsigned kana, unsigned mark, bool* absorbed);

// Shown when converting to EURO dropped characters.
extern const char* const CODE_EURO_MESSAGE;

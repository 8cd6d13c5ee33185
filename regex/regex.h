#pragma once
// Regular expressions over the internal multibyte text.
//
// A pattern is compiled into a RegexProgram (tokens -> syntax tree -> a graph of numbered states)
// and regex_search walks that graph by backtracking: every path from a start position is
// explored and the furthest end wins, so a match is the longest one at the first start position
// found; a second pass records where each tag (group) starts and ends.
//
// Choices made where the syntax leaves room, taken as users expect:
// - "{n,}" means n or more, "{0,m}" zero to m, and a lone "{0}" matches the empty string.
// - An SJIS-EX triple (0x80 or 0xA0 and two bytes of at least 0x40) is one character whose value
//   is its UTF-16 unit, decoded by the SJIS-EX rules, plus 0x10000 (in patterns and in text).
// - Repetitions and alternatives are tried longest first and the closure body before its exit,
//   so tags report the greedy split (the match itself is the longest either way).
// - A back-reference compares with the tag's text on the path that led to it; a tag that has not
//   closed on that path (or does not exist) makes the reference fail.
// - \S, \D and \W, like bracket classes, never match a line break.
// - A step into a (state, position) already on the current path fails, so an iteration of a
//   repetition that consumed nothing is not repeated: (a?)*b, (a*)+ and the like find what every
//   engine finds. The walk's stack lives on the heap, so long lines do not meet the nesting guard.
// - The guards (nesting REGEX_MAX_DEPTH, steps 1000000 or 100000) stop a search: it reports no
//   match and the message appears in the status line.
// - "{n,m}" is n copies followed by the alternatives of m - n, ..., 1 or no further copies while
//   the pattern fits the 1024 states, and otherwise n copies followed by nested optional copies
//   (a{1,4} as a(a(a(a)?)?)?), so that every count below 256 works.

#include <cstdint>

struct RegexProgram;

// Options (first option word).
enum : unsigned {
  REGEX_ICASE = 0x100,  // ASCII letters match either case
};

// Match options (second option word). The low four bits describe the range of each search and
// are replaced by the low four bits of regex_search's options.
enum : unsigned {
  REGEX_NOT_BOL = 0x01,    // the range start is not a line start
  REGEX_PREV_WORD = 0x02,  // the character before the range start is a word character
  REGEX_NOT_EOL = 0x04,    // the range end is not a line end
  REGEX_RANGE_BITS = 0x0F,
  REGEX_BYTES = 0x40,      // every byte is a character (CR LF still one)
  REGEX_LOW_STEPS = 0x80,  // an attempt may take 100000 steps instead of 1000000
};

// Search options.
enum : unsigned {
  REGEX_BACKWARD = 0x100,
};

// Program flags.
enum : unsigned {
  REGEX_FLAG_EMPTY = 0x01,  // empty matches are reported
};

// regex_tag: flag for the position in the searched text instead of the copy; the last tag.
enum : unsigned { REGEX_TAG_POSITION = 0x01 };
enum : int { REGEX_TAG_LAST = 65537 };

// Limits of the system.
enum : int {
  REGEX_MAX_TAGS = 8,   // groups a pattern may hold
  REGEX_TAG_SLOTS = 9,  // tags 0..8 in the tag table
  REGEX_MAX_STATES = 1024,
  REGEX_MAX_DEPTH = 250000,  // levels of the walk: about 48 bytes of heap each
  REGEX_MAX_STEPS = 1000000,
  REGEX_LOW_MAX_STEPS = 100000,
};

// Compiles pattern (NUL-terminated internal text) into program; true on success. A program that
// holds the same pattern with the same case and byte-mode options is kept (only its match options
// change). Errors go to the status line.
bool regex_compile(RegexProgram* program, const char* pattern, unsigned options,
                   unsigned match_options);
// A new compiled program, or null when the pattern does not compile (or memory runs out).
RegexProgram* regex_new(const char* pattern, unsigned options, unsigned match_options,
                        unsigned flags);
void regex_free(RegexProgram* program);
// Program flags (REGEX_FLAG_EMPTY).
void regex_set_flags(RegexProgram* program, unsigned flags);
// Number of groups of the compiled pattern.
int regex_tag_count(const RegexProgram* program);

// Searches text[0, length) and returns the start of the match (its length in *out_length), or
// null. options: REGEX_BACKWARD and the range bits.
const char* regex_search(RegexProgram* program, const char* text, long length, unsigned options,
                         long* out_length);

// The text of tag n of the last match (a copy owned by the program), or with REGEX_TAG_POSITION
// its start in the searched text; its length in *out_length. Null when the tag did not take part.
const char* regex_tag(RegexProgram* program, int n, long* out_length, unsigned flags);
// Frees the tag copies and clears the tag table.
void regex_tags_clear(RegexProgram* program);

// Stepping through text[0, length) as the matcher does (a lead byte with its trail, an SJIS-EX
// triple and CR LF are one character; in byte mode every byte but CR LF): the length of the
// character at p (0 at the end), and the start of the character before p (p > 0). Callers that
// search piece by piece use them to set the range bits.
long regex_char_length(const char* text, long p, long length, bool bytes);
long regex_prev_char(const char* text, long p, long length, bool bytes);

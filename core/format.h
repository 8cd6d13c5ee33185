#pragma once
// The formatter: a printf-like language whose output goes into a Text. Besides the familiar
// conversions it prints packed identifiers (%id %Id %ID), Texts (%s %ts), record fields (%cs),
// escaped strings (%es), UTF-16 strings (%ws), menu labels for paths (%ms), file times (%t %gt
// %yt), fixed-point numbers (%.d %..d), base 36 (%zd %zp) and record identifiers (%m).
//
// Arguments travel as 64-bit slots; the variadic templates below fill them so that every call is
// type-checked: only integers, strings, Texts, UTF-16 strings, file times and identifier words
// pass.
//
// Limits that keep bad arguments harmless: buf_printf never writes past its size; a width is at
// most 255 bytes; %ns never reads past a string's NUL or a Text's line; arguments missing from
// the list read as 0. %t prints the local time of the zone's standard offset, the one it names.

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/clock.h"
#include "core/text.h"

namespace fmt_detail {
template <class T>
inline uint64_t slot(T v) requires std::is_integral_v<T> || std::is_enum_v<T> {
  if constexpr (std::is_signed_v<T> || std::is_enum_v<T>)
    return (uint64_t)(int64_t)v;
  else
    return (uint64_t)v;
}
inline uint64_t slot(const char* p) {
  return (uint64_t)(uintptr_t)p;
}
inline uint64_t slot(char* p) {
  return (uint64_t)(uintptr_t)p;
}
inline uint64_t slot(const Text* p) {
  return (uint64_t)(uintptr_t)p;
}
inline uint64_t slot(TextArg a) {
  return (uint64_t)(uintptr_t)a.p;
}
inline uint64_t slot(const char16_t* p) {
  return (uint64_t)(uintptr_t)p;
}
#if defined(_WIN32)
inline uint64_t slot(const wchar_t* p) {
  return (uint64_t)(uintptr_t)p;
}
#endif
inline uint64_t slot(const FileTime* p) {
  return (uint64_t)(uintptr_t)p;
}
inline uint64_t slot(const uint32_t* p) {
  return (uint64_t)(uintptr_t)p;
}  // %m: four words
inline uint64_t slot(std::nullptr_t) {
  return 0;
}
}  // namespace fmt_detail

// Core entry points over slots. A Text format stands for its cursor line (its whole text in
// whole-text mode). Arguments missing from the list read as 0. The new Text of format_text_slots
// has its cursor at the end (null when memory runs out); the caller frees it.
Text* format_text_slots(TextArg format, const uint64_t* args, int count);
int64_t text_printf_slots(Text* t, bool advance, TextArg format, const uint64_t* args, int count);
char* buf_printf_slots(char* dest, size_t size, TextArg format, const uint64_t* args, int count);

template <class... A>
Text* format_text(TextArg format, A... a) {
  const uint64_t s[] = {fmt_detail::slot(a)..., 0};
  return format_text_slots(format, s, (int)sizeof...(A));
}
// Formats into a temporary and inserts it at the cursor (whole-Text insertion); the cursor moves
// past it. Returns the bytes inserted.
template <class... A>
int64_t text_printf(Text* t, TextArg format, A... a) {
  const uint64_t s[] = {fmt_detail::slot(a)..., 0};
  return text_printf_slots(t, true, format, s, (int)sizeof...(A));
}
// The same, leaving the cursor before the inserted text.
template <class... A>
int64_t text_printf_here(Text* t, TextArg format, A... a) {
  const uint64_t s[] = {fmt_detail::slot(a)..., 0};
  return text_printf_slots(t, false, format, s, (int)sizeof...(A));
}
// Formats into dest, never writing more than size bytes (the output is cut on a character
// boundary and always NUL-terminated when size > 0). Returns dest.
template <class... A>
char* buf_printf(char* dest, size_t size, TextArg format, A... a) {
  const uint64_t s[] = {fmt_detail::slot(a)..., 0};
  return buf_printf_slots(dest, size, format, s, (int)sizeof...(A));
}

int64_t text_put_id(Text* t, PackedId id);  // "%id"
int64_t text_put_ID(Text* t, PackedId id);  // "%ID"
int64_t text_put_int(Text* t, int n);       // "%d"

// Reads the %t form back ("29 May 2018 08:14:07 +0900") as a UTC file time; also accepts it
// without the zone (taken as UTC) and with a leading weekday ("Tue, "). False when malformed.
bool filetime_parse(const char* s, FileTime* out);

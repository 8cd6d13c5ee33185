#pragma once
// The MIME vocabulary of header records: charset names and the words of Content-Type and
// Content-Transfer-Encoding values, as packed identifiers.

#include "core/ids.h"

// Charset name of a character-code id (EUC, JIS, UTF, SJIS, ASCII, SJISEX), or null.
const char* mime_charset_name(PackedId code);
// Content-type word at the start of a value -> HTML, MIX, ALT, PLAIN, STREAM, IMAGE, RSS, XML; 0.
PackedId mime_content_type_id(const char* value);
// Transfer-encoding word at the start of a value -> SEVEN, BASE, QP, UU, EIGHT; 0.
PackedId mime_transfer_encoding_id(const char* value);

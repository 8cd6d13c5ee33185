// The MIME vocabulary of header records: charset names, content types, transfer encodings.

#include "core/mime.h"

#include <cstring>

#include "core/header_scan.h"

using header_scan::starts_with_name;

namespace {

struct MimeWord {
  const char* word;
  PackedId id;
};

const MimeWord kCharsets[] = {
    {"euc", ID("EUC")},        {"ISO-2022-JP", ID("JIS")}, {"utf-8", ID("UTF")},
    {"Shift-JIS", ID("SJIS")}, {"us-ascii", ID("ASCII")},  {"Shift-JISex", ID("SJISEX")},
};

const MimeWord kContentTypes[] = {
    {"text/html", ID("HTML")},      {"application/xhtml", ID("HTML")},
    {"multipart/mixed", ID("MIX")}, {"multipart/alternative", ID("ALT")},
    {"text/plain", ID("PLAIN")},    {"application/octet-stream", ID("STREAM")},
    {"image", ID("IMAGE")},         {"application/rdf+xml", ID("RSS")},
    {"text/xml", ID("XML")},        {"application/xml", ID("XML")},
};

const MimeWord kTransferEncodings[] = {
    {"7bit", ID("SEVEN")},    {"base64", ID("BASE")}, {"quoted-printable", ID("QP")},
    {"x-uuencode", ID("UU")}, {"8bit", ID("EIGHT")},
};

template <size_t N>
PackedId match_word(const char* value, const MimeWord (&table)[N]) {
  if (!value) return 0;
  while (*value == ' ' || *value == '\t') ++value;
  for (const MimeWord& w : table) {
    size_t n = strlen(w.word);
    if (strnlen(value, n) < n || !starts_with_name(value, (int64_t)n, w.word, (int64_t)n)) continue;
    if (!char_is((unsigned char)value[n], CC_IDENT)) return w.id;
  }
  return 0;
}

}  // namespace

const char* mime_charset_name(PackedId code) {
  for (const MimeWord& w : kCharsets) {
    if (w.id == code) return w.word;
  }
  return nullptr;
}

PackedId mime_content_type_id(const char* value) {
  return match_word(value, kContentTypes);
}

PackedId mime_transfer_encoding_id(const char* value) {
  return match_word(value, kTransferEncodings);
}

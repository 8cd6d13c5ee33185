#pragma once
// The benchmarks' corpora: real Japanese text (the manual pages of Debian's manpages-ja package)
// and a mixed corpus of the machine's own texts and executables.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Converts with iconv over a whole buffer; what the target cannot hold is skipped. Empty when the
// conversion is unknown.
std::string iconv_all(const std::string& in, const char* to, const char* from);

// Every page under /usr/share/man/ja (gzip'd UTF-8) in one string; empty without the package.
std::string japanese_manpages_utf8();

// At least 16 MiB of files, half texts (documentation, licences, headers), half executables and
// libraries, at most 1 MiB per text and 2 MiB per binary; already compressed files are left out.
// Built once, in a fixed order.
struct Corpus {
  std::vector<std::vector<uint8_t>> files;
  size_t bytes = 0;
};
const Corpus& mixed_corpus();

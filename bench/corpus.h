#pragma once
// Real Japanese text for the benchmarks: the manual pages of Debian's manpages-ja package.

#include <string>

// Converts with iconv over a whole buffer; what the target cannot hold is skipped. Empty when the
// conversion is unknown.
std::string iconv_all(const std::string& in, const char* to, const char* from);

// Every page under /usr/share/man/ja (gzip'd UTF-8) in one string; empty without the package.
std::string japanese_manpages_utf8();

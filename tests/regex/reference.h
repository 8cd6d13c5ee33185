#pragma once
// A deliberately plain matcher over a compiled program: the walk as described, recursive, with
// its own character reading and its own reading of the class texts, trying every start position.
// The engine must give exactly its results.

#include <string>
#include <vector>

#include "regex/regex_internal.h"

struct RefMatch {
  bool found = false;
  bool stopped = false;  // a guard stopped the search
  long start = -1;
  long length = 0;
  std::vector<long> tag_begin;  // -1 when the tag did not take part
  std::vector<long> tag_end;
  std::vector<std::string> messages;
};

RefMatch ref_search(const RegexProgram* prog, const std::string& text, unsigned options);

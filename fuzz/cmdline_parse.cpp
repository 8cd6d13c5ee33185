// The CommandList of any command line: every record is one of the six kinds with its fields, ends
// in CR LF and holds no other CR or LF, and there are as many "show" records as "app" records,
// each "show" right after its "app".

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/text.h"
#include "host/cmdline.h"

namespace {

int fields(const std::string& line) {
  int n = 1;
  for (char c : line) n += c == '\t';
  return n;
}

bool number(const std::string& s) {
  size_t i = s[0] == '-' ? 1 : 0;
  if (i >= s.size()) return false;
  for (; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

void check(const char* list) {
  size_t len = std::strlen(list);
  int apps = 0, shows = 0;
  bool after_app = false;
  for (size_t at = 0; at < len;) {
    const char* eol = std::strstr(list + at, "\r\n");
    if (!eol) std::abort();  // the last record ends in CR LF too
    std::string line(list + at, (size_t)(eol - (list + at)));
    if (line.find_first_of("\r\n") != std::string::npos) std::abort();
    at = (size_t)(eol - list) + 2;
    std::string kind = line.substr(0, line.find('\t'));
    std::string rest = line.size() > kind.size() ? line.substr(kind.size() + 1) : "";
    int f = fields(line);
    if (after_app && kind != "show") std::abort();
    after_app = false;
    if (kind == "app") {
      if (f != 2 || rest.empty()) std::abort();
      ++apps;
      after_app = true;
    } else if (kind == "show") {
      if (f != 2 || !number(rest)) std::abort();
      ++shows;
    } else if (kind == "sw") {
      size_t tab = rest.find('\t');
      if (rest.empty() || tab == 0 || f > 3) std::abort();
      if (tab != std::string::npos && !number(rest.substr(tab + 1))) std::abort();
    } else if (kind == "swstr") {
      if (f < 3 || rest[0] == '\t') std::abort();
    } else if (kind != "file") {
      std::abort();
    }
    if (apps == 0) std::abort();  // every record belongs to an applet
  }
  if (after_app || apps != shows) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 65536) return 0;
  unsigned options = data[0] & (CL_DEFAULT_APP | CL_PROGRAM | CL_EDITOR_ARG);
  std::string s((const char*)data + 1, size - 1);
  Text* list = cmdline_parse(s.c_str(), 1, options);
  if (!list) return 0;
  if (text_tell(list) != 0) std::abort();
  check(text_cstr(list));
  text_free(list);
  return 0;
}

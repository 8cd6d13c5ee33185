// zqtool path: the path algebra on internal paths, without touching the file system.
//   zqtool path join BASE NAME | norm PATH | ext PATH | name PATH

#include "files/path.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/zqtool/tool.h"
#include "core/codepage.h"
#include "core/text.h"

// Natively the arguments and the output are UTF-8 and become internal text on the way in (so a
// 0x5C trail byte of the internal form is told from a separator); bytes that are not UTF-8 are
// taken as internal text as they are. On Windows the arguments already are in code page 932.
namespace {

#ifndef _WIN32
bool utf8_to_wide(const char* s, std::u16string* out) {
  const unsigned char* p = (const unsigned char*)s;
  while (*p) {
    uint32_t c = *p++;
    int more = c < 0x80             ? 0
               : (c & 0xE0) == 0xC0 ? 1
               : (c & 0xF0) == 0xE0 ? 2
               : (c & 0xF8) == 0xF0 ? 3
                                    : -1;
    if (more < 0) return false;
    if (more) c &= 0x3F >> more;
    for (int i = 0; i < more; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) return false;
      c = (c << 6) | (*p & 0x3F);
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out->push_back((char16_t)(0xD800 + (c >> 10)));
      out->push_back((char16_t)(0xDC00 + (c & 0x3FF)));
    } else {
      out->push_back((char16_t)c);
    }
  }
  return true;
}
#endif

// The internal form of an argument.
std::string internal_of(const char* arg, bool* converted) {
  *converted = false;
#ifndef _WIN32
  std::u16string w;
  if (utf8_to_wide(arg, &w)) {
    int n = to_narrow(w.c_str(), -1, nullptr, 0);
    if (n > 0) {
      std::string s((size_t)n, '\0');
      if (to_narrow(w.c_str(), -1, s.data(), n) > 0) {
        s.resize(std::strlen(s.c_str()));
        *converted = true;
        return s;
      }
    }
  }
#endif
  return arg;
}

void print_line(const char* s, bool converted) {
#ifndef _WIN32
  if (converted) {
    int n = to_wide(s, -1, nullptr, 0);
    std::u16string w(n > 0 ? (size_t)n : 0, u'\0');
    if (n > 0 && to_wide(s, -1, w.data(), n) > 0) {
      for (size_t i = 0; i < w.size() && w[i]; ++i) {
        uint32_t c = w[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < w.size())
          c = 0x10000 + ((c - 0xD800) << 10) + (w[++i] - 0xDC00);
        if (c < 0x80)
          std::putchar((int)c);
        else if (c < 0x800) {
          std::putchar(0xC0 | (c >> 6));
          std::putchar(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
          std::putchar(0xE0 | (c >> 12));
          std::putchar(0x80 | ((c >> 6) & 0x3F));
          std::putchar(0x80 | (c & 0x3F));
        } else {
          std::putchar(0xF0 | (c >> 18));
          std::putchar(0x80 | ((c >> 12) & 0x3F));
          std::putchar(0x80 | ((c >> 6) & 0x3F));
          std::putchar(0x80 | (c & 0x3F));
        }
      }
      std::putchar('\n');
      return;
    }
  }
#endif
  (void)converted;
  std::printf("%s\n", s);
}

int run(int argc, char** argv) {
  if (argc < 3) return tool_fail(2, "path: expected join, norm, ext or name and a path");
  const char* op = argv[1];
  bool join = std::strcmp(op, "join") == 0;
  if (join ? argc != 4 : argc != 3) return tool_fail(2, "path %s: wrong number of arguments", op);
  bool converted = false, name_converted = false;
  std::string path = internal_of(argv[2], &converted);
  std::string name = join ? internal_of(argv[3], &name_converted) : std::string();
  converted = converted && (!join || name_converted);
  Text* t = text_new();
  if (!t) return tool_fail(1, "out of memory");
  text_insert(t, path.c_str(), TI_RAW, (int64_t)path.size());
  int status = 0;
  const char* out = nullptr;
  if (join) {
    if (!path_join(t, name.c_str())) status = tool_fail(1, "path join failed");
    out = text_cstr(t);
  } else if (std::strcmp(op, "norm") == 0) {
    path_normalise(t);
    out = text_cstr(t);
  } else if (std::strcmp(op, "ext") == 0) {
    out = path_extension(t);
  } else if (std::strcmp(op, "name") == 0) {
    out = path_file_name(t);
  } else {
    status = tool_fail(2, "path: unknown operation '%s'", op);
  }
  if (status == 0 && out) print_line(out, converted);
  text_free(t);
  return status;
}

const ToolCommand cmd = {
    "path",
    "  path join BASE NAME   join NAME to BASE (NAME replaces BASE's file name)\n"
    "  path norm PATH        remove . and .. segments\n"
    "  path ext PATH         the extension, with its dot (empty when none)\n"
    "  path name PATH        the file-name part\n",
    run};
ToolRegistrar reg(&cmd);

}  // namespace

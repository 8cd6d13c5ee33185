#include "bench/corpus.h"

#include <glob.h>
#include <iconv.h>
#include <zlib.h>

#include <cerrno>

std::string iconv_all(const std::string& in, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == (iconv_t)-1) return std::string();
  std::string out(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  char* dst = out.data();
  size_t room = out.size();
  while (left > 0) {
    if (iconv(cd, &src, &left, &dst, &room) != (size_t)-1) break;
    if (errno != EILSEQ && errno != EINVAL) break;
    ++src;  // skip what the target cannot hold
    --left;
  }
  iconv(cd, nullptr, nullptr, &dst, &room);
  iconv_close(cd);
  out.resize(out.size() - room);
  return out;
}

std::string japanese_manpages_utf8() {
  std::string utf8;
  glob_t g;
  if (glob("/usr/share/man/ja/man*/*.gz", 0, nullptr, &g) != 0) return utf8;
  char buf[1 << 16];
  for (size_t i = 0; i < g.gl_pathc; ++i) {
    gzFile f = gzopen(g.gl_pathv[i], "rb");
    if (!f) continue;
    int n;
    while ((n = gzread(f, buf, sizeof buf)) > 0) utf8.append(buf, size_t(n));
    gzclose(f);
  }
  globfree(&g);
  return utf8;
}

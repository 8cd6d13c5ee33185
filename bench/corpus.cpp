#include "bench/corpus.h"

#include <dirent.h>
#include <glob.h>
#include <iconv.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

static void add_tree(Corpus* c, const std::string& dir, size_t want, size_t per_file,
                     int depth = 0) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> names;
  while (dirent* e = readdir(d))
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  closedir(d);
  std::sort(names.begin(), names.end());
  for (const auto& n : names) {
    if (c->bytes >= want) return;
    std::string p = dir + "/" + n;
    struct stat st;
    if (lstat(p.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (depth < 3) add_tree(c, p, want, per_file, depth + 1);
      continue;
    }
    if (!S_ISREG(st.st_mode) || st.st_size < 4096) continue;
    // Already compressed files say nothing about a compressor.
    bool packed = false;
    for (const char* ext : {".gz", ".xz", ".bz2", ".zst", ".zip", ".png", ".jpg"})
      if (n.size() > std::strlen(ext) &&
          n.compare(n.size() - std::strlen(ext), std::string::npos, ext) == 0)
        packed = true;
    if (packed) continue;
    FILE* f = std::fopen(p.c_str(), "rb");
    if (!f) continue;
    std::vector<uint8_t> b(std::min<size_t>((size_t)st.st_size, per_file));
    b.resize(std::fread(b.data(), 1, b.size(), f));
    std::fclose(f);
    c->bytes += b.size();
    c->files.push_back(std::move(b));
  }
}

const Corpus& mixed_corpus() {
  static Corpus c;
  if (c.files.empty()) {
    const size_t half = 8u << 20;
    add_tree(&c, "/usr/share/doc", half / 2, 1u << 20);
    add_tree(&c, "/usr/share/common-licenses", half * 3 / 4, 1u << 20);
    add_tree(&c, "/usr/include", half, 1u << 20);
    size_t text = c.bytes;
    add_tree(&c, "/usr/bin", text + half / 2, 2u << 20);
    add_tree(&c, "/usr/lib/x86_64-linux-gnu", text + half + (64u << 10), 2u << 20);
    std::fprintf(stderr, "corpus: %zu files, %zu bytes (%zu of text)\n", c.files.size(), c.bytes,
                 text);
  }
  return c;
}

// The package: header check, build -> walk -> data, the writer's rules and log, damaged packages,
// unsafe names, destinations, and the resource reader on a PE image made here.

#include "setup/pak.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/crc32.h"
#include "core/header.h"
#include "files/file.h"
#include "files/path.h"
#include "setup/lz.h"
#include "setup/pe_resource.h"
#include "ui/notify.h"

namespace fs = std::filesystem;

namespace {

typedef std::vector<uint8_t> Bytes;

std::string g_log;
int capture(NotifyKind kind, const char* message, unsigned) {
  if (kind == NOTIFY_LOG) g_log += message;
  return NOTIFY_YES;
}

void put_file(const fs::path& p, const std::string& s) {
  std::ofstream f(p, std::ios::binary);
  f << s;
}

Bytes slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

struct Entry {
  std::string name, date, header;
  bool compressed, has_time;
  uint32_t size;
  FileTime time;
  Bytes data;  // decoded
  int error;
};

bool collect(void* ctx, const PakEntry* e) {
  auto* v = (std::vector<Entry>*)ctx;
  Entry x{e->name, e->date, "", e->compressed, e->has_time, e->size, e->time, {}, 0};
  x.header = std::string(text_cstr(e->header));
  size_t n;
  uint8_t* d = pak_entry_data(e, &n, &x.error);
  if (d) x.data.assign(d, d + n);
  std::free(d);
  v->push_back(x);
  return true;
}

PakStatus walk(const Bytes& pak, std::vector<Entry>* out, uint32_t* where = nullptr) {
  PakBlock b;
  if (!pak_block(pak.data(), pak.size(), &b)) return PAK_NO_MEMORY;
  return pak_walk(&b, collect, out, where);
}

// A package from (header text, data) pairs, the total set to the bytes written.
Bytes make_package(const std::vector<std::pair<std::string, Bytes>>& entries) {
  Bytes p(PAK_HEADER);
  for (const auto& [head, data] : entries) {
    uint32_t h = (uint32_t)head.size();
    for (int k = 0; k < 4; ++k) p.push_back((uint8_t)(h >> 8 * k));
    p.insert(p.end(), head.begin(), head.end());
    p.insert(p.end(), data.begin(), data.end());
  }
  char hdr[20];
  std::snprintf(hdr, sizeof hdr, "zqpak1.0(%08X)", (unsigned)p.size());
  std::memcpy(p.data(), hdr, 18);
  p[18] = 0;
  return p;
}

std::string head(const std::string& name, size_t size, bool arc) {
  return "\r\nFNAME: " + name + "\r\nDATE: 29 May 2018 08:14:07 +0900\r\n" +
         (arc ? "ARC: 1\r\n" : "") + "SIZE: " + std::to_string(size) + "\r\n";
}

class PakBuild : public ::testing::Test {
 protected:
  fs::path root, src, exe, out;
  void SetUp() override {
    root = fs::temp_directory_path() /
           ("zqpak_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    src = root / "src";
    exe = root / "exe";
    fs::create_directories(src);
    fs::create_directories(exe);
    out = root / "out.pak";
    g_log.clear();
    notify_set_sink(capture);
  }
  void TearDown() override {
    notify_set_sink(nullptr);
    fs::remove_all(root);
  }
  std::string dir(const fs::path& p) { return p.string() + (char)fs::path::preferred_separator; }
  bool build(int mode, int threads = 0) {
    std::string s = dir(src), e = dir(exe), o = out.string();
    PakBuildPaths paths = {s.c_str(), e.c_str(), s.c_str(), o.c_str(), threads};
    return pak_build(mode, &paths);
  }
  // Every source of the writer's lists, each with its own text.
  void fill_sources() {
    put_file(exe / "zqeditor.exe", std::string(3000, 'E') + "editor");
    put_file(exe / "zq9utl.exe", "setup program");
    const char* names[] = {
        "zq9.txt",    "cmd9.txt",      "zq9s.mnu",       "filer.key",  "ZOdo64.dll", "cont9tr.txt",
        "uninst.bat", "ime9.mnu",      "board9.mnu",     "fopen.mnu",  "dic1.ime",   "dic2.ime",
        "dic3.ime",   "webto.txt",     "tfiler.txt.pdf", "filer7.mnu", "sample.htm", "sample.tex",
        "roma.tsv",   "hc01.bmp",      "text.h",         "text64.ph",  "spell.dic",  "soundp.h",
        "winqmc.ph",  "winx.ph",       "winceqmc.ph",    "winxce.ph",  "wininet.ph", "winapi.txt",
        "mailer.txz", "qmac8.txt.pdf", "txtool.c",       "txmacro.c",  "txcust.c",   "txcalc.c",
        "txiface.c",  "txproof.c",     "txtag.c",        "txspeak.c",  "txlib.c",    "txwebto.c",
        "txfiler.c",  "txndic.c",      "txzq5.c",        "txzq7.c",    "txclib.c",   "txboard.c",
        "txtex.c",    "txbib.c",       "txhtml.c",       "txgrep.c",   "txicon.c",   "txcard.c",
        "txedit.c",   "txplugin.c",    "txdos.c",        "text.rc"};
    for (const char* n : names) {
      std::string body = std::string("contents of ") + n + "\r\n";
      for (int k = 0; k < 20; ++k) body += "line " + std::to_string(k) + " of " + n + "\r\n";
      put_file(src / n, body);
    }
    put_file(src / "roma.tsv", "");
  }
};

TEST(PakHeader, Check) {
  uint32_t total = 0;
  const char good[] = "zqpak1.0(005F0AE1)";
  EXPECT_EQ(pak_check(good, sizeof good, &total), PAK_HEADER);
  EXPECT_EQ(total, 0x5F0AE1u);
  const char lower[] = "zqpak1.0(005f0ae1)";
  EXPECT_EQ(pak_check(lower, sizeof lower, &total), PAK_HEADER);
  const char letter_g[] = "zqpak1.0(005G0AE1)";
  EXPECT_EQ(pak_check(letter_g, sizeof letter_g, &total), 0u);
  char no_nul[20];
  std::memcpy(no_nul, good, 19);
  no_nul[18] = ' ';
  EXPECT_EQ(pak_check(no_nul, 19, &total), 0u);
  const char seven[] = "zqpak1.0(05F0AE1))";
  EXPECT_EQ(pak_check(seven, sizeof seven, &total), 0u);
  EXPECT_EQ(pak_check(good, 10, &total), 0u);
  // A block shorter than the total it announces is not a package.
  PakBlock b;
  EXPECT_FALSE(pak_block(good, sizeof good, &b));
}

TEST_F(PakBuild, BuildWalkAndDecode) {
  fill_sources();
  ASSERT_TRUE(build(0)) << g_log;
  Bytes pak = slurp(out);
  uint32_t total = 0;
  ASSERT_EQ(pak_check(pak.data(), pak.size(), &total), PAK_HEADER);
  EXPECT_EQ(total, pak.size());
  EXPECT_FALSE(fs::exists(out.string() + ".part"));

  std::vector<Entry> es;
  ASSERT_EQ(walk(pak, &es), PAK_END);
  std::vector<std::string> names;
  for (const auto& e : es) names.push_back(e.name);
  ASSERT_GE(names.size(), 6u);
  EXPECT_EQ(names[0], "zqeditor.exe");
  EXPECT_EQ(names[1], "zqsetup.exe");  // the set-up program's stored name
  EXPECT_EQ(names[2], "zq9.txt");
  EXPECT_EQ(names.size(), 21u + 1 + 12 + 21 + 4);
  EXPECT_EQ(names.back(), "txdos.c");

  std::map<std::string, Entry> by;
  for (const auto& e : es) by[e.name] = e;
  // Source-name rules: the entry keeps its own name, the bytes come from the other file.
  EXPECT_EQ(by["contract.txt"].data, slurp(src / "cont9tr.txt"));
  EXPECT_EQ(by["board.mnu"].data, slurp(src / "board9.mnu"));
  EXPECT_EQ(by["zqeditor.exe"].data, slurp(exe / "zqeditor.exe"));
  // Dictionaries are stored without ARC, empty files as SIZE 0 without ARC.
  EXPECT_FALSE(by["dic1a.ime"].compressed);
  EXPECT_EQ(by["dic2a.ime"].data, slurp(src / "dic2.ime"));
  EXPECT_FALSE(by["roma.tsv"].compressed);
  EXPECT_EQ(by["roma.tsv"].size, 0u);
  EXPECT_EQ(by["roma.tsv"].header.find("ARC"), std::string::npos);
  for (const auto& e : es) {
    if (e.name == "roma.tsv" || e.name.find("dic") == 0) continue;
    EXPECT_TRUE(e.compressed) << e.name;
    EXPECT_EQ(e.error, LZ_OK) << e.name;
    ASSERT_TRUE(e.has_time) << e.name << " " << e.date;
  }
  // The header record, field by field, in order.
  const Entry& z = by["zq9.txt"];
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08X", (unsigned)crc32(z.data.data(), z.data.size()));
  EXPECT_EQ(z.header, "\r\nFNAME: zq9.txt\r\nDATE: " + z.date + "\r\nARC: 1\r\nSIZE: " +
                          std::to_string(z.size) + "\r\nCRC32: " + crc + "\r\n");
  EXPECT_EQ(z.data, slurp(src / "zq9.txt"));
  FileHandle h = file_open_read((src / "zq9.txt").string().c_str(), FSYS_READ, FSYS_SHARE_READ, 0);
  FileTime written = {0};
  ASSERT_TRUE(file_get_time(h, &written));
  file_close(h);
  EXPECT_EQ(z.time.ticks / 10000000, written.ticks / 10000000);

  EXPECT_NE(g_log.find("add "), std::string::npos);
  EXPECT_NE(g_log.find(" (1)\r\n"), std::string::npos);
  EXPECT_EQ(g_log.find("fail: "), std::string::npos);
  EXPECT_NE(g_log.find(out.string()), std::string::npos);  // "...を作成しました"
}

TEST_F(PakBuild, NeededSetAndFailingFiles) {
  fill_sources();
  fs::remove(src / "txcalc.c");  // fourth of the third list: the list ends there
  fs::remove(src / "fopen.mnu");
  EXPECT_FALSE(build(PAK_BUILD_NEEDED));
  Bytes pak = slurp(out);
  std::vector<Entry> es;
  ASSERT_EQ(walk(pak, &es), PAK_END);  // consistent although files failed
  std::vector<std::string> names;
  for (const auto& e : es) names.push_back(e.name);
  auto has = [&](const char* n) { return std::find(names.begin(), names.end(), n) != names.end(); };
  EXPECT_TRUE(has("board.mnu"));
  EXPECT_FALSE(has("fopen.mnu"));
  EXPECT_FALSE(has("dic1a.ime"));  // after the failing file in the first list
  EXPECT_TRUE(has("text.h"));      // the next list is still added
  EXPECT_FALSE(has("winxce.ph"));  // the needed set
  EXPECT_FALSE(has("winceqmc.ph"));
  EXPECT_FALSE(has("hc01.bmp"));
  EXPECT_TRUE(has("txcust.c"));
  EXPECT_FALSE(has("txiface.c"));
  EXPECT_TRUE(has("txdos.c"));
  EXPECT_NE(g_log.find("fail: "), std::string::npos);
  EXPECT_NE(g_log.find(" (0)\r\n"), std::string::npos);
  EXPECT_EQ(g_log.find(out.string() + "\x82\xf0"), std::string::npos);
}

TEST_F(PakBuild, MissingExecutableEndsTheFirstList) {
  fill_sources();
  fs::remove(exe / "zq9utl.exe");  // second of the first list: the list ends there
  EXPECT_FALSE(build(PAK_BUILD_NEEDED));
  std::vector<Entry> es;
  ASSERT_EQ(walk(slurp(out), &es), PAK_END);
  ASSERT_GE(es.size(), 2u);
  EXPECT_EQ(es[0].name, "zqeditor.exe");
  EXPECT_EQ(es[1].name, "text.h");  // the next list is still added
}

// Entries are encoded on several threads but written in list order: the package and the log are
// the same on any number of threads, also when files fail and end their lists.
TEST_F(PakBuild, SameBytesAndLogOnAnyNumberOfThreads) {
  fill_sources();
  std::mt19937 rng(7);
  std::string big;  // large enough that threads overtake each other
  for (int k = 0; k < 200000; ++k) big += (char)('a' + rng() % 4);
  put_file(src / "text.h", big);
  put_file(exe / "zqeditor.exe", big.substr(0, 150000));
  for (bool failing : {false, true}) {
    if (failing) {
      fs::remove(src / "txcalc.c");
      fs::remove(src / "fopen.mnu");
    }
    Bytes first;
    std::string first_log;
    for (int threads : {1, 2, 3, 8}) {
      g_log.clear();
      EXPECT_EQ(build(0, threads), !failing) << threads;
      if (threads == 1) {
        first = slurp(out);
        first_log = g_log;
        continue;
      }
      EXPECT_EQ(slurp(out), first) << threads << " threads, failing " << failing;
      EXPECT_EQ(g_log, first_log) << threads << " threads, failing " << failing;
    }
  }
}

TEST_F(PakBuild, UnwritableOutputLeavesNothing) {
  fill_sources();
  out = root / "missing" / "out.pak";
  EXPECT_FALSE(build(0));
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(out.string() + ".part"));
}

TEST(PakWalk, DamagedPackagesStopWithTheirReason) {
  Bytes data = {'a', 'b', 'c', 'd'};
  auto two = make_package({{head("a.txt", 4, false), data}, {head("b.txt", 4, false), data}});
  std::vector<Entry> es;
  ASSERT_EQ(walk(two, &es), PAK_END);
  ASSERT_EQ(es.size(), 2u);
  EXPECT_EQ(es[1].data, data);

  // Data of the last entry runs past the end (total corrected so that only the entry lies).
  auto cut = make_package({{head("a.txt", 4, false), data}, {head("b.txt", 9, false), data}});
  es.clear();
  uint32_t where = 0;
  EXPECT_EQ(walk(cut, &es, &where), PAK_CUT_DATA);
  EXPECT_EQ(es.size(), 1u);
  EXPECT_GT(where, (uint32_t)PAK_HEADER);

  // A header length past the end.
  Bytes big = two;
  big[PAK_HEADER + 3] = 0x7F;
  es.clear();
  EXPECT_EQ(walk(big, &es, &where), PAK_CUT_HEADER);
  EXPECT_EQ(where, (uint32_t)PAK_HEADER);
  EXPECT_TRUE(es.empty());

  // A few stray bytes after the last entry.
  auto stray = make_package({{head("a.txt", 4, false), data}, {"", {}}});
  stray.resize(stray.size() - 2);
  stray[9 + 7] = (char)("0123456789ABCDEF"[stray.size() & 15]);
  stray[9 + 6] = (char)("0123456789ABCDEF"[stray.size() >> 4 & 15]);
  es.clear();
  EXPECT_EQ(walk(stray, &es), PAK_CUT_HEADER);
  EXPECT_EQ(es.size(), 1u);

  // Malformed SIZE or ARC, or no FNAME.
  for (std::string h : {std::string("\r\nFNAME: a\r\nSIZE: 4x\r\n"), std::string("\r\nSIZE: 4\r\n"),
                        std::string("\r\nFNAME: a\r\nARC: yes\r\nSIZE: 4\r\n"),
                        std::string("\r\nFNAME: a\r\nSIZE: -4\r\n")}) {
    es.clear();
    EXPECT_EQ(walk(make_package({{h, data}}), &es), PAK_BAD_HEADER) << h;
  }

  // A corrupt stream: the walk goes on, the entry's data is refused.
  auto bad = make_package({{head("c.txt", 4, true), data}});
  es.clear();
  EXPECT_EQ(walk(bad, &es), PAK_END);
  ASSERT_EQ(es.size(), 1u);
  EXPECT_EQ(es[0].error, LZ_BAD_MAGIC);
  EXPECT_TRUE(es[0].data.empty());
}

TEST(PakWalk, RandomDamageNeverReadsOutside) {
  std::mt19937 rng(9);
  Bytes data(300);
  for (auto& b : data) b = (uint8_t)(rng() % 7);
  size_t n;
  uint8_t* s = lz_encode(data.data(), data.size(), &n, nullptr);
  Bytes stream(s, s + n);
  std::free(s);
  auto pak = make_package(
      {{head("a.txt", stream.size(), true), stream}, {head("b.txt", data.size(), false), data}});
  for (int round = 0; round < 2000; ++round) {
    Bytes p = pak;
    for (int k = 0; k < 3; ++k) p[PAK_HEADER + rng() % (p.size() - PAK_HEADER)] ^= 1 << rng() % 8;
    // Each damaged copy lives in its own exact-size buffer, so ASan sees any overread.
    std::vector<Entry> es;
    PakStatus st = walk(p, &es);
    EXPECT_NE(st, PAK_NO_MEMORY);
    for (const auto& e : es)
      if (e.error == LZ_OK && !e.compressed) {
        EXPECT_EQ(e.data.size(), e.size);
      }
  }
}

TEST(PakNames, UnsafeNamesAreRefused) {
  for (const char* bad : {"", ".", "..", "../x.txt", "a/b.txt", "a\\b.txt", "c:x.txt", "zq://x.txt",
                          "file:x", "a\x01.txt", "\x7f",
                          // Windows devices, with or without extension, and names that Windows
                          // cuts at a final dot or space.
                          "CON", "con.txt", "Prn", "AUX.tar.gz", "nul", "NUL .txt", "COM1",
                          "com9.log", "LPT1", "lpt5.txt", "x.", "x ", "x.txt.", "x.txt "})
    EXPECT_FALSE(pak_name_is_safe(bad)) << bad;
  for (const char* good : {"zq9.txt", "ZOdo64.dll", "tfiler.txt.pdf", ".profile", "a..b", "x..txt",
                           "CONS.txt", "com10", "COM0", "lpt", "auxi", "nul_.txt", "x y"})
    EXPECT_TRUE(pak_name_is_safe(good)) << good;
  // A Shift-JIS character whose second byte is 0x5C is not a separator.
  EXPECT_TRUE(pak_name_is_safe("\x95\x5c.txt"));
  EXPECT_FALSE(pak_name_is_safe("\x95"));  // a lone lead byte at the end
}

// The SJIS-EX escape of one UTF-16 unit, as a package can carry it in FNAME.
std::string esc(char16_t unit) {
  char b[3];
  cp_put_escape(unit, b);
  return std::string(b, 3);
}

TEST(PakNames, EscapesAreJudgedAfterDecoding) {
  // Each of these reaches the file system as something other than a plain name.
  struct {
    std::string name;
    int verdict;
  } rows[] = {
      {".." + esc('\\') + "x.txt", PAK_NAME_SEPARATOR},
      {esc('.') + esc('.') + esc('\\') + "users" + esc('\\') + "a.txt", PAK_NAME_SEPARATOR},
      {".." + esc('/') + "x", PAK_NAME_SEPARATOR},
      {"a" + esc('\\') + "b", PAK_NAME_SEPARATOR},
      {esc('.'), PAK_NAME_DOTS},
      {esc('.') + esc('.'), PAK_NAME_DOTS},
      {"." + esc('.'), PAK_NAME_DOTS},
      {"x.txt" + esc(':') + "stream", PAK_NAME_COLON},
      {"c" + esc(':') + "x", PAK_NAME_COLON},
      {"a" + esc('*') + ".txt", PAK_NAME_RESERVED},
      {"a" + esc('?'), PAK_NAME_RESERVED},
      {"a<b", PAK_NAME_RESERVED},
      {"a\"b", PAK_NAME_RESERVED},
      {"a|b", PAK_NAME_RESERVED},
      {"a" + esc('\n') + "b", PAK_NAME_CONTROL},
      {"a" + esc(0) + "b", PAK_NAME_CONTROL},
      {"x" + esc('.'), PAK_NAME_TRAILING},
      {"x" + esc(' '), PAK_NAME_TRAILING},
      {esc('C') + "ON", PAK_NAME_DEVICE},
      {"con" + esc('.') + "txt", PAK_NAME_DEVICE},
      {"CONOUT$", PAK_NAME_DEVICE},
      {"com" + esc(0xB9) + ".txt", PAK_NAME_DEVICE},
      {"\x80\x40", PAK_NAME_OK},           // too short to be an escape: two plain bytes
      {"\xA0\xFF\xFF", PAK_NAME_CONTROL},  // an escape that carries no unit
      {"\x95", PAK_NAME_CONTROL},          // a lone lead byte
      {"", PAK_NAME_EMPTY},
  };
  for (const auto& r : rows) EXPECT_EQ(pak_name_judge(r.name.c_str()), r.verdict) << r.name;
}

TEST(PakNames, LengthCountsUnitsWithTheTemporarySuffix) {
  int room = PAK_NAME_MAX - PAK_TEMP_SUFFIX_MAX;
  // A double-byte character is one unit; an escape of three bytes is one unit.
  struct {
    std::string unit;
    int count;
    int verdict;
  } rows[] = {{"a", room, PAK_NAME_OK},         {"a", room + 1, PAK_NAME_TOO_LONG},
              {"\x88\x9F", room, PAK_NAME_OK},  {"\x88\x9F", room + 1, PAK_NAME_TOO_LONG},
              {esc(0x4E9C), room, PAK_NAME_OK}, {esc(0x4E9C), room + 1, PAK_NAME_TOO_LONG}};
  for (const auto& r : rows) {
    std::string name;
    for (int k = 0; k < r.count; ++k) name += r.unit;
    EXPECT_EQ(pak_name_judge(name.c_str()), r.verdict) << r.count << " of " << r.unit.size();
  }
  char16_t* w = nullptr;
  ASSERT_EQ(pak_name_judge(("a" + esc(0x4E9C) + "\x95\x5c").c_str(), &w), PAK_NAME_OK);
  EXPECT_EQ(std::u16string(w), std::u16string(u"a\u4E9C\u8868"));
  std::free(w);
}

TEST(PakNames, DuplicatesAndBadNamesMakeThePackageInvalid) {
  Bytes one = {'x'};
  struct {
    std::vector<std::string> names;
    bool ok;
  } rows[] = {
      {{"a.txt", "b.txt"}, true},
      {{"a.txt", "a.txt"}, false},
      {{"readme.TXT", "README.txt"}, false},
      {{"x", esc('x')}, false},                    // the escape names the same file
      {{"\x82\x60", "\x82\x81"}, false},           // full-width A and a
      {{"a.txt", "b.txt", "c", esc('.')}, false},  // one bad name is enough
  };
  for (const auto& r : rows) {
    std::vector<std::pair<std::string, Bytes>> entries;
    for (const auto& n : r.names) entries.push_back({head(n, 1, false), one});
    Bytes pak = make_package(entries);
    PakBlock b;
    ASSERT_TRUE(pak_block(pak.data(), pak.size(), &b));
    Text* report = text_new();
    EXPECT_EQ(pak_names_check(&b, report), r.ok) << r.names.back();
    EXPECT_EQ(text_length(report) == 0, r.ok) << text_cstr(report);
    text_free(report);
  }
  // The report shows the decoded name and the reason.
  Bytes pak = make_package({{head(".." + esc('\\') + "evil", 1, false), one}});
  PakBlock b;
  ASSERT_TRUE(pak_block(pak.data(), pak.size(), &b));
  Text* report = text_new();
  EXPECT_FALSE(pak_names_check(&b, report));
  EXPECT_EQ(std::string(text_cstr(report)), "..\\evil: file name with a path separator\r\n");
  text_free(report);
}

TEST(PakCrc, TheReaderChecksItWhenPresent) {
  Bytes data = {'h', 'e', 'l', 'l', 'o'};
  char good[9], bad[9];
  std::snprintf(good, sizeof good, "%08x", (unsigned)crc32(data.data(), data.size()));  // lower
  std::snprintf(bad, sizeof bad, "%08X", (unsigned)crc32(data.data(), data.size()) ^ 1);
  size_t zn = 0;
  uint8_t* z = lz_encode(data.data(), data.size(), &zn, nullptr);
  Bytes stream(z, z + zn);
  std::free(z);
  struct {
    std::string crc;  // "" none
    bool arc;
    PakStatus status;
    int error;
  } rows[] = {
      {"", false, PAK_END, LZ_OK},           {"", true, PAK_END, LZ_OK},
      {good, false, PAK_END, LZ_OK},         {good, true, PAK_END, LZ_OK},
      {bad, false, PAK_END, PAK_ERROR_CRC},  {bad, true, PAK_END, PAK_ERROR_CRC},
      {"1234567", true, PAK_BAD_HEADER, 0},  {"12345678 9", true, PAK_BAD_HEADER, 0},
      {"1234567G", true, PAK_BAD_HEADER, 0},
  };
  for (const auto& r : rows) {
    const Bytes& stored = r.arc ? stream : data;
    std::string h = head("a.txt", stored.size(), r.arc);
    if (!r.crc.empty()) h += "CRC32: " + r.crc + "\r\n";
    std::vector<Entry> es;
    ASSERT_EQ(walk(make_package({{h, stored}}), &es), r.status) << r.crc;
    if (r.status != PAK_END) continue;
    ASSERT_EQ(es.size(), 1u);
    EXPECT_EQ(es[0].error, r.error) << r.crc << " " << r.arc;
    EXPECT_EQ(es[0].data == data, r.error == LZ_OK) << r.crc;
  }
}

TEST_F(PakBuild, EverySingleBitFlipOfAnEntryIsCaught) {
  fill_sources();
  build(0);
  Bytes pak = slurp(out);
  std::vector<Entry> es;
  ASSERT_EQ(walk(pak, &es), PAK_END);
  for (const auto& e : es) ASSERT_NE(e.header.find("\r\nCRC32: "), std::string::npos) << e.name;
  // Flip bits spread over the data of the whole package; none may decode to wrong bytes.
  std::mt19937 g(5);
  int flips = 0;
  for (int k = 0; k < 200; ++k) {
    Bytes p = pak;
    size_t at = PAK_HEADER + g() % (p.size() - PAK_HEADER);
    p[at] ^= uint8_t(1u << (g() % 8));
    std::vector<Entry> got;
    walk(p, &got);
    bool caught = got.size() != es.size();
    for (size_t i = 0; !caught && i < got.size(); ++i)
      caught = got[i].error != LZ_OK || got[i].name != es[i].name || got[i].header != es[i].header;
    // A flip in a DATE digit may still parse; everything else must be noticed.
    if (!caught) {
      for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].data, es[i].data) << at;
    }
    flips += caught;
  }
  EXPECT_GT(flips, 150);
}

TEST(PakNames, Destinations) {
  PakDestination d[2];
  ASSERT_EQ(pak_destinations("TXPLUGIN.C", d), 2);
  EXPECT_STREQ(d[0].folder, "qmac\\sample\\");
  EXPECT_STREQ(d[1].folder, "sample\\");
  EXPECT_TRUE(d[0].sample_time && d[1].sample_time);
  ASSERT_EQ(pak_destinations("editor.txz", d), 2);
  EXPECT_STREQ(d[0].folder, "sample\\");
  EXPECT_STREQ(d[1].folder, "");
  EXPECT_FALSE(d[1].sample_time);
  ASSERT_EQ(pak_destinations("txtool.c", d), 1);
  EXPECT_STREQ(d[0].folder, "qmac\\system\\");
  EXPECT_FALSE(d[0].sample_time);
  for (const char* s : {"hc01.bmp", "HC.BMP", "photo.jpg", "x.PNG", "maihime.scr", "zq6.txz"}) {
    ASSERT_EQ(pak_destinations(s, d), 1) << s;
    EXPECT_STREQ(d[0].folder, "sample\\") << s;
  }
  for (const char* s : {"zq9.txt", "hb01.bmp", "zqeditor.exe"}) {
    ASSERT_EQ(pak_destinations(s, d), 1) << s;
    EXPECT_STREQ(d[0].folder, "") << s;
  }
  CalendarTime c;
  ASSERT_TRUE(filetime_to_calendar(pak_sample_time(), &c));
  EXPECT_EQ(c.year, 2008);
  EXPECT_EQ(c.month, 7);
  EXPECT_EQ(c.day, 28);
  EXPECT_EQ(c.hour + c.minute + c.second, 0);
}

// A minimal PE32+ image: headers, one section ".rsrc" holding the resource tree
// RCDATA -> 30030 -> language 1041 -> the payload.
Bytes make_pe(const Bytes& payload, uint32_t type = 10, uint32_t id = 30030) {
  const uint32_t file_align = 0x200, sect_rva = 0x1000, sect_raw = 0x200;
  Bytes rsrc;
  auto u16 = [](Bytes& b, size_t at, uint32_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = (uint8_t)v, b[at + 1] = (uint8_t)(v >> 8);
  };
  auto u32 = [&](Bytes& b, size_t at, uint32_t v) {
    u16(b, at, v & 0xFFFF);
    u16(b, at + 2, v >> 16);
  };
  // Three directories of one entry each, then the data entry, then the payload.
  u16(rsrc, 14, 1);
  u32(rsrc, 16, type);
  u32(rsrc, 20, 0x80000000u | 24);
  u16(rsrc, 24 + 14, 1);
  u32(rsrc, 24 + 16, id);
  u32(rsrc, 24 + 20, 0x80000000u | 48);
  u16(rsrc, 48 + 14, 1);
  u32(rsrc, 48 + 16, 1041);
  u32(rsrc, 48 + 20, 72);
  u32(rsrc, 72, sect_rva + 88);
  u32(rsrc, 76, (uint32_t)payload.size());
  rsrc.resize(88);
  rsrc.insert(rsrc.end(), payload.begin(), payload.end());
  uint32_t raw_size = ((uint32_t)rsrc.size() + file_align - 1) / file_align * file_align;
  rsrc.resize(raw_size);

  Bytes img(sect_raw);
  img[0] = 'M', img[1] = 'Z';
  u32(img, 0x3C, 0x80);
  u32(img, 0x80, 0x00004550);
  size_t coff = 0x84, opt = coff + 20;
  u16(img, coff, 0x8664);
  u16(img, coff + 2, 1);              // sections
  u16(img, coff + 16, 112 + 16 * 8);  // optional header with 16 directories
  u16(img, opt, 0x20B);
  u32(img, opt + 108, 16);
  u32(img, opt + 112 + 16, sect_rva);  // directory 2: resources
  u32(img, opt + 112 + 20, (uint32_t)rsrc.size());
  size_t sec = opt + 112 + 16 * 8;
  std::memcpy(&img[sec], ".rsrc", 5);
  u32(img, sec + 8, (uint32_t)rsrc.size());
  u32(img, sec + 12, sect_rva);
  u32(img, sec + 16, raw_size);
  u32(img, sec + 20, sect_raw);
  img.insert(img.end(), rsrc.begin(), rsrc.end());
  return img;
}

// pak_open keeps the first package it finds. The Windows test program carries one as its resource
// (pak_resource_win32.rc), which comes first; natively there is no resource, and the package is
// "_zq64_.pak" beside the program once that file holds a valid one.
TEST(PakOpen, FindsTheResourceOrThePackageBesideTheProgram) {
  fs::path dir = fs::temp_directory_path() / "zqpak_open";
  fs::remove_all(dir);
  fs::create_directories(dir);
  path_set_program_path((dir / "zq9utl.exe").string().c_str());
  g_log.clear();
  notify_set_sink(capture);
  Bytes data = {'o', 'k'};
#ifdef _WIN32
  Bytes pak = make_package({{"\r\nFNAME: a.txt\r\nSIZE: 2\r\n", data}});  // as the .rc has it
  Bytes beside = make_package({{head("b.txt", 2, false), data}});
  put_file(dir / "_zq64_.pak", std::string(beside.begin(), beside.end()));  // comes second
  const PakBlock* b = pak_open();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(g_log, "resource\n");
#else
  Bytes pak = make_package({{head("a.txt", 2, false), data}});
  EXPECT_EQ(pak_open(), nullptr);
  put_file(dir / "_zq64_.pak", "zqpak1.0(00000099)");  // damaged: refused
  EXPECT_EQ(pak_open(), nullptr);
  put_file(dir / "_zq64_.pak", std::string(pak.begin(), pak.end()));
  const PakBlock* b = pak_open();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(g_log.find("resource"), std::string::npos);
#endif
  EXPECT_EQ(Bytes(b->bytes, b->bytes + b->total), pak);
  fs::remove_all(dir);
  EXPECT_EQ(pak_open(), b);
  notify_set_sink(nullptr);
  path_set_program_path(nullptr);
}

TEST(PakResource, FindsThePackageInAPeImage) {
  Bytes data = {'h', 'i'};
  Bytes pak = make_package({{head("a.txt", 2, false), data}});
  Bytes pe = make_pe(pak);
  const uint8_t* p = nullptr;
  uint32_t n = 0;
  ASSERT_TRUE(pe_find_resource(pe.data(), pe.size(), PAK_RT_RCDATA, PAK_RESOURCE_ID, &p, &n));
  ASSERT_EQ(n, pak.size());
  EXPECT_EQ(Bytes(p, p + n), pak);
  PakBlock b;
  EXPECT_TRUE(pak_block(p, n, &b));

  EXPECT_FALSE(pe_find_resource(pe.data(), pe.size(), PAK_RT_RCDATA, 1, &p, &n));
  Bytes other = make_pe(pak, 3);
  EXPECT_FALSE(pe_find_resource(other.data(), other.size(), PAK_RT_RCDATA, 30030, &p, &n));
  EXPECT_FALSE(pe_find_resource(pak.data(), pak.size(), PAK_RT_RCDATA, 30030, &p, &n));

  // Cut anywhere, or with offsets bent, the reader refuses instead of reading outside.
  for (size_t cut = 0; cut < pe.size(); cut += 7) {
    Bytes c(pe.begin(), pe.begin() + cut);
    if (pe_find_resource(c.data(), c.size(), PAK_RT_RCDATA, 30030, &p, &n)) {
      EXPECT_LE(p + n, c.data() + c.size());
    }
  }
  std::mt19937 rng(11);
  for (int round = 0; round < 3000; ++round) {
    Bytes c = pe;
    c[rng() % 0x300] ^= (uint8_t)(1 << rng() % 8);
    if (pe_find_resource(c.data(), c.size(), PAK_RT_RCDATA, 30030, &p, &n)) {
      EXPECT_GE(p, c.data());
      EXPECT_LE(p + n, c.data() + c.size());
    }
  }
}

}  // namespace

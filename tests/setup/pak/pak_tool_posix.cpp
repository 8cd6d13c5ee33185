// zqtool pak, run as a program on crafted and damaged packages: a bad or repeated name refuses
// the whole package before anything is written, and the checksum catches flipped bits.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/crc32.h"
#include "support/zqtool_run.h"

namespace {

namespace fs = std::filesystem;

std::string esc(char16_t unit) {
  char b[3];
  cp_put_escape(unit, b);
  return std::string(b, 3);
}

// A package of stored entries (name, bytes), with a CRC32 field unless crc is false.
std::string package(const std::vector<std::pair<std::string, std::string>>& entries,
                    bool crc = true) {
  std::string p(19, '\0');
  for (const auto& [name, data] : entries) {
    std::string h = "\r\nFNAME: " + name +
                    "\r\nDATE: 29 May 2018 08:14:07 +0900\r\nSIZE: " + std::to_string(data.size()) +
                    "\r\n";
    if (crc) {
      char c[9];
      std::snprintf(c, sizeof c, "%08X", (unsigned)crc32(data.data(), data.size()));
      h += std::string("CRC32: ") + c + "\r\n";
    }
    for (int k = 0; k < 4; ++k) p += char(h.size() >> 8 * k);
    p += h + data;
  }
  char hdr[20];
  std::snprintf(hdr, sizeof hdr, "zqpak1.0(%08X)", (unsigned)p.size());
  p.replace(0, 18, hdr);
  return p;
}

// Every path under a folder with its size: what "nothing else changed" is compared on.
std::set<std::string> listing(const std::string& dir) {
  std::set<std::string> s;
  for (auto& e : fs::recursive_directory_iterator(dir))
    s.insert(e.path().string() + (e.is_regular_file() ? " " + std::to_string(e.file_size()) : ""));
  return s;
}

class ZqtoolPak : public ZqtoolTest {
 protected:
  void SetUp() override {
    ZqtoolTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // The walls of the target: a crafted name that got out would land here.
    fs::create_directories(dir + "/outside/deeper/target");
    scratch.put("outside/victim.txt", "keep me");
  }
};

TEST_F(ZqtoolPak, CraftedNamesAreRefusedAndNothingIsWritten) {
  std::string sep = esc('\\'), dot = esc('.'), slash = esc('/');
  const std::string crafted[] = {
      ".." + sep + "victim.txt",
      dot + dot + sep + dot + "." + sep + "victim.txt",
      ".." + slash + ".." + slash + "victim.txt",
      "a" + sep + ".." + sep + ".." + sep + "victim.txt",
      ".." + sep + "..\\victim.txt",  // mixed raw and escaped
      "victim.txt" + esc(':') + "stream",
      dot + dot,
      "x" + dot,
      "nul" + dot + "txt",
      std::string(250, 'a'),  // with the temporary suffix too long
      "a" + esc('\n') + "b",
  };
  for (const auto& name : crafted) {
    // The bad entry comes last, after good ones that would otherwise be written.
    std::string pak =
        scratch.put("outside/deeper/crafted.pak", package({{"good.txt", "good"}, {name, "evil"}}));
    auto before = listing(dir);
    ToolRun v = zqtool_run("pak verify '" + pak + "'");
    EXPECT_EQ(v.status, 1) << name;
    EXPECT_NE(v.err.find("file name"), std::string::npos) << v.err;
    ToolRun x = zqtool_run("pak extract '" + pak + "' '" + dir + "/outside/deeper/target/x'");
    EXPECT_EQ(x.status, 1) << name;
    EXPECT_EQ(listing(dir), before) << name << "\n" << x.err;
    EXPECT_EQ(ScratchDir::get(dir + "/outside/victim.txt"), "keep me");
  }
}

TEST_F(ZqtoolPak, RepeatedNamesAreRefused) {
  for (auto pair : {std::pair<std::string, std::string>{"a.txt", "a.txt"},
                    {"Readme.txt", "README.TXT"},
                    {"b", esc('b')}}) {
    std::string pak =
        scratch.put("outside/dup.pak", package({{pair.first, "one"}, {pair.second, "two"}}));
    auto before = listing(dir);
    EXPECT_EQ(zqtool_run("pak verify '" + pak + "'").status, 1) << pair.second;
    ToolRun x = zqtool_run("pak extract '" + pak + "' '" + dir + "/outside/deeper/target/x'");
    EXPECT_EQ(x.status, 1);
    EXPECT_NE(x.err.find("second entry of the same file"), std::string::npos) << x.err;
    EXPECT_EQ(listing(dir), before);
  }
}

TEST_F(ZqtoolPak, ListShowsTheDecodedNameAndTheChecksum) {
  std::string pak = scratch.put(
      "p.pak", package({{"a" + esc('b') + "c.txt", "x"}, {".." + esc('\\') + "evil", "y"}}));
  ToolRun r = zqtool_run("pak list '" + pak + "'");
  EXPECT_EQ(r.status, 1);  // it lists, and says the package is bad
  char c[9];
  std::snprintf(c, sizeof c, "%08X", (unsigned)crc32("x", 1));
  EXPECT_NE(r.out.find(std::string("abc.txt\t29 May 2018 08:14:07 +0900\t1\t1\t0\t") + c),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("..\\evil\t"), std::string::npos) << r.out;
}

TEST_F(ZqtoolPak, VerifyChecksEveryEntrysChecksum) {
  struct {
    std::string pak;
    int status;
    const char* says;
  } rows[] = {
      {package({{"a.txt", "alpha"}, {"b.txt", "beta"}}), 0, "2 entries ok"},
      {package({{"a.txt", "alpha"}, {"b.txt", "beta"}}, false), 0, "b.txt: unchecked"},
      {package({{"a.txt", "alpha"}}), 1, "a.txt: checksum mismatch"},  // flipped below
  };
  rows[2].pak[rows[2].pak.size() - 2] ^= 0x10;
  for (const auto& r : rows) {
    std::string p = scratch.put("v.pak", r.pak);
    ToolRun v = zqtool_run("pak verify '" + p + "'");
    EXPECT_EQ(v.status, r.status) << r.says << v.out << v.err;
    EXPECT_NE((v.out + v.err).find(r.says), std::string::npos) << v.out << v.err;
  }
}

TEST_F(ZqtoolPak, SingleBitFlipsOfTheDefaultPackageAreCaught) {
  const char* src = std::getenv("ZQ_SOURCE_DIR");
  if (!src) GTEST_SKIP() << "no source folder";
  // The package's sources as the build stages them, the programs stood in for.
  fs::copy(fs::path(src) / "package", dir + "/src");
  // Programs are mostly literals to the codec: pseudo-random bytes with some repeats.
  auto program = [](size_t n, unsigned seed) {
    std::string b;
    for (size_t k = 0; k < n; ++k) {
      seed = seed * 1103515245u + 12345u;
      b += (k % 64 < 40) ? char(seed >> 16) : char("MZ program "[k % 11]);
    }
    return b;
  };
  scratch.put("src/ZOdo64.dll", program(30000, 1));
  scratch.put("zqeditor.exe", program(200000, 2));
  scratch.put("zq9utl.exe", program(90000, 3));
  std::string pak = dir + "/default.pak";
  ASSERT_EQ(zqtool_run("pak build '" + dir + "/src' '" + pak + "' --exe-dir '" + dir + "'").status,
            0);
  ASSERT_EQ(zqtool_run("pak verify '" + pak + "'").status, 0);
  std::string good = ScratchDir::get(pak);
  ASSERT_GT(good.size(), 1000u);
  ASSERT_EQ(zqtool_run("pak extract '" + pak + "' '" + dir + "/good'").status, 0);
  // Forty flips spread evenly over the package, past its header. A flip that verify lets pass
  // must change nothing that is installed (a match distance inside a run of equal bytes).
  int caught = 0;
  for (int k = 0; k < 40; ++k) {
    std::string bad = good;
    size_t at = 19 + (good.size() - 19) * (size_t)k / 40 + 7;
    bad[at] ^= char(1 << (k % 8));
    std::string p = scratch.put("flip.pak", bad);
    ToolRun v = zqtool_run("pak verify '" + p + "'");
    if (v.status == 1) {
      ++caught;
      continue;
    }
    fs::remove_all(dir + "/flip");
    ASSERT_EQ(zqtool_run("pak extract '" + p + "' '" + dir + "/flip'").status, 0);
    for (auto& e : fs::recursive_directory_iterator(dir + "/good")) {
      if (!e.is_regular_file()) continue;
      std::string rel = fs::relative(e.path(), dir + "/good").string();
      EXPECT_EQ(ScratchDir::get(e.path().string()), ScratchDir::get(dir + "/flip/" + rel))
          << "flip at " << at << " passed verify and changed " << rel;
    }
  }
  EXPECT_GE(caught, 36);
}

}  // namespace

// All or nothing: a damaged package, a failing write or a failing rename over an existing
// installation leaves it byte for byte as it was, with nothing temporary left and the folders the
// run made gone; a killed run's leftovers are swept by the next installation; a link planted
// where a settings file belongs is replaced, not written through.

#include <gtest/gtest.h>

#include <system_error>

#include "core/codepage.h"
#include "files/file_fault.h"
#include "setup/install/engine_fixture.h"

using namespace engine_test;

namespace {

// Every file and folder under a folder with its bytes: "unchanged" is compared on this.
typedef std::map<std::string, std::string> Snapshot;
Snapshot snapshot(const fs::path& dir) {
  Snapshot s;
  for (auto& p : fs::recursive_directory_iterator(dir)) {
    std::string rel = fs::relative(p.path(), dir).generic_string();
    s[rel] = p.is_symlink() ? "link" : p.is_directory() ? "folder" : get(p.path());
  }
  return s;
}

// The paths that differ between two snapshots ("" when none).
std::string differences(const Snapshot& a, const Snapshot& b) {
  std::string d;
  for (const auto& [k, v] : a)
    if (!b.count(k))
      d += "gone: " + k + "\n";
    else if (b.at(k) != v)
      d += "changed: " + k + "\n";
  for (const auto& [k, v] : b)
    if (!a.count(k)) d += "new: " + k + "\n";
  return d;
}

// The package with a bit in the middle of the entry `name`'s stored bytes flipped.
struct FindEntry {
  std::string name;
  const uint8_t* base;
  size_t at;
};
bool find_entry(void* c, const PakEntry* e) {
  FindEntry* f = (FindEntry*)c;
  if (f->name == e->name && e->size) f->at = (size_t)(e->data - f->base) + e->size / 2;
  return true;
}
Bytes flipped(const Bytes& pak, const std::string& name) {
  Bytes bad = pak;
  PakBlock b;
  EXPECT_TRUE(pak_block(bad.data(), bad.size(), &b));
  FindEntry f = {name, bad.data(), 0};
  pak_walk(&b, find_entry, &f);
  EXPECT_GT(f.at, 0u) << name;
  bad[f.at] ^= 0x04;
  return bad;
}

class AllOrNothing : public EngineTest {
 protected:
  Snapshot before;
  void SetUp() override {
    EngineTest::SetUp();
    // An existing installation, with a user's own file beside it.
    ASSERT_TRUE(pak_install(rec, &block)) << g_log;
    put(dest / "mine.txt", "the user's");
    before = snapshot(root);
  }
  void expect_unchanged(const char* what) {
    EXPECT_EQ(differences(before, snapshot(root)), "") << what;
    EXPECT_FALSE(leftovers(root)) << what;
  }
};

TEST_F(AllOrNothing, AFailureAnywhereLeavesTheOldInstallationAsItWas) {
  std::string sep(3, 0);
  cp_put_escape('\\', sep.data());
  struct {
    const char* what;
    Bytes pak;
    int fail_write;  // the n-th write fails; -1 none
    const char* said;
  } rows[] = {
      {"a flipped bit in the last checked entry", flipped(pak, "txdos.c"), -1, "txdos.c: "},
      {"a flipped bit in an early entry", flipped(pak, "zq9.txt"), -1, "zq9.txt: "},
      {"a bad name at the end", pak, -1, "file name with a path separator"},
      {"a repeated name", pak, -1, "second entry of the same file"},
      {"the third write fails", pak, 2, ""},
      {"the last write fails", pak, (int)entries.size() + 1, ""},
  };
  append_entry(&rows[2].pak, ".." + sep + "evil.txt", "payload");
  append_entry(&rows[3].pak, "ZQ9.TXT", "another");
  for (auto& r : rows) {
    PakBlock b;
    ASSERT_TRUE(pak_block(r.pak.data(), r.pak.size(), &b));
    Text* failure = text_new();
    file_fail_write_after(r.fail_write);
    EXPECT_FALSE(pak_install(rec, &b, failure)) << r.what;
    file_fail_write_after(-1);
    EXPECT_NE(std::string(text_cstr(failure)).find(r.said), std::string::npos)
        << r.what << ": " << text_cstr(failure);
    text_free(failure);
    expect_unchanged(r.what);
  }
}

TEST_F(AllOrNothing, ARenameThatFailsHalfWayIsUndone) {
  // The probe is put in place after every package file: its old copy cannot be moved aside.
  for (int i = 1; i <= 99; ++i)
    fs::create_directories(dest / ("idtemp.sys.zq~b" + std::to_string(i)));
  before = snapshot(root);
  Text* failure = text_new();
  EXPECT_FALSE(pak_install(rec, &block, failure));
  EXPECT_NE(std::string(text_cstr(failure)).find("idtemp.sys"), std::string::npos)
      << text_cstr(failure);
  text_free(failure);
  EXPECT_EQ(differences(before, snapshot(root)), "");
}

TEST_F(AllOrNothing, AFreshInstallationThatFailsTakesItsFoldersAway) {
  fs::path fresh = root / "new" / "deeper" / "inst";
  setup_set_text(rec, ID("EXE"), fresh.string().c_str());
  Bytes bad = flipped(pak, "txdos.c");
  PakBlock b;
  ASSERT_TRUE(pak_block(bad.data(), bad.size(), &b));
  EXPECT_FALSE(pak_install(rec, &b));
  EXPECT_FALSE(fs::exists(root / "new"));
  EXPECT_EQ(differences(before, snapshot(root)), "");
}

TEST_F(AllOrNothing, APathBeyondTheLimitFailsBeforeAnythingIsWritten) {
  // A folder of 233 characters: "\qmac\system\txproof.c" and the temporary suffix take the path
  // past the 259 units a path may have.
  std::string base = (root / "deep").string();
  std::string folder = base + "/" + std::string(259 - base.size() - 1 - 22 - 7 + 3, 'd');
  setup_set_text(rec, ID("EXE"), folder.c_str());
  Text* failure = text_new();
  EXPECT_FALSE(pak_install(rec, &block, failure));
  // Refused by the folder judge or by the path limit of a file: either names the folder.
  EXPECT_NE(
      std::string(text_cstr(failure)).find(std::string(259 - base.size() - 1 - 22 - 7 + 3, 'd')),
      std::string::npos)
      << text_cstr(failure);
  text_free(failure);
  EXPECT_EQ(differences(before, snapshot(root)), "");
}

TEST_F(AllOrNothing, TheNextInstallationSweepsAKilledRunsLeftovers) {
  const char* ours[] = {"zqeditor.exe.zq~3", "idsystem.sys.zq~1", "sample/txplugin.c.zq~b1",
                        "qmac/system/txtool.c.zq~12", "idtemp.sys.zq~b2"};
  const char* theirs[] = {"notes.txt.zq~1", "zqeditor.exe.zq~x", "zqeditor.exe.zq~123",
                          "zqeditor.exe.zq~"};
  for (const char* n : ours) put(dest / n, std::string(1000, 'L'));
  for (const char* n : theirs) put(dest / n, "not ours");
  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  for (const char* n : ours) EXPECT_FALSE(fs::exists(dest / n)) << n;
  for (const char* n : theirs) EXPECT_EQ(get(dest / n), "not ours") << n;
  EXPECT_EQ(get(dest / "zqeditor.exe"), entries["zqeditor.exe"].bytes);
}

TEST_F(AllOrNothing, APlantedLinkIsReplacedNotWrittenThrough) {
  put(root / "secret.txt", "OTHER: 5\r\nSECRET: 42\r\n");
  std::error_code ec;
  for (const char* name : {"idsystem.sys", "idtemp.sys", "zqeditor.exe"}) {
    fs::remove(dest / name);
    fs::create_symlink(root / "secret.txt", dest / name, ec);
    if (ec || !fs::is_symlink(dest / name)) GTEST_SKIP() << "no symbolic links here";
  }
  ASSERT_TRUE(pak_install(rec, &block)) << g_log;
  EXPECT_EQ(get(root / "secret.txt"), "OTHER: 5\r\nSECRET: 42\r\n");
  for (const char* name : {"idsystem.sys", "idtemp.sys", "zqeditor.exe"})
    EXPECT_FALSE(fs::is_symlink(dest / name)) << name;
  EXPECT_EQ(get(dest / "zqeditor.exe"), entries["zqeditor.exe"].bytes);
  // Nothing of the link's target was read into the settings.
  EXPECT_EQ(key_of(dest / "idsystem.sys", "SECRET"), -1);
  EXPECT_EQ(key_of(dest / "idsystem.sys", "CFGVER"), 100);
  EXPECT_FALSE(leftovers(root));
}

TEST_F(AllOrNothing, AFolderLinkInsideTheInstallationIsRefused) {
  for (const char* folder : {"sample", "qmac", "qmac/system"}) {
    fs::create_directories(root / "elsewhere");
    fs::rename(dest / folder, root / "moved");
    std::error_code ec;
    fs::create_directory_symlink(root / "elsewhere", dest / folder, ec);
    if (ec || !fs::is_symlink(dest / folder)) GTEST_SKIP() << "no symbolic links here";
    Snapshot planted = snapshot(root);
    EXPECT_FALSE(pak_install(rec, &block)) << folder;
    EXPECT_TRUE(fs::is_empty(root / "elsewhere")) << folder;
    EXPECT_EQ(differences(planted, snapshot(root)), "") << folder;
    fs::remove(dest / folder);
    fs::rename(root / "moved", dest / folder);
  }
}

TEST(InstallTemporaries, NamesTheInstallationMakes) {
  struct {
    const char* name;
    bool ours;
  } rows[] = {
      {"zqeditor.exe.zq~1", true}, {"a.zq~99", true},  {"a.zq~b1", true},  {"a.b.zq~b42", true},
      {"x.zq~1.zq~2", true},       {".zq~1", false},   {"a.zq~", false},   {"a.zq~b", false},
      {"a.zq~100", false},         {"a.zq~1x", false}, {"a.zq~c1", false}, {"a.zq1", false},
      {"zqeditor.exe", false},     {"a.ZQ~1", false}};
  for (const auto& r : rows) EXPECT_EQ(install_is_temporary(r.name), r.ours) << r.name;
}

}  // namespace

// Crafted and damaged packages beside zqsetup.exe, under Wine with real files and registry: a
// name that would leave the destination is refused with exit code 1 before anything is written
// anywhere on the drive; a package with a flipped bit leaves an existing installation byte for
// byte as it was; a killed run's leftovers go with the next installation; a link planted where a
// settings file belongs is replaced, not written through.

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/crc32.h"
#include "e2e.h"

namespace {

const wchar_t kZqsetup[] = L"app/zqsetup/zqsetup.exe";
const wchar_t kPackage[] = L"package/_zq64_.pak";
const wchar_t kHist[] = L"Software\\VODudeduva\\ZQ9";

std::string slurp(const std::wstring& p) {
  std::ifstream f(p.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void spit(const std::wstring& p, const std::string& bytes) {
  std::ofstream f(p.c_str(), std::ios::binary | std::ios::trunc);
  f << bytes;
}

std::string esc(char16_t unit) {
  char b[3];
  cp_put_escape(unit, b);
  return std::string(b, 3);
}

// Appends a stored entry with its checksum and sets the package's total.
void append(std::string* pak, const std::string& name, const std::string& data) {
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08X", (unsigned)crc32(data.data(), data.size()));
  std::string h = "\r\nFNAME: " + name +
                  "\r\nDATE: 29 May 2018 08:14:07 +0900\r\nSIZE: " + std::to_string(data.size()) +
                  "\r\nCRC32: " + crc + "\r\n";
  for (int k = 0; k < 4; ++k) *pak += char(h.size() >> 8 * k);
  *pak += h + data;
  char total[9];
  std::snprintf(total, sizeof total, "%08X", (unsigned)pak->size());
  pak->replace(9, 8, total);
}

// Where the data of the n-th entry lies, and its length.
void entry_data(const std::string& pak, int n, size_t* at, size_t* size) {
  size_t pos = 19;
  for (int k = 0;; ++k) {
    uint32_t h = 0;
    for (int b = 0; b < 4; ++b) h |= (uint32_t)(uint8_t)pak[pos + b] << 8 * b;
    std::string head = pak.substr(pos + 4, h);
    size_t s = head.find("SIZE: ");
    *size = std::stoul(head.substr(s + 6));
    *at = pos + 4 + h;
    if (k == n || *at + *size >= pak.size()) return;
    pos = *at + *size;
  }
}

// The user's shell folders, which Wine links to the real home folder outside the drive (and
// shows as plain folders): not part of the drive's listing.
bool home_link(const std::wstring& path) {
  static const std::vector<std::wstring> links = [] {
    std::vector<std::wstring> v;
    for (int c :
         {CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_MYMUSIC, CSIDL_MYPICTURES, CSIDL_MYVIDEO})
      v.push_back(e2e::folder(c));
    v.push_back(e2e::folder(CSIDL_PROFILE) + L"\\Downloads");
    return v;
  }();
  for (const auto& l : links)
    if (lstrcmpiW(path.c_str(), l.c_str()) == 0) return true;
  return false;
}

// Every file and folder under dir (links not followed) with its size and time, but not `skip`.
typedef std::map<std::wstring, std::string> Listing;
void list_tree(const std::wstring& dir, const std::wstring& skip, Listing* out) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = dir + L"\\" + name;
    if (lstrcmpiW(path.c_str(), skip.c_str()) == 0 || home_link(path)) continue;
    bool folder = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    // A folder by its being there (its time moves with every file made and removed in it).
    (*out)[path] = folder ? "folder"
                          : std::to_string(((uint64_t)fd.nFileSizeHigh << 32) | fd.nFileSizeLow) +
                                " " + std::to_string(fd.ftLastWriteTime.dwLowDateTime) + " " +
                                std::to_string(fd.dwFileAttributes);
    if (folder && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) list_tree(path, skip, out);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

std::string differences(const Listing& a, const Listing& b) {
  std::string d;
  for (const auto& [k, v] : a)
    if (!b.count(k))
      d += "gone: " + e2e::narrow(k) + "\n";
    else if (b.at(k) != v)
      d += "changed: " + e2e::narrow(k) + "\n";
  for (const auto& [k, v] : b)
    if (!a.count(k)) d += "new: " + e2e::narrow(k) + "\n";
  return d;
}

// The files under dir with their bytes (and the names of temporaries, which must not be there).
std::map<std::wstring, std::string> contents(const std::wstring& dir) {
  std::map<std::wstring, std::string> c;
  Listing l;
  list_tree(dir, L"", &l);
  for (const auto& [path, info] : l) c[path] = e2e::exists(path) ? slurp(path) : "";
  return c;
}

bool has_temporaries(const std::wstring& dir) {
  Listing l;
  list_tree(dir, L"", &l);
  for (const auto& [path, info] : l)
    if (path.find(L".zq~") != std::wstring::npos) return true;
  return false;
}

class Package : public ::testing::Test {
 protected:
  std::wstring dir, pf_root, to, setup_dir, log;
  std::string good;

  void SetUp() override {
    dir = e2e::temp_dir(L"pak");
    pf_root =
        e2e::folder(CSIDL_PROGRAM_FILES) + L"\\zqpak" + std::to_wstring(GetCurrentProcessId());
    to = pf_root + L"\\VA VUDOVA 9";
    setup_dir = dir + L"\\setup";
    log = dir + L"\\setup.log";
    CreateDirectoryW(setup_dir.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(e2e::build_path(kZqsetup).c_str(), (setup_dir + L"\\zqsetup.exe").c_str(),
                          FALSE));
    good = slurp(e2e::build_path(kPackage));
    ASSERT_GT(good.size(), 1000u);
  }
  void TearDown() override {
    e2e::viewers(true);
    e2e::remove_installation_traces();
    e2e::remove_tree(pf_root);
    e2e::remove_tree(dir);
  }
  // zqsetup.exe with this package beside it, unattended into `to`; the exit code.
  int install(const std::string& pak) {
    spit(setup_dir + L"\\_zq64_.pak", pak);
    DeleteFileW(log.c_str());
    e2e::Process p = e2e::start(setup_dir + L"\\zqsetup.exe",
                                L"-silent -exe(\"" + to + L"\") -log(\"" + log + L"\")");
    int code = e2e::wait(p, 180000);
    e2e::stop(p);
    return code;
  }
};

TEST_F(Package, CraftedNamesAreRefusedAndNothingIsWrittenAnywhere) {
  std::string sep = esc('\\'), dot = esc('.'), slash = esc('/');
  const std::string crafted[] = {
      ".." + sep + "evil.txt",
      dot + dot + sep + dot + "." + sep + ".." + sep + "users" + sep + "Public" + sep + "evil.txt",
      ".." + slash + ".." + slash + ".." + slash + "windows" + slash + "system32" + slash +
          "evil.dll",
      "a" + sep + ".." + sep + ".." + sep + "evil.txt",
      ".." + sep + "..\\evil.txt",  // raw and escaped
      "zq9.txt" + esc(':') + "evil",
      dot + dot,
      "evil" + dot,
      "CON" + dot + "txt",
      std::string(250, 'e'),  // too long with the temporary suffix
      "ZQ9.TXT",              // the same file as "zq9.txt"
  };
  // A first run, so that whatever Wine sets up on a program's first start is there before.
  EXPECT_EQ(install("not a package"), 1);
  Listing before;
  list_tree(L"C:", dir, &before);
  ASSERT_GT(before.size(), 200u);  // the whole drive, not an empty listing
  for (const auto& name : crafted) {
    std::string pak = good;
    append(&pak, name, "evil bytes");
    EXPECT_EQ(install(pak), 1) << name;
    std::string said = slurp(log);
    EXPECT_TRUE(said.find("file name") != std::string::npos ||
                said.find("second entry of the same file") != std::string::npos)
        << said;
    Listing after;
    list_tree(L"C:", dir, &after);
    EXPECT_EQ(differences(before, after), "") << name;
    EXPECT_FALSE(e2e::exists(to));
    EXPECT_EQ(e2e::reg(HKEY_LOCAL_MACHINE, kHist, L"folder"), L"-");
  }
}

TEST_F(Package, AFlippedBitLeavesTheInstallationAsItWas) {
  ASSERT_EQ(install(good), 0) << slurp(log);
  auto before = contents(to);
  ASSERT_TRUE(before.count(to + L"\\zqeditor.exe"));
  size_t at = 0, size = 0;
  entry_data(good, 0, &at, &size);  // "zqeditor.exe"
  size_t last_at = 0, last_size = 0;
  entry_data(good, 1 << 20, &last_at, &last_size);
  const size_t flips[] = {at + size / 5, at + size / 2, at + size - 2, last_at + last_size / 2};
  for (size_t f : flips) {
    std::string bad = good;
    bad[f] ^= 0x10;
    EXPECT_EQ(install(bad), 1) << "flip at " << f;
    std::string said = slurp(log);
    EXPECT_NE(said.find("fail: "), std::string::npos) << said;
    EXPECT_EQ(contents(to), before) << "flip at " << f << "\n" << said;
    EXPECT_FALSE(has_temporaries(to));
  }
  EXPECT_NE(slurp(log).find("txdos.c: "), std::string::npos) << slurp(log);
}

TEST_F(Package, AKilledRunsLeftoversGoWithTheNextInstallation) {
  ASSERT_EQ(install(good), 0) << slurp(log);
  const std::wstring ours[] = {L"zqeditor.exe.zq~1", L"sample\\hc1.bmp.zq~b2", L"idsystem.sys.zq~3",
                               L"qmac\\system\\txtool.c.zq~12"};
  for (const auto& n : ours) spit(to + L"\\" + n, std::string(1 << 20, 'L'));
  spit(to + L"\\notes.txt.zq~1", "the user's");
  ASSERT_EQ(install(good), 0) << slurp(log);
  for (const auto& n : ours) EXPECT_FALSE(e2e::exists(to + L"\\" + n)) << e2e::narrow(n);
  EXPECT_EQ(slurp(to + L"\\notes.txt.zq~1"), "the user's");
}

TEST_F(Package, AnInstallationKilledHalfWayLeavesNothingForGoodAfterTheNext) {
  // A package that takes a while: a large picture (random bytes) under a name of the list.
  std::string slow = good, picture(48 << 20, '\0');
  uint32_t seed = 7;
  for (char& c : picture) c = char((seed = seed * 1103515245u + 12345u) >> 16);
  append(&slow, "hc9.bmp", picture);
  spit(setup_dir + L"\\_zq64_.pak", slow);
  // Killed later and later until a run has left temporaries behind.
  bool left = false;
  for (DWORD after = 200; after <= 4000 && !left; after += 150) {
    e2e::Process p = e2e::start(setup_dir + L"\\zqsetup.exe", L"-silent -exe(\"" + to + L"\")");
    Sleep(after);
    TerminateProcess(p.handle, 9);
    e2e::wait(p, 10000);
    e2e::stop(p);
    left = has_temporaries(to);
    if (e2e::exists(to + L"\\idtemp.sys")) {
      e2e::remove_installation_traces();  // it got to the end: start again from nothing
      e2e::remove_tree(to);
    }
  }
  if (!left) GTEST_SKIP() << "no run was killed while its temporaries were there";
  ASSERT_EQ(install(slow), 0) << slurp(log);
  EXPECT_FALSE(has_temporaries(to));
  EXPECT_EQ(slurp(to + L"\\sample\\hc9.bmp"), picture);
}

TEST_F(Package, APlantedLinkIsReplacedNotWrittenThrough) {
  ASSERT_EQ(install(good), 0) << slurp(log);
  std::wstring secret = dir + L"\\secret.txt";
  spit(secret, "SECRET: 42\r\n");
  std::wstring settings = to + L"\\idsystem.sys";
  DeleteFileW(settings.c_str());
  DWORD made = CreateSymbolicLinkW(settings.c_str(), secret.c_str(), 0)
                   ? GetFileAttributesW(settings.c_str())
                   : INVALID_FILE_ATTRIBUTES;
  if (made == INVALID_FILE_ATTRIBUTES || !(made & FILE_ATTRIBUTE_REPARSE_POINT))
    GTEST_SKIP() << "this system makes no symbolic links (Wine 8 says it did and makes none)";
  ASSERT_EQ(install(good), 0) << slurp(log);
  EXPECT_EQ(slurp(secret), "SECRET: 42\r\n");
  DWORD attributes = GetFileAttributesW(settings.c_str());
  EXPECT_FALSE(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  std::string now = slurp(settings);
  EXPECT_EQ(now.find("SECRET"), std::string::npos) << now;
  EXPECT_NE(now.find("CFGVER: 100"), std::string::npos) << now;
}

}  // namespace

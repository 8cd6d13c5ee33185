#pragma once
// The installation engine's tests, native and under Wine: a test package built by the package
// writer from small sources (with "editor.txz" and a picture appended), a set-up record, a
// temporary root removed after each test, and the log and boxes captured.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/header.h"
#include "files/file.h"
#include "files/path.h"
#include "setup/install.h"
#include "setup/pak.h"
#include "setup/registry.h"
#include "ui/notify.h"

namespace engine_test {

namespace fs = std::filesystem;
typedef std::vector<uint8_t> Bytes;

inline std::string g_log;
inline std::vector<std::string> g_boxes;
inline int g_answer = NOTIFY_YES;

inline int capture(NotifyKind kind, const char* message, unsigned) {
  if (kind == NOTIFY_LOG) g_log += message;
  if (kind == NOTIFY_BOX) g_boxes.push_back(message);
  return g_answer;
}

inline void put(const fs::path& p, const std::string& s) {
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f << s;
}

inline std::string get(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

inline FileTime written(const fs::path& p) {
  FileFindData fd = {};
  EXPECT_TRUE(file_find_data(p.string().c_str(), &fd)) << p;
  return fd.written;
}

// Whether a temporary file of an atomic write was left behind.
inline bool leftovers(const fs::path& dir) {
  for (auto& p : fs::recursive_directory_iterator(dir))
    if (install_is_temporary(p.path().filename().string().c_str())) return true;
  return false;
}

// Appends a stored (uncompressed) entry and fixes the total in the header.
inline void append_entry(Bytes* pak, const std::string& name, const std::string& data) {
  std::string head = "\r\nFNAME: " + name + "\r\nDATE: 29 May 2018 08:14:07 +0900\r\nSIZE: " +
                     std::to_string(data.size()) + "\r\n";
  uint32_t h = (uint32_t)head.size();
  for (int k = 0; k < 4; ++k) pak->push_back((uint8_t)(h >> 8 * k));
  pak->insert(pak->end(), head.begin(), head.end());
  pak->insert(pak->end(), data.begin(), data.end());
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", (unsigned)pak->size());
  std::memcpy(pak->data() + 9, hex, 8);
}

// The entries of a package: name -> (decoded bytes, time). Dictionaries keep their stored bytes.
struct Entry {
  std::string bytes;
  FileTime time;
};
inline bool collect(void* ctx, const PakEntry* e) {
  size_t n = 0;
  uint8_t* d = pak_entry_data(e, &n);
  (*(std::map<std::string, Entry>*)ctx)[e->name] = {std::string((const char*)d, n), e->time};
  std::free(d);
  return true;
}

class EngineTest : public ::testing::Test {
 protected:
  fs::path root, src, exe, dest;
  Bytes pak;
  PakBlock block = {};
  std::map<std::string, Entry> entries;
  Text* rec = nullptr;

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root = fs::temp_directory_path() / ("zqeng_" + std::string(info->name()));
    fs::remove_all(root);
    src = root / "src";
    exe = root / "exe";
    dest = root / "inst";
    g_log.clear();
    g_boxes.clear();
    g_answer = NOTIFY_YES;
    notify_set_sink(capture);
    build_package();
    rec = text_new();
    setup_set_text(rec, ID("EXE"), dest.string().c_str());
    setup_set_text(rec, ID("ICON"), "ZQ Test Shortcut");
    setup_set(rec, ID("NEW"), 1);
  }
  void TearDown() override {
    text_free(rec);
    notify_set_sink(nullptr);
    path_set_program_path(nullptr);
    // The previous-folder record that an installation writes (run under Wine, these tests use
    // the prefix's registry too).
    reg_delete_key(REG_USER, SETUP_HIST_KEY);
    reg_delete_key(REG_USER, "Software\\VODudeduva");
    std::error_code ec;
    for (auto& p : fs::recursive_directory_iterator(root, ec))
      fs::permissions(p.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
  }

  void build_package() {
    put(exe / "zqeditor.exe", std::string(3000, 'E') + "editor");
    put(exe / "zq9utl.exe", "setup program");
    const char* names =
        "zq9.txt cmd9.txt zq9s.mnu filer.key ZOdo64.dll cont9tr.txt ime9.mnu board9.mnu fopen.mnu "
        "dic1.ime dic2.ime dic3.ime webto.txt tfiler.txt.pdf filer7.mnu sample.htm sample.tex "
        "roma.tsv hc01.bmp text.h text64.ph spell.dic soundp.h winqmc.ph winx.ph winceqmc.ph "
        "winxce.ph wininet.ph winapi.txt mailer.txz qmac8.txt.pdf txtool.c txmacro.c txcust.c "
        "txcalc.c txiface.c txproof.c txtag.c txspeak.c txlib.c txwebto.c txfiler.c txndic.c "
        "txzq5.c txzq7.c txclib.c txboard.c txtex.c txbib.c txhtml.c txgrep.c txicon.c txcard.c "
        "txedit.c txplugin.c txdos.c text.rc";
    for (const char* p = names; *p;) {
      std::string n(p, std::strcspn(p, " "));
      put(src / n, "contents of " + n + "\r\n");
      p += n.size() + (p[n.size()] == ' ');
    }
    put(src / "uninst.bat", "zqsetup.exe -uninst\r\n");
    std::string s = src.string() + "\\", e = exe.string() + "\\", o = (root / "t.pak").string();
    PakBuildPaths paths = {s.c_str(), e.c_str(), s.c_str(), o.c_str(), 0};
    ASSERT_TRUE(pak_build(0, &paths)) << g_log;
    std::string bytes = get(o);
    pak.assign(bytes.begin(), bytes.end());
    append_entry(&pak, "editor.txz", "editor help");
    append_entry(&pak, "pic.png", "\x89PNG picture");
    ASSERT_TRUE(pak_block(pak.data(), pak.size(), &block));
    ASSERT_EQ(pak_walk(&block, collect, &entries), PAK_END);
    g_log.clear();
  }

  // Reads a settings record's integer key (-1 when absent).
  static int key_of(const fs::path& file, const char* key) {
    Text* t = text_new();
    text_load(t, file.string().c_str(), TL_READ_ONLY_CONTENTS);
    int v = -1;
    if (!header_get(t, ID(key), HK_ID | HV_INT, &v)) v = -1;
    text_free(t);
    return v;
  }
};

}  // namespace engine_test

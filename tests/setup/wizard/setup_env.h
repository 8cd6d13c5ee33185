#pragma once
// A set-up environment in a temporary folder: a program-files folder, an application-data folder
// and a logon user, and the record built on them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/text.h"
#include "setup/setup_record.h"

namespace fs = std::filesystem;

// A Text's contents with its CR LF line ends read as LF.
inline std::string lf(Text* t) {
  std::string s = t ? text_cstr(t) : "";
  std::string out;
  for (size_t k = 0; k < s.size(); ++k)
    if (!(s[k] == '\r' && k + 1 < s.size() && s[k + 1] == '\n')) out += s[k];
  return out;
}

class SetupTest : public ::testing::Test {
 protected:
  fs::path root;
  std::string pf, ad, settings = "/home/taro/.zq";
  SetupEnv env{};
  Text* rec = nullptr;

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root = fs::temp_directory_path() /
           (std::string("zqsetup_") + info->test_suite_name() + "_" + info->name());
    fs::remove_all(root);
    fs::create_directories(root / "pf");
    fs::create_directories(root / "ad");
    pf = (root / "pf").string();
    ad = (root / "ad").string();
    env = {pf.c_str(), ad.c_str(), "taro", settings.c_str()};
  }
  void TearDown() override {
    text_free(rec);
    fs::remove_all(root);
  }
  std::string get(PackedId key) {
    Text* t = setup_get_text(rec, key);
    std::string s = text_cstr(t);
    text_free(t);
    return s;
  }
  std::string folder() {
    Text* t = setup_folder(rec);
    std::string s = text_cstr(t);
    text_free(t);
    return s;
  }
  // Native paths come back with the system's separator after a join.
  static std::string slashes(std::string s) {
    for (char& c : s)
      if (c == '\\') c = '/';
    return s;
  }
  static void put(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
  }
};

// The product's registry code under Wine, against the prefix's real registry: values written from
// internal (Shift-JIS) text read back as UTF-16 through the system's API and back again, numbers,
// single-key deletion, subkey lists, and the system's reasons for failures.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/format.h"
#include "setup/registry.h"
#include "setup/shell.h"

namespace {

const char kKey[] = "Software\\VODudeduva\\ZQ9Test";
const wchar_t kWideKey[] = L"Software\\VODudeduva\\ZQ9Test";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kWideKey); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kWideKey); }
};

TEST_F(Registry, ValuesCrossTheBorderBothWays) {
  EXPECT_EQ(GetACP(), 932u);
  Text* folder = format_text("C:\\Program Files\\ZQ9\\日本語フォルダ");
  ASSERT_EQ(reg_set_string(REG_USER, kKey, "folder", text_cstr(folder)), 0u);
  ASSERT_EQ(reg_set_dword(REG_USER, kKey, "EstimatedSize", 30030), 0u);
  wchar_t buf[MAX_PATH] = {};
  DWORD size = sizeof buf, number = 0;
  RegGetValueW(HKEY_CURRENT_USER, kWideKey, L"folder", RRF_RT_REG_SZ, nullptr, buf, &size);
  EXPECT_EQ(std::wstring(buf),
            L"C:\\Program Files\\ZQ9\\\u65e5\u672c\u8a9e\u30d5\u30a9\u30eb\u30c0");
  size = sizeof number;
  RegGetValueW(HKEY_CURRENT_USER, kWideKey, L"EstimatedSize", RRF_RT_REG_DWORD, nullptr, &number,
               &size);
  EXPECT_EQ(number, 30030u);
  char* back = reg_get_string(REG_USER, kKey, "folder");
  EXPECT_STREQ(back, text_cstr(folder));
  std::free(back);
  text_free(folder);
  uint32_t error = 0;
  // A number is not a string, and a missing key is reported with the system's reason.
  EXPECT_EQ(reg_get_string(REG_USER, kKey, "EstimatedSize", &error), nullptr);
  EXPECT_NE(error, 0u);
  EXPECT_EQ(reg_get_string(REG_USER, "Software\\VODudeduva\\NoSuchKey", "x", &error), nullptr);
  EXPECT_EQ(error, (uint32_t)ERROR_FILE_NOT_FOUND);
  Text* why = os_error_text(error);
  EXPECT_GT(text_length(why), 0);
  text_free(why);
}

TEST_F(Registry, KeysDeletedOneAtATimeAndListed) {
  std::string a = std::string(kKey) + "\\a", b = std::string(kKey) + "\\b", deeper = b + "\\deeper";
  ASSERT_EQ(reg_set_string(REG_USER, a.c_str(), nullptr, "x"), 0u);
  ASSERT_EQ(reg_set_string(REG_USER, deeper.c_str(), nullptr, "y"), 0u);
  std::vector<std::string> names;
  auto visit = [](void* ctx, const char* n) {
    ((std::vector<std::string>*)ctx)->push_back(n);
    return true;
  };
  EXPECT_EQ(reg_each_subkey(REG_USER, kKey, visit, &names), 2);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
  // A key with subkeys stays; its leaves go first.
  EXPECT_NE(reg_delete_key(REG_USER, b.c_str()), 0u);
  EXPECT_EQ(reg_delete_key(REG_USER, deeper.c_str()), 0u);
  EXPECT_EQ(reg_delete_key(REG_USER, b.c_str()), 0u);
  EXPECT_FALSE(reg_key_exists(REG_USER, b.c_str()));
  EXPECT_TRUE(reg_key_exists(REG_USER, a.c_str()));
}

}  // namespace

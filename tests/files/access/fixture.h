#pragma once
// Helpers of the file-layer tests: a scratch folder of their own, files written and read back as
// byte strings, and a sink that keeps the status-line and box messages.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/text.h"
#include "files/file.h"
#include "files/file_fault.h"
#include "files/path.h"
#include "ui/notify.h"

namespace files_test {

inline std::string str(Text* t) {
  if (!t) return "<null>";
  const char* s = text_cstr(t);
  return std::string(s, (size_t)text_length(t));
}

inline Text* text_of(const std::string& s) {
  Text* t = text_new();
  if (!s.empty()) text_insert(t, s.data(), TI_RAW, (int64_t)s.size());
  return t;
}

inline std::u16string wide(const std::string& internal) {
  char16_t* w = to_wide_new(internal.c_str(), -1);
  std::u16string r = w ? std::u16string(w) : std::u16string();
  std::free(w);
  return r;
}

inline std::u16string resolved(const char* path) {
  char16_t* w = path_resolve(path);
  std::u16string r = w ? std::u16string(w) : u"<null>";
  std::free(w);
  return r;
}

inline bool write_file(const std::string& path, const std::string& bytes) {
  FileHandle h = file_create_ex(path.c_str(), FSYS_WRITE, 0, 0, true);
  if (h == FILE_INVALID) return false;
  bool ok = file_write(h, bytes.data(), (int64_t)bytes.size()) == (int64_t)bytes.size();
  file_close(h);
  return ok;
}

inline std::string read_file(const std::string& path) {
  FileHandle h = file_open_read(path.c_str(), FSYS_READ, FSYS_SHARE_READ | FSYS_SHARE_WRITE, 0);
  if (h == FILE_INVALID) return "<missing>";
  std::string s((size_t)file_size(h), '\0');
  if (!s.empty() && file_read(h, s.data(), (int64_t)s.size()) != (int64_t)s.size()) s = "<short>";
  file_close(h);
  return s;
}

inline std::vector<std::string> list_folder(const std::string& folder) {
  std::vector<std::string> names;
  FileFindData d;
  FindHandle f = file_find_first((folder + "\\*").c_str(), &d);
  for (bool more = f != FIND_INVALID; more; more = file_find_next(f, &d))
    if (std::strcmp(d.name, ".") != 0 && std::strcmp(d.name, "..") != 0) names.push_back(d.name);
  file_find_close(f);
  return names;
}

inline void remove_tree(const std::string& path) {
  if (file_is_link(path.c_str())) {
    return;  // a test removes its links itself: a removal here could reach what they point to
  } else if (file_is_folder(path.c_str())) {
    for (const std::string& n : list_folder(path)) remove_tree(path + "\\" + n);
    folder_remove(path.c_str());
  } else {
    file_set_attributes(path.c_str(), FSYS_ATTR_NORMAL);
    file_delete(path.c_str());
  }
}

// Messages shown while a test runs.
struct Messages {
  static std::vector<std::string>& status() {
    static std::vector<std::string> v;
    return v;
  }
  static std::vector<std::string>& boxes() {
    static std::vector<std::string> v;
    return v;
  }
  static int& answer() {
    static int a = NOTIFY_YES;
    return a;
  }
  static int sink(NotifyKind kind, const char* message, unsigned) {
    (kind == NOTIFY_BOX ? boxes() : status()).push_back(message ? message : "");
    return answer();
  }
};

// A scratch folder in the system's temporary folder, removed afterwards; messages are captured.
class FilesTest : public ::testing::Test {
 protected:
  std::string dir;  // internal path, without a trailing separator

  void SetUp() override {
    char_class_init();
    Text* t = temp_file_name(nullptr);
    ASSERT_NE(t, nullptr);
    dir = str(t) + ".d";
    file_delete(t);
    text_free(t);
    ASSERT_TRUE(folder_create(dir.c_str(), nullptr));
    Messages::status().clear();
    Messages::boxes().clear();
    Messages::answer() = NOTIFY_YES;
    notify_set_sink(Messages::sink);
    open_handles = file_open_count();
  }
  void TearDown() override {
    notify_set_sink(nullptr);
    file_fail_write_after(-1);
    remove_tree(dir);
    EXPECT_FALSE(file_find_data(dir.c_str(), nullptr));
  }
  std::string at(const std::string& name) const { return dir + "\\" + name; }
  int open_handles = 0;
};

}  // namespace files_test

// The path algebra: tables of inputs and the paths they must give. "\x95\x5C" is a double-byte
// character whose trail byte is a backslash; it must never be taken for a separator.

#include <gtest/gtest.h>

#include <string>

#include "files/access/fixture.h"

using namespace files_test;

namespace {

#define HYO "\x95\x5C"  // a character whose trail byte is 0x5C
#define SO "\x83\x5C"

std::string joined(const char* base, const char* name) {
  TextOwner t(text_of(base));
  path_join(t, name);
  return str(t);
}

template <class F>
std::string edited(const char* path, F f) {
  TextOwner t(text_of(path));
  f(t.t);
  return str(t);
}

struct Case {
  const char* a;
  const char* b;
  const char* want;
};

TEST(PathJoin, Table) {
  char_class_init();
  const Case cases[] = {
      {"C:\\a\\b.txt", "c.txt", "C:\\a\\c.txt"},
      {"C:\\a\\", "..\\x", "C:\\x"},
      {"C:\\a\\b.txt", "\\y", "C:\\y"},
      {"C:\\a\\b.txt", "/y/z", "C:/y/z"},
      {"\\\\srv\\share\\f.txt", "\\y", "\\y"},
      {"C:\\a\\b.txt", "D:\\z\\w.txt", "D:\\z\\w.txt"},
      {"C:\\a\\b.txt", "zq://q.txt", "zq://q.txt"},
      {"C:\\a\\b.txt", "\\\\srv\\share\\f", "\\\\srv\\share\\f"},
      {"C:\\a\\b\\c.txt", "..\\..\\d.txt", "C:\\d.txt"},
      {"C:\\a\\", "..\\..\\..\\x", "C:\\x"},
      {"C:\\a\\b.txt", "sub/./c.txt", "C:\\a\\sub/c.txt"},
      {"zq://dir/f.txt", "../g.txt", "zq://g.txt"},
      {"zq://f.txt", "../../g.txt", "zq://g.txt"},
      {"\\\\srv\\share\\f.txt", "..\\..\\x", "\\\\srv\\x"},
      {"/home/u/a.txt", "/etc/x", "/etc/x"},
      {"/home/u/a.txt", "../b", "/home/b"},
      {"rel\\a.txt", "..\\b", "b"},
      {"C:\\" HYO "\\a.txt", "b.txt", "C:\\" HYO "\\b.txt"},
      {"C:\\x" HYO, "b", "C:\\b"},
      {"C:\\" HYO "\\d\\f", "..\\g", "C:\\" HYO "\\g"},
      {"C:\\" SO "\\f", "..\\g", "C:\\g"},
  };
  for (const Case& c : cases) EXPECT_EQ(joined(c.a, c.b), c.want) << c.a << " + " << c.b;
}

TEST(PathJoin, NullNameOnlyDeletesTheFileName) {
  EXPECT_EQ(joined("C:\\a\\b.txt", nullptr), "C:\\a\\");
  EXPECT_EQ(joined("C:\\a\\", nullptr), "C:\\a\\");
  EXPECT_EQ(joined("b.txt", nullptr), "");
}

TEST(PathJoin, DotSlashStartsFromTheCurrentDirectory) {
  TextOwner cd(special_folder(ID("CD")));
  ASSERT_NE(cd.t, nullptr);
  TextOwner want(text_of(str(cd)));
  path_add_separator(want);
  EXPECT_EQ(joined("C:\\a\\b.txt", ".\\c\\d.txt"), str(want) + "c\\d.txt");
  EXPECT_EQ(joined("C:\\a\\b.txt", "./"), str(cd));
}

TEST(PathJoin, NameMayBeTheBaseItself) {
  TextOwner t(text_of("C:\\a\\b.txt"));
  path_join(t, t.t);
  EXPECT_EQ(str(t), "C:\\a\\b.txt");
}

TEST(PathNormalise, Table) {
  const Case cases[] = {
      {"C:\\a\\.\\b", nullptr, "C:\\a\\b"},
      {"C:\\a\\..\\..\\b", nullptr, "C:\\b"},
      {"C:\\..\\b", nullptr, "C:\\b"},
      {"C:\\a\\b\\..", nullptr, "C:\\a\\b\\.."},
      {"a//b", nullptr, "a//b"},
      {"zq://../a", nullptr, "zq://a"},
      {"zq://./a", nullptr, "zq://a"},
      {"C:\\a.\\b", nullptr, "C:\\a.\\b"},
      {"C:\\...\\b", nullptr, "C:\\...\\b"},
      {"C:\\a\\..b\\c", nullptr, "C:\\a\\..b\\c"},
      {"C:/a/x/../b", nullptr, "C:/a/b"},
      {"/a/../../b", nullptr, "/b"},
      {"a\\..\\..\\b", nullptr, "b"},
      {".\\a", nullptr, "a"},
      {"C:\\" HYO "\\..\\a", nullptr, "C:\\a"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(edited(c.a, [](Text* t) { path_normalise(t); }), c.want) << c.a;
}

TEST(PathNormalise, DeepPathsClimbOneLevel) {
  std::string deep = "C:\\", want = "C:\\";
  for (int i = 0; i < 150; ++i) {
    std::string level = std::to_string(i);
    level += '\\';
    deep += level;
    if (i < 149) want += level;
  }
  EXPECT_EQ(edited((deep + "..\\x").c_str(), [](Text* t) { path_normalise(t); }), want + "x");
}

TEST(PathSeparator, AddAndStrip) {
  struct Sep {
    const char* in;
    int flag;
    bool changed;
    const char* out;
  };
  const Sep cases[] = {
      {"C:\\a", 1, true, "C:\\a\\"},        {"C:\\a\\", 1, false, "C:\\a\\"},
      {"C:\\a/", 1, false, "C:\\a/"},       {"C:\\" HYO, 1, true, "C:\\" HYO "\\"},
      {"C:\\a\\", 0, true, "C:\\a"},        {"C:\\a/", 0, true, "C:\\a"},
      {"C:\\a\\\\", 0, false, "C:\\a\\\\"}, {"C:\\", 0, true, "C:"},
      {"C:\\", 2, false, "C:\\"},           {"C:\\a\\", 2, true, "C:\\a"},
      {"C:\\" HYO, 0, false, "C:\\" HYO},   {"", 0, false, ""},
  };
  for (const Sep& c : cases) {
    TextOwner t(text_of(c.in));
    EXPECT_EQ(path_separator(t, c.flag), c.changed) << c.in << " flag " << c.flag;
    EXPECT_EQ(str(t), c.out) << c.in << " flag " << c.flag;
  }
  TextOwner t(text_of("C:\\a"));
  EXPECT_TRUE(path_add_separator(t));
  EXPECT_TRUE(path_strip_separator(t));
  EXPECT_EQ(str(t), "C:\\a");
}

TEST(PathParent, ClimbsToTheDrive) {
  TextOwner t(text_of("C:\\a\\" HYO "\\f.txt"));
  EXPECT_TRUE(path_parent(t));
  EXPECT_EQ(str(t), "C:\\a\\" HYO);
  EXPECT_TRUE(path_parent(t));
  EXPECT_EQ(str(t), "C:\\a");
  EXPECT_TRUE(path_parent(t));
  EXPECT_EQ(str(t), "C:");
  EXPECT_FALSE(path_parent(t));
  EXPECT_EQ(str(t), "C:");
}

TEST(PathRoot, CutsToTheRoot) {
  EXPECT_EQ(edited("C:\\a\\b", [](Text* t) { EXPECT_TRUE(path_root(t)); }), "C:");
  EXPECT_EQ(edited("\\\\srv\\share\\x", [](Text* t) { EXPECT_TRUE(path_root(t)); }), "\\\\srv");
  EXPECT_EQ(edited("\\\\srv", [](Text* t) { EXPECT_TRUE(path_root(t)); }), "\\\\srv");
  TextOwner rel(text_of("a\\b"));
  EXPECT_FALSE(path_root(rel));
#ifdef _WIN32
  // The drive of the Windows folder.
  ASSERT_EQ(str(rel).size(), 2u);
  EXPECT_EQ(str(rel)[1], ':');
#else
  EXPECT_EQ(str(rel), "");  // no drives: the root of the file system
#endif
}

TEST(PathParts, ExtensionAndFileName) {
  const Case ext[] = {
      {"a\\b.c\\d", nullptr, ""},    {"a.b\\c.txt", nullptr, ".txt"}, {"a.tar.gz", nullptr, ".gz"},
      {"dir.d/file", nullptr, ""},   {"C:.x", nullptr, ".x"},         {"a.", nullptr, "."},
      {"x" HYO ".t", nullptr, ".t"}, {"c:x.y:z", nullptr, ""},
  };
  for (const Case& c : ext) EXPECT_STREQ(path_extension(c.a), c.want) << c.a;
  const Case name[] = {
      {"C:\\a\\b.txt", nullptr, "b.txt"},
      {"C:b.txt", nullptr, "b.txt"},
      {"C:\\a\\", nullptr, ""},
      {"a/b", nullptr, "b"},
      {"C:\\" HYO ".txt", nullptr, HYO ".txt"},
      {SO "x", nullptr, SO "x"},
      {SO "\\x", nullptr, "x"},
      {"zq://f", nullptr, "f"},
  };
  for (const Case& c : name) EXPECT_STREQ(path_file_name(c.a), c.want) << c.a;
  // On a Text the cursor goes there too.
  TextOwner t(text_of("C:\\a\\b.txt"));
  EXPECT_STREQ(path_extension(t.t), ".txt");
  EXPECT_EQ(text_tell(t), 6);
  EXPECT_STREQ(path_file_name(t.t), "b.txt");
  EXPECT_EQ(text_tell(t), 5);
  EXPECT_EQ(path_extension(nullptr), nullptr);
}

TEST(PathParts, ExtensionEdits) {
  EXPECT_TRUE(path_has_extension("a.TXT", ".txt"));
  EXPECT_FALSE(path_has_extension("a.txt", ".tx"));
  EXPECT_FALSE(path_has_extension("a.txt", ".txt2"));
  EXPECT_TRUE(path_has_extension("a", nullptr));
  EXPECT_TRUE(path_has_extension("a.b\\c", nullptr));
  EXPECT_FALSE(path_has_extension("a.txt", nullptr));
  EXPECT_EQ(edited("a.txt", [](Text* t) { path_set_extension(t, ".bak"); }), "a.bak");
  EXPECT_EQ(edited("a", [](Text* t) { path_set_extension(t, ".bak"); }), "a.bak");
  EXPECT_EQ(edited("a.b\\c", [](Text* t) { path_set_extension(t, ".d"); }), "a.b\\c.d");
  EXPECT_EQ(edited("a.txt", [](Text* t) { path_set_extension(t, nullptr); }), "a");
  EXPECT_EQ(edited("a.txt", [](Text* t) { path_add_extension(t, ".bak"); }), "a.txt.bak");
  EXPECT_EQ(edited("a", [](Text* t) { path_add_extension(t, ".bak"); }), "a.bak");
  EXPECT_EQ(edited("a.", [](Text* t) { path_add_extension(t, ".bak"); }), "a.bak");
}

TEST(PathParts, Backslashes) {
  EXPECT_EQ(edited("a/b//c/d", path_to_backslashes), "a\\b//c\\d");
  EXPECT_EQ(edited("zq://x/y", path_to_backslashes), "zq://x\\y");
  EXPECT_EQ(edited("C:\\a", path_to_backslashes), "C:\\a");
}

TEST(PathCompare, CaseSeparatorsAndCharacters) {
  EXPECT_EQ(path_compare("C:\\A\\b", "c:/a/B", -1), 0);
  EXPECT_EQ(path_compare("C:\\a", "C:\\b", -1), 1);
  EXPECT_EQ(path_compare("C:\\a", "C:\\a\\", -1), 1);
  EXPECT_EQ(path_compare("C:\\abc", "C:\\abd", 5), 0);
  EXPECT_EQ(path_compare("C:\\abc", "C:\\abd", 6), 1);
  EXPECT_EQ(path_compare(HYO, HYO, -1), 0);
  EXPECT_EQ(path_compare(HYO, "\x95/", -1), 1);            // a trail 0x5C is no separator
  EXPECT_EQ(path_compare("\x83\x41", "\x83\x61", -1), 1);  // trail bytes are not letters
  EXPECT_EQ(path_compare("\x82\x60", "\x82\x81", -1), 1);  // full-width letters keep their case
  TextOwner t(text_of("C:\\X\\y.TXT"));
  EXPECT_EQ(path_compare(t.t, "c:/x/Y.txt", -1), 0);
}

TEST(PathRootLength, Kinds) {
  EXPECT_EQ(path_root_length("C:\\a"), 3);
  EXPECT_EQ(path_root_length("c:/a"), 3);
  EXPECT_EQ(path_root_length("\\\\srv\\share"), 6);
  EXPECT_EQ(path_root_length("zq://a"), 5);
  EXPECT_EQ(path_root_length("zqcfg://"), 8);
  EXPECT_EQ(path_root_length("a\\b"), 0);
  EXPECT_EQ(path_root_length("\\a"), 0);
  EXPECT_EQ(path_root_length("C:a"), 0);
  EXPECT_TRUE(path_is_drive_root("C:\\"));
  EXPECT_TRUE(path_is_drive_root("C:/"));
  EXPECT_FALSE(path_is_drive_root("C:"));
  EXPECT_FALSE(path_is_drive_root("C:\\a"));
  EXPECT_FALSE(path_is_drive_root("1:\\"));
  EXPECT_TRUE(path_is_scheme("zq://x"));
  EXPECT_TRUE(path_is_scheme("ZQCFG://y"));
  EXPECT_TRUE(path_is_scheme("file://z"));
  EXPECT_FALSE(path_is_scheme("zqx://"));
  EXPECT_FALSE(path_is_scheme("C:\\zq://"));
  EXPECT_FALSE(path_is_scheme(nullptr));
}

TEST(PathAlgebra, NullTextsAreIgnored) {
  EXPECT_FALSE(path_join(nullptr, "a"));
  EXPECT_FALSE(path_normalise(nullptr));
  EXPECT_FALSE(path_add_separator(nullptr));
  EXPECT_FALSE(path_parent(nullptr));
  EXPECT_FALSE(path_root(nullptr));
  path_set_extension(nullptr, ".x");
  path_add_extension(nullptr, ".x");
  path_to_backslashes(nullptr);
  EXPECT_EQ(path_file_name(nullptr), nullptr);
}

}  // namespace

// The file wrappers against real files in a scratch folder: handles, searches, classification,
// region moves, temporary copies and text_load with its mode bits.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "core/text_fault.h"
#include "files/access/fixture.h"
#include "files/file_fault.h"
#include "support/links.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

using namespace files_test;

namespace {

std::string pattern_bytes(size_t n, int seed) {
  std::string s(n, '\0');
  uint32_t x = (uint32_t)seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = (char)(x >> 16);
  }
  return s;
}

using FileAccess = FilesTest;

// A search reports a link as the link (a reparse point), on both systems, so that nothing that
// removes files is led into the folder a link points to.
TEST_F(FileAccess, LinksAreReportedAsLinks) {
  namespace fs = std::filesystem;
  ASSERT_TRUE(write_file(at("file.txt"), "twelve bytes"));
  ASSERT_TRUE(folder_create(at("dir").c_str(), nullptr));
  auto sys = [&](const char* name) {
    std::string s = at(name);
    if (fs::path::preferred_separator == '/') std::replace(s.begin(), s.end(), '\\', '/');
    return fs::path(s);
  };
  Links links;
  ASSERT_TRUE(links.make(sys("file.txt"), sys("to_file")));
  ASSERT_TRUE(links.make(sys("dir"), sys("to_dir")));
  ASSERT_TRUE(links.make(sys("gone"), sys("dangling")));
  const struct {
    const char* name;
    uint32_t attributes;  // of FSYS_ATTR_DIRECTORY | FSYS_ATTR_REPARSE_POINT
    uint64_t size;
    bool file_link;
  } rows[] = {{"file.txt", 0, 12, false},
              {"dir", FSYS_ATTR_DIRECTORY, 0, false},
              {"to_file", FSYS_ATTR_REPARSE_POINT, 0, true},
              {"to_dir", FSYS_ATTR_DIRECTORY | FSYS_ATTR_REPARSE_POINT, 0, false},
              {"dangling", FSYS_ATTR_REPARSE_POINT, 0, true}};
  const uint32_t mask = FSYS_ATTR_DIRECTORY | FSYS_ATTR_REPARSE_POINT;
  std::map<std::string, uint32_t> searched;
  FileFindData d;
  FindHandle f = file_find_first(at("*").c_str(), &d);
  for (bool more = f != FIND_INVALID; more; more = file_find_next(f, &d))
    searched[d.name] = d.attributes & mask;
  file_find_close(f);
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    if (r.file_link && !links_to_files_reported()) continue;  // Wine shows the file itself
    EXPECT_EQ(searched[r.name], r.attributes);                // in a search of the folder
    ASSERT_TRUE(file_find_data(at(r.name).c_str(), &d));
    EXPECT_EQ(d.attributes & mask, r.attributes);  // and named alone
    EXPECT_EQ(d.size, r.size);
    EXPECT_EQ(file_is_link(at(r.name).c_str()), (r.attributes & FSYS_ATTR_REPARSE_POINT) != 0);
  }
  // The final path follows the link to the folder itself.
  Text* real = file_final_path(at("to_dir").c_str());
  Text* dir_real = file_final_path(at("dir").c_str());
  ASSERT_NE(real, nullptr);
  EXPECT_EQ(str(real), str(dir_real));
  text_free(real);
  text_free(dir_real);
  EXPECT_EQ(file_final_path(at("dangling").c_str()), nullptr);
  // The links go with the holder; the folder and file they point to stay.
  links.remove();
  EXPECT_TRUE(file_is_folder(at("dir").c_str()));
  EXPECT_EQ(read_file(at("file.txt")), "twelve bytes");
}

TEST_F(FileAccess, HandlesReadWriteSeekAndCount) {
  std::string p = at("a.bin");
  FileHandle h = file_create(p.c_str(), FSYS_READ | FSYS_WRITE, 0, 0);
  ASSERT_NE(h, FILE_INVALID);
  EXPECT_EQ(file_open_count(), open_handles + 1);
  EXPECT_EQ(file_write(h, "hello world", 11), 11);
  EXPECT_EQ(file_size(h), 11);
  EXPECT_EQ(file_seek(h, 6), 6);
  char buf[8] = {};
  EXPECT_EQ(file_read(h, buf, 5), 5);
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(file_seek(h, 5), 5);
  EXPECT_TRUE(file_set_end(h));
  EXPECT_EQ(file_size(h), 5);
  EXPECT_TRUE(file_rewind(h));
  EXPECT_EQ(file_tell(h), 0);
  EXPECT_EQ(file_seek(h, -1), -1);
  FileTime when{133000000000000000ull};  // 2022
  EXPECT_TRUE(file_set_time(h, when));
  FileTime got{};
  EXPECT_TRUE(file_get_time(h, &got));
  EXPECT_EQ(got.ticks / 10000000, when.ticks / 10000000);
  file_close(h);
  file_close(FILE_INVALID);  // ignored, the count stays right
  EXPECT_EQ(file_open_count(), open_handles);
  EXPECT_EQ(read_file(p), "hello");

  // file_create truncates an existing file; an open of a missing one fails without counting.
  h = file_create(p.c_str(), FSYS_WRITE, 0, 0);
  file_close(h);
  EXPECT_EQ(read_file(p), "");
  EXPECT_EQ(file_open_read(at("missing").c_str(), FSYS_READ, 0, 0), FILE_INVALID);
  EXPECT_EQ(file_open_read(nullptr, FSYS_READ, 0, 0), FILE_INVALID);
  EXPECT_EQ(file_open_count(), open_handles);
  EXPECT_EQ(file_create_new(p.c_str(), FSYS_WRITE, 0, 0), FILE_INVALID);
  EXPECT_EQ(file_read(FILE_INVALID, buf, 1), -1);
  EXPECT_EQ(file_size(FILE_INVALID), -1);
}

TEST_F(FileAccess, QueriesAndClassification) {
  ASSERT_TRUE(write_file(at("f.txt"), "x"));
  ASSERT_TRUE(folder_create(at("box.mbx").c_str(), nullptr));
  ASSERT_TRUE(folder_create(at("sub").c_str(), nullptr));
  FileFindData d;
  ASSERT_TRUE(file_find_data(at("f.txt").c_str(), &d));
  EXPECT_STREQ(d.name, "f.txt");
  EXPECT_EQ(d.size, 1u);
  EXPECT_TRUE(file_is_file(at("f.txt").c_str()));
  EXPECT_FALSE(file_is_folder(at("f.txt").c_str()));
  EXPECT_TRUE(file_is_folder(at("sub").c_str()));
  EXPECT_FALSE(file_find_data(at("nope").c_str(), &d));
  EXPECT_FALSE(file_find_data("", &d));

  // A bare drive exists without asking the system.
  std::memset(&d, 0xFF, sizeof d);
  EXPECT_TRUE(file_find_data("Q:", &d));
  EXPECT_EQ(d.attributes, (uint32_t)FSYS_ATTR_DIRECTORY);
  EXPECT_EQ(d.size, 0u);
  EXPECT_TRUE(file_is_folder("Q:"));

  EXPECT_EQ(path_classify(""), ID("FILEN"));
  EXPECT_EQ(path_classify(nullptr), ID("FILEN"));
  EXPECT_EQ(path_classify(at("nope").c_str()), ID("FILEN"));
  EXPECT_EQ(path_classify(at("*.txt").c_str()), ID("MASK"));
  EXPECT_EQ(path_classify(at("f?.txt").c_str()), ID("MASK"));
  EXPECT_EQ(path_classify("Q:\\"), ID("FOLDER"));
  EXPECT_EQ(path_classify(at("f.txt").c_str()), ID("FILE"));
  EXPECT_EQ(path_classify(at("box.mbx").c_str()), ID("MBX"));
  EXPECT_EQ(path_classify(at("sub").c_str()), ID("FOLDER"));
}

TEST_F(FileAccess, SearchesNamesAndFolders) {
  for (const char* n : {"a1.txt", "a2.txt", "b1.txt", "a3.log"}) ASSERT_TRUE(write_file(at(n), n));
  ASSERT_TRUE(folder_create(at("a4.txt").c_str(), nullptr));
  std::vector<std::string> found;
  FileFindData d;
  FindHandle f = file_find_first(at("a?.txt").c_str(), &d);
  ASSERT_NE(f, FIND_INVALID);
  for (bool more = true; more; more = file_find_next(f, &d)) found.push_back(d.name);
  file_find_close(f);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"a1.txt", "a2.txt", "a4.txt"}));
  EXPECT_EQ(file_find_first(at("z*").c_str(), &d), FIND_INVALID);
  EXPECT_EQ(file_find_first(nullptr, &d), FIND_INVALID);

  EXPECT_TRUE(file_copy(at("a1.txt").c_str(), at("c.txt").c_str(), false));
  EXPECT_EQ(read_file(at("c.txt")), "a1.txt");
  EXPECT_FALSE(file_copy(at("a2.txt").c_str(), at("c.txt").c_str(), true));
  EXPECT_EQ(read_file(at("c.txt")), "a1.txt");
  EXPECT_TRUE(file_copy(at("a2.txt").c_str(), at("c.txt").c_str(), false));
  EXPECT_EQ(read_file(at("c.txt")), "a2.txt");
  EXPECT_FALSE(file_copy(at("nope").c_str(), at("d.txt").c_str(), false));
  EXPECT_FALSE(file_find_data(at("d.txt").c_str(), nullptr));

  EXPECT_TRUE(file_delete(at("c.txt").c_str()));
  EXPECT_FALSE(file_delete(at("c.txt").c_str()));
  EXPECT_FALSE(folder_create(at("x\\y").c_str(), nullptr));
  EXPECT_TRUE(folder_create_all(at("x\\y\\z").c_str()));
  EXPECT_TRUE(file_is_folder(at("x\\y\\z").c_str()));
  EXPECT_TRUE(folder_create_all(at("x\\y\\z\\").c_str()));
  EXPECT_FALSE(folder_remove(at("x\\y").c_str()));  // not empty
  EXPECT_TRUE(folder_remove(at("x\\y\\z").c_str()));

  EXPECT_TRUE(file_set_attributes(at("a1.txt").c_str(), FSYS_ATTR_READONLY));
  ASSERT_TRUE(file_find_data(at("a1.txt").c_str(), &d));
  EXPECT_TRUE(d.attributes & FSYS_ATTR_READONLY);
  EXPECT_TRUE(file_set_attributes(at("a1.txt").c_str(), FSYS_ATTR_NORMAL));
  ASSERT_TRUE(file_find_data(at("a1.txt").c_str(), &d));
  EXPECT_FALSE(d.attributes & FSYS_ATTR_READONLY);
}

TEST_F(FileAccess, MultibyteNamesRoundTrip) {
  std::string name = at("\x95\x5C\x83\x5C.txt");  // two characters with 0x5C trail bytes
  ASSERT_TRUE(write_file(name, "mb"));
  auto names = list_folder(dir);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], "\x95\x5C\x83\x5C.txt");
  EXPECT_EQ(read_file(name), "mb");
}

// Region moves: the file must equal the same edit made on a string.
void check_insert(FileHandle h, std::string& model, int64_t p, int64_t n) {
  ASSERT_EQ(file_seek(h, p), p);
  ASSERT_TRUE(file_insert_space(h, n));
  EXPECT_EQ(file_tell(h), p);
  std::string tail = model.substr((size_t)p);
  model.resize((size_t)(p + n));
  // The opened bytes keep whatever was there; overwrite them to compare the rest.
  std::string fill((size_t)n, '#');
  ASSERT_EQ(file_write(h, fill.data(), n), n);
  model.replace((size_t)p, (size_t)n, fill);
  model += tail;
}

TEST_F(FileAccess, InsertSpaceAndRemoveBytesMatchAStringModel) {
  std::string model = pattern_bytes(3 * 1024 * 1024 + 123, 1);
  std::string p = at("r.bin");
  ASSERT_TRUE(write_file(p, model));
  FileHandle h = file_open_read(p.c_str(), FSYS_READ | FSYS_WRITE, 0, 0);
  ASSERT_NE(h, FILE_INVALID);
  check_insert(h, model, 10, 7);
  check_insert(h, model, 0, 1);
  check_insert(h, model, (int64_t)model.size(), 5);  // at the end
  check_insert(h, model, 1500000, 2 * 1024 * 1024 + 3);
  struct Cut {
    int64_t p, n;
  };
  for (Cut c : {Cut{3, 4}, Cut{0, 1}, Cut{100, 200000}, Cut{2000000, 0}, Cut{999, 1500000}}) {
    ASSERT_EQ(file_seek(h, c.p), c.p);
    ASSERT_TRUE(file_remove_bytes(h, c.n));
    EXPECT_EQ(file_tell(h), c.p);
    model.erase((size_t)c.p, (size_t)c.n);
  }
  file_close(h);
  EXPECT_TRUE(read_file(p) == model);
  // Progress went through the status line in whole percents, rising.
  int last = -1, shown = 0;
  for (const std::string& m : Messages::status()) {
    int v = -1;
    char pct = 0;
    if (std::sscanf(m.c_str(), "%d%c", &v, &pct) == 2 && pct == '%') {
      if (v == 0) last = -1;
      EXPECT_GT(v, last);
      EXPECT_LT(v, 100);
      last = v;
      ++shown;
    }
  }
  EXPECT_GE(shown, 3);
}

TEST_F(FileAccess, RemoveBeyondTheEndTruncatesAtThePosition) {
  std::string p = at("t.bin");
  ASSERT_TRUE(write_file(p, "0123456789"));
  FileHandle h = file_open_read(p.c_str(), FSYS_READ | FSYS_WRITE, 0, 0);
  ASSERT_EQ(file_seek(h, 4), 4);
  EXPECT_TRUE(file_remove_bytes(h, 100));
  EXPECT_EQ(file_tell(h), 4);
  EXPECT_EQ(file_size(h), 4);
  EXPECT_TRUE(file_insert_space(h, 0));
  EXPECT_EQ(file_size(h), 4);
  EXPECT_FALSE(file_insert_space(FILE_INVALID, 3));
  EXPECT_FALSE(file_remove_bytes(FILE_INVALID, 3));
  file_close(h);
  EXPECT_EQ(read_file(p), "0123");
}

TEST_F(FileAccess, RegionMoveOnAReadOnlyHandleFailsAndChangesNothing) {
  std::string p = at("ro.bin");
  ASSERT_TRUE(write_file(p, "0123456789"));
  FileHandle h = file_open_read(p.c_str(), FSYS_READ, FSYS_SHARE_READ, 0);
  ASSERT_EQ(file_seek(h, 3), 3);
  EXPECT_FALSE(file_insert_space(h, 4));
  EXPECT_EQ(file_tell(h), 3);
  EXPECT_FALSE(file_remove_bytes(h, 4));
  EXPECT_EQ(file_tell(h), 3);
  file_close(h);
  EXPECT_EQ(read_file(p), "0123456789");
}

#ifndef _WIN32
// Offsets beyond 4 GiB: a sparse file, with the region to move near its end.
TEST_F(FileAccess, RegionMoveBeyondFourGiB) {
  std::string p = at("big.bin");
  FileHandle h = file_create(p.c_str(), FSYS_READ | FSYS_WRITE, 0, 0);
  ASSERT_NE(h, FILE_INVALID);
  const int64_t base = (int64_t)4 << 30;  // 4 GiB
  const int64_t at_pos = base + 512 * 1024 * 1024LL;
  std::string tail = pattern_bytes(3 * 1024 * 1024 + 17, 7);
  ASSERT_EQ(file_seek(h, at_pos), at_pos);
  ASSERT_EQ(file_write(h, tail.data(), (int64_t)tail.size()), (int64_t)tail.size());
  const int64_t end = at_pos + (int64_t)tail.size();
  ASSERT_EQ(file_size(h), end);

  ASSERT_EQ(file_seek(h, at_pos + 5), at_pos + 5);
  ASSERT_TRUE(file_insert_space(h, 10));
  EXPECT_EQ(file_tell(h), at_pos + 5);
  EXPECT_EQ(file_size(h), end + 10);
  std::string back(tail.size() - 5, '\0');
  ASSERT_EQ(file_seek(h, at_pos + 15), at_pos + 15);
  ASSERT_EQ(file_read(h, back.data(), (int64_t)back.size()), (int64_t)back.size());
  EXPECT_TRUE(back == tail.substr(5));

  ASSERT_EQ(file_seek(h, at_pos + 5), at_pos + 5);
  ASSERT_TRUE(file_remove_bytes(h, 10));
  EXPECT_EQ(file_size(h), end);
  std::string again(tail.size(), '\0');
  ASSERT_EQ(file_seek(h, at_pos), at_pos);
  ASSERT_EQ(file_read(h, again.data(), (int64_t)again.size()), (int64_t)again.size());
  EXPECT_TRUE(again == tail);
  file_close(h);
}
#endif

TEST_F(FileAccess, TemporaryNamesAndCopies) {
  TextOwner t(temp_file_name(nullptr));
  ASSERT_NE(t.t, nullptr);
  EXPECT_TRUE(file_is_file(t.t));
  EXPECT_STREQ(path_file_name(str(t).c_str()), path_file_name(t.t));
  EXPECT_EQ(std::string(path_file_name(t.t)).substr(0, 3), "txo");
  file_delete(t.t);

  ASSERT_TRUE(temp_copy_write(at("docs\\report.csv").c_str(), "a,b\n", 4));
  TextOwner found(temp_copy_find("other\\REPORT.csv"));
  ASSERT_NE(found.t, nullptr);
  EXPECT_TRUE(path_has_extension(found.t, ".csv"));
  EXPECT_EQ(read_file(str(found)), "a,b\n");
  EXPECT_EQ(temp_copy_find("report.txt"), nullptr);
  temp_copy_cleanup();
  EXPECT_FALSE(file_find_data(found.t, nullptr));
  EXPECT_EQ(temp_copy_find("report.csv"), nullptr);
}

TEST_F(FileAccess, FailedTemporaryCopyRecordsNothing) {
  file_fail_write_after(0);
  EXPECT_FALSE(temp_copy_write("x.dat", "abc", 3));
  EXPECT_EQ(temp_copy_find("x.dat"), nullptr);
  temp_copy_cleanup();
}

// ---- text_load ----

using TextLoad = FilesTest;

TEST_F(TextLoad, GapBehindOrAfterTheContents) {
  std::string p = at("a.txt");
  ASSERT_TRUE(write_file(p, "line1\r\nline2"));
  TextOwner t;
  ASSERT_TRUE(text_load(t, p.c_str(), 0));
  EXPECT_EQ(t.t->gap_start, 0);
  EXPECT_EQ(t.t->gap_end, 8192);
  EXPECT_EQ(text_tell(t), 0);
  EXPECT_EQ(str(t), "line1\r\nline2");
  EXPECT_STREQ(t.t->file_name, p.c_str());
  EXPECT_EQ(t.t->file_handle, nullptr);  // lock level 0 keeps no handle
  EXPECT_FALSE(t.t->flags & TX_MODIFIED);
  EXPECT_EQ(file_open_count(), open_handles);

  TextOwner u;
  u.t->initial_increment = 100;
  ASSERT_TRUE(text_load(u, p.c_str(), TL_AT_START));
  EXPECT_EQ(u.t->gap_start, 12);
  EXPECT_EQ(u.t->gap_end, 112);
  EXPECT_EQ(u.t->buffer[u.t->capacity], 0);
  EXPECT_EQ(str(u), "line1\r\nline2");

  // Loading again replaces the contents; an empty file leaves a buffer of 250 bytes.
  ASSERT_TRUE(write_file(p, ""));
  ASSERT_TRUE(text_load(u, p.c_str(), 0));
  EXPECT_EQ(str(u), "");
  EXPECT_EQ(u.t->capacity, 250);
}

TEST_F(TextLoad, NoMemoryForTheContentsFailsCleanly) {
  std::string p = at("m.txt");
  ASSERT_TRUE(write_file(p, "some contents"));
  TextOwner t;
  text_fail_alloc_after(0);
  EXPECT_FALSE(text_load(t, p.c_str(), 1));
  text_fail_alloc_after(-1);
  EXPECT_EQ(str(t), "");
  EXPECT_EQ(t.t->file_handle, nullptr);
  EXPECT_EQ(file_open_count(), open_handles);
  EXPECT_TRUE(text_load(t, p.c_str(), 0));
  EXPECT_EQ(str(t), "some contents");
}

TEST_F(TextLoad, LockLevelsKeepTheHandle) {
  std::string p = at("l.txt");
  ASSERT_TRUE(write_file(p, "abc"));
  {
    TextOwner t;
    ASSERT_TRUE(text_load(t, p.c_str(), 1));
    EXPECT_NE(t.t->file_handle, nullptr);
    EXPECT_EQ(text_file(t)->lock, 1);
    EXPECT_EQ(file_open_count(), open_handles + 1);
#ifdef _WIN32
    // Deny writing: nobody else may write, readers may.
    EXPECT_EQ(file_open_read(p.c_str(), FSYS_WRITE, FSYS_SHARE_READ | FSYS_SHARE_WRITE, 0),
              FILE_INVALID);
    FileHandle r = file_open_read(p.c_str(), FSYS_READ, FSYS_SHARE_READ | FSYS_SHARE_WRITE, 0);
    EXPECT_NE(r, FILE_INVALID);
    file_close(r);
#endif
  }
  EXPECT_EQ(file_open_count(), open_handles);  // released with the Text
}

TEST_F(TextLoad, MissingFilesAreBoundAsNew) {
  std::string p = at("new.txt");
  TextOwner t(text_of("old"));
  ASSERT_TRUE(text_load(t, p.c_str(), 0));
  EXPECT_EQ(str(t), "");
  EXPECT_STREQ(t.t->file_name, p.c_str());
  EXPECT_TRUE(text_file(t)->flags & TF_NEW);
  EXPECT_FALSE(file_find_data(p.c_str(), nullptr));

  TextOwner c;
  ASSERT_TRUE(text_load(c, p.c_str(), TL_CREATE | 1));
  EXPECT_TRUE(file_is_file(p.c_str()));
  EXPECT_NE(c.t->file_handle, nullptr);
  EXPECT_FALSE(text_file(c)->flags & TF_NEW);

  TextOwner b;
  ASSERT_TRUE(write_file(at("e.txt"), "exists"));
  ASSERT_TRUE(text_load(b, at("e.txt").c_str(), TL_BIND_ONLY));
  EXPECT_EQ(str(b), "");
  EXPECT_TRUE(text_file(b)->flags & TF_NEW);
  ASSERT_TRUE(text_load(b, at("e.txt").c_str(), TL_BIND_ONLY2));
  EXPECT_EQ(str(b), "");
}

TEST_F(TextLoad, FolderIsNoFile) {
  ASSERT_TRUE(folder_create(at("sub").c_str(), nullptr));
  TextOwner t;
  EXPECT_FALSE(text_load(t, at("sub").c_str(), 0));
  EXPECT_EQ(t.t->file_name, nullptr);
  EXPECT_TRUE(Messages::boxes().empty());
  EXPECT_FALSE(text_load(t, at("sub").c_str(), TL_WARN | TL_CREATE));
  EXPECT_EQ(Messages::boxes().size(), 1u);
  EXPECT_TRUE(file_is_folder(at("sub").c_str()));
}

TEST_F(TextLoad, ContentsOnlyRebindAndTags) {
  ASSERT_TRUE(write_file(at("a.txt"), "text-header: x\r\nbody"));
  ASSERT_TRUE(write_file(at("b.txt"), "plain"));
  TextOwner t;
  ASSERT_TRUE(text_load(t, at("b.txt").c_str(), 0));
  ASSERT_TRUE(text_load(t, at("a.txt").c_str(), TL_READ_ONLY_CONTENTS | TL_TAGS));
  EXPECT_EQ(str(t), "text-header: x\r\nbody");
  EXPECT_STREQ(t.t->file_name, at("b.txt").c_str());  // still bound to the first
  EXPECT_TRUE(text_file(t)->flags & TF_TAGGED);
  EXPECT_FALSE(text_load(t, at("none.txt").c_str(), TL_READ_ONLY_CONTENTS));

  ASSERT_TRUE(text_load(t, at("c.txt").c_str(), TL_REBIND));
  EXPECT_EQ(str(t), "");  // the failed load above emptied it; a rebind reads nothing
  EXPECT_STREQ(t.t->file_name, at("c.txt").c_str());
  ASSERT_TRUE(text_load(t, at("b.txt").c_str(), TL_TAGS));
  EXPECT_FALSE(text_file(t)->flags & TF_TAGGED);
}

TEST_F(TextLoad, RegionOfAFile) {
  ASSERT_TRUE(write_file(at("r.txt"), "0123456789"));
  TextOwner t;
  ASSERT_TRUE(text_set_region(t, 3, 4));
  ASSERT_TRUE(text_load(t, at("r.txt").c_str(), 0));
  EXPECT_EQ(str(t), "3456");
  ASSERT_TRUE(text_set_region(t, 8, 100));
  ASSERT_TRUE(text_load(t, at("r.txt").c_str(), 0));
  EXPECT_EQ(str(t), "89");
  EXPECT_EQ(text_file(t)->region_length, 2);
}

TEST_F(TextLoad, DocumentHandlerTakesTheLoad) {
  static std::vector<PackedId> seen;
  seen.clear();
  TextOwner t;
  t.t->command = [](Text*, PackedId cmd, intptr_t, uint32_t) -> intptr_t {
    seen.push_back(cmd);
    return 1;
  };
  t.t->command_kind = TX_CMD_CALL;
  EXPECT_TRUE(text_load(t, at("x.txt").c_str(), 0));
  EXPECT_EQ(seen, (std::vector<PackedId>{ID("LOAD"), ID("LOADED")}));
  t.t->command = nullptr;
  t.t->command_kind = 0;
}

#ifndef _WIN32
// An entry that exists but cannot be opened as a file (a socket) gives the message with TL_WARN.
TEST_F(TextLoad, UnopenableFileWarnsWithTheMessage) {
  std::string p = at("s.sock");
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string sys = p;  // the system's form of the name
  std::replace(sys.begin(), sys.end(), '\\', '/');
  ASSERT_LT(sys.size(), sizeof addr.sun_path);
  std::memcpy(addr.sun_path, sys.c_str(), sys.size());
  ASSERT_EQ(bind(fd, (sockaddr*)&addr, sizeof addr), 0);
  TextOwner t;
  EXPECT_FALSE(text_load(t, p.c_str(), 0));
  EXPECT_TRUE(Messages::boxes().empty());
  EXPECT_FALSE(text_load(t, p.c_str(), TL_WARN | 2));
  ASSERT_EQ(Messages::boxes().size(), 1u);
  // The formatter writes the line ends of a message as CR LF.
  EXPECT_EQ(Messages::boxes()[0],
            "ファイルを開けません\r\n" + p +
                "\r\n\r\n他のアプリケーションでファイルを開いていないか、ご確認ください。\r\n");
  close(fd);
  unlink(sys.c_str());
  // A FIFO neither blocks the load nor loads.
  std::string fifo = sys + ".fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(text_load(t, (p + ".fifo").c_str(), 0));
  unlink(fifo.c_str());
}
#else
// A file held exclusively elsewhere cannot be opened even without a lock.
TEST_F(TextLoad, LockedFileWarnsWithTheMessage) {
  std::string p = at("held.txt");
  ASSERT_TRUE(write_file(p, "abc"));
  FileHandle other = file_open_read(p.c_str(), FSYS_READ, 0, 0);
  ASSERT_NE(other, FILE_INVALID);
  TextOwner t;
  EXPECT_FALSE(text_load(t, p.c_str(), TL_WARN | 1));
  ASSERT_EQ(Messages::boxes().size(), 1u);
  EXPECT_EQ(Messages::boxes()[0],
            "ファイルを開けません\r\n" + p +
                "\r\n\r\n他のアプリケーションでファイルを開いていないか、ご確認ください。\r\n");
  file_close(other);
}

TEST_F(TextLoad, ReadOnlyDocumentAndLockFallback) {
  std::string p = at("ro.txt");
  ASSERT_TRUE(write_file(p, "abc"));
  // Another reader denies writing: the document cannot be opened for writing.
  FileHandle reader = file_open_read(p.c_str(), FSYS_READ, FSYS_SHARE_READ, 0);
  ASSERT_NE(reader, FILE_INVALID);
  TextOwner t;
  text_file(t)->flags |= TF_DOCUMENT;
  ASSERT_TRUE(text_load(t, p.c_str(), 2));
  file_close(reader);
  EXPECT_TRUE(text_file(t)->flags & TF_READ_ONLY);
  EXPECT_EQ(text_file(t)->lock, 0);
  EXPECT_EQ(str(t), "abc");

  // Someone else writes the file: a lock cannot be had, the load goes on without one.
  std::string q = at("w.txt");
  ASSERT_TRUE(write_file(q, "xyz"));
  FileHandle writer = file_open_read(q.c_str(), FSYS_WRITE, FSYS_SHARE_READ | FSYS_SHARE_WRITE, 0);
  ASSERT_NE(writer, FILE_INVALID);
  TextOwner u;
  ASSERT_TRUE(text_load(u, q.c_str(), 1));
  EXPECT_TRUE(text_file(u)->flags & TF_NO_LOCK);
  EXPECT_EQ(u.t->file_handle, nullptr);
  EXPECT_EQ(str(u), "xyz");
  file_close(writer);
}
#endif

}  // namespace

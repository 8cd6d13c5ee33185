#pragma once
// Real links for the tests that check that nothing follows one: a symbolic link made by the
// system's own call, or under Wine (whose link call makes none) by the Linux side's "ln -s",
// which Wine then reports as a reparse point. The links are removed as links when the holder
// goes, before any folder around them is removed: a removal that followed one would empty its
// target. Point links only at folders of the test's own.

#include <filesystem>
#include <vector>

// The system's own symbolic link (none under Wine); false when it made none.
inline bool system_link(const std::filesystem::path& target, const std::filesystem::path& link) {
  std::error_code ec;
  if (std::filesystem::is_directory(target))
    std::filesystem::create_directory_symlink(target, link, ec);
  else
    std::filesystem::create_symlink(target, link, ec);
  return !ec;
}

// Makes link point at target (a folder or a file); false when no link could be made.
bool make_link(const std::filesystem::path& target, const std::filesystem::path& link);
// Removes the link itself, never what it points to; true when it is gone.
bool remove_link(const std::filesystem::path& link);
// False under Wine, which reports a link to a file as the file itself (a link to a folder is a
// reparse point there as everywhere).
bool links_to_files_reported();

struct Links {
  std::vector<std::filesystem::path> made;
  bool make(const std::filesystem::path& target, const std::filesystem::path& link) {
    if (!make_link(target, link)) return false;
    made.push_back(link);
    return true;
  }
  void remove() {
    for (auto it = made.rbegin(); it != made.rend(); ++it) remove_link(*it);
    made.clear();
  }
  ~Links() { remove(); }
};

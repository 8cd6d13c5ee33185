// Links natively: the system's symbolic links.

#include "support/links.h"

bool make_link(const std::filesystem::path& target, const std::filesystem::path& link) {
  return system_link(target, link);
}

bool remove_link(const std::filesystem::path& link) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(std::filesystem::symlink_status(link, ec))) return false;
  return std::filesystem::remove(link, ec);  // the link, not its target
}

bool links_to_files_reported() {
  return true;
}

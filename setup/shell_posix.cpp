// The native build: no shell links and no windows; error texts from the C library.

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "files/path.h"
#include "setup/registry.h"
#include "setup/shell.h"

uint32_t shell_link_create(const char*, const char*, const char*, int) {
  return ENOSYS;
}

bool product_running(void*) {
  return false;
}

bool shell_start_program(const char*) {
  return false;
}

Text* program_running_in(const char* folder) {
  DIR* d = opendir("/proc");
  if (!d) return nullptr;
  Text* found = nullptr;
  const long self = (long)getpid();
  while (struct dirent* e = readdir(d)) {
    char* end = nullptr;
    long pid = std::strtol(e->d_name, &end, 10);
    if (!end || *end || pid <= 0 || pid == self) continue;
    char link[64], exe[4096];
    std::snprintf(link, sizeof link, "/proc/%ld/exe", pid);
    ssize_t n = readlink(link, exe, sizeof exe - 1);
    if (n <= 0) continue;
    exe[n] = 0;
    if (path_inside(exe, folder, false)) {
      found = format_text("%s", (const char*)exe);
      break;
    }
  }
  closedir(d);
  return found;
}

int os_major_version() {
  return 0;
}

uint32_t os_last_error() {
  return (uint32_t)errno;
}

uint32_t os_access_denied() {
  return EACCES;
}

Text* os_error_text(uint32_t code) {
  if (code == REG_NO_REGISTRY) return format_text("no registry on this system");
  return format_text("%s", (const char*)std::strerror((int)code));
}

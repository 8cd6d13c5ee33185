// The native build: no shell links and no windows; error texts from the C library.

#include <cerrno>
#include <cstring>

#include "core/format.h"
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

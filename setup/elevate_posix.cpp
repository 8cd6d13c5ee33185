// The native build starts no program and has no rights to probe.

#include "setup/elevate.h"

bool elevate_probe(const char*, SetupRights* out) {
  *out = SetupRights{};
  return false;
}

int elevate_start(const char*, const char*, bool* declined) {
  *declined = false;
  return -1;
}

// The native build has no resources: the package comes from "_zq64_.pak" beside the program.

#include "setup/pak_resource.h"

bool pak_resource(const void** bytes, size_t* size) {
  *bytes = nullptr;
  *size = 0;
  return false;
}

// Hostile packages (and PE images carrying one): the walk must stop cleanly, entry data must
// stay inside the package.

#include <cstdlib>

#include "core/ids.h"
#include "setup/pak.h"
#include "setup/pe_resource.h"

namespace {

bool visit(void* ctx, const PakEntry* e) {
  const PakBlock* b = (const PakBlock*)ctx;
  if (e->data < b->bytes || e->data + e->size > b->bytes + b->total) std::abort();
  pak_name_is_safe(e->name);
  PakDestination d[2];
  pak_destinations(e->name, d);
  size_t n = 0;
  uint8_t* data = pak_entry_data(e, &n);
  std::free(data);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool init = (char_class_init(), true);
  (void)init;
  PakBlock b;
  if (pak_block(data, size, &b)) pak_walk(&b, visit, &b);
  const uint8_t* res;
  uint32_t n;
  if (pe_find_resource(data, size, PAK_RT_RCDATA, PAK_RESOURCE_ID, &res, &n)) {
    if (res < data || res + n > data + size) std::abort();
    if (pak_block(res, n, &b)) pak_walk(&b, visit, &b);
  }
  return 0;
}

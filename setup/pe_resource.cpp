// Reads a resource out of a PE file's bytes: DOS header -> PE header -> the resource directory
// (data directory 2) -> type -> id -> first language -> data entry. Offsets in the resource tree
// are relative to the directory; the data entry holds an RVA, mapped through the section table.

#include "setup/pe_resource.h"

#include <cstring>

#include "core/bytes.h"

namespace {

struct Image {
  const uint8_t* p;
  size_t n;
  bool u16(size_t at, uint32_t* v) const {
    if (at > n || n - at < 2) return false;
    *v = le_read16(p + at);
    return true;
  }
  bool u32(size_t at, uint32_t* v) const {
    if (at > n || n - at < 4) return false;
    *v = le_read32(p + at);
    return true;
  }
};

// Maps an RVA to a file offset through the sections; false when no section holds it.
bool rva_to_offset(const Image& im, size_t sections, uint32_t count, uint32_t rva, size_t* out) {
  for (uint32_t k = 0; k < count; ++k) {
    size_t s = sections + (size_t)k * 40;
    uint32_t vsize, va, raw_size, raw;
    if (!im.u32(s + 8, &vsize) || !im.u32(s + 12, &va) || !im.u32(s + 16, &raw_size) ||
        !im.u32(s + 20, &raw))
      return false;
    uint32_t span = vsize > raw_size ? vsize : raw_size;
    if (rva >= va && rva - va < span) {
      uint64_t off = (uint64_t)raw + (rva - va);
      if (rva - va >= raw_size || off >= im.n) return false;  // not backed by the file
      *out = (size_t)off;
      return true;
    }
  }
  return false;
}

// The entry of a resource directory at dir whose id is `id` (any id when id is 0xFFFFFFFF):
// its offset field, or false.
bool find_entry(const Image& im, size_t root, size_t dir, uint32_t id, uint32_t* target) {
  uint32_t named, ids;
  if (!im.u16(dir + 12, &named) || !im.u16(dir + 14, &ids)) return false;
  (void)root;
  for (uint32_t k = 0; k < named + ids; ++k) {
    uint32_t name, off;
    size_t e = dir + 16 + (size_t)k * 8;
    if (!im.u32(e, &name) || !im.u32(e + 4, &off)) return false;
    if (id == 0xFFFFFFFFu || (!(name & 0x80000000u) && name == id)) {
      *target = off;
      return true;
    }
  }
  return false;
}

}  // namespace

bool pe_find_resource(const void* image, size_t size, uint32_t type, uint32_t id,
                      const uint8_t** data, uint32_t* length) {
  Image im = {(const uint8_t*)image, image ? size : 0};
  uint32_t v, pe, sections_n, opt_size, magic;
  if (!im.u16(0, &v) || v != 0x5A4D || !im.u32(0x3C, &pe)) return false;
  if (!im.u32(pe, &v) || v != 0x00004550) return false;
  size_t coff = (size_t)pe + 4;
  if (!im.u16(coff + 2, &sections_n) || !im.u16(coff + 16, &opt_size)) return false;
  size_t opt = coff + 20;
  if (!im.u16(opt, &magic)) return false;
  size_t dirs;
  uint32_t dir_count;
  if (magic == 0x10B) {
    if (!im.u32(opt + 92, &dir_count)) return false;
    dirs = opt + 96;
  } else if (magic == 0x20B) {
    if (!im.u32(opt + 108, &dir_count)) return false;
    dirs = opt + 112;
  } else {
    return false;
  }
  uint32_t res_rva, res_size;
  if (dir_count < 3 || dirs + 24 > opt + opt_size || !im.u32(dirs + 16, &res_rva) ||
      !im.u32(dirs + 20, &res_size) || res_rva == 0)
    return false;
  size_t sections = opt + opt_size;
  size_t root;
  if (!rva_to_offset(im, sections, sections_n, res_rva, &root)) return false;

  // Three levels: type, id, language. Subdirectory offsets have the top bit set.
  uint32_t off;
  if (!find_entry(im, root, root, type, &off) || !(off & 0x80000000u)) return false;
  size_t level2 = root + (off & 0x7FFFFFFFu);
  if (!find_entry(im, root, level2, id, &off) || !(off & 0x80000000u)) return false;
  size_t level3 = root + (off & 0x7FFFFFFFu);
  if (!find_entry(im, root, level3, 0xFFFFFFFFu, &off) || (off & 0x80000000u)) return false;
  size_t entry = root + off;
  uint32_t data_rva, data_size;
  if (!im.u32(entry, &data_rva) || !im.u32(entry + 4, &data_size)) return false;
  size_t at;
  if (!rva_to_offset(im, sections, sections_n, data_rva, &at)) return false;
  if (data_size > im.n - at) return false;
  *data = im.p + at;
  *length = data_size;
  return true;
}

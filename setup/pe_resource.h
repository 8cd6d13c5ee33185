#pragma once
// A portable reader of a resource out of a PE file's bytes (zqtool, tests, the package reader on
// Windows reads its own module through the system instead).

#include <cstddef>
#include <cstdint>

// Finds the resource of the given type and id (first language) in the bytes of a PE file, by its
// headers and resource directory; every offset is checked against the file. False when the
// file is not a PE image or has no such resource.
bool pe_find_resource(const void* image, size_t size, uint32_t type, uint32_t id,
                      const uint8_t** data, uint32_t* length);

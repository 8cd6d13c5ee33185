#pragma once
// Where the running program keeps its package: the resource RCDATA 30030 of its own module
// (Windows), and a portable reader of the same resource out of a PE file's bytes (zqtool, tests).

#include <cstddef>
#include <cstdint>

// The package resource of the running program; false when it has none (always, natively).
bool pak_resource(const void** bytes, size_t* size);

// Finds the resource of the given type and id (first language) in the bytes of a PE file, by its
// headers and resource directory; every offset is checked against the file. False when the
// file is not a PE image or has no such resource.
bool pe_find_resource(const void* image, size_t size, uint32_t type, uint32_t id,
                      const uint8_t** data, uint32_t* length);

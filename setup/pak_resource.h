#pragma once
// Where the running program keeps its package: the resource RCDATA 30030 of its own module
// (Windows; natively there is none). setup/pe_resource.h reads the same resource out of a file.

#include <cstddef>
#include <cstdint>

// The package resource of the running program; false when it has none (always, natively).
bool pak_resource(const void** bytes, size_t* size);

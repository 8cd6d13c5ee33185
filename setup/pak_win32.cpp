// The package as the resource RCDATA 30030 of the program's own module.

#include <windows.h>

#include "setup/pak.h"
#include "setup/pak_resource.h"

bool pak_resource(const void** bytes, size_t* size) {
  *bytes = nullptr;
  *size = 0;
  HRSRC res =
      FindResourceW(nullptr, MAKEINTRESOURCEW(PAK_RESOURCE_ID), MAKEINTRESOURCEW(PAK_RT_RCDATA));
  if (!res) return false;
  HGLOBAL g = LoadResource(nullptr, res);
  const void* p = g ? LockResource(g) : nullptr;
  if (!p) return false;
  *bytes = p;
  *size = SizeofResource(nullptr, res);
  return true;
}

// The native build has no registry: every call reports REG_NO_REGISTRY, so that the portable
// engine runs (files, settings) and the registry steps are skipped as failures.

#include "setup/registry.h"

const char* reg_root_name(RegRoot root) {
  return root == REG_CLASSES ? "HKCR" : root == REG_USER ? "HKCU" : "HKLM";
}
uint32_t reg_set_string(RegRoot, const char*, const char*, const char*) {
  return REG_NO_REGISTRY;
}
uint32_t reg_set_dword(RegRoot, const char*, const char*, uint32_t) {
  return REG_NO_REGISTRY;
}
char* reg_get_string(RegRoot, const char*, const char*, uint32_t* error) {
  if (error) *error = REG_NO_REGISTRY;
  return nullptr;
}
bool reg_key_exists(RegRoot, const char*) {
  return false;
}
uint32_t reg_delete_key(RegRoot, const char*) {
  return REG_NO_REGISTRY;
}
int reg_each_subkey(RegRoot, const char*, RegVisit, void*) {
  return 0;
}

#pragma once
// The registry as the set-up engine uses it: string and number values under the three roots, keys
// created with full access, single keys deleted, subkeys listed. Key paths, names and values are
// internal text; registry_win32.cpp turns them into UTF-16 for the wide API. A null or empty value
// name is the key's default value.
//
// Every call that can fail returns 0 on success or the system's error code (REG_NO_REGISTRY in
// the native build, which has no registry), so that a caller can say which key failed and why.

#include <cstdint>

enum RegRoot : int { REG_CLASSES, REG_USER, REG_MACHINE };

// The native build's answer to every call.
inline constexpr uint32_t REG_NO_REGISTRY = 0xFFFF0001u;

// "HKCR", "HKCU" or "HKLM", for messages.
const char* reg_root_name(RegRoot root);

// Creates the key when missing and writes the value.
uint32_t reg_set_string(RegRoot root, const char* key, const char* name, const char* value);
uint32_t reg_set_dword(RegRoot root, const char* key, const char* name, uint32_t value);
// The string value as a new string (malloc; the caller frees), or null with *error set.
char* reg_get_string(RegRoot root, const char* key, const char* name, uint32_t* error = nullptr);
bool reg_key_exists(RegRoot root, const char* key);
// Deletes the key itself; a key that still has subkeys stays.
uint32_t reg_delete_key(RegRoot root, const char* key);
// Calls visit with the name of each subkey of key (internal text) until it returns false.
// Returns the number visited.
typedef bool (*RegVisit)(void* context, const char* name);
int reg_each_subkey(RegRoot root, const char* key, RegVisit visit, void* context);

// Self-registration under HKEY_CLASSES_ROOT: the nine keys as rows, written by one routine and
// removed as three trees.
#pragma once

#include <cstddef>

#include "platform/windows_api.h"

namespace kestrol::module {

enum class KeyBase { ClassKey, VersionIndependentProgId, VersionedProgId };
enum class KeyText { Description, ModulePath, ClassId, VersionedProgId, VersionIndependentProgId };

struct RegistryEntry {
    KeyBase base;
    const char* subkey;  ///< null: the base key itself
    KeyText value;       ///< written as the key's default value
};

/// What registration writes, in writing order. A row without subkey is the root of a tree
/// that unregistration removes.
extern const RegistryEntry kRegistryEntries[9];

inline constexpr const char* kDescription = "Quorvanix Separator Sizing COM Module";

/// Deeper trees are not removed: the registry itself nests no deeper.
inline constexpr int kMaxKeyDepth = 512;

/// Writes every row; S_OK even when single keys could not be written. SELFREG_E_CLASS when
/// the module's own path is unknown, and the CLSID rendering's failure when that fails: then
/// nothing is written.
HRESULT RegisterServer() noexcept;
/// Removes the three trees; S_OK whatever the deletions did, unless the class identifier
/// could not be rendered, when nothing is touched.
HRESULT UnregisterServer() noexcept;
/// Deletes parent\name with everything below it; ERROR_SUCCESS or the first error met.
LONG DeleteKeyTree(HKEY parent, const char* name) noexcept;

}  // namespace kestrol::module

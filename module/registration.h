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
    const wchar_t* subkey;  ///< null: the base key itself
    KeyText value;       ///< written as the key's default value
};

/// What registration writes, in writing order. A row without subkey is the root of a tree
/// that unregistration removes.
extern const RegistryEntry kRegistryEntries[9];

inline constexpr const wchar_t* kDescription = L"Quorvanix Separator Sizing COM Module";

/// Deeper trees are not removed: the registry itself nests no deeper.
inline constexpr int kMaxKeyDepth = 512;

/// One value a registration writes below HKEY_CLASSES_ROOT.
struct RegistryWrite {
    const wchar_t* path;  ///< the key, created where it is missing
    const wchar_t* name;  ///< the value's name; null: the key's default value
    const wchar_t* text;  ///< written as REG_SZ; null: the key alone
};

/// Writes the rows in order through the wide registry calls. All or nothing: when a key cannot
/// be created or a value cannot be set, the keys this call created are removed (newest first)
/// and the values it overwrote are put back, and the result is SELFREG_E_CLASS.
HRESULT WriteAllOrNothing(const RegistryWrite* rows, std::size_t count) noexcept;

/// Writes every row, all through the wide registry calls so that a module path outside the
/// ANSI code page is registered as it is. All or nothing: when a key cannot be created or a
/// value cannot be set, the keys this call created are removed, the values it overwrote are
/// put back, and the result is SELFREG_E_CLASS, as it is when the module's own path is
/// unknown. When the CLSID cannot be rendered, nothing is written and its failure returned.
HRESULT RegisterServer() noexcept;
/// Removes the three trees; S_OK whatever the deletions did, unless the class identifier
/// could not be rendered, when nothing is touched.
HRESULT UnregisterServer() noexcept;
/// Deletes parent\name with everything below it; ERROR_SUCCESS or the first error met.
LONG DeleteKeyTree(HKEY parent, const wchar_t* name) noexcept;

}  // namespace kestrol::module

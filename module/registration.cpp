#include "module/registration.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "module/module_state.h"
#include "sizing/separator_sizing.h"

namespace kestrol::module {

const RegistryEntry kRegistryEntries[9] = {
    {KeyBase::ClassKey, nullptr, KeyText::Description},
    {KeyBase::ClassKey, "InprocServer32", KeyText::ModulePath},
    {KeyBase::ClassKey, "ProgID", KeyText::VersionedProgId},
    {KeyBase::ClassKey, "VersionIndependentProgID", KeyText::VersionIndependentProgId},
    {KeyBase::VersionIndependentProgId, nullptr, KeyText::Description},
    {KeyBase::VersionIndependentProgId, "CLSID", KeyText::ClassId},
    {KeyBase::VersionIndependentProgId, "CurVer", KeyText::VersionedProgId},
    {KeyBase::VersionedProgId, nullptr, KeyText::Description},
    {KeyBase::VersionedProgId, "CLSID", KeyText::ClassId},
};

namespace {

/// The braced class identifier: 38 characters and the terminator.
constexpr std::size_t kClassIdBytes = 39;
/// The module path buffer [bytes]; a path that fills it may be cut short and is refused.
constexpr DWORD kModulePathBytes = 512;
/// Room for any key path written [bytes]; a longer one is skipped, never cut.
constexpr std::size_t kKeyPathBytes = 1024;
/// Room for one subkey name met while deleting [characters], the registry's own limit.
constexpr DWORD kSubkeyNameChars = 256;
/// Children removed from one key before giving up: far beyond what a registration holds,
/// and it ends the loop should a registry keep answering with a child it cannot lose.
constexpr int kMaxChildrenPerKey = 1 << 16;

struct Texts {
    char classId[kClassIdBytes];
    char classKey[sizeof "CLSID\\" + kClassIdBytes];
    char modulePath[kModulePathBytes];
};

// The braced text of the class identifier in the multibyte character set.
HRESULT RenderClassId(char (&text)[kClassIdBytes]) {
    LPOLESTR wide = nullptr;
    const HRESULT hr = StringFromCLSID(CLSID_SeparatorSizing, &wide);
    if (FAILED(hr)) return hr;
    if (wide == nullptr) return E_FAIL;
    const std::size_t bytes = std::wcstombs(text, wide, kClassIdBytes);
    CoTaskMemFree(wide);
    if (bytes != kClassIdBytes - 1) return E_FAIL;
    return S_OK;
}

HRESULT PrepareClassTexts(Texts& texts) {
    const HRESULT hr = RenderClassId(texts.classId);
    if (FAILED(hr)) return hr;
    const int length = std::snprintf(texts.classKey, sizeof texts.classKey, "CLSID\\%s", texts.classId);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof texts.classKey) return E_FAIL;
    return S_OK;
}

const char* BaseText(KeyBase base, const Texts& texts) {
    switch (base) {
        case KeyBase::ClassKey: return texts.classKey;
        case KeyBase::VersionIndependentProgId: return KESTROL_PROGID;
        case KeyBase::VersionedProgId: return KESTROL_PROGID_VERSIONED;
    }
    return nullptr;
}

const char* ValueText(KeyText value, const Texts& texts) {
    switch (value) {
        case KeyText::Description: return kDescription;
        case KeyText::ModulePath: return texts.modulePath;
        case KeyText::ClassId: return texts.classId;
        case KeyText::VersionedProgId: return KESTROL_PROGID_VERSIONED;
        case KeyText::VersionIndependentProgId: return KESTROL_PROGID;
    }
    return nullptr;
}

// One row: create or open the key, set its default value, close it. A failure skips the row.
void WriteEntry(const char* base, const char* subkey, const char* value) {
    char path[kKeyPathBytes];
    const int length = subkey != nullptr ? std::snprintf(path, sizeof path, "%s\\%s", base, subkey)
                                         : std::snprintf(path, sizeof path, "%s", base);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof path) return;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    if (value != nullptr) {
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(std::strlen(value) + 1));
    }
    RegCloseKey(key);
}

LONG DeleteKeyTreeAt(HKEY parent, const char* name, int depth) {
    if (depth > kMaxKeyDepth) return ERROR_FILENAME_EXCED_RANGE;
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (opened != ERROR_SUCCESS) return opened;
    for (int removed = 0; removed < kMaxChildrenPerKey; ++removed) {
        char child[kSubkeyNameChars];
        DWORD childLength = kSubkeyNameChars;  // the call overwrites it with the name's length
        if (RegEnumKeyExA(key, 0, child, &childLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            RegCloseKey(key);
            return RegDeleteKeyA(parent, name);
        }
        const LONG result = DeleteKeyTreeAt(key, child, depth + 1);
        if (result != ERROR_SUCCESS) {
            RegCloseKey(key);
            return result;
        }
    }
    RegCloseKey(key);
    return ERROR_ACCESS_DENIED;
}

}  // namespace

LONG DeleteKeyTree(HKEY parent, const char* name) noexcept { return DeleteKeyTreeAt(parent, name, 1); }

HRESULT RegisterServer() noexcept {
    Texts texts{};
    const HINSTANCE instance = Instance();
    if (instance == nullptr) return SELFREG_E_CLASS;
    const DWORD pathLength = GetModuleFileNameA(instance, texts.modulePath, kModulePathBytes);
    if (pathLength == 0 || pathLength >= kModulePathBytes) return SELFREG_E_CLASS;
    const HRESULT hr = PrepareClassTexts(texts);
    if (FAILED(hr)) return hr;
    for (const RegistryEntry& entry : kRegistryEntries)
        WriteEntry(BaseText(entry.base, texts), entry.subkey, ValueText(entry.value, texts));
    return S_OK;
}

HRESULT UnregisterServer() noexcept {
    Texts texts{};
    const HRESULT hr = PrepareClassTexts(texts);
    if (FAILED(hr)) return hr;
    for (const RegistryEntry& entry : kRegistryEntries)
        if (entry.subkey == nullptr) DeleteKeyTree(HKEY_CLASSES_ROOT, BaseText(entry.base, texts));
    return S_OK;
}

}  // namespace kestrol::module

#include "module/registration.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "module/module_state.h"
#include "sizing/separator_sizing.h"

namespace kestrol::module {

const RegistryEntry kRegistryEntries[9] = {
    {KeyBase::ClassKey, nullptr, KeyText::Description},
    {KeyBase::ClassKey, L"InprocServer32", KeyText::ModulePath},
    {KeyBase::ClassKey, L"ProgID", KeyText::VersionedProgId},
    {KeyBase::ClassKey, L"VersionIndependentProgID", KeyText::VersionIndependentProgId},
    {KeyBase::VersionIndependentProgId, nullptr, KeyText::Description},
    {KeyBase::VersionIndependentProgId, L"CLSID", KeyText::ClassId},
    {KeyBase::VersionIndependentProgId, L"CurVer", KeyText::VersionedProgId},
    {KeyBase::VersionedProgId, nullptr, KeyText::Description},
    {KeyBase::VersionedProgId, L"CLSID", KeyText::ClassId},
};

namespace {

constexpr std::size_t kEntryCount = sizeof kRegistryEntries / sizeof kRegistryEntries[0];
const wchar_t* const kProgId = L"" KESTROL_PROGID;
const wchar_t* const kProgIdVersioned = L"" KESTROL_PROGID_VERSIONED;

/// The braced class identifier: 38 characters and the terminator.
constexpr std::size_t kClassIdChars = 39;
/// The module path buffer [characters]; a path that fills it may be cut short and is refused.
constexpr DWORD kModulePathChars = 512;
/// Room for any key path written [characters]; a longer one fails the registration, never cut.
constexpr std::size_t kKeyPathChars = 1024;
/// Room for one subkey name met while deleting [characters], the registry's own limit.
constexpr DWORD kSubkeyNameChars = 256;
/// Children removed from one key before giving up: far beyond what a registration holds,
/// and it ends the loop should a registry keep answering with a child it cannot lose.
constexpr int kMaxChildrenPerKey = 1 << 16;
/// A default value found on a key before it is overwritten, kept to be put back [bytes].
constexpr DWORD kSavedValueBytes = 4096;

struct Texts {
    wchar_t classId[kClassIdChars];
    wchar_t classKey[sizeof "CLSID\\" + kClassIdChars];
    wchar_t modulePath[kModulePathChars];
};

// Appends text at length; false, with nothing appended, when it does not fit with a terminator.
template <std::size_t N>
bool Append(wchar_t (&buffer)[N], std::size_t& length, const wchar_t* text) {
    const std::size_t more = std::wcslen(text);
    if (more >= N - length) return false;
    std::wmemcpy(buffer + length, text, more + 1);
    length += more;
    return true;
}

bool IsClassIdCharacter(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f') || c == L'-' ||
           c == L'{' || c == L'}';
}

// The platform's braced text of the class identifier.
HRESULT RenderClassId(wchar_t (&text)[kClassIdChars]) {
    LPOLESTR rendered = nullptr;
    const HRESULT hr = StringFromCLSID(CLSID_SeparatorSizing, &rendered);
    if (FAILED(hr)) return hr;
    if (rendered == nullptr) return E_FAIL;
    std::size_t length = 0;
    bool wellFormed = true;
    for (; rendered[length] != 0 && length < kClassIdChars; ++length) {
        wellFormed = wellFormed && IsClassIdCharacter(static_cast<wchar_t>(rendered[length]));
        if (length < kClassIdChars - 1) text[length] = static_cast<wchar_t>(rendered[length]);
    }
    CoTaskMemFree(rendered);
    if (!wellFormed || length != kClassIdChars - 1) return E_FAIL;
    text[length] = L'\0';
    return S_OK;
}

HRESULT PrepareClassTexts(Texts& texts) {
    const HRESULT hr = RenderClassId(texts.classId);
    if (FAILED(hr)) return hr;
    std::size_t length = 0;
    if (!Append(texts.classKey, length, L"CLSID\\") || !Append(texts.classKey, length, texts.classId)) return E_FAIL;
    return S_OK;
}

const wchar_t* BaseText(KeyBase base, const Texts& texts) {
    switch (base) {
        case KeyBase::ClassKey: return texts.classKey;
        case KeyBase::VersionIndependentProgId: return kProgId;
        case KeyBase::VersionedProgId: return kProgIdVersioned;
    }
    return nullptr;
}

const wchar_t* ValueText(KeyText value, const Texts& texts) {
    switch (value) {
        case KeyText::Description: return kDescription;
        case KeyText::ModulePath: return texts.modulePath;
        case KeyText::ClassId: return texts.classId;
        case KeyText::VersionedProgId: return kProgIdVersioned;
        case KeyText::VersionIndependentProgId: return kProgId;
    }
    return nullptr;
}

bool KeyPath(wchar_t (&path)[kKeyPathChars], const wchar_t* base, const wchar_t* subkey) {
    std::size_t length = 0;
    path[0] = L'\0';
    if (!Append(path, length, base)) return false;
    return subkey == nullptr || (Append(path, length, L"\\") && Append(path, length, subkey));
}

/// What one row changed, so that a failed registration can be taken back.
struct Change {
    bool keyCreated = false;
    bool valueWritten = false;
    bool hadValue = false;
    DWORD savedType = 0;
    DWORD savedBytes = 0;
    BYTE saved[kSavedValueBytes];
};

// One row: create or open the key, keep what the value was, set it, close it.
bool WriteEntry(const RegistryWrite& row, Change& change) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, row.path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return false;
    change.keyCreated = disposition == REG_CREATED_NEW_KEY;
    bool written = true;
    if (row.text != nullptr) {
        if (!change.keyCreated) {
            change.savedBytes = kSavedValueBytes;
            const LONG found = RegQueryValueExW(key, row.name, nullptr, &change.savedType, change.saved, &change.savedBytes);
            change.hadValue = found == ERROR_SUCCESS;
            // A value too large to keep is not overwritten: it could not be put back.
            written = found == ERROR_SUCCESS || found == ERROR_FILE_NOT_FOUND;
        }
        written = written && RegSetValueExW(key, row.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(row.text),
                                            static_cast<DWORD>((std::wcslen(row.text) + 1) * sizeof(wchar_t))) ==
                                 ERROR_SUCCESS;
        change.valueWritten = written;
    }
    RegCloseKey(key);
    return written;
}

// Takes one row back: a key it created goes, a value it overwrote is restored.
void UndoEntry(const RegistryWrite& row, const Change& change) {
    if (change.keyCreated) {
        RegDeleteKeyW(HKEY_CLASSES_ROOT, row.path);
        return;
    }
    if (!change.valueWritten) return;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, row.path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    if (change.hadValue) RegSetValueExW(key, row.name, 0, change.savedType, change.saved, change.savedBytes);
    else RegDeleteValueW(key, row.name);
    RegCloseKey(key);
}

LONG DeleteKeyTreeAt(HKEY parent, const wchar_t* name, int depth) {
    if (depth > kMaxKeyDepth) return ERROR_FILENAME_EXCED_RANGE;
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExW(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (opened != ERROR_SUCCESS) return opened;
    for (int removed = 0; removed < kMaxChildrenPerKey; ++removed) {
        wchar_t child[kSubkeyNameChars];
        DWORD childLength = kSubkeyNameChars;  // the call overwrites it with the name's length
        if (RegEnumKeyExW(key, 0, child, &childLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            RegCloseKey(key);
            return RegDeleteKeyW(parent, name);
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

LONG DeleteKeyTree(HKEY parent, const wchar_t* name) noexcept { return DeleteKeyTreeAt(parent, name, 1); }

HRESULT WriteAllOrNothing(const RegistryWrite* rows, std::size_t count) noexcept {
    const std::unique_ptr<Change[]> changes(new (std::nothrow) Change[count]);
    if (!changes) return E_OUTOFMEMORY;
    std::size_t done = 0;
    bool failed = false;
    for (; done < count && !failed; ++done) failed = !WriteEntry(rows[done], changes[done]);
    if (!failed) return S_OK;
    // Newest first, so that a key's subkeys are gone before the key itself.
    while (done-- > 0) UndoEntry(rows[done], changes[done]);
    return SELFREG_E_CLASS;
}

HRESULT RegisterServer() noexcept {
    Texts texts{};
    const HINSTANCE instance = Instance();
    if (instance == nullptr) return SELFREG_E_CLASS;
    const DWORD pathLength = GetModuleFileNameW(instance, texts.modulePath, kModulePathChars);
    if (pathLength == 0 || pathLength >= kModulePathChars) return SELFREG_E_CLASS;
    const HRESULT hr = PrepareClassTexts(texts);
    if (FAILED(hr)) return hr;

    struct Journal {
        wchar_t paths[kEntryCount][kKeyPathChars];
        RegistryWrite rows[kEntryCount];
    };
    const std::unique_ptr<Journal> journal(new (std::nothrow) Journal);
    if (!journal) return E_OUTOFMEMORY;
    for (std::size_t i = 0; i < kEntryCount; ++i) {
        const RegistryEntry& entry = kRegistryEntries[i];
        // Every path is built before the first write: one that does not fit writes nothing.
        if (!KeyPath(journal->paths[i], BaseText(entry.base, texts), entry.subkey)) return SELFREG_E_CLASS;
        journal->rows[i] = {journal->paths[i], nullptr, ValueText(entry.value, texts)};
    }
    return WriteAllOrNothing(journal->rows, kEntryCount);
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

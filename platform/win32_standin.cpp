// STAND-IN fakes for the Windows calls of win32_standin.h: an in-memory HKEY_CLASSES_ROOT that
// behaves as the registry does where the module depends on it (case-insensitive names,
// subkeys enumerated in name order, a key with subkeys cannot be deleted, a too-small name
// buffer gives ERROR_MORE_DATA), a steerable module file name and CLSID rendering.
#include "platform/win32_standin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

namespace {

// Names compare without regard to the case of Latin letters; other characters as they are.
std::wstring Folded(const std::wstring& text) {
    std::wstring folded = text;
    for (wchar_t& c : folded)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return folded;
}

struct Key {
    std::wstring name;
    Key* parent = nullptr;
    std::optional<std::wstring> value;  ///< the default value, terminator included
    // Ordered by folded name, as the registry enumerates.
    std::map<std::wstring, std::unique_ptr<Key>> children;
};

struct Fake {
    Key root;
    std::set<HKEY__*> handles;
    int outstandingStrings = 0;
    std::set<std::wstring> refusedCreations;
    std::set<std::wstring> refusedWrites;
    int writes = 0;
    int refusedWriteNumber = 0;
    std::optional<std::wstring> moduleFileName = std::wstring(L"C:\\Program Files\\Kestrol\\Kestrol.dll");
    HRESULT clsidFailure = S_OK;
    std::optional<std::wstring> clsidText;
};

Fake& State() {
    static Fake fake;
    return fake;
}

std::wstring PathOf(const Key* key) {
    std::wstring path;
    for (; key != nullptr && key->parent != nullptr; key = key->parent)
        path = path.empty() ? key->name : key->name + L"\\" + path;
    return path;
}

std::vector<std::wstring> Split(const wchar_t* path) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (const wchar_t* c = path; *c != L'\0'; ++c) {
        if (*c == L'\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += *c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

}  // namespace

// An open handle names the key it was opened on.
struct HKEY__ {
    Key* key;
};

namespace {

Key* Resolve(HKEY handle) {
    if (handle == HKEY_CLASSES_ROOT) return &State().root;
    if (State().handles.count(handle) == 0) return nullptr;
    return handle->key;
}

Key* Find(Key* base, const wchar_t* path) {
    for (const std::wstring& part : Split(path)) {
        auto child = base->children.find(Folded(part));
        if (child == base->children.end()) return nullptr;
        base = child->second.get();
    }
    return base;
}

HKEY OpenHandle(Key* key) {
    HKEY handle = new HKEY__{key};
    State().handles.insert(handle);
    return handle;
}

// Counts one write and tells whether it is the one to refuse.
bool WriteRefused() { return ++State().writes == State().refusedWriteNumber; }

void Collect(const Key& key, std::map<std::wstring, std::optional<std::wstring>>& out) {
    for (const auto& [folded, child] : key.children) {
        out[PathOf(child.get())] = child->value;
        Collect(*child, out);
    }
}

}  // namespace

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition) {
    Key* base = Resolve(key);
    if (base == nullptr || subKey == nullptr || result == nullptr) return ERROR_INVALID_PARAMETER;
    const std::wstring full = Folded(PathOf(base).empty() ? subKey : PathOf(base) + L"\\" + subKey);
    if (WriteRefused() || State().refusedCreations.count(full) != 0) return ERROR_ACCESS_DENIED;
    bool created = false;
    for (const std::wstring& part : Split(subKey)) {
        std::unique_ptr<Key>& child = base->children[Folded(part)];
        if (!child) {
            child = std::make_unique<Key>();
            child->name = part;
            child->parent = base;
            created = true;
        }
        base = child.get();
    }
    if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = OpenHandle(base);
    return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
    Key* target = Resolve(key);
    if (target == nullptr || type != REG_SZ || (data == nullptr && size != 0)) return ERROR_INVALID_PARAMETER;
    if (valueName != nullptr && valueName[0] != L'\0') return ERROR_INVALID_PARAMETER;  // only default values here
    if (size % sizeof(WCHAR) != 0) return ERROR_INVALID_PARAMETER;
    if (WriteRefused() || State().refusedWrites.count(Folded(PathOf(target))) != 0) return ERROR_ACCESS_DENIED;
    std::wstring text(size / sizeof(WCHAR), L'\0');
    if (size != 0) std::memcpy(text.data(), data, size);
    target->value = text;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    Key* target = Resolve(key);
    if (target == nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_PARAMETER;
    if (valueName != nullptr && valueName[0] != L'\0') return ERROR_FILE_NOT_FOUND;
    if (!target->value) return ERROR_FILE_NOT_FOUND;
    const DWORD bytes = static_cast<DWORD>(target->value->size() * sizeof(WCHAR));
    if (type != nullptr) *type = REG_SZ;
    if (size == nullptr) return ERROR_SUCCESS;
    const DWORD room = *size;
    *size = bytes;
    if (data == nullptr) return ERROR_SUCCESS;
    if (room < bytes) return ERROR_MORE_DATA;
    std::memcpy(data, target->value->data(), bytes);
    return ERROR_SUCCESS;
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    Key* target = Resolve(key);
    if (target == nullptr) return ERROR_INVALID_PARAMETER;
    if ((valueName != nullptr && valueName[0] != L'\0') || !target->value) return ERROR_FILE_NOT_FOUND;
    target->value.reset();
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
    Key* base = Resolve(key);
    if (base == nullptr || result == nullptr) return ERROR_INVALID_PARAMETER;
    Key* found = subKey == nullptr ? base : Find(base, subKey);
    if (found == nullptr) return ERROR_FILE_NOT_FOUND;
    *result = OpenHandle(found);
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD, LPWSTR, LPDWORD, PFILETIME) {
    Key* base = Resolve(key);
    if (base == nullptr || name == nullptr || nameLength == nullptr) return ERROR_INVALID_PARAMETER;
    if (index >= base->children.size()) return ERROR_NO_MORE_ITEMS;
    auto child = base->children.begin();
    std::advance(child, index);
    const std::wstring& childName = child->second->name;
    // The length in is the buffer's size in characters; the name and its terminator must fit.
    if (childName.size() + 1 > *nameLength) return ERROR_MORE_DATA;
    std::copy(childName.c_str(), childName.c_str() + childName.size() + 1, name);
    *nameLength = static_cast<DWORD>(childName.size());
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    Key* base = Resolve(key);
    if (base == nullptr || subKey == nullptr || subKey[0] == L'\0') return ERROR_INVALID_PARAMETER;
    Key* target = Find(base, subKey);
    if (target == nullptr) return ERROR_FILE_NOT_FOUND;
    if (!target->children.empty()) return ERROR_ACCESS_DENIED;
    for (HKEY__* handle : State().handles)
        if (handle->key == target) return ERROR_ACCESS_DENIED;  // the fake keeps open keys alive
    target->parent->children.erase(Folded(target->name));
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
    if (State().handles.erase(key) == 0) return ERROR_INVALID_PARAMETER;
    delete key;
    return ERROR_SUCCESS;
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR fileName, DWORD size) {
    const std::optional<std::wstring>& path = State().moduleFileName;
    if (!path || size == 0) return 0;
    // Too small a buffer: truncated, terminated, and the full size reported.
    if (path->size() >= size) {
        std::copy(path->c_str(), path->c_str() + size - 1, fileName);
        fileName[size - 1] = L'\0';
        return size;
    }
    std::copy(path->c_str(), path->c_str() + path->size() + 1, fileName);
    return static_cast<DWORD>(path->size());
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) {
    if (text == nullptr) return E_INVALIDARG;
    if (State().clsidFailure != S_OK) return State().clsidFailure;
    std::wstring rendered;
    if (State().clsidText) {
        rendered = *State().clsidText;
    } else {
        char narrow[39];
        std::snprintf(narrow, sizeof narrow, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                      static_cast<unsigned>(clsid.Data1), clsid.Data2, clsid.Data3, clsid.Data4[0], clsid.Data4[1],
                      clsid.Data4[2], clsid.Data4[3], clsid.Data4[4], clsid.Data4[5], clsid.Data4[6], clsid.Data4[7]);
        rendered.assign(narrow, narrow + std::strlen(narrow));
    }
    auto* memory = static_cast<OLECHAR*>(std::malloc((rendered.size() + 1) * sizeof(OLECHAR)));
    if (memory == nullptr) return E_OUTOFMEMORY;
    std::copy(rendered.begin(), rendered.end(), memory);
    memory[rendered.size()] = L'\0';
    *text = memory;
    ++State().outstandingStrings;
    return S_OK;
}

void CoTaskMemFree(LPVOID memory) {
    if (memory == nullptr) return;
    --State().outstandingStrings;
    std::free(memory);
}

namespace kestrol::standin {

std::map<std::wstring, std::optional<std::wstring>> RegistryKeys() {
    std::map<std::wstring, std::optional<std::wstring>> keys;
    Collect(State().root, keys);
    return keys;
}

void Reset() {
    Fake& fake = State();
    for (HKEY__* handle : fake.handles) delete handle;
    fake.handles.clear();
    fake.root.children.clear();
    fake.outstandingStrings = 0;
    fake.refusedCreations.clear();
    fake.refusedWrites.clear();
    fake.writes = 0;
    fake.refusedWriteNumber = 0;
    fake.moduleFileName = std::wstring(L"C:\\Program Files\\Kestrol\\Kestrol.dll");
    fake.clsidFailure = S_OK;
    fake.clsidText.reset();
}

int OpenKeyHandles() { return static_cast<int>(State().handles.size()); }
int OutstandingComStrings() { return State().outstandingStrings; }
void RefuseKeyCreation(const std::wstring& path) { State().refusedCreations.insert(Folded(path)); }
void RefuseValueWrites(const std::wstring& path) { State().refusedWrites.insert(Folded(path)); }
int RegistryWrites() { return State().writes; }
void RefuseWriteNumber(int number) { State().refusedWriteNumber = number; }
void SetModuleFileName(std::optional<std::wstring> path) { State().moduleFileName = std::move(path); }
void FailStringFromClsid(HRESULT failure) { State().clsidFailure = failure; }
void OverrideClsidText(std::optional<std::wstring> text) { State().clsidText = std::move(text); }

void AddKey(const std::wstring& path) {
    const int writes = State().writes;  // the test's own keys are not the module's writes
    const int refused = State().refusedWriteNumber;
    State().refusedWriteNumber = 0;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
    State().writes = writes;
    State().refusedWriteNumber = refused;
}

}  // namespace kestrol::standin

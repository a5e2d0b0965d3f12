// STAND-IN fakes for the Windows calls of win32_standin.h: an in-memory HKEY_CLASSES_ROOT that
// behaves as the registry does where the module depends on it (case-insensitive names,
// subkeys enumerated in name order, a key with subkeys cannot be deleted, a too-small name
// buffer gives ERROR_MORE_DATA), a steerable module file name and CLSID rendering.
#include "platform/win32_standin.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

namespace {

std::string Folded(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

struct Key {
    std::string name;
    Key* parent = nullptr;
    std::optional<std::string> value;
    // Ordered by folded name, as the registry enumerates.
    std::map<std::string, std::unique_ptr<Key>> children;
};

struct Fake {
    Key root;
    std::set<HKEY__*> handles;
    int outstandingStrings = 0;
    std::set<std::string> refusedCreations;
    std::set<std::string> refusedWrites;
    std::optional<std::string> moduleFileName = std::string("C:\\Program Files\\Kestrol\\Kestrol.dll");
    HRESULT clsidFailure = S_OK;
    std::optional<std::wstring> clsidText;
};

Fake& State() {
    static Fake fake;
    return fake;
}

std::string PathOf(const Key* key) {
    std::string path;
    for (; key != nullptr && key->parent != nullptr; key = key->parent)
        path = path.empty() ? key->name : key->name + "\\" + path;
    return path;
}

std::vector<std::string> Split(const char* path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char* c = path; *c != '\0'; ++c) {
        if (*c == '\\') {
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

Key* Find(Key* base, const char* path) {
    for (const std::string& part : Split(path)) {
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

void Collect(const Key& key, std::map<std::string, std::optional<std::string>>& out) {
    for (const auto& [folded, child] : key.children) {
        out[PathOf(child.get())] = child->value;
        Collect(*child, out);
    }
}

}  // namespace

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition) {
    Key* base = Resolve(key);
    if (base == nullptr || subKey == nullptr || result == nullptr) return ERROR_INVALID_PARAMETER;
    const std::string full = Folded(PathOf(base).empty() ? subKey : PathOf(base) + "\\" + subKey);
    if (State().refusedCreations.count(full) != 0) return ERROR_ACCESS_DENIED;
    bool created = false;
    for (const std::string& part : Split(subKey)) {
        std::unique_ptr<Key>& child = base->children[Folded(part)];
        if (!child) {
            child = std::make_unique<Key>();
            child->name = part;
            child->parent = base;
            created = true;
        }
        base = child.get();
    }
    if (disposition != nullptr) *disposition = created ? 1u : 2u;  // created new / opened existing
    *result = OpenHandle(base);
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
    Key* target = Resolve(key);
    if (target == nullptr || type != REG_SZ || (data == nullptr && size != 0)) return ERROR_INVALID_PARAMETER;
    if (valueName != nullptr && valueName[0] != '\0') return ERROR_INVALID_PARAMETER;  // only default values here
    if (State().refusedWrites.count(Folded(PathOf(target))) != 0) return ERROR_ACCESS_DENIED;
    target->value = std::string(reinterpret_cast<const char*>(data), size);
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
    Key* base = Resolve(key);
    if (base == nullptr || result == nullptr) return ERROR_INVALID_PARAMETER;
    Key* found = subKey == nullptr ? base : Find(base, subKey);
    if (found == nullptr) return ERROR_FILE_NOT_FOUND;
    *result = OpenHandle(found);
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR, LPDWORD, PFILETIME) {
    Key* base = Resolve(key);
    if (base == nullptr || name == nullptr || nameLength == nullptr) return ERROR_INVALID_PARAMETER;
    if (index >= base->children.size()) return ERROR_NO_MORE_ITEMS;
    auto child = base->children.begin();
    std::advance(child, index);
    const std::string& childName = child->second->name;
    // The length in is the buffer's size in characters; the name and its terminator must fit.
    if (childName.size() + 1 > *nameLength) return ERROR_MORE_DATA;
    std::memcpy(name, childName.c_str(), childName.size() + 1);
    *nameLength = static_cast<DWORD>(childName.size());
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    Key* base = Resolve(key);
    if (base == nullptr || subKey == nullptr || subKey[0] == '\0') return ERROR_INVALID_PARAMETER;
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

DWORD GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size) {
    const std::optional<std::string>& path = State().moduleFileName;
    if (!path || size == 0) return 0;
    // Too small a buffer: truncated, terminated, and the full size reported.
    if (path->size() >= size) {
        std::memcpy(fileName, path->c_str(), size - 1);
        fileName[size - 1] = '\0';
        return size;
    }
    std::memcpy(fileName, path->c_str(), path->size() + 1);
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

std::map<std::string, std::optional<std::string>> RegistryKeys() {
    std::map<std::string, std::optional<std::string>> keys;
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
    fake.moduleFileName = std::string("C:\\Program Files\\Kestrol\\Kestrol.dll");
    fake.clsidFailure = S_OK;
    fake.clsidText.reset();
}

int OpenKeyHandles() { return static_cast<int>(State().handles.size()); }
int OutstandingComStrings() { return State().outstandingStrings; }
void RefuseKeyCreation(const std::string& path) { State().refusedCreations.insert(Folded(path)); }
void RefuseValueWrites(const std::string& path) { State().refusedWrites.insert(Folded(path)); }
void SetModuleFileName(std::optional<std::string> path) { State().moduleFileName = std::move(path); }
void FailStringFromClsid(HRESULT failure) { State().clsidFailure = failure; }
void OverrideClsidText(std::optional<std::wstring> text) { State().clsidText = std::move(text); }

void AddKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

}  // namespace kestrol::standin

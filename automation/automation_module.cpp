// The automation server's four exports, its class factory and its registration.
// KestrolAutomation.def exports these under the names COM looks for.
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#include "automation/sizing_automation.h"
#include "module/module_state.h"
#include "module/registration.h"
#include "sizing/com_object.h"
#include "sizing/shield.h"

namespace kestrol::automation {
namespace {

constexpr const wchar_t* kDescription = L"Kestrol Sizing for scripts and spreadsheets";
constexpr const wchar_t* kProgId = L"Kestrol.Sizing";
constexpr const wchar_t* kProgIdVersioned = L"Kestrol.Sizing.1";
constexpr const wchar_t* kLibraryName = L"Kestrol separator sizing for scripts and spreadsheets";
constexpr const wchar_t* kInterfaceName = L"IKestrolSizing";
/// The type library's version, as its `version` attribute has it.
constexpr const wchar_t* kLibraryVersion = L"1.0";
/// The platform's marshaller of dual interfaces through their type library (PSOAInterface).
constexpr const wchar_t* kTypeLibraryMarshaller = L"{00020424-0000-0000-C000-000000000046}";
#ifdef _WIN64
constexpr const wchar_t* kPlatform = L"win64";
#else
constexpr const wchar_t* kPlatform = L"win32";
#endif

class Factory final : public ComObject<Factory, IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        SizingAutomation* object = SizingAutomation::Create();
        if (object == nullptr) return E_OUTOFMEMORY;
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        module::LockServer(lock != FALSE);
        return S_OK;
    }

private:
    friend class ComObject<Factory, IClassFactory>;
    static const IID& Identifier() noexcept { return IID_IClassFactory; }
    ~Factory() = default;
    ReferenceCount references_{1};
};

std::wstring Braced(REFGUID id) {
    wchar_t text[40];
    if (StringFromGUID2(id, text, static_cast<int>(std::size(text))) == 0) return {};
    return text;
}

/// What registration writes and unregistration removes, from the module's own path.
struct Names {
    std::wstring classKey, interfaceKey, libraryKey, libraryVersionKey, platformKey;
    std::wstring classId, libraryId, modulePath, folder;
};

bool PrepareNames(Names& n, bool withPath) {
    n.classId = Braced(CLSID_Sizing);
    n.libraryId = Braced(LIBID_KestrolAutomation);
    const std::wstring interfaceId = Braced(IID_IKestrolSizing);
    if (n.classId.empty() || n.libraryId.empty() || interfaceId.empty()) return false;
    n.classKey = L"CLSID\\" + n.classId;
    n.interfaceKey = L"Interface\\" + interfaceId;
    n.libraryKey = L"TypeLib\\" + n.libraryId;
    n.libraryVersionKey = n.libraryKey + L"\\" + kLibraryVersion;
    n.platformKey = n.libraryVersionKey + L"\\0\\" + kPlatform;
    if (!withPath) return true;
    n.modulePath = ModulePath();
    if (n.modulePath.empty()) return false;
    const std::size_t slash = n.modulePath.find_last_of(L"\\/");
    n.folder = slash == std::wstring::npos ? std::wstring() : n.modulePath.substr(0, slash);
    return true;
}

HRESULT Register() {
    Names n;
    if (!PrepareNames(n, true)) return SELFREG_E_CLASS;
    const std::wstring inproc = n.classKey + L"\\InprocServer32";
    struct Row {
        std::wstring path;
        const wchar_t* name;  // null: the default value
        std::wstring text;
        bool keyOnly;  // a parent written first, so that taking the rows back removes it too
    };
    const Row rows[] = {
        {n.classKey, nullptr, kDescription, false},
        {inproc, nullptr, n.modulePath, false},
        {inproc, L"ThreadingModel", L"Apartment", false},
        {n.classKey + L"\\ProgID", nullptr, kProgIdVersioned, false},
        {n.classKey + L"\\VersionIndependentProgID", nullptr, kProgId, false},
        {n.classKey + L"\\TypeLib", nullptr, n.libraryId, false},
        {n.classKey + L"\\Version", nullptr, kLibraryVersion, false},
        {kProgId, nullptr, kDescription, false},
        {std::wstring(kProgId) + L"\\CLSID", nullptr, n.classId, false},
        {std::wstring(kProgId) + L"\\CurVer", nullptr, kProgIdVersioned, false},
        {kProgIdVersioned, nullptr, kDescription, false},
        {std::wstring(kProgIdVersioned) + L"\\CLSID", nullptr, n.classId, false},
        {n.libraryKey, nullptr, L"", true},
        {n.libraryVersionKey, nullptr, kLibraryName, false},
        {n.libraryVersionKey + L"\\0", nullptr, L"", true},
        {n.platformKey, nullptr, n.modulePath, false},
        {n.libraryVersionKey + L"\\FLAGS", nullptr, L"0", false},
        {n.libraryVersionKey + L"\\HELPDIR", nullptr, n.folder, false},
        {n.interfaceKey, nullptr, kInterfaceName, false},
        {n.interfaceKey + L"\\ProxyStubClsid32", nullptr, kTypeLibraryMarshaller, false},
        {n.interfaceKey + L"\\TypeLib", nullptr, n.libraryId, false},
        {n.interfaceKey + L"\\TypeLib", L"Version", kLibraryVersion, false},
    };
    std::vector<module::RegistryWrite> writes;
    for (const Row& row : rows) writes.push_back({row.path.c_str(), row.name, row.keyOnly ? nullptr : row.text.c_str()});
    return module::WriteAllOrNothing(writes.data(), writes.size());
}

// Whether the key has a subkey left: the other bitness's registration of the library.
bool HasSubkey(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    wchar_t name[256];
    DWORD length = static_cast<DWORD>(std::size(name));
    const bool any = RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return any;
}

HRESULT Unregister() {
    Names n;
    if (!PrepareNames(n, false)) return E_FAIL;
    for (const std::wstring& tree : {n.classKey, std::wstring(kProgId), std::wstring(kProgIdVersioned), n.interfaceKey})
        module::DeleteKeyTree(HKEY_CLASSES_ROOT, tree.c_str());
    // The type library's key is one for both registry views: this bitness's entry goes, and
    // the library's key with it once no other bitness's is left.
    module::DeleteKeyTree(HKEY_CLASSES_ROOT, n.platformKey.c_str());
    if (!HasSubkey(n.libraryVersionKey + L"\\0")) module::DeleteKeyTree(HKEY_CLASSES_ROOT, n.libraryKey.c_str());
    return S_OK;
}

}  // namespace
}  // namespace kestrol::automation

using kestrol::Shielded;

extern "C" HRESULT STDAPICALLTYPE AutomationGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    return Shielded(E_FAIL, [&]() -> HRESULT {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualGUID(clsid, CLSID_Sizing)) return CLASS_E_CLASSNOTAVAILABLE;
        auto* factory = new (std::nothrow) kestrol::automation::Factory;
        if (factory == nullptr) return E_OUTOFMEMORY;
        const HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    });
}

extern "C" HRESULT STDAPICALLTYPE AutomationCanUnloadNow() {
    if (kestrol::automation::LiveAutomationObjects() != 0) return S_FALSE;
    return kestrol::module::CanUnloadNow();
}

extern "C" HRESULT STDAPICALLTYPE AutomationRegisterServer() {
    return Shielded(E_FAIL, [] { return kestrol::automation::Register(); });
}

extern "C" HRESULT STDAPICALLTYPE AutomationUnregisterServer() {
    return Shielded(E_FAIL, [] { return kestrol::automation::Unregister(); });
}

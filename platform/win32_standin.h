// STAND-IN for the Windows SDK on non-Windows builds only: the few types, constants and calls
// that module/ and sizing/ use, with the Windows widths (LONG is 32-bit here, unlike long on
// LP64). The Windows build includes the real SDK instead. The registry, the module file name
// and the CLSID rendering are fakes (platform/win32_standin.cpp) that tests read and steer
// through kestrol::standin; nothing here touches a real system.
#pragma once

#ifdef _WIN32
#error "win32_standin.h stands in for the Windows SDK elsewhere; include <windows.h> on Windows"
#endif

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>

using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using BYTE = std::uint8_t;
using LPBYTE = BYTE*;
using REGSAM = std::uint32_t;
using LPVOID = void*;
using WCHAR = wchar_t;
using LPCWSTR = const WCHAR*;
using LPWSTR = WCHAR*;
using LPDWORD = DWORD*;
using OLECHAR = wchar_t;
using LPOLESTR = OLECHAR*;

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr DWORD DLL_PROCESS_ATTACH = 1;

#define STDMETHODCALLTYPE  // calling conventions vanish off Windows
#define WINAPI
#define STDAPICALLTYPE
#define STDAPI extern "C" HRESULT
#define STDAPI_(type) extern "C" type

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(const GUID& a, const GUID& b) noexcept { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);
constexpr bool SUCCEEDED(HRESULT hr) noexcept { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) noexcept { return hr < 0; }

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
// A predefined key is a reserved handle value, never a real object.
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved, LPWSTR keyClass,
                   LPDWORD classLength, PFILETIME lastWrite);
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
LONG RegCloseKey(HKEY key);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text);
void CoTaskMemFree(LPVOID memory);

// Steering and inspection of the fakes, for tests.
namespace kestrol::standin {

/// Every key under HKEY_CLASSES_ROOT by its full path (as first spelt), with its default
/// value's characters (the terminator included) when one is set.
std::map<std::wstring, std::optional<std::wstring>> RegistryKeys();
/// Empties the registry and undoes every steering call below.
void Reset();
/// Handles opened or created and not yet closed.
int OpenKeyHandles();
/// Strings from StringFromCLSID not yet given back with CoTaskMemFree.
int OutstandingComStrings();
/// RegCreateKeyExW fails with ERROR_ACCESS_DENIED for this path (case-insensitive).
void RefuseKeyCreation(const std::wstring& path);
/// RegSetValueExW fails with ERROR_ACCESS_DENIED on a key with this path.
void RefuseValueWrites(const std::wstring& path);
/// Writes (RegCreateKeyExW and RegSetValueExW calls) since the last Reset.
int RegistryWrites();
/// The write with this number since the last Reset (1 the first) fails with
/// ERROR_ACCESS_DENIED, as for a user without the rights.
void RefuseWriteNumber(int number);
/// What GetModuleFileNameW reports; std::nullopt makes it fail (return 0).
void SetModuleFileName(std::optional<std::wstring> path);
/// StringFromCLSID fails with this result (S_OK restores it).
void FailStringFromClsid(HRESULT failure);
/// StringFromCLSID answers this text instead of the rendered identifier.
void OverrideClsidText(std::optional<std::wstring> text);
/// Creates HKEY_CLASSES_ROOT\path and every key above it, without a value.
void AddKey(const std::wstring& path);

}  // namespace kestrol::standin


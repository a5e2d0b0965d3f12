// The Windows calls that module/ and sizing/ make, as function types. The stand-in declares
// them with the same shapes; a test checks both the stand-in and, in the Windows build, the
// real SDK against this list, so the two cannot drift apart.
#pragma once

#include "platform/windows_api.h"

namespace kestrol::platform {

// typedef rather than using: the calling convention has to bind to the function type.
typedef LONG(WINAPI RegCreateKeyExWType)(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
typedef LONG(WINAPI RegSetValueExWType)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
typedef LONG(WINAPI RegQueryValueExWType)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(WINAPI RegDeleteValueWType)(HKEY, LPCWSTR);
typedef LONG(WINAPI RegOpenKeyExWType)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
typedef LONG(WINAPI RegEnumKeyExWType)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPWSTR, LPDWORD, PFILETIME);
typedef LONG(WINAPI RegDeleteKeyWType)(HKEY, LPCWSTR);
typedef LONG(WINAPI RegCloseKeyType)(HKEY);
typedef DWORD(WINAPI GetModuleFileNameWType)(HMODULE, LPWSTR, DWORD);
typedef HRESULT(WINAPI StringFromCLSIDType)(REFCLSID, LPOLESTR*);
typedef void(WINAPI CoTaskMemFreeType)(LPVOID);

}  // namespace kestrol::platform

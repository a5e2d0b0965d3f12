// The Windows calls that module/ and sizing/ make, as function types. The stand-in declares
// them with the same shapes; a test checks both the stand-in and, in the Windows build, the
// real SDK against this list, so the two cannot drift apart.
#pragma once

#include "platform/windows_api.h"

namespace kestrol::platform {

// typedef rather than using: the calling convention has to bind to the function type.
typedef LONG(WINAPI RegCreateKeyExAType)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
typedef LONG(WINAPI RegSetValueExAType)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
typedef LONG(WINAPI RegOpenKeyExAType)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
typedef LONG(WINAPI RegEnumKeyExAType)(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPSTR, LPDWORD, PFILETIME);
typedef LONG(WINAPI RegDeleteKeyAType)(HKEY, LPCSTR);
typedef LONG(WINAPI RegCloseKeyType)(HKEY);
typedef DWORD(WINAPI GetModuleFileNameAType)(HMODULE, LPSTR, DWORD);
typedef HRESULT(WINAPI StringFromCLSIDType)(REFCLSID, LPOLESTR*);
typedef void(WINAPI CoTaskMemFreeType)(LPVOID);

}  // namespace kestrol::platform

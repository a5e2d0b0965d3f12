// The entry point and exports as the module's own code and tests call them. The Windows SDK
// declares the four exports itself; elsewhere they are declared here.
#pragma once

#include "platform/windows_api.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

#ifndef _WIN32
STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv);
STDAPI DllCanUnloadNow();
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
#endif

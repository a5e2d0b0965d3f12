// The DLL's entry point and its four exports: forwarders only.
#include "module/exports.h"
#include "module/class_factory.h"
#include "module/module_state.h"
#include "module/registration.h"
#include "sizing/shield.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) kestrol::module::RecordInstance(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    return kestrol::Shielded(E_FAIL, [&] { return kestrol::module::GetClassObject(clsid, riid, ppv); });
}

STDAPI DllCanUnloadNow() { return kestrol::module::CanUnloadNow(); }

STDAPI DllRegisterServer() { return kestrol::Shielded(E_FAIL, [] { return kestrol::module::RegisterServer(); }); }

STDAPI DllUnregisterServer() { return kestrol::Shielded(E_FAIL, [] { return kestrol::module::UnregisterServer(); }); }

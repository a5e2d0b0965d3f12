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
    // As addresses from here on: a host written in C can pass null for either.
    const CLSID* const classId = &clsid;
    const IID* const interfaceId = &riid;
    return kestrol::Shielded(E_FAIL, [=] { return kestrol::module::GetClassObject(classId, interfaceId, ppv); });
}

STDAPI DllCanUnloadNow() { return kestrol::module::CanUnloadNow(); }

STDAPI DllRegisterServer() { return kestrol::Shielded(E_FAIL, [] { return kestrol::module::RegisterServer(); }); }

STDAPI DllUnregisterServer() { return kestrol::Shielded(E_FAIL, [] { return kestrol::module::UnregisterServer(); }); }

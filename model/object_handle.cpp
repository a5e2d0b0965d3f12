#include "model/object_handle.h"

#include "module/exports.h"

namespace kestrol::host {

// The way COM activates the class: ask the module for its factory, let the factory make the
// object. The host holds no lock, so the factory goes as soon as the object exists.
ObjectHandle CreateSizingInstance() {
    IClassFactory* factory = nullptr;
    if (FAILED(DllGetClassObject(CLSID_SeparatorSizing, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
        return ObjectHandle();
    void* object = nullptr;
    const HRESULT hr = factory->CreateInstance(nullptr, IID_ISeparatorSizing, &object);
    factory->Release();
    if (FAILED(hr)) return ObjectHandle();
    return ObjectHandle(static_cast<ISeparatorSizing*>(object));
}

}  // namespace kestrol::host

#include "module/class_factory.h"

#include <atomic>
#include <new>

#include "module/module_state.h"
#include "sizing/separator_sizing.h"
#include "sizing/sizing_object.h"

namespace kestrol::module {
namespace {

std::atomic<LONG> liveFactories{0};

}  // namespace

ClassFactory::ClassFactory() noexcept { ++liveFactories; }
ClassFactory::~ClassFactory() { --liveFactories; }

LONG LiveFactoryCount() noexcept { return liveFactories.load(); }

// Both hand-outs null the out location first: COM's rule is that it is null on every
// failure, and a host may test the pointer rather than the code.
HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (IsNullAddress(&riid)) return E_INVALIDARG;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    ISeparatorSizing* object = CreateSizingObject();
    if (object == nullptr) return E_OUTOFMEMORY;
    // The object starts with one reference: a refused identifier destroys it again here.
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock) {
    module::LockServer(lock != 0);
    return S_OK;
}

HRESULT GetClassObject(const CLSID* clsid, const IID* riid, void** ppv) noexcept {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (IsNullAddress(clsid) || IsNullAddress(riid)) return E_INVALIDARG;
    if (!IsEqualGUID(*clsid, CLSID_SeparatorSizing)) return CLASS_E_CLASSNOTAVAILABLE;
    IClassFactory* factory = new (std::nothrow) ClassFactory();
    if (factory == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(*riid, ppv);
    factory->Release();
    return hr;
}

}  // namespace kestrol::module

#include "module/class_factory.h"

#include <new>

#include "module/module_state.h"
#include "sizing/separator_sizing.h"
#include "sizing/sizing_object.h"

namespace kestrol::module {
namespace {

volatile LONG liveFactories = 0;

// Through a volatile copy: a null reference is outside the language, so the compiler would
// otherwise drop the test that a careless host needs.
bool IsNullAddress(const void* address) {
    const void* volatile seen = address;
    return seen == nullptr;
}

}  // namespace

ClassFactory::ClassFactory() noexcept { InterlockedIncrement(&liveFactories); }
ClassFactory::~ClassFactory() { InterlockedDecrement(&liveFactories); }

LONG LiveFactoryCount() noexcept { return __atomic_load_n(&liveFactories, __ATOMIC_SEQ_CST); }

HRESULT STDMETHODCALLTYPE ClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsNullAddress(&riid)) {
        *ppv = nullptr;
        return E_INVALIDARG;
    }
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        static_cast<IClassFactory*>(this)->AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ClassFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG STDMETHODCALLTYPE ClassFactory::Release() {
    const LONG remaining = InterlockedDecrement(&references_);
    if (remaining == 0) delete this;
    return static_cast<ULONG>(remaining);
}

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

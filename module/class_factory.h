// The class factory of SeparatorSizing and the lookup that hands one out.
#pragma once

#include "platform/windows_api.h"
#include "sizing/com_object.h"

namespace kestrol::module {

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
public:
    ClassFactory() noexcept;
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    friend class ComObject<ClassFactory, IClassFactory>;
    static const IID& Identifier() noexcept { return IID_IClassFactory; }
    ~ClassFactory();
    ReferenceCount references_{1};
};

/// A fresh factory for CLSID_SeparatorSizing, asked for as riid; CLASS_E_CLASSNOTAVAILABLE
/// for any other class, E_INVALIDARG for a null identifier. On every failure *ppv is null.
HRESULT GetClassObject(const CLSID* clsid, const IID* riid, void** ppv) noexcept;

/// Factories alive in this process. They do not hold the module (hosts lock it), so this is
/// for tests that check none is left behind.
LONG LiveFactoryCount() noexcept;

}  // namespace kestrol::module

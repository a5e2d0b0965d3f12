// IUnknown as both of the module's objects answer it: the sizing object and its class factory.
// The helper adds slots to no table and fields to no object: it fills the first three slots
// the interface declares, and the count stays in the derived class, where each object's
// field order puts it.
#pragma once

#include <atomic>

#include "platform/windows_api.h"

namespace kestrol {

/// A reference count as the objects keep it: a plain 32-bit LONG in memory, changed only by
/// atomic increment and decrement, 1 at creation.
using ReferenceCount = std::atomic<LONG>;
static_assert(sizeof(ReferenceCount) == sizeof(LONG) && alignof(ReferenceCount) == alignof(LONG),
              "the count must keep the width and place of a LONG");
static_assert(ReferenceCount::is_always_lock_free, "the count must change without a lock");

// Through a volatile copy: a null reference is outside the language, so the compiler would
// otherwise drop the test that a careless host needs.
inline bool IsNullAddress(const void* address) noexcept {
    const void* volatile seen = address;
    return seen == nullptr;
}

/// Implements IUnknown for Derived, which holds a ReferenceCount references_ and answers
/// Identifier(), the one interface it offers besides IUnknown; Derived befriends this class.
/// AddRef returns the new count, Release the remaining one and deletes the object at zero.
template <class Derived, class Interface>
class ComObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) final {
        if (ppv == nullptr) return E_POINTER;
        if (IsNullAddress(&riid)) {
            *ppv = nullptr;
            return E_INVALIDARG;
        }
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, Derived::Identifier())) {
            *ppv = static_cast<Interface*>(this);
            static_cast<Interface*>(this)->AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() final { return static_cast<ULONG>(++Self().references_); }

    ULONG STDMETHODCALLTYPE Release() final {
        // The decrement's own result, not the count read again: by then another thread's
        // Release may have freed the object.
        const LONG remaining = --Self().references_;
        if (remaining == 0) delete &Self();
        return static_cast<ULONG>(remaining);
    }

protected:
    ComObject() noexcept = default;
    ~ComObject() = default;

private:
    Derived& Self() noexcept { return static_cast<Derived&>(*this); }
};

}  // namespace kestrol

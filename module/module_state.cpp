#include "module/module_state.h"

namespace kestrol::module {
namespace {
volatile LONG liveObjects = 0;
volatile LONG locks = 0;
HINSTANCE instanceHandle = nullptr;

// Other threads change the counts with interlocked operations: a plain read would race.
LONG AtomicRead(const volatile LONG& count) noexcept { return __atomic_load_n(&count, __ATOMIC_SEQ_CST); }
}  // namespace

void RecordInstance(HINSTANCE instance) noexcept { instanceHandle = instance; }
HINSTANCE Instance() noexcept { return instanceHandle; }

void ObjectCreated() noexcept { InterlockedIncrement(&liveObjects); }
void ObjectDestroyed() noexcept { InterlockedDecrement(&liveObjects); }
void LockServer(bool lock) noexcept {
    if (lock) InterlockedIncrement(&locks);
    else InterlockedDecrement(&locks);
}
LONG LiveObjectCount() noexcept { return AtomicRead(liveObjects); }
LONG LockCount() noexcept { return AtomicRead(locks); }
HRESULT CanUnloadNow() noexcept { return (AtomicRead(liveObjects) != 0 || AtomicRead(locks) != 0) ? S_FALSE : S_OK; }

}  // namespace kestrol::module

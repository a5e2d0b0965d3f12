#include "module/module_state.h"

namespace kestrol::module {
namespace {
volatile LONG liveObjects = 0;
volatile LONG locks = 0;
HINSTANCE instanceHandle = nullptr;
}  // namespace

void RecordInstance(HINSTANCE instance) noexcept { instanceHandle = instance; }
HINSTANCE Instance() noexcept { return instanceHandle; }

void ObjectCreated() noexcept { InterlockedIncrement(&liveObjects); }
void ObjectDestroyed() noexcept { InterlockedDecrement(&liveObjects); }
void LockServer(bool lock) noexcept {
    if (lock) InterlockedIncrement(&locks);
    else InterlockedDecrement(&locks);
}
LONG LiveObjectCount() noexcept { return liveObjects; }
LONG LockCount() noexcept { return locks; }
HRESULT CanUnloadNow() noexcept { return (liveObjects != 0 || locks != 0) ? S_FALSE : S_OK; }

}  // namespace kestrol::module

#include "module/module_state.h"

#include <atomic>

#include "sizing/object_count.h"

namespace kestrol::module {
namespace {
std::atomic<LONG> locks{0};
HINSTANCE instanceHandle = nullptr;
}  // namespace

void RecordInstance(HINSTANCE instance) noexcept { instanceHandle = instance; }
HINSTANCE Instance() noexcept { return instanceHandle; }

void LockServer(bool lock) noexcept {
    if (lock) ++locks;
    else --locks;
}
LONG LockCount() noexcept { return locks.load(); }
HRESULT CanUnloadNow() noexcept { return (LiveObjectCount() != 0 || LockCount() != 0) ? S_FALSE : S_OK; }

}  // namespace kestrol::module

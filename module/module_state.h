// Module-wide counts: live objects and server locks, changed only atomically.
#pragma once

#include "platform/windows_api.h"

namespace kestrol::module {

void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void LockServer(bool lock) noexcept;
LONG LiveObjectCount() noexcept;
LONG LockCount() noexcept;
/// S_OK when no object lives and no lock is held, else S_FALSE.
HRESULT CanUnloadNow() noexcept;

}  // namespace kestrol::module

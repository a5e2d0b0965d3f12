#include "sizing/object_count.h"

#include <atomic>

namespace kestrol {
namespace {
std::atomic<LONG> liveObjects{0};
}  // namespace

LONG LiveObjectCount() noexcept { return liveObjects.load(); }

namespace object_count {
void Created() noexcept { ++liveObjects; }
void Destroyed() noexcept { --liveObjects; }
}  // namespace object_count

}  // namespace kestrol

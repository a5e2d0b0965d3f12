#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "object_fixture.h"
#include "replaced_allocation.h"
#include "row_name.h"

// Every heap allocation of this executable is counted, so a test can tell a calculation allocates.
namespace {
std::atomic<long> allocations{0};
}  // namespace
void* TestAllocation(std::size_t size) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}

namespace kestrol {
namespace {

double STDMETHODCALLTYPE AssumedLiquid(std::int32_t code) { return code == 0 ? 5.0 : 800.0; }

struct SizingRow {
    const char* name;
    double lightFlow;
    double heavyFlow;
    std::int32_t orientation;
};
const SizingRow kSizings[] = {
    {"VerticalTwoPhase", 2000.0, kEmptyValue, 0},
    {"VerticalThreePhase", 8000.0, 3000.0, 0},
    {"HorizontalTwoPhase", 10000.0, kEmptyValue, 1},
    {"HorizontalThreePhase", 8000.0, 3000.0, 1},
    {"NoLiquid", kEmptyValue, kEmptyValue, 0},
};
class NoAllocationTest : public testing::TestWithParam<SizingRow> {};
TEST_P(NoAllocationTest, SizingOnceTheVectorExistsAllocatesNothing) {
    auto object = testing_support::NewObject();
    testing_support::SetTwoPhaseFeed(*object);
    object->SetLightLiquidMassFlow(GetParam().lightFlow);
    object->SetHeavyLiquidMassFlow(GetParam().heavyFlow);
    object->SetHeavyLiquidDensity(1010.0);
    object->SetPropertyCallback(&AssumedLiquid);
    object->SetOrientation(GetParam().orientation);

    const long before = allocations.load();
    object->Calculate(0);
    object->Calculate(0);
    object->PresetOptions();
    object->SetValue(-0.3, 7);  // a rating around one fixed level
    object->SizeHorizontalVessel();
    object->PresetOptions();
    object->SizeVertical();
    double holdup = kEmptyValue;
    object->CalcVerticalLevels(&holdup);
    object->CalcHorizontalLevelTime();
    EXPECT_EQ(allocations.load() - before, 0);
}
INSTANTIATE_TEST_SUITE_P(Rows, NoAllocationTest, testing::ValuesIn(kSizings), testing_support::RowName());

TEST(AllocationCounterTest, CountsTheVectorItself) {
    auto object = testing_support::NewObject();
    const long before = allocations.load();
    object->GetVectorPointer();
    EXPECT_EQ(allocations.load() - before, 1);
}

}  // namespace
}  // namespace kestrol

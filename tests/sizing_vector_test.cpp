#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "row_name.h"

#include "array_slots.h"
#include "sizing/object_count.h"
#include "object_fixture.h"

namespace kestrol {
namespace {

using testing_support::HasVector;
using testing_support::NewObject;
using testing_support::Snapshot;

TEST(SizingVectorTest, FreshObjectReadsEmptyWithoutCreatingStorage) {
    auto object = NewObject();
    for (int index : {-1, 0, 1, 14, 39, 40, 1000}) EXPECT_EQ(object->GetValue(index), kEmptyValue) << index;
    EXPECT_FALSE(HasVector(*object));
}

TEST(SizingVectorTest, GetVectorPointerCreatesThirtyNineEmptySlotsOnce) {
    auto object = NewObject();
    double* first = object->GetVectorPointer();
    ASSERT_NE(first, nullptr);
    for (int i = 0; i < kSlotCount; ++i) EXPECT_EQ(first[i], kEmptyValue) << "slot " << i + 1;
    first[38] = 7.0;  // slot 39 through the storage pointer
    EXPECT_EQ(object->GetVectorPointer(), first);
    EXPECT_EQ(object->GetValue(39), 7.0);
}

TEST(SizingVectorTest, SetOrientationCreatesTheVectorWithOnlySlotFourteen) {
    auto object = NewObject();
    object->SetOrientation(1);
    const auto slots = Snapshot(*object);
    for (int i = 0; i < kSlotCount; ++i) EXPECT_EQ(slots[i], i + 1 == 14 ? 1.0 : kEmptyValue) << "slot " << i + 1;
}

struct SetValueRow {
    const char* name;
    std::int32_t index;
    bool stored;
};
const SetValueRow kSetValueRows[] = {
    {"IndexZero", 0, false}, {"Negative", -3, false}, {"First", 1, true},
    {"LastWritable", 38, true}, {"StorageOnly", 39, false}, {"PastEnd", 40, false},
};
class SetValueTest : public testing::TestWithParam<SetValueRow> {};
TEST_P(SetValueTest, WritesOnlyIndicesOneToThirtyEight) {
    auto object = NewObject();
    object->GetVectorPointer();
    const auto before = Snapshot(*object);
    object->SetValue(5.0, GetParam().index);
    const auto after = Snapshot(*object);
    for (int i = 0; i < kSlotCount; ++i) {
        const bool target = GetParam().stored && i + 1 == GetParam().index;
        EXPECT_EQ(after[i], target ? 5.0 : before[i]) << "slot " << i + 1;
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, SetValueTest, testing::ValuesIn(kSetValueRows), testing_support::RowName());

TEST(SizingVectorTest, SetValueWithoutStorageDoesNothing) {
    auto object = NewObject();
    object->SetValue(5.0, 3);
    object->ClearValues();
    EXPECT_FALSE(HasVector(*object));
}

TEST(SizingVectorTest, ClearValuesKeepsExactlyTheResidenceTimesAndOrientation) {
    auto object = NewObject();
    double* storage = object->GetVectorPointer();
    for (int i = 0; i < kSlotCount; ++i) storage[i] = i + 101.0;
    object->ClearValues();
    for (int i = 0; i < kSlotCount; ++i) {
        const int slot = i + 1;
        const bool kept = slot == 6 || slot == 8 || slot == 14;
        EXPECT_EQ(storage[i], kept ? i + 101.0 : kEmptyValue) << "slot " << slot;
    }
}

struct AllocRow {
    const char* name;
    std::int32_t firstCount;   // 0: no first call
    std::int32_t secondCount;
    HRESULT expected;
    int emptiedBySecond;       // slots the second call empties
};
const AllocRow kAllocRows[] = {
    {"SecondEmptiesAll", 39, 39, S_OK, 39},
    {"SecondEmptiesPrefix", 39, 5, S_OK, 5},
    {"ZeroEmptiesNothing", 39, 0, S_OK, 0},
    {"NegativeEmptiesNothing", 39, -7, S_OK, 0},
    {"LargerThanStorageEmptiesStorage", 39, 1000, S_OK, 39},
    {"FirstCallBelowMinimumStillThirtyNine", -1, 39, S_OK, 39},
    {"LargerStorageEmptiesAllItIsAsked", 50, 50, S_OK, 50},
    {"LargerStorageThirtyNineKeepsTheRest", 50, 39, S_OK, 39},
};
class AllocValuesTest : public testing::TestWithParam<AllocRow> {};
TEST_P(AllocValuesTest, EmptiesOnlySlotsThatExist) {
    const AllocRow& row = GetParam();
    auto object = NewObject();
    ASSERT_EQ(object->AllocValues(row.firstCount), S_OK);
    double* storage = object->GetVectorPointer();
    const int capacity = row.firstCount > kSlotCount ? row.firstCount : kSlotCount;
    for (int i = 0; i < capacity; ++i) storage[i] = 1.5;
    EXPECT_EQ(object->AllocValues(row.secondCount), row.expected);
    EXPECT_EQ(object->GetVectorPointer(), storage);
    for (int i = 0; i < capacity; ++i) EXPECT_EQ(storage[i], i < row.emptiedBySecond ? kEmptyValue : 1.5) << "slot " << i + 1;
}
INSTANTIATE_TEST_SUITE_P(Rows, AllocValuesTest, testing::ValuesIn(kAllocRows), testing_support::RowName());

TEST(SizingVectorTest, ImpossibleSizeFailsWithoutStorage) {
    auto object = NewObject();
    EXPECT_EQ(object->AllocValues(std::numeric_limits<std::int32_t>::max()), E_FAIL);
    EXPECT_FALSE(HasVector(*object));
    EXPECT_EQ(object->GetValue(1), kEmptyValue);
}

TEST(SizingVectorTest, LargerFirstAllocationIsReadableToItsEnd) {
    auto object = NewObject();
    ASSERT_EQ(object->AllocValues(50), S_OK);
    EXPECT_EQ(object->GetValue(50), kEmptyValue);
    object->GetVectorPointer()[49] = 3.0;
    EXPECT_EQ(object->GetValue(50), 3.0);
    EXPECT_EQ(object->GetValue(51), kEmptyValue);
}

struct FixedRow {
    const char* name;
    double stored;
    double fixedValue;
};
const FixedRow kFixedRows[] = {
    {"Negative", -2.5, 2.5}, {"Positive", 2.5, kEmptyValue}, {"Zero", 0.0, kEmptyValue},
    {"NegativeZero", -0.0, kEmptyValue}, {"Empty", kEmptyValue, kEmptyValue},
    {"NaN", std::numeric_limits<double>::quiet_NaN(), kEmptyValue},
};
class FixedValueTest : public testing::TestWithParam<FixedRow> {};
TEST_P(FixedValueTest, ReadsOnlyNegativeNonEmptyAsFixed) {
    testing_support::ArraySlots slots;
    slots[Slot::Ratio] = GetParam().stored;
    EXPECT_EQ(FixedValue(slots, Slot::Ratio), GetParam().fixedValue);
    EXPECT_EQ(IsFixed(slots, Slot::Ratio), GetParam().fixedValue != kEmptyValue);
}
INSTANTIATE_TEST_SUITE_P(Rows, FixedValueTest, testing::ValuesIn(kFixedRows), testing_support::RowName());

TEST(FifthOrFootTest, NeverBelowOneFoot) {
    EXPECT_EQ(FifthOrFoot(2.0), 0.4);
    EXPECT_EQ(FifthOrFoot(1.524), kFoot);  // 0.3048 exactly is not greater
    EXPECT_EQ(FifthOrFoot(0.5), kFoot);
}

TEST(TruncateToInt32Test, OutOfRangeGivesIntMin) {
    EXPECT_EQ(TruncateToInt32(1.7), 1);
    EXPECT_EQ(TruncateToInt32(-0.5), 0);
    EXPECT_EQ(TruncateToInt32(-32767.0), -32767);
    EXPECT_EQ(TruncateToInt32(2147483647.9), 2147483647);
    EXPECT_EQ(TruncateToInt32(2147483648.0), INT32_MIN);
    EXPECT_EQ(TruncateToInt32(-1e300), INT32_MIN);
    EXPECT_EQ(TruncateToInt32(std::numeric_limits<double>::quiet_NaN()), INT32_MIN);
    EXPECT_EQ(TruncateToInt32(std::numeric_limits<double>::infinity()), INT32_MIN);
}

TEST(SizingObjectTest, ReferenceCountsAndLiveObjects) {
    const LONG before = LiveObjectCount();
    ISeparatorSizing* object = CreateSizingObject();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(LiveObjectCount(), before + 1);
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    object->GetVectorPointer();
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(LiveObjectCount(), before);
}

// A C host passes the identifier by pointer and may pass null; C++ can only say so by
// binding a null reference, which the sanitizer would stop before the object sees it.
__attribute__((no_sanitize("undefined"))) HRESULT QueryWithNullIid(ISeparatorSizing& object, void** out) {
    const IID* none = nullptr;
    return object.QueryInterface(*none, out);
}

TEST(SizingObjectTest, QueryInterfaceOffersUnknownAndItsOwnInterfaceOnly) {
    auto object = NewObject();
    void* viaUnknown = nullptr;
    void* viaOwn = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, &viaUnknown), S_OK);
    ASSERT_EQ(object->QueryInterface(IID_ISeparatorSizing, &viaOwn), S_OK);
    EXPECT_EQ(viaUnknown, viaOwn);
    EXPECT_EQ(object->AddRef(), 4u);  // one for the handle, two for the queries
    object->Release();
    object->Release();
    object->Release();

    void* other = &viaOwn;
    EXPECT_EQ(object->QueryInterface(CLSID_SeparatorSizing, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(QueryWithNullIid(*object, &other), E_INVALIDARG);
    EXPECT_EQ(other, nullptr);
}

TEST(SizingObjectTest, InterfaceIdentifierIsClassIdentifierLessOne) {
    EXPECT_EQ(IID_ISeparatorSizing.Data1 + 1, CLSID_SeparatorSizing.Data1);
    EXPECT_EQ(IID_ISeparatorSizing.Data2, CLSID_SeparatorSizing.Data2);
    EXPECT_EQ(IID_ISeparatorSizing.Data3, CLSID_SeparatorSizing.Data3);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(IID_ISeparatorSizing.Data4[i], CLSID_SeparatorSizing.Data4[i]);
}

}  // namespace
}  // namespace kestrol

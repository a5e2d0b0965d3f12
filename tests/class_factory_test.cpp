// The class factory and the exports that hand it out, as a host meets them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "sizing/object_count.h"
#include "module/class_factory.h"
#include "module/exports.h"
#include "module/module_state.h"
#include "sizing/separator_sizing.h"

namespace kestrol {
namespace {

// Stands for whatever a host's out location held before the call.
void* const kGarbage = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x5A5A5A50u));

constexpr IID kForeignIid = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

// The factory's table as a C host sees it, where identifiers travel as pointers and a
// careless host can pass null (a C++ caller cannot form a null reference).
struct FactoryTableForC {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(void* self, const IID* iid, void** out);
    ULONG(STDMETHODCALLTYPE* AddRef)(void* self);
    ULONG(STDMETHODCALLTYPE* Release)(void* self);
    HRESULT(STDMETHODCALLTYPE* CreateInstance)(void* self, void* outer, const IID* iid, void** out);
    HRESULT(STDMETHODCALLTYPE* LockServer)(void* self, BOOL lock);
};
const FactoryTableForC& TableOf(IClassFactory* factory) {
    return **reinterpret_cast<FactoryTableForC**>(factory);
}
using GetClassObjectForC = HRESULT(STDAPICALLTYPE*)(const CLSID*, const IID*, void**);
const auto DllGetClassObjectForC = reinterpret_cast<GetClassObjectForC>(reinterpret_cast<void (*)()>(&DllGetClassObject));

IClassFactory* GetFactory() {
    void* out = nullptr;
    EXPECT_EQ(DllGetClassObject(CLSID_SeparatorSizing, IID_IClassFactory, &out), S_OK);
    return static_cast<IClassFactory*>(out);
}

class ClassFactoryTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LiveObjectCount(), 0);
        ASSERT_EQ(module::LockCount(), 0);
        ASSERT_EQ(module::LiveFactoryCount(), 0);
    }
    void TearDown() override {
        EXPECT_EQ(LiveObjectCount(), 0) << "an object was left alive";
        EXPECT_EQ(module::LockCount(), 0) << "a lock was left held";
        EXPECT_EQ(module::LiveFactoryCount(), 0) << "a factory was left alive";
        EXPECT_EQ(DllCanUnloadNow(), S_OK);
    }
};

struct InterfaceRow {
    const char* name;
    IID iid;
    HRESULT expected;
};
void PrintTo(const InterfaceRow& row, std::ostream* os) { *os << row.name; }

const InterfaceRow kFactoryInterfaces[] = {
    {"Unknown", IID_IUnknown, S_OK},
    {"ClassFactory", IID_IClassFactory, S_OK},
    {"SizingInterfaceIsNotTheFactorys", IID_ISeparatorSizing, E_NOINTERFACE},
    {"ClassIdIsNoInterface", CLSID_SeparatorSizing, E_NOINTERFACE},
    {"Foreign", kForeignIid, E_NOINTERFACE},
};

class DllGetClassObjectTest : public ClassFactoryTest, public testing::WithParamInterface<InterfaceRow> {};

TEST_P(DllGetClassObjectTest, HandsOutAFactoryOnlyForItsInterfaces) {
    void* out = kGarbage;
    EXPECT_EQ(DllGetClassObject(CLSID_SeparatorSizing, GetParam().iid, &out), GetParam().expected);
    if (GetParam().expected == S_OK) {
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(module::LiveFactoryCount(), 1);
        // The export kept no reference of its own: the host's is the last one.
        EXPECT_EQ(static_cast<IUnknown*>(out)->Release(), 0u);
    } else {
        EXPECT_EQ(out, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Interfaces, DllGetClassObjectTest, testing::ValuesIn(kFactoryInterfaces),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ClassFactoryTest, EveryRequestGetsAFreshFactory) {
    IClassFactory* first = GetFactory();
    IClassFactory* second = GetFactory();
    EXPECT_NE(first, second);
    EXPECT_EQ(module::LiveFactoryCount(), 2);
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);
}

// A host that tests the pointer instead of the code must not be handed back its own garbage.
TEST_F(ClassFactoryTest, UnknownClassNullsTheOutLocation) {
    for (const CLSID& other : {IID_ISeparatorSizing, kForeignIid, IID_IClassFactory}) {
        void* out = kGarbage;
        EXPECT_EQ(DllGetClassObject(other, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(out, nullptr);
    }
}

TEST_F(ClassFactoryTest, NullArgumentsAreRefusedBeforeAnythingIsCreated) {
    void* out = kGarbage;
    EXPECT_EQ(DllGetClassObject(CLSID_SeparatorSizing, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(DllGetClassObjectForC(nullptr, &IID_IClassFactory, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    out = kGarbage;
    EXPECT_EQ(DllGetClassObjectForC(&CLSID_SeparatorSizing, nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(module::LiveFactoryCount(), 0);

    IClassFactory* factory = GetFactory();
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    out = kGarbage;
    EXPECT_EQ(TableOf(factory).QueryInterface(factory, nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ISeparatorSizing, nullptr), E_POINTER);
    out = kGarbage;
    EXPECT_EQ(TableOf(factory).CreateInstance(factory, nullptr, nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(LiveObjectCount(), 0);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST_F(ClassFactoryTest, AddRefAndReleaseCountTheFactorysReferences) {
    IClassFactory* factory = GetFactory();
    EXPECT_EQ(factory->AddRef(), 2u);
    void* again = nullptr;
    ASSERT_EQ(factory->QueryInterface(IID_IUnknown, &again), S_OK);
    EXPECT_EQ(again, static_cast<void*>(factory));
    EXPECT_EQ(factory->Release(), 2u);
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(module::LiveFactoryCount(), 1);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST_F(ClassFactoryTest, QueryInterfaceForAnotherInterfaceNullsTheOutLocation) {
    IClassFactory* factory = GetFactory();
    void* out = kGarbage;
    EXPECT_EQ(factory->QueryInterface(kForeignIid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->Release(), 0u);
}

const InterfaceRow kObjectInterfaces[] = {
    {"SizingInterface", IID_ISeparatorSizing, S_OK},
    {"Unknown", IID_IUnknown, S_OK},
    {"ClassFactory", IID_IClassFactory, E_NOINTERFACE},
    {"Foreign", kForeignIid, E_NOINTERFACE},
};

class CreateInstanceTest : public ClassFactoryTest, public testing::WithParamInterface<InterfaceRow> {};

TEST_P(CreateInstanceTest, MakesAnObjectWithOneReferenceOrNone) {
    IClassFactory* factory = GetFactory();
    void* out = kGarbage;
    EXPECT_EQ(factory->CreateInstance(nullptr, GetParam().iid, &out), GetParam().expected);
    EXPECT_EQ(factory->Release(), 0u);  // the object does not hold its factory
    if (GetParam().expected == S_OK) {
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(LiveObjectCount(), 1);
        EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
        auto* object = static_cast<IUnknown*>(out);
        EXPECT_EQ(object->AddRef(), 2u);
        EXPECT_EQ(object->Release(), 1u);
        EXPECT_EQ(object->Release(), 0u);
    } else {
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(LiveObjectCount(), 0) << "a refused object must be destroyed at once";
    }
}

INSTANTIATE_TEST_SUITE_P(Interfaces, CreateInstanceTest, testing::ValuesIn(kObjectInterfaces),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ClassFactoryTest, AggregationIsRefusedAndTheOutLocationNulled) {
    IClassFactory* factory = GetFactory();
    void* out = kGarbage;
    EXPECT_EQ(factory->CreateInstance(factory, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(LiveObjectCount(), 0);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST_F(ClassFactoryTest, ObjectsKeepTheModuleLoadedUntilTheLastIsReleased) {
    IClassFactory* factory = GetFactory();
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);  // a host that keeps its factory locks the server
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISeparatorSizing, &first), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISeparatorSizing, &second), S_OK);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(LiveObjectCount(), 2);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    static_cast<ISeparatorSizing*>(first)->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    static_cast<ISeparatorSizing*>(second)->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(ClassFactoryTest, LockServerHoldsTheModuleWithoutObjects) {
    IClassFactory* factory = GetFactory();
    EXPECT_EQ(DllCanUnloadNow(), S_OK) << "factories alone do not hold the module";
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(module::LockCount(), 1);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(7), S_OK);  // any nonzero flag locks
    EXPECT_EQ(module::LockCount(), 2);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST_F(ClassFactoryTest, ObjectFromTheFactoryWorksThroughItsInterface) {
    IClassFactory* factory = GetFactory();
    void* out = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISeparatorSizing, &out), S_OK);
    factory->Release();
    auto* object = static_cast<ISeparatorSizing*>(out);
    object->SetOrientation(1);
    EXPECT_EQ(object->GetValue(14), 1.0);
    EXPECT_EQ(object->GetValue(1), kEmptyValue);
    EXPECT_EQ(object->Release(), 0u);
}

double STDMETHODCALLTYPE NoAnswer(std::int32_t) { return kEmptyValue; }

template <class Field>
Field FieldAt(const void* object, std::size_t offset) {
    Field value;
    std::memcpy(&value, static_cast<const unsigned char*>(object) + offset, sizeof value);
    return value;
}

// Both objects keep their reference count where their field order puts it, right after the
// interface table (the factory) or the callback (the object): the shared IUnknown must add
// no field of its own in front.
TEST_F(ClassFactoryTest, ReferenceCountsSitWhereTheFieldOrderPutsThem) {
    IClassFactory* factory = GetFactory();
    EXPECT_EQ(factory->AddRef(), 2u);
    EXPECT_EQ(FieldAt<LONG>(factory, sizeof(void*)), 2);
    void* out = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISeparatorSizing, &out), S_OK);
    auto* object = static_cast<ISeparatorSizing*>(out);
    object->SetPropertyCallback(&NoAnswer);
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->AddRef(), 3u);
    EXPECT_EQ(FieldAt<HostPropertyCallback>(object, sizeof(void*)), &NoAnswer);
    EXPECT_EQ(FieldAt<LONG>(object, 2 * sizeof(void*)), 3);
    EXPECT_EQ(object->Release(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST(ModuleIdentityTest, InterfaceIdIsTheClassIdWithItsFirstFieldOneLess) {
    EXPECT_EQ(IID_ISeparatorSizing.Data1 + 1, CLSID_SeparatorSizing.Data1);
    EXPECT_EQ(std::memcmp(&IID_ISeparatorSizing.Data2, &CLSID_SeparatorSizing.Data2,
                          sizeof(GUID) - sizeof(CLSID_SeparatorSizing.Data1)),
              0);
}

TEST(ModuleEntryPointTest, RecordsTheInstanceOnProcessAttachOnly) {
    const HINSTANCE before = module::Instance();
    auto* handle = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x10000000u));
    auto* other = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x20000000u));
    EXPECT_EQ(DllMain(handle, DLL_PROCESS_ATTACH, nullptr), TRUE);
    EXPECT_EQ(module::Instance(), handle);
    for (DWORD reason : {0u, 2u, 3u}) {  // process detach, thread attach, thread detach
        EXPECT_EQ(DllMain(other, reason, nullptr), TRUE);
        EXPECT_EQ(module::Instance(), handle) << "reason " << reason;
    }
    module::RecordInstance(before);
}

}  // namespace
}  // namespace kestrol

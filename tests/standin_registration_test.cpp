// Registration where the platform misbehaves: faults steered through the stand-in's fakes,
// which only a native build has.
#include <cstdint>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "module/exports.h"
#include "module/module_state.h"
#include "module/registration.h"

namespace kestrol {
namespace {

const std::wstring kClassKey = L"CLSID\\{81768304-E824-4BA0-82EC-74FD36246BC7}";
HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x10000000u));

class StandinRegistrationTest : public testing::Test {
protected:
    void SetUp() override {
        standin::Reset();
        module::RecordInstance(kInstance);
    }
    void TearDown() override {
        EXPECT_EQ(standin::OpenKeyHandles(), 0) << "a key was left open";
        EXPECT_EQ(standin::OutstandingComStrings(), 0) << "a CLSID string was not freed";
        standin::Reset();
        module::RecordInstance(nullptr);
    }
};

struct RefusalRow {
    const char* name;
    void (*arrange)();
    HRESULT expected;
};
void PrintTo(const RefusalRow& row, std::ostream* os) { *os << row.name; }

const RefusalRow kRefusals[] = {
    {"NoInstanceHandle", [] { module::RecordInstance(nullptr); }, SELFREG_E_CLASS},
    {"ModulePathUnknown", [] { standin::SetModuleFileName(std::nullopt); }, SELFREG_E_CLASS},
    {"ModulePathFillsTheBuffer", [] { standin::SetModuleFileName(std::wstring(512, L'p')); }, SELFREG_E_CLASS},
    {"ModulePathLongerThanTheBuffer", [] { standin::SetModuleFileName(std::wstring(900, L'p')); }, SELFREG_E_CLASS},
    {"ClassIdNotRendered", [] { standin::FailStringFromClsid(E_OUTOFMEMORY); }, E_OUTOFMEMORY},
    {"ClassIdTooShort", [] { standin::OverrideClsidText(L"{81768304-E824-4BA0-82EC-74FD36246BC}"); }, E_FAIL},
    {"ClassIdTooLong", [] { standin::OverrideClsidText(L"{81768304-E824-4BA0-82EC-74FD36246BC7}X"); }, E_FAIL},
    {"ClassIdNotAGuid", [] { standin::OverrideClsidText(L"{81768304-E824-4BA0-82EC-74FD36246BC\u00e9}"); }, E_FAIL},
    {"ClassIdWithASeparatorInside",
     [] { standin::OverrideClsidText(L"{81768304-E824-4BA0-82EC\\74FD36246BC7}"); }, E_FAIL},
};

class RegistrationRefusalTest : public StandinRegistrationTest, public testing::WithParamInterface<RefusalRow> {};

TEST_P(RegistrationRefusalTest, WritesNoKeyAndReportsWhy) {
    GetParam().arrange();
    EXPECT_EQ(DllRegisterServer(), GetParam().expected);
    EXPECT_TRUE(standin::RegistryKeys().empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, RegistrationRefusalTest, testing::ValuesIn(kRefusals),
                         [](const auto& row) { return std::string(row.param.name); });

struct ModulePathRow {
    const char* name;
    std::wstring path;
};
void PrintTo(const ModulePathRow& row, std::ostream* os) { *os << row.name; }

const ModulePathRow kModulePaths[] = {
    {"LongestUsable", L"C:\\" + std::wstring(508, L'p')},  // 511 characters and the terminator
    // Characters no ANSI code page holds together: the path must arrive as it is.
    {"OutsideTheAnsiCodePage", L"C:\\Gr\u00fc\u00dfe_\u65e5\u672c\\Kestrol.dll"},
    {"BeyondTheBasicPlane", L"C:\\\U0001F6E2\\Kestrol.dll"},
};

class ModulePathTest : public StandinRegistrationTest, public testing::WithParamInterface<ModulePathRow> {};

TEST_P(ModulePathTest, IsRegisteredExactly) {
    standin::SetModuleFileName(GetParam().path);
    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(standin::RegistryKeys().at(kClassKey + L"\\InprocServer32"), GetParam().path + L'\0');
}

INSTANTIATE_TEST_SUITE_P(Paths, ModulePathTest, testing::ValuesIn(kModulePaths),
                         [](const auto& row) { return std::string(row.param.name); });

struct ClassIdFaultRow {
    const char* name;
    void (*arrange)();
    HRESULT expected;
};
void PrintTo(const ClassIdFaultRow& row, std::ostream* os) { *os << row.name; }

const ClassIdFaultRow kClassIdFaults[] = {
    {"NotRendered", [] { standin::FailStringFromClsid(E_OUTOFMEMORY); }, E_OUTOFMEMORY},
    {"WrongLength", [] { standin::OverrideClsidText(L"{}"); }, E_FAIL},
};

class UnregistrationRefusalTest : public StandinRegistrationTest, public testing::WithParamInterface<ClassIdFaultRow> {};

TEST_P(UnregistrationRefusalTest, TouchesNoKeyWithoutTheClassId) {
    ASSERT_EQ(DllRegisterServer(), S_OK);
    const auto registered = standin::RegistryKeys();
    GetParam().arrange();
    EXPECT_EQ(DllUnregisterServer(), GetParam().expected);
    EXPECT_EQ(standin::RegistryKeys(), registered);
}

INSTANTIATE_TEST_SUITE_P(Faults, UnregistrationRefusalTest, testing::ValuesIn(kClassIdFaults),
                         [](const auto& row) { return std::string(row.param.name); });

// A user without the rights to some keys: whichever write is refused, registration fails and
// the registry is as it was. The rows are written create-then-set, nine of each.
constexpr int kRegistrationWrites = 18;

enum class Before { Nothing, ElsewhereRegistered, PartlyThere };
struct RefusedWriteRow {
    const char* name;
    Before before;
};
void PrintTo(const RefusedWriteRow& row, std::ostream* os) { *os << row.name; }

const RefusedWriteRow kBefore[] = {
    {"OnAnEmptyRegistry", Before::Nothing},
    // An older copy of the module registered from another folder keeps its registration.
    {"OverAnotherRegistration", Before::ElsewhereRegistered},
    // Some keys there already, without values: the values written into them go again.
    {"OverEmptyKeys", Before::PartlyThere},
};

class RefusedWriteTest : public StandinRegistrationTest, public testing::WithParamInterface<RefusedWriteRow> {
protected:
    void Arrange() {
        standin::AddKey(L"CLSID");  // a real registry always has it
        if (GetParam().before == Before::ElsewhereRegistered) {
            standin::SetModuleFileName(std::wstring(L"D:\\Old\\Kestrol.dll"));
            ASSERT_EQ(DllRegisterServer(), S_OK);
            standin::SetModuleFileName(std::wstring(L"C:\\New\\Kestrol.dll"));
        } else if (GetParam().before == Before::PartlyThere) {
            standin::AddKey(kClassKey + L"\\InprocServer32");
            standin::AddKey(L"Quorvanix.SeparatorSizing\\CurVer");
        }
    }
};

TEST_P(RefusedWriteTest, EveryRefusedWriteLeavesTheRegistryAsItWas) {
    Arrange();
    const auto before = standin::RegistryKeys();
    const int writesBefore = standin::RegistryWrites();
    ASSERT_EQ(DllRegisterServer(), S_OK);
    ASSERT_EQ(standin::RegistryWrites() - writesBefore, kRegistrationWrites);
    for (int refused = 1; refused <= kRegistrationWrites; ++refused) {
        SCOPED_TRACE(testing::Message() << "write " << refused << " refused");
        standin::Reset();
        module::RecordInstance(kInstance);
        Arrange();
        standin::RefuseWriteNumber(standin::RegistryWrites() + refused);
        EXPECT_EQ(DllRegisterServer(), SELFREG_E_CLASS);
        EXPECT_EQ(standin::RegistryKeys(), before);
        EXPECT_EQ(standin::OpenKeyHandles(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Registries, RefusedWriteTest, testing::ValuesIn(kBefore),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(StandinRegistrationTest, ARefusedKeyBelowTheClassKeyTakesBackTheRowsBefore) {
    standin::AddKey(L"CLSID");
    standin::RefuseKeyCreation(kClassKey + L"\\ProgID");
    EXPECT_EQ(DllRegisterServer(), SELFREG_E_CLASS);
    EXPECT_EQ(standin::RegistryKeys().size(), 1u) << "only CLSID itself";
}

// A chain of `levels` keys below the class key, all named "n".
void AddChain(int levels) {
    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, kClassKey.c_str(), 0, KEY_ALL_ACCESS, &parent), ERROR_SUCCESS);
    for (int level = 0; level < levels; ++level) {
        HKEY child = nullptr;
        ASSERT_EQ(RegCreateKeyExW(parent, L"n", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &child,
                                  nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(parent);
        parent = child;
    }
    RegCloseKey(parent);
}

struct DepthRow {
    const char* name;
    int levelsBelowClassKey;
    bool removed;
};
void PrintTo(const DepthRow& row, std::ostream* os) { *os << row.name; }

// The class key itself is the first level.
const DepthRow kDepths[] = {
    {"FiveHundredElevenBelow", 511, true},
    {"FiveHundredTwelveBelow", 512, false},
    {"SixHundredBelow", 600, false},
};

class KeyDepthTest : public StandinRegistrationTest, public testing::WithParamInterface<DepthRow> {};

TEST_P(KeyDepthTest, DeletionStopsPastTheRegistrysOwnDepth) {
    ASSERT_EQ(DllRegisterServer(), S_OK);
    AddChain(GetParam().levelsBelowClassKey);
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    const auto keys = standin::RegistryKeys();
    EXPECT_EQ(keys.count(kClassKey) == 0, GetParam().removed);
    EXPECT_EQ(keys.count(L"Quorvanix.SeparatorSizing"), 0u) << "the other trees are removed regardless";
    EXPECT_EQ(keys.count(L"Quorvanix.SeparatorSizing.1"), 0u);
    if (!GetParam().removed) {
        EXPECT_EQ(module::DeleteKeyTree(HKEY_CLASSES_ROOT, kClassKey.c_str()), ERROR_FILENAME_EXCED_RANGE);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, KeyDepthTest, testing::ValuesIn(kDepths),
                         [](const auto& row) { return std::string(row.param.name); });

// A nested library key as a second server writes it: parents as rows of their own (no value),
// so that taking the rows back removes the keys that a deeper row would create on its way.
const module::RegistryWrite kNestedRows[] = {
    {L"TypeLib\\{1FC6D383-78D8-4608-95C7-2B7A80B338E6}", nullptr, nullptr},
    {L"TypeLib\\{1FC6D383-78D8-4608-95C7-2B7A80B338E6}\\1.0", nullptr, L"library"},
    {L"TypeLib\\{1FC6D383-78D8-4608-95C7-2B7A80B338E6}\\1.0\\0", nullptr, nullptr},
    {L"TypeLib\\{1FC6D383-78D8-4608-95C7-2B7A80B338E6}\\1.0\\0\\win64", nullptr, L"C:\\Server.dll"},
    {L"TypeLib\\{1FC6D383-78D8-4608-95C7-2B7A80B338E6}\\1.0\\FLAGS", nullptr, L"0"},
};

TEST_F(StandinRegistrationTest, EveryRefusedWriteOfNestedRowsLeavesTheRegistryAsItWas) {
    standin::AddKey(L"TypeLib");
    const auto before = standin::RegistryKeys();
    const int writesBefore = standin::RegistryWrites();
    ASSERT_EQ(module::WriteAllOrNothing(kNestedRows, std::size(kNestedRows)), S_OK);
    EXPECT_EQ(standin::RegistryKeys().size(), before.size() + std::size(kNestedRows));
    const int writes = standin::RegistryWrites() - writesBefore;
    for (int refused = 1; refused <= writes; ++refused) {
        SCOPED_TRACE(testing::Message() << "write " << refused << " refused");
        standin::Reset();
        standin::AddKey(L"TypeLib");
        standin::RefuseWriteNumber(standin::RegistryWrites() + refused);
        EXPECT_EQ(module::WriteAllOrNothing(kNestedRows, std::size(kNestedRows)), SELFREG_E_CLASS);
        EXPECT_EQ(standin::RegistryKeys(), before);
        EXPECT_EQ(standin::OpenKeyHandles(), 0);
    }
}

}  // namespace
}  // namespace kestrol

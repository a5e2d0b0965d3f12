// Registration where the platform misbehaves: faults steered through the stand-in's fakes,
// which only a native build has.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "module/exports.h"
#include "module/module_state.h"
#include "module/registration.h"

namespace kestrol {
namespace {

const std::string kClassKey = "CLSID\\{81768304-E824-4BA0-82EC-74FD36246BC7}";
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
    {"ModulePathFillsTheBuffer", [] { standin::SetModuleFileName(std::string(512, 'p')); }, SELFREG_E_CLASS},
    {"ModulePathLongerThanTheBuffer", [] { standin::SetModuleFileName(std::string(900, 'p')); }, SELFREG_E_CLASS},
    {"ClassIdNotRendered", [] { standin::FailStringFromClsid(E_OUTOFMEMORY); }, E_OUTOFMEMORY},
    {"ClassIdTooShort", [] { standin::OverrideClsidText(L"{81768304-E824-4BA0-82EC-74FD36246BC}"); }, E_FAIL},
    {"ClassIdTooLong", [] { standin::OverrideClsidText(L"{81768304-E824-4BA0-82EC-74FD36246BC7}X"); }, E_FAIL},
    {"ClassIdNotConvertible",
     [] { standin::OverrideClsidText(L"{81768304-E824-4BA0-82EC-74FD36246BC\u00e9}"); }, E_FAIL},
};

class RegistrationRefusalTest : public StandinRegistrationTest, public testing::WithParamInterface<RefusalRow> {};

TEST_P(RegistrationRefusalTest, WritesNoKeyAndReportsWhy) {
    GetParam().arrange();
    EXPECT_EQ(DllRegisterServer(), GetParam().expected);
    EXPECT_TRUE(standin::RegistryKeys().empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, RegistrationRefusalTest, testing::ValuesIn(kRefusals),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(StandinRegistrationTest, LongestUsableModulePathIsWrittenWhole) {
    const std::string path = "C:\\" + std::string(508, 'p');  // 511 bytes and the terminator
    standin::SetModuleFileName(path);
    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(standin::RegistryKeys().at(kClassKey + "\\InprocServer32"), path + std::string(1, '\0'));
}

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

TEST_F(StandinRegistrationTest, AKeyThatCannotBeCreatedIsSkipped) {
    standin::RefuseKeyCreation(kClassKey + "\\ProgID");
    EXPECT_EQ(DllRegisterServer(), S_OK);
    const auto keys = standin::RegistryKeys();
    EXPECT_EQ(keys.count(kClassKey + "\\ProgID"), 0u);
    EXPECT_EQ(keys.size(), 9u - 1u + 1u);  // the eight others and the CLSID folder above them
    EXPECT_EQ(keys.count("Quorvanix.SeparatorSizing.1\\CLSID"), 1u) << "later rows are still written";
}

TEST_F(StandinRegistrationTest, AValueThatCannotBeSetLeavesItsKeyEmpty) {
    standin::RefuseValueWrites("Quorvanix.SeparatorSizing\\CurVer");
    EXPECT_EQ(DllRegisterServer(), S_OK);
    const auto keys = standin::RegistryKeys();
    ASSERT_EQ(keys.count("Quorvanix.SeparatorSizing\\CurVer"), 1u);
    EXPECT_FALSE(keys.at("Quorvanix.SeparatorSizing\\CurVer").has_value());
    EXPECT_TRUE(keys.at("Quorvanix.SeparatorSizing.1\\CLSID").has_value());
}

// A chain of `levels` keys below the class key, all named "n".
void AddChain(int levels) {
    std::string path = kClassKey;
    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_ALL_ACCESS, &parent), ERROR_SUCCESS);
    for (int level = 0; level < levels; ++level) {
        HKEY child = nullptr;
        ASSERT_EQ(RegCreateKeyExA(parent, "n", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &child,
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
    EXPECT_EQ(keys.count("Quorvanix.SeparatorSizing"), 0u) << "the other trees are removed regardless";
    EXPECT_EQ(keys.count("Quorvanix.SeparatorSizing.1"), 0u);
    if (!GetParam().removed) {
        EXPECT_EQ(module::DeleteKeyTree(HKEY_CLASSES_ROOT, kClassKey.c_str()), ERROR_FILENAME_EXCED_RANGE);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, KeyDepthTest, testing::ValuesIn(kDepths),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace kestrol

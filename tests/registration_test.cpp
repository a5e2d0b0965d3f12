// Self-registration as the registry sees it. Natively the registry is the stand-in's fake; in
// the Windows build these same cases run against the real registry of a throwaway prefix.
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "module/exports.h"
#include "module/module_state.h"
#include "module/registration.h"
#include "platform/api_signatures.h"

namespace kestrol {
namespace {

// The calls the module makes have the shapes the list gives: the stand-in's natively, the
// SDK's in the Windows build.
static_assert(std::is_same_v<decltype(::RegCreateKeyExA), platform::RegCreateKeyExAType>);
static_assert(std::is_same_v<decltype(::RegSetValueExA), platform::RegSetValueExAType>);
static_assert(std::is_same_v<decltype(::RegOpenKeyExA), platform::RegOpenKeyExAType>);
static_assert(std::is_same_v<decltype(::RegEnumKeyExA), platform::RegEnumKeyExAType>);
static_assert(std::is_same_v<decltype(::RegDeleteKeyA), platform::RegDeleteKeyAType>);
static_assert(std::is_same_v<decltype(::RegCloseKey), platform::RegCloseKeyType>);
static_assert(std::is_same_v<decltype(::GetModuleFileNameA), platform::GetModuleFileNameAType>);
static_assert(std::is_same_v<decltype(::StringFromCLSID), platform::StringFromCLSIDType>);
static_assert(std::is_same_v<decltype(::CoTaskMemFree), platform::CoTaskMemFreeType>);

using Keys = std::map<std::string, std::string>;  // path -> default value bytes, "" if none

const char* const kClassKey = "CLSID\\{81768304-E824-4BA0-82EC-74FD36246BC7}";
const char* const kTrees[] = {kClassKey, "Quorvanix.SeparatorSizing", "Quorvanix.SeparatorSizing.1"};

std::string Sz(const std::string& text) { return text + std::string(1, '\0'); }

#ifdef _WIN32
void ReadTree(HKEY parent, const std::string& name, const std::string& path, Keys& keys) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    char value[1024];
    DWORD size = sizeof value;
    DWORD type = 0;
    keys[path] = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS
                     ? std::string(value, size)
                     : std::string();
    for (DWORD index = 0; index < 4096; ++index) {
        char child[256];
        DWORD length = sizeof child;
        if (RegEnumKeyExA(key, index, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        ReadTree(key, child, path + "\\" + child, keys);
    }
    RegCloseKey(key);
}

Keys ReadOurTrees() {
    Keys keys;
    for (const char* tree : kTrees) ReadTree(HKEY_CLASSES_ROOT, tree, tree, keys);
    return keys;
}

HINSTANCE TestInstance() { return GetModuleHandleA(nullptr); }

std::string ExpectedModulePath() {
    char path[512];
    const DWORD length = GetModuleFileNameA(TestInstance(), path, sizeof path);
    return std::string(path, length);
}

void ResetRegistry() {
    for (const char* tree : kTrees) module::DeleteKeyTree(HKEY_CLASSES_ROOT, tree);
}
#else
bool InOurTrees(const std::string& path) {
    for (const std::string tree : kTrees)
        if (path == tree || path.rfind(tree + "\\", 0) == 0) return true;
    return false;
}

Keys ReadOurTrees() {
    Keys keys;
    for (const auto& [path, value] : standin::RegistryKeys())
        if (InOurTrees(path)) keys[path] = value.value_or("");
    return keys;
}

HINSTANCE TestInstance() { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x10000000u)); }
std::string ExpectedModulePath() { return "C:\\Program Files\\Kestrol\\Kestrol.dll"; }
void ResetRegistry() { standin::Reset(); }
#endif

void AddKey(const std::string& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    RegCloseKey(key);
}

Keys ExpectedKeys() {
    const std::string description = Sz("Quorvanix Separator Sizing COM Module");
    const std::string classId = Sz("{81768304-E824-4BA0-82EC-74FD36246BC7}");
    const std::string classKey = kClassKey;
    return {
        {classKey, description},
        {classKey + "\\InprocServer32", Sz(ExpectedModulePath())},
        {classKey + "\\ProgID", Sz("Quorvanix.SeparatorSizing.1")},
        {classKey + "\\VersionIndependentProgID", Sz("Quorvanix.SeparatorSizing")},
        {"Quorvanix.SeparatorSizing", description},
        {"Quorvanix.SeparatorSizing\\CLSID", classId},
        {"Quorvanix.SeparatorSizing\\CurVer", Sz("Quorvanix.SeparatorSizing.1")},
        {"Quorvanix.SeparatorSizing.1", description},
        {"Quorvanix.SeparatorSizing.1\\CLSID", classId},
    };
}

class RegistrationTest : public testing::Test {
protected:
    void SetUp() override {
        previousInstance_ = module::Instance();
        module::RecordInstance(TestInstance());
        ResetRegistry();
    }
    void TearDown() override {
        ResetRegistry();
        module::RecordInstance(previousInstance_);
    }

private:
    HINSTANCE previousInstance_ = nullptr;
};

TEST_F(RegistrationTest, WritesTheNineKeysWithTheirDefaultValues) {
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(ReadOurTrees(), ExpectedKeys());
}

TEST_F(RegistrationTest, RegisteringTwiceLeavesTheSameKeys) {
    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(ReadOurTrees(), ExpectedKeys());
}

TEST_F(RegistrationTest, RegistrationOverwritesStaleValuesAndKeepsForeignKeys) {
    AddKey(std::string(kClassKey) + "\\InprocServer32");
    AddKey("Quorvanix.SeparatorSizing\\Extra");
    ASSERT_EQ(DllRegisterServer(), S_OK);
    Keys expected = ExpectedKeys();
    expected["Quorvanix.SeparatorSizing\\Extra"] = "";
    EXPECT_EQ(ReadOurTrees(), expected);
}

TEST_F(RegistrationTest, UnregisteringWhenNothingIsRegisteredSucceeds) {
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_TRUE(ReadOurTrees().empty());
}

struct ExtraKeysRow {
    const char* name;
    std::vector<std::string> extras;  ///< added under HKEY_CLASSES_ROOT after registering
};
void PrintTo(const ExtraKeysRow& row, std::ostream* os) { *os << row.name; }

const ExtraKeysRow kExtraKeys[] = {
    {"None", {}},
    {"UnderEachTree",
     {std::string(kClassKey) + "\\Implemented Categories\\{00000000-0000-0000-0000-000000000000}",
      "Quorvanix.SeparatorSizing\\shell\\open\\command", "Quorvanix.SeparatorSizing.1\\Extra"}},
    {"BelowAWrittenKey", {std::string(kClassKey) + "\\InprocServer32\\A\\B\\C\\D"}},
    // The second child's name is longer than the first: the name buffer must be offered whole
    // again for every child.
    {"ShortNameThenLongName",
     {std::string(kClassKey) + "\\a", std::string(kClassKey) + "\\" + std::string(200, 'z')}},
    {"ManySiblings",
     {"Quorvanix.SeparatorSizing\\k01", "Quorvanix.SeparatorSizing\\k02", "Quorvanix.SeparatorSizing\\k03",
      "Quorvanix.SeparatorSizing\\k04", "Quorvanix.SeparatorSizing\\k05", "Quorvanix.SeparatorSizing\\k06"}},
};

class UnregistrationTest : public RegistrationTest, public testing::WithParamInterface<ExtraKeysRow> {};

TEST_P(UnregistrationTest, RemovesTheThreeTreesWholeAndNothingElse) {
    // Neighbours that share a prefix with our keys must survive.
    const std::vector<std::string> neighbours = {"CLSID\\{81768304-E824-4BA0-82EC-74FD36246BC8}",
                                                 "Quorvanix.SeparatorSizingX", "Quorvanix.SeparatorSizing.2"};
    for (const std::string& key : neighbours) AddKey(key);
    ASSERT_EQ(DllRegisterServer(), S_OK);
    for (const std::string& key : GetParam().extras) AddKey(key);
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(ReadOurTrees(), Keys());
    for (const std::string& key : neighbours) {
        HKEY opened = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_ALL_ACCESS, &opened), ERROR_SUCCESS) << key;
        if (opened != nullptr) RegCloseKey(opened);
        module::DeleteKeyTree(HKEY_CLASSES_ROOT, key.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(Trees, UnregistrationTest, testing::ValuesIn(kExtraKeys),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(RegistrationTest, UnregisteringAPartialRegistrationRemovesWhatIsThere) {
    AddKey("Quorvanix.SeparatorSizing.1\\CLSID");
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_TRUE(ReadOurTrees().empty());
}

TEST_F(RegistrationTest, DeletingAMissingKeyReportsItsError) {
    EXPECT_EQ(module::DeleteKeyTree(HKEY_CLASSES_ROOT, "Quorvanix.SeparatorSizing.1"), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace kestrol

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
static_assert(std::is_same_v<decltype(::RegCreateKeyExW), platform::RegCreateKeyExWType>);
static_assert(std::is_same_v<decltype(::RegSetValueExW), platform::RegSetValueExWType>);
static_assert(std::is_same_v<decltype(::RegQueryValueExW), platform::RegQueryValueExWType>);
static_assert(std::is_same_v<decltype(::RegDeleteValueW), platform::RegDeleteValueWType>);
static_assert(std::is_same_v<decltype(::RegOpenKeyExW), platform::RegOpenKeyExWType>);
static_assert(std::is_same_v<decltype(::RegEnumKeyExW), platform::RegEnumKeyExWType>);
static_assert(std::is_same_v<decltype(::RegDeleteKeyW), platform::RegDeleteKeyWType>);
static_assert(std::is_same_v<decltype(::RegCloseKey), platform::RegCloseKeyType>);
static_assert(std::is_same_v<decltype(::GetModuleFileNameW), platform::GetModuleFileNameWType>);
static_assert(std::is_same_v<decltype(::StringFromCLSID), platform::StringFromCLSIDType>);
static_assert(std::is_same_v<decltype(::CoTaskMemFree), platform::CoTaskMemFreeType>);

using Keys = std::map<std::wstring, std::wstring>;  // path -> default value with terminator, "" if none

const wchar_t* const kClassKey = L"CLSID\\{81768304-E824-4BA0-82EC-74FD36246BC7}";
const wchar_t* const kTrees[] = {kClassKey, L"Quorvanix.SeparatorSizing", L"Quorvanix.SeparatorSizing.1"};

std::wstring Sz(const std::wstring& text) { return text + std::wstring(1, L'\0'); }

#ifdef _WIN32
void ReadTree(HKEY parent, const std::wstring& name, const std::wstring& path, Keys& keys) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    wchar_t value[1024];
    DWORD size = sizeof value;
    DWORD type = 0;
    keys[path] = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS
                     ? std::wstring(value, size / sizeof(wchar_t))
                     : std::wstring();
    for (DWORD index = 0; index < 4096; ++index) {
        wchar_t child[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        ReadTree(key, child, path + L"\\" + child, keys);
    }
    RegCloseKey(key);
}

Keys ReadOurTrees() {
    Keys keys;
    for (const wchar_t* tree : kTrees) ReadTree(HKEY_CLASSES_ROOT, tree, tree, keys);
    return keys;
}

HINSTANCE TestInstance() { return GetModuleHandleA(nullptr); }

std::wstring ExpectedModulePath() {
    wchar_t path[512];
    const DWORD length = GetModuleFileNameW(TestInstance(), path, 512);
    return std::wstring(path, length);
}

void ResetRegistry() {
    for (const wchar_t* tree : kTrees) module::DeleteKeyTree(HKEY_CLASSES_ROOT, tree);
}
#else
bool InOurTrees(const std::wstring& path) {
    for (const std::wstring tree : kTrees)
        if (path == tree || path.rfind(tree + L"\\", 0) == 0) return true;
    return false;
}

Keys ReadOurTrees() {
    Keys keys;
    for (const auto& [path, value] : standin::RegistryKeys())
        if (InOurTrees(path)) keys[path] = value.value_or(L"");
    return keys;
}

HINSTANCE TestInstance() { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x10000000u)); }
std::wstring ExpectedModulePath() { return L"C:\\Program Files\\Kestrol\\Kestrol.dll"; }
void ResetRegistry() { standin::Reset(); }
#endif

void AddKey(const std::wstring& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    RegCloseKey(key);
}

Keys ExpectedKeys() {
    const std::wstring description = Sz(L"Quorvanix Separator Sizing COM Module");
    const std::wstring classId = Sz(L"{81768304-E824-4BA0-82EC-74FD36246BC7}");
    const std::wstring classKey = kClassKey;
    return {
        {classKey, description},
        {classKey + L"\\InprocServer32", Sz(ExpectedModulePath())},
        {classKey + L"\\ProgID", Sz(L"Quorvanix.SeparatorSizing.1")},
        {classKey + L"\\VersionIndependentProgID", Sz(L"Quorvanix.SeparatorSizing")},
        {L"Quorvanix.SeparatorSizing", description},
        {L"Quorvanix.SeparatorSizing\\CLSID", classId},
        {L"Quorvanix.SeparatorSizing\\CurVer", Sz(L"Quorvanix.SeparatorSizing.1")},
        {L"Quorvanix.SeparatorSizing.1", description},
        {L"Quorvanix.SeparatorSizing.1\\CLSID", classId},
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
    AddKey(std::wstring(kClassKey) + L"\\InprocServer32");
    AddKey(L"Quorvanix.SeparatorSizing\\Extra");
    ASSERT_EQ(DllRegisterServer(), S_OK);
    Keys expected = ExpectedKeys();
    expected[L"Quorvanix.SeparatorSizing\\Extra"] = L"";
    EXPECT_EQ(ReadOurTrees(), expected);
}

TEST_F(RegistrationTest, UnregisteringWhenNothingIsRegisteredSucceeds) {
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_TRUE(ReadOurTrees().empty());
}

struct ExtraKeysRow {
    const char* name;
    std::vector<std::wstring> extras;  ///< added under HKEY_CLASSES_ROOT after registering
};
void PrintTo(const ExtraKeysRow& row, std::ostream* os) { *os << row.name; }

const ExtraKeysRow kExtraKeys[] = {
    {"None", {}},
    {"UnderEachTree",
     {std::wstring(kClassKey) + L"\\Implemented Categories\\{00000000-0000-0000-0000-000000000000}",
      L"Quorvanix.SeparatorSizing\\shell\\open\\command", L"Quorvanix.SeparatorSizing.1\\Extra"}},
    {"BelowAWrittenKey", {std::wstring(kClassKey) + L"\\InprocServer32\\A\\B\\C\\D"}},
    // The second child's name is longer than the first: the name buffer must be offered whole
    // again for every child.
    {"ShortNameThenLongName",
     {std::wstring(kClassKey) + L"\\a", std::wstring(kClassKey) + L"\\" + std::wstring(200, L'z')}},
    {"ManySiblings",
     {L"Quorvanix.SeparatorSizing\\k01", L"Quorvanix.SeparatorSizing\\k02", L"Quorvanix.SeparatorSizing\\k03",
      L"Quorvanix.SeparatorSizing\\k04", L"Quorvanix.SeparatorSizing\\k05", L"Quorvanix.SeparatorSizing\\k06"}},
    // Names outside the ANSI code page, as a user's own tools may add them.
    {"WideNames", {std::wstring(kClassKey) + L"\\Gr\u00fc\u00dfe\\\u65e5\u672c"}},
};

class UnregistrationTest : public RegistrationTest, public testing::WithParamInterface<ExtraKeysRow> {};

TEST_P(UnregistrationTest, RemovesTheThreeTreesWholeAndNothingElse) {
    // Neighbours that share a prefix with our keys must survive.
    const std::vector<std::wstring> neighbours = {L"CLSID\\{81768304-E824-4BA0-82EC-74FD36246BC8}",
                                                  L"Quorvanix.SeparatorSizingX", L"Quorvanix.SeparatorSizing.2"};
    for (const std::wstring& key : neighbours) AddKey(key);
    ASSERT_EQ(DllRegisterServer(), S_OK);
    for (const std::wstring& key : GetParam().extras) AddKey(key);
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(ReadOurTrees(), Keys());
    for (const std::wstring& key : neighbours) {
        HKEY opened = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_ALL_ACCESS, &opened), ERROR_SUCCESS);
        if (opened != nullptr) RegCloseKey(opened);
        module::DeleteKeyTree(HKEY_CLASSES_ROOT, key.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(Trees, UnregistrationTest, testing::ValuesIn(kExtraKeys),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(RegistrationTest, UnregisteringAPartialRegistrationRemovesWhatIsThere) {
    AddKey(L"Quorvanix.SeparatorSizing.1\\CLSID");
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_TRUE(ReadOurTrees().empty());
}

TEST_F(RegistrationTest, DeletingAMissingKeyReportsItsError) {
    EXPECT_EQ(module::DeleteKeyTree(HKEY_CLASSES_ROOT, L"Quorvanix.SeparatorSizing.1"), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace kestrol

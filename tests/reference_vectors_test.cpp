#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reference_cases.h"

namespace kestrol {
namespace {

using namespace testing_support;

std::vector<std::string> Lines(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

/// The first word where two lines part, for a readable failure.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
    std::istringstream e(expected), a(actual);
    std::string we, wa;
    for (int word = 0;; ++word) {
        const bool moreE = static_cast<bool>(e >> we), moreA = static_cast<bool>(a >> wa);
        if (!moreE && !moreA) return "none";
        if (!moreE || !moreA || we != wa)
            return "word " + std::to_string(word) + ": expected " + (moreE ? we : "<end>") + ", got " + (moreA ? wa : "<end>");
    }
}

// The recorded bits are those of x86-64 Linux: another mathematics library (the Windows
// builds') rounds some exponentials and powers the other way in the last bit.
#if defined(__x86_64__) && defined(__GLIBC__)
constexpr bool kBitsRecordedHere = true;
#else
constexpr bool kBitsRecordedHere = false;
#endif

TEST(ReferenceVectors, GeneratedCasesGiveTheSameBits) {
    if (!kBitsRecordedHere) GTEST_SKIP() << "bits recorded with another mathematics library";
    const std::vector<std::string> expected = Lines(kReferenceVectors);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(kReferenceCaseCount)) << kReferenceVectors;
    int differing = 0;
    for (int n = 0; n < kReferenceCaseCount; ++n) {
        const std::string actual = ReferenceLine(n);
        if (actual == expected[static_cast<std::size_t>(n)]) continue;
        if (++differing <= 5) ADD_FAILURE() << "case " << n << ", " << FirstDifference(expected[static_cast<std::size_t>(n)], actual);
    }
    EXPECT_EQ(differing, 0) << "cases whose vectors changed";
}

TEST(ReferenceVectors, ExampleScriptsPrintTheSameNumbers) {
    if (!kBitsRecordedHere) GTEST_SKIP() << "bits recorded with another mathematics library";
    const std::vector<std::string> expected = Lines(kReferenceScripts);
    const auto scripts = ExampleScripts();
    ASSERT_EQ(expected.size(), scripts.size());
    for (std::size_t i = 0; i < scripts.size(); ++i)
        EXPECT_EQ(PlayExampleScript(scripts[i]), expected[i]) << scripts[i];
}

// The cases reach what they are meant to: a file of failed sizings would compare equal
// across almost any change.
TEST(ReferenceVectors, CasesSizeBothOrientations) {
    constexpr std::size_t kInputWords = 12;
    int costed = 0, horizontal = 0, vertical = 0, played = 0;
    for (int n = 0; n < kReferenceCaseCount; n += 3, ++played) {
        std::istringstream in(PlayReferenceCase(n));
        std::vector<std::string> words;
        for (std::string w; in >> w;) words.push_back(w);
        ASSERT_GT(words.size(), kInputWords + kSlotCount);
        // The last vector comes just before the stream inputs.
        const std::size_t first = words.size() - kInputWords - kSlotCount;
        const auto slot = [&](Slot s) { return words[first + static_cast<std::size_t>(Index(s)) - 1]; };
        if (slot(Slot::TotalCost) != "-") ++costed;
        if (slot(Slot::Orientation) == "3ff0000000000000") ++horizontal;  // 1.0
        if (slot(Slot::Orientation) == "0000000000000000") ++vertical;    // 0.0
    }
    EXPECT_GT(costed, played / 2);
    EXPECT_GT(horizontal, played / 5);
    EXPECT_GT(vertical, played / 5);
}

}  // namespace
}  // namespace kestrol

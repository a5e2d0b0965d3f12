// The level set points: the volumes between them, their placement from the times and the margin,
// the review's findings on a ladder that does not fit, and the outputs; and that none of it
// changes a sized number.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "host/batch.h"
#include "host/level_report.h"
#include "host/report.h"
#include "host/svg.h"
#include "process/levels.h"
#include "review/review.h"
#include "row_name.h"
#include "sized_case.h"

namespace kestrol {
namespace {

using process::LevelAfter;
using process::LevelBasis;
using process::LevelTime;
using process::SetPoint;
using process::VesselShape;
using process::VolumeBelow;
using testing_support::SizeJson;

// LevelAfter is VolumeBelow's inverse: the volume between `from` and the level it returns is the
// volume asked, in the head, in the cylinder and lying down, upward and downward.
struct InverseRow {
    const char* name;
    VesselShape shape;
    double from;
    double volume;
};
const InverseRow kInverseRows[] = {
    {"UprightInTheHead", {true, 2.0, 6.0}, 0.1, 0.2},
    {"UprightFromHeadIntoCylinder", {true, 2.0, 6.0}, 0.3, 3.0},
    {"UprightDownIntoTheHead", {true, 2.0, 6.0}, 1.5, -2.5},
    {"LyingBelowTheMiddle", {false, 2.4384, 7.3152}, 0.3, 4.0},
    {"LyingAcrossTheMiddle", {false, 2.4384, 7.3152}, 1.0, 9.0},
    {"LyingDownward", {false, 2.4384, 7.3152}, 1.5, -6.0},
};
class LevelAfterTest : public testing::TestWithParam<InverseRow> {};
TEST_P(LevelAfterTest, HoldsTheVolumeAsked) {
    const InverseRow& row = GetParam();
    const double level = LevelAfter(row.shape, row.from, row.volume);
    // Loose: the bisection stops where the midpoint no longer moves, a few ulps of the level.
    EXPECT_NEAR(VolumeBelow(row.shape, level) - VolumeBelow(row.shape, row.from), row.volume, 1e-9 * std::fabs(row.volume));
}
INSTANTIATE_TEST_SUITE_P(Rows, LevelAfterTest, testing::ValuesIn(kInverseRows), testing_support::RowName());

TEST(LevelAfterTest, StopsAtTheTopOfALyingDrumAndAtTheBottom) {
    const VesselShape lying{false, 2.0, 6.0};
    EXPECT_EQ(LevelAfter(lying, 1.0, 1e3), 2.0);
    EXPECT_EQ(LevelAfter(lying, 1.0, -1e3), 0.0);
    EXPECT_EQ(LevelAfter(VesselShape{true, 2.0, 6.0}, 1.0, -1e3), 0.0);
}

TEST(VolumeBelowTest, UprightHeadHoldsAnEllipsoidHalfAndLyingFullEqualsVessel) {
    const double d = 2.0;
    // Half an ellipsoid of semi-axes 1, 1 and 0.5: (2/3) pi 0.5 = pi/3 (ten-digit pi upright).
    EXPECT_NEAR(VolumeBelow(VesselShape{true, d, 6.0}, d / 4.0), 3.141592654 / 3.0, 1e-9);
    // Lying full: pi r^2 L + (4/3) pi r^2 (D/4), the cylinder and both heads.
    constexpr double kPi = 3.14159265358979323846;
    const double full = kPi * 6.0 + 4.0 / 3.0 * kPi * 0.5;
    EXPECT_NEAR(VolumeBelow(VesselShape{false, d, 6.0}, d), full, 1e-12);
}

// A worked ladder, by hand: upright D = 2 m, a liquid inflow of 0.01 m3/s, NLL 2.0 m and
// LLL 1.5 m in the cylinder, whose section is pi/4 x 2^2 = 3.141592654 m2 (ten-digit pi).
// Surge 180 s: 1.8 m3, 0.572957795 m, HLL 2.572957795 m. Alarm 300 s: 3 m3, 0.954929659 m,
// HHLL 3.527887454 m and LLLL 0.545070341 m. Hold-up 1.5 m x 3.141592654 m2 / 0.01 m3/s = 157.08 s.
LevelBasis WorkedBasis() {
    LevelBasis b;
    b.shape = VesselShape{true, 2.0, 6.0};
    b.liquidFlow = 0.01;
    b.surface = 2.0;
    b.minimum = 1.5;
    b.vapourSpaceBottom = 2.3048;
    return b;
}

TEST(PlaceLevelsTest, MatchesTheWorkedLadder) {
    const process::Ladder l = process::PlaceLevels(WorkedBasis());
    EXPECT_NEAR(l.Height(SetPoint::HLL), 2.572957795, 1e-9);
    EXPECT_NEAR(l.Height(SetPoint::HHLL), 3.527887454, 1e-9);
    EXPECT_NEAR(l.Height(SetPoint::LLLL), 0.545070341, 1e-9);
    EXPECT_DOUBLE_EQ(l.Height(SetPoint::NLL), 2.0);
    EXPECT_DOUBLE_EQ(l.Height(SetPoint::LLL), 1.5);
    EXPECT_NEAR(l.Time(LevelTime::Surge), 180.0, 1e-9);
    EXPECT_NEAR(l.Time(LevelTime::HighAlarm), 300.0, 1e-9);
    EXPECT_NEAR(l.Time(LevelTime::LowAlarm), 300.0, 1e-9);
    EXPECT_NEAR(l.Time(LevelTime::Holdup), 0.5 * 3.141592654 / 0.01, 1e-9);
    EXPECT_TRUE(IsEmpty(l.Height(SetPoint::NIL)));
}

TEST(PlaceLevelsTest, AlarmLevelsKeepTheMarginAndTheBottom) {
    LevelBasis b = WorkedBasis();
    b.liquidFlow = 1e-6;  // the times ask for a hair's breadth
    b.minimum = 0.1;
    const process::Ladder l = process::PlaceLevels(b);
    EXPECT_DOUBLE_EQ(l.Height(SetPoint::HHLL), l.Height(SetPoint::HLL) + process::kDefaultAlarmMargin);
    EXPECT_DOUBLE_EQ(l.Height(SetPoint::LLLL), 0.0);  // 0.1 m less the margin is below the bottom
}

TEST(PlaceLevelsTest, GivenSetPointsAreKeptAndTheirNeighboursFollow) {
    LevelBasis b = WorkedBasis();
    b.given[static_cast<std::size_t>(SetPoint::HLL)] = 3.0;
    const process::Ladder l = process::PlaceLevels(b);
    EXPECT_EQ(l.Height(SetPoint::HLL), 3.0);
    EXPECT_NEAR(l.Height(SetPoint::HHLL), 3.0 + 0.954929659, 1e-9);
    EXPECT_NEAR(l.Time(LevelTime::Surge), 3.141592654 / 0.01, 1e-9);
}

TEST(PlaceLevelsTest, InterfaceLevelsTakeTheHeavyInflow) {
    LevelBasis b = WorkedBasis();
    b.heavyFlow = 0.002;
    b.heavyLevel = 0.9;
    const process::Ladder l = process::PlaceLevels(b);
    // 300 s x 0.002 m3/s = 0.6 m3: 0.190985932 m either side of 0.9 m.
    EXPECT_NEAR(l.Height(SetPoint::HIL), 0.9 + 0.6 / 3.141592654, 1e-9);
    EXPECT_NEAR(l.Height(SetPoint::LIL), 0.9 - 0.6 / 3.141592654, 1e-9);
    EXPECT_DOUBLE_EQ(l.Height(SetPoint::NIL), 0.9);
}

// The scrubber, sized upright (1.981 m, minimum level 0.914 m, a vapour allowance of 0.3048 m
// over the liquid), with its level set by the design block where the row needs it.
std::string Scrubber(const std::string& design, const std::string& levels) {
    std::string text = R"({"orientation": "vertical", "pressure_kPa": 3500, "temperature_C": 35,
        "vapour_mass_flow_kg_h": 60000, "vapour_density_kg_m3": 28,
        "light_liquid_mass_flow_kg_h": 1500, "light_liquid_density_kg_m3": 720)";
    if (!design.empty()) text += R"(, "design": {)" + design + "}";
    if (!levels.empty()) text += R"(, "levels": {)" + levels + "}";
    return text + "}";
}
constexpr const char* kLifted = R"("light_liquid_layer_m": 1.2)";
constexpr const char* kFitting = R"("surge_time_s": 60, "alarm_time_s": 60, "alarm_margin_m": 0.01)";

struct FindingRow {
    const char* name;
    const char* design;
    const char* levels;
    review::Code code;
    bool fires;
};
const FindingRow kFindingRows[] = {
    {"AboveVapourSpaceWithLongSurge", kLifted, R"("surge_time_s": 3000)", review::Code::LevelsAboveVapourSpace, true},
    {"AboveVapourSpaceNotWhenItFits", kLifted, kFitting, review::Code::LevelsAboveVapourSpace, false},
    {"NormalBelowLowAsSized", "", "", review::Code::NormalLevelBelowLowLevel, true},
    {"NormalBelowLowNotWhenLifted", kLifted, kFitting, review::Code::NormalLevelBelowLowLevel, false},
    {"NormalBelowLowWhenLowGiven", kLifted, R"("lll_m": 1.5)", review::Code::NormalLevelBelowLowLevel, true},
    {"TooCloseWithALargeMargin", kLifted, R"("surge_time_s": 60, "alarm_time_s": 60, "alarm_margin_m": 0.5)", review::Code::LevelsTooClose, true},
    {"TooCloseNotWhenItFits", kLifted, kFitting, review::Code::LevelsTooClose, false},
};
class LevelFindingTest : public testing::TestWithParam<FindingRow> {};
TEST_P(LevelFindingTest, FiresOnlyOnALadderThatDoesNotFit) {
    const FindingRow& row = GetParam();
    const auto s = SizeJson(Scrubber(row.design, row.levels));
    ASSERT_TRUE(s.o.Sized());
    const review::Review r = review::ReviewCase(s.c, s.o);
    EXPECT_EQ(r.Find(row.code) != nullptr, row.fires);
}
INSTANTIATE_TEST_SUITE_P(Rows, LevelFindingTest, testing::ValuesIn(kFindingRows), testing_support::RowName());

TEST(LevelFindingTest, SaysByHowMuchAndWhatToChange) {
    const auto s = SizeJson(Scrubber(kLifted, R"("surge_time_s": 3000)"));
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = r.Find(review::Code::LevelsAboveVapourSpace);
    ASSERT_NE(f, nullptr);
    const process::Ladder l = *process::LevelsOf(s.c, s.o);
    EXPECT_DOUBLE_EQ(f->Get("excess"), l.Height(SetPoint::HHLL) - (1.2 + 0.3048));
    EXPECT_NEAR(f->Get("least_vapour_allowance"), 0.3048 + f->Get("excess"), 1e-12);
    const std::string text = review::Describe(*f, r.governing, host::UnitSystem::SI);
    EXPECT_NE(text.find("vapour_space_allowance_m of at least"), std::string::npos) << text;
    // The key takes metres whatever the report's units: a US report must not offer it feet.
    for (const host::UnitSystem units : {host::UnitSystem::SI, host::UnitSystem::US}) {
        const std::string said = review::Describe(*f, r.governing, units);
        const std::string least = review::KeyMetresAtLeast(f->Get("least_vapour_allowance"));
        EXPECT_NE(said.find("vapour_space_allowance_m of at least " + least + "."), std::string::npos) << said;
        EXPECT_GE(std::stod(least), f->Get("least_vapour_allowance"));
    }
    const auto low = SizeJson(Scrubber("", ""));
    const review::Review rl = review::ReviewCase(low.c, low.o);
    const review::Finding* n = rl.Find(review::Code::NormalLevelBelowLowLevel);
    ASSERT_NE(n, nullptr);
    const std::string most = review::KeyMetresAtMost(n->Get("nll"));
    EXPECT_LE(std::stod(most), n->Get("nll"));
    EXPECT_NE(review::Describe(*n, rl.governing, host::UnitSystem::US).find("minimum_liquid_level_m of at most " + most + "."), std::string::npos);

    const auto close = SizeJson(Scrubber(kLifted, R"("surge_time_s": 60, "alarm_time_s": 60, "alarm_margin_m": 0.5)"));
    const review::Review rc = review::ReviewCase(close.c, close.o);
    const review::Finding* c = rc.Find(review::Code::LevelsTooClose);
    ASSERT_NE(c, nullptr);
    // The surge stretch is the tightest: the surge time that holds the margin is suggested.
    EXPECT_EQ(c->Get("upper_point"), static_cast<double>(static_cast<int>(SetPoint::HLL)));
    EXPECT_GT(c->Get("least_surge_time"), 60.0);
}

// Nothing the layer reads or the case's levels block says reaches the sizing: the vectors of
// every example, and of each with a levels block, are the same bits.
TEST(LevelsLayerTest, LeavesEverySizedNumberAsItWas) {
    for (const char* file : {"gas_scrubber_vertical.json", "production_separator_horizontal.json", "rating_existing_vessel.json", "dry_gas_no_liquid.json"}) {
        const auto plain = testing_support::SizeExample(file);
        host::SizingCase withLevels = plain.c;
        withLevels.levels.values[host::kSurgeTime] = 30.0;
        withLevels.levels.values[host::kAlarmMargin] = 0.3;
        withLevels.levels.values[host::kGivenHHLL] = 2.0;
        const host::SizingOutcome again = host::SizeCase(withLevels);
        (void)host::JsonReport(withLevels, again, host::UnitSystem::SI, file, true);
        (void)host::LevelCells(withLevels, again);
        EXPECT_EQ(std::memcmp(plain.o.values.data(), again.values.data(), sizeof(double) * plain.o.values.size()), 0) << file;
    }
}

TEST(LevelsOutputTest, JsonHasEveryKeyWithNullWhereNotApplicable) {
    const auto s = testing_support::SizeExample("gas_scrubber_vertical.json");
    const nlohmann::json doc = nlohmann::json::parse(host::JsonReport(s.c, s.o, host::UnitSystem::SI, "x", true));
    for (const char* key : {"HHLL", "HLL", "NLL", "LLL", "LLLL"}) EXPECT_EQ(doc["levels"][key]["unit"], "m") << key;
    for (const char* key : {"HIL", "NIL", "LIL"}) EXPECT_TRUE(doc["levels"][key].is_null()) << key;
    for (const char* key : {"holdup", "surge", "high_alarm", "low_alarm"}) EXPECT_EQ(doc["level_times"][key]["unit"], "s") << key;
    EXPECT_DOUBLE_EQ(doc["level_times"]["surge"]["value"].get<double>(), process::kDefaultSurgeTime);
}

TEST(LevelsOutputTest, DrawingLabelsEverySetPointTheVesselHoldsInterfacesInTheHeavyColour) {
    const auto s = testing_support::SizeExample("production_separator_horizontal.json");
    const std::string svg = host::VesselSvg(s.c, s.o, host::UnitSystem::SI);
    for (SetPoint p : {SetPoint::HHLL, SetPoint::HLL, SetPoint::NLL, SetPoint::LLL, SetPoint::LLLL, SetPoint::HIL, SetPoint::NIL, SetPoint::LIL})
        EXPECT_NE(svg.find(std::string(">") + process::SetPointName(p) + " "), std::string::npos) << process::SetPointName(p);
    // The three interface lines, and nothing else, are stroked in the heavy liquid's colour.
    const auto count = [&](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = svg.find(what); at != std::string::npos; at = svg.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("stroke=\"#3d6fb0\""), 3u);
    // Upright, a set point above the shell is reported but not drawn.
    const auto tall = SizeJson(Scrubber(kLifted, R"("surge_time_s": 100000)"));
    EXPECT_GT(process::LevelsOf(tall.c, tall.o)->Height(SetPoint::HHLL), std::fabs(tall.o.At(Slot::OverallLength)));
    EXPECT_EQ(host::VesselSvg(tall.c, tall.o, host::UnitSystem::SI).find(">HHLL "), std::string::npos);
}

TEST(LevelsInputTest, LevelsBlockIsCheckedLikeTheDesignBlock) {
    try {
        (void)host::ParseCaseJson(Scrubber("", R"("surge_tme_s": 10)"), "t.json");
        FAIL() << "an unknown level key was taken";
    } catch (const host::InputError& e) {
        EXPECT_EQ(e.Key(), "levels.surge_tme_s");
        EXPECT_NE(std::string(e.what()).find("did you mean \"surge_time_s\""), std::string::npos) << e.what();
    }
    EXPECT_THROW((void)host::ParseCaseJson(Scrubber("", R"("nil_m": 0.5)"), "t.json"), host::InputError);  // no interface in two phases
    EXPECT_THROW((void)host::ParseCaseJson(Scrubber("", R"("alarm_time_s": -1)"), "t.json"), host::InputError);
}

TEST(LevelsInputTest, BatchTakesTheSameKeysAsColumns) {
    const std::string csv =
        "pressure_kPa,temperature_C,vapour_mass_flow_kg_h,vapour_density_kg_m3,light_liquid_mass_flow_kg_h,light_liquid_density_kg_m3,"
        "light_liquid_layer_m,surge_time_s\n3500,35,60000,28,1500,720,1.2,90\n";
    std::ostringstream out;
    host::BatchOptions options;
    options.jobs = 1;
    (void)host::SizeCsv(csv, "t.csv", out, options);
    std::istringstream lines(out.str());
    std::string header, row;
    std::getline(lines, header);
    std::getline(lines, row);
    const auto cell = [](const std::string& line, std::size_t at) {
        std::size_t from = 0;
        for (std::size_t i = 0; i < at; ++i) from = line.find(',', from) + 1;
        return line.substr(from, line.find(',', from) - from);
    };
    std::size_t column = 0;
    for (std::size_t from = 0; header.compare(from, std::strlen("surge_time_s_used"), "surge_time_s_used") != 0; from = header.find(',', from) + 1) ++column;
    EXPECT_NEAR(std::stod(cell(row, column)), 90.0, 1e-9);
}

}  // namespace
}  // namespace kestrol

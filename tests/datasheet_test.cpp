// The datasheet page: what it shows of a report, the sections other layers' keys bring, its
// escaping of the engineer's words, its date, and the command line's --datasheet. Rendering in
// a browser is datasheet_render_test.py.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "host/command_line.h"
#include "host/datasheet.h"
#include "host/report.h"
#include "host/svg.h"
#include "tests/file_text.h"
#include "tests/row_name.h"
#include "tests/sized_case.h"

namespace kestrol {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;
using testing_support::SizeExample;
using testing_support::SizeJson;

const char* const kStream = R"("pressure_kPa": 3500, "temperature_C": 35, "vapour_mass_flow_kg_h": 60000,
    "vapour_density_kg_m3": 28, "light_liquid_mass_flow_kg_h": 1500, "light_liquid_density_kg_m3": 720)";

std::string Sheet(const testing_support::Sized& s, const json& report, const std::string& date = "2026-01-02") {
    return host::DatasheetHtml(report, s.c, host::VesselSvg(s.c, s.o, host::UnitSystem::SI), date);
}

json Report(const testing_support::Sized& s, host::UnitSystem units = host::UnitSystem::SI) {
    return host::JsonDocument(s.c, s.o, units, "case.json");
}

bool Has(const std::string& page, const std::string& text) { return page.find(text) != std::string::npos; }

// Test fixture: the keys the process and mechanical layers add to the report, in the shapes
// their issues give, with numbers and words chosen to be recognisable on the page and unlike
// the sized case's own settling and nozzles, which a real report always has. They are not sized.
json WithLayers(json report) {
    const auto m = [](double value, const char* unit) { return json{{"value", value}, {"unit", unit}}; };
    report["levels"] = {{"HHLL", m(1.6126, "m")}, {"HLL", m(1.4375, "m")}, {"NLL", m(1.2, "m")}, {"LLL", m(0.9144, "m")},
                        {"LLLL", m(0.6125, "m")}, {"HIL", nullptr},        {"NIL", nullptr},     {"LIL", nullptr}};
    report["level_times"] = {
        {"holdup", m(301.0, "s")}, {"surge", m(151.0, "s")}, {"high_alarm", m(61.0, "s")}, {"low_alarm", m(62.0, "s")}};
    report["settling"] = {{"vapour_cut_size", m(152.4, "um")},
                          {"vapour_target", m(150.0, "um")},
                          {"heavy_in_light_cut_size", nullptr},
                          {"light_in_heavy_cut_size", nullptr},
                          {"drag_regime", "newton"}};
    report["nozzles"] = json::array({{{"service", "inlet"},
                                      {"nominal_size", m(8.0, "in")},
                                      {"inside_diameter", m(0.2027, "m")},
                                      {"velocity", m(12.345, "m/s")},
                                      {"momentum", m(4321.0, "Pa")},
                                      {"limit", m(6000.0, "Pa")}},
                                     {{"service", "heavy_liquid_outlet"},
                                      {"nominal_size", m(6.0, "in")},
                                      {"inside_diameter", m(0.1541, "m")},
                                      {"velocity", m(15.5, "m/s")},
                                      {"momentum", nullptr},
                                      {"limit", m(18.0, "m/s")}}});
    report["mechanical_design"] = {{"design_pressure", m(4035.7, "kPa abs")},
                                   {"design_temperature", m(65.0, "deg C")},
                                   {"material", {{"value", "SA-516 grade 70"}, {"unit", ""}}},
                                   {"shell_thickness", m(44.45, "mm")},
                                   {"head_thickness", m(41.27, "mm")},
                                   {"mawp", m(4123.0, "kPa abs")},
                                   {"hydrotest_pressure", m(5210.0, "kPa abs")},
                                   {"weights",
                                    {{"shell", m(14321.0, "kg")},
                                     {"heads", m(2345.0, "kg")},
                                     {"nozzles", nullptr},
                                     {"internals", m(456.0, "kg")},
                                     {"empty", m(17122.0, "kg")},
                                     {"operating", m(19876.0, "kg")},
                                     {"water_full", m(38765.0, "kg")}}}};
    return report;
}

struct LayerRow {
    const char* name;
    const char* fragment;  ///< on the page only when the layers' keys are in the report
    /// What a sized report of its own brings to the page already (the level set points are in
    /// every report now), or null for a layer still to come.
    const char* sized = nullptr;
};

const LayerRow kLayerRows[] = {
    {"LevelSetPoint", "HHLL High-high liquid level</th><td class=\"n\">1.613 m", "HHLL High-high liquid level</th>"},
    {"InterfaceLevelLeftOutWhenNull", nullptr},
    {"SurgeTime", "Surge, NLL to HLL</th><td class=\"n\">151 s", "Surge, NLL to HLL</th>"},
    {"CutSizeInAUnitTheReportHasNot", "152 um"},
    {"DragRegime", "Drag regime</th><td class=\"n\">newton"},
    {"NozzleService", "Heavy liquid outlet"},
    {"NozzleMomentum", "4,321 Pa"},
    {"DesignColumn", "At design conditions"},
    {"DesignBesideOperated", "3,500 kPa abs <span class=\"mark\">(given)</span></td><td class=\"n\">4,036 kPa abs"},
    {"DesignMaterial", "SA-516 grade 70"},
    {"HeadThickness", "Head thickness</th><td class=\"n\">-</td><td class=\"n\">41.3 mm"},
    {"Hydrotest", "5,210 kPa abs"},
    {"WaterFullWeight", "Full of water, at design conditions</th><td class=\"n\">38,765 kg"},
    {"PricedWeightStays", "Vessel, as the cost step prices it</th><td class=\"n\">16,588 kg"},
};

class DatasheetLayerTest : public testing::TestWithParam<LayerRow> {};

// Each section another layer adds appears when its keys are in the report, and only then; the
// page shows the numbers the report gives, not its own: settling, nozzles and levels, which
// every sized report has, with the fixture's values where the case has others.
TEST_P(DatasheetLayerTest, ShowsALayersKeysOnlyWhenTheReportHasThem) {
    static const testing_support::Sized s = SizeExample("gas_scrubber_vertical.json");
    json bare = Report(s);
    bare.erase("mechanical_design");  // the sized report has its own; the fixture's numbers are not sized
    const std::string plain = Sheet(s, bare);
    const std::string layered = Sheet(s, WithLayers(Report(s)));
    if (GetParam().fragment == nullptr) {
        EXPECT_FALSE(Has(layered, "HIL")) << "a null set point has no row";
        EXPECT_FALSE(Has(plain, "HIL")) << "a two-phase vessel has no interface levels";
        return;
    }
    EXPECT_TRUE(Has(layered, GetParam().fragment)) << layered;
    if (std::string(GetParam().name) != "PricedWeightStays") {
        EXPECT_FALSE(Has(plain, GetParam().fragment));
    }
    if (GetParam().sized != nullptr) {
        EXPECT_TRUE(Has(plain, GetParam().sized)) << plain;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, DatasheetLayerTest, testing::ValuesIn(kLayerRows), testing_support::RowName());

TEST(DatasheetTest, WithoutTheDesignConditionsShowsTheOperatedColumnAlone) {
    const testing_support::Sized s = SizeExample("gas_scrubber_vertical.json");
    json report = Report(s);
    report.erase("mechanical_design");
    const std::string page = Sheet(s, report);
    EXPECT_FALSE(Has(page, "As operated"));
    EXPECT_TRUE(Has(page, "Shell thickness</th><td class=\"n\">39.7 mm</td></tr>")) << page;
    // Settling, nozzles and levels are in every sized report; the mechanical design not yet.
    EXPECT_TRUE(Has(page, "Largest droplet the vapour carries out</th><td class=\"n\">165 um")) << page;
    EXPECT_TRUE(Has(page, "Drag regime</th><td class=\"n\">intermediate"));
    EXPECT_TRUE(Has(page, ">Nozzles<"));
    EXPECT_TRUE(Has(page, "Vapour outlet"));
    EXPECT_TRUE(Has(page, "Hold-up, LLL to NLL"));
    EXPECT_FALSE(Has(page, "At design conditions"));
}

// A group the sheet does not know yet still gets a section, so that no key of the report is left off.
TEST(DatasheetTest, AnUnknownGroupOfTheReportGetsASectionOfItsOwn) {
    const testing_support::Sized s = SizeExample("production_separator_horizontal.json");
    json report = Report(s);
    report["inlet_device"] = {{"kind", "vane"}, {"momentum_limit", {{"value", 8000.0}, {"unit", "Pa"}}}};
    const std::string page = Sheet(s, report);
    EXPECT_TRUE(Has(page, "<h2>Inlet device</h2>")) << page;
    EXPECT_TRUE(Has(page, "8,000 Pa"));
}

TEST(DatasheetTest, NumbersAreWrittenAsTheTextReportWritesThem) {
    const testing_support::Sized s = SizeExample("production_separator_horizontal.json");
    const std::string text = host::TextReport(s.c, s.o, host::UnitSystem::US, "case.json");
    const std::string page = Sheet(s, Report(s, host::UnitSystem::US));
    for (const char* number : {"8.00 ft", "0.688 in", "159.3 psig", "24,374 lb", "32,367 USD", "600 s", "51.82 lb/ft3", "252.50"}) {
        EXPECT_TRUE(Has(text, number)) << number << " is not how the text report writes it";
        EXPECT_TRUE(Has(page, number)) << number;
    }
    // Tangent to tangent: the overall 28 ft less two heads of a quarter of 8 ft each.
    EXPECT_TRUE(Has(page, "T/T length</th><td class=\"n\">24.00 ft")) << page;
}

struct EscapeRow {
    const char* name;
    const char* key;  ///< the case key the hostile text is given in
};

const EscapeRow kEscapeRows[] = {{"Name", "name"}, {"Tag", "tag"}, {"Service", "service"}, {"Revision", "revision"}};

class DatasheetEscapeTest : public testing::TestWithParam<EscapeRow> {};

// Markup in the engineer's words is shown as text: a <script> in a name cannot run, a quote cannot
// end an attribute, and a control character is written out as every other output writes it.
TEST_P(DatasheetEscapeTest, MarkupInTheCaseIsShownNotObeyed) {
    const std::string hostile = R"(<script>alert(\"x\")</script><img src=x onerror=alert(1)>' & \u001b)";
    const testing_support::Sized s = SizeJson(std::string("{") + kStream + ", \"" + GetParam().key + "\": \"" + hostile + "\"}");
    const std::string page = host::DatasheetHtml(s.c, s.o, host::UnitSystem::SI, "case.json", "2026-01-02");
    std::string lower = page;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_FALSE(Has(lower, "<script")) << page;
    EXPECT_FALSE(Has(lower, "<img")) << page;
    EXPECT_TRUE(Has(page, "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;&lt;img src=x onerror=alert(1)&gt;&#39; &amp; \\u001B"))
        << page;
}

INSTANTIATE_TEST_SUITE_P(Rows, DatasheetEscapeTest, testing::ValuesIn(kEscapeRows), testing_support::RowName());

TEST(DatasheetTest, TheTitleBlockComesFromTheCase) {
    const testing_support::Sized s =
        SizeJson(std::string("{") + kStream + R"(, "tag": "V-101", "service": "Inlet gas scrubber", "revision": "B"})");
    EXPECT_EQ(s.c.title.tag, "V-101");
    const std::string page = host::DatasheetHtml(s.c, s.o, host::UnitSystem::SI, "case.json", "2026-03-04");
    for (const char* text :
         {"<title>V-101</title>", "Tag</span>V-101", "Service</span>Inlet gas scrubber", "Revision</span>B", "Date</span>2026-03-04"})
        EXPECT_TRUE(Has(page, text)) << text;
}

struct TitleKeyRow {
    const char* name;
    const char* extra;
    const char* problem;  ///< in the refusal
};

const TitleKeyRow kTitleKeyRows[] = {
    {"NumberForAWord", R"("tag": 101)", "tag: must be a string"},
    {"NearMissSuggestsTheKey", R"("revison": "A")", R"(did you mean "revision"?)"},
};

class TitleKeyTest : public testing::TestWithParam<TitleKeyRow> {};

TEST_P(TitleKeyTest, IsRefusedNamingTheKey) {
    try {
        host::ParseCaseJson(std::string("{") + kStream + ", " + GetParam().extra + "}", "case.json");
        FAIL() << "accepted";
    } catch (const host::InputError& e) {
        EXPECT_TRUE(Has(e.what(), GetParam().problem)) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TitleKeyTest, testing::ValuesIn(kTitleKeyRows), testing_support::RowName());

struct DateRow {
    const char* name;
    const char* epoch;  ///< SOURCE_DATE_EPOCH, nullptr: not set
    std::time_t now;
    const char* date;
};

constexpr std::time_t kDay = 86400;

const DateRow kDateRows[] = {
    {"TheDayItIsWritten", nullptr, 365 * kDay + 5, "1971-01-01"}, {"SourceDateEpochWins", "1767312000", 365 * kDay, "2026-01-02"},
    {"EmptyEpochIsNotSet", "", 2 * kDay, "1970-01-03"},           {"MalformedEpochIsNotSet", "17673x", 2 * kDay, "1970-01-03"},
    {"NegativeEpochIsNotSet", "-86400", 2 * kDay, "1970-01-03"},
};

class DatasheetDateTest : public testing::TestWithParam<DateRow> {};

TEST_P(DatasheetDateTest, IsTheDayOfIssue) {
    // The clock's day is local: pinned to UTC here, so that the rows hold in every zone.
    const char* zone = std::getenv("TZ");
    const std::string saved = zone != nullptr ? zone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(host::DatasheetDate(GetParam().epoch, GetParam().now), GetParam().date);
    if (zone != nullptr) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

INSTANTIATE_TEST_SUITE_P(Rows, DatasheetDateTest, testing::ValuesIn(kDateRows), testing_support::RowName());

class DatasheetCommandTest : public testing::Test {
protected:
    void SetUp() override {
        std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& ch : test)
            if (ch == '/') ch = '_';
        folder_ = fs::temp_directory_path() / ("kestrol_datasheet_" + std::to_string(::getpid()) + "_" + test);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        return (folder_ / name).string();
    }
    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    int Run(std::vector<std::string> args, std::string* err = nullptr) {
        args.insert(args.begin(), "kestrol");
        std::ostringstream out, errors;
        const int status = host::RunCommandLine(args, out, errors);
        if (err != nullptr) *err = errors.str();
        return status;
    }

private:
    fs::path folder_;
};

TEST_F(DatasheetCommandTest, WritesTheSheetOfTheCaseInItsUnits) {
    const std::string input = Write("case.json", std::string("{") + kStream + R"(, "tag": "V-7"})");
    ASSERT_EQ(Run({"size", input, "--units", "us", "--datasheet", Path("sheet.html")}), 0);
    const std::string page = testing_support::ReadFile(Path("sheet.html"));
    EXPECT_TRUE(Has(page, "Tag</span>V-7"));
    EXPECT_TRUE(Has(page, "6.50 ft")) << "the diameter in feet";
    EXPECT_TRUE(Has(page, "<svg ")) << "the drawing inline";
}

TEST_F(DatasheetCommandTest, ANotSizedCaseWritesNoSheet) {
    const std::string input = Write("case.json", std::string("{") + kStream + R"(, "design": {"diameter_m": 0.01}})");
    std::string err;
    EXPECT_EQ(Run({"size", input, "--datasheet", Path("sheet.html")}, &err), 1);
    EXPECT_FALSE(fs::exists(Path("sheet.html")));
    EXPECT_TRUE(Has(err, "sheet.html: not written: the vessel was not sized")) << err;
}

struct RefusedRow {
    const char* name;
    std::vector<std::string> args;  ///< "CASE", "BATCH" and "SHEET" stand for files of the test's folder
    const char* fragment;
};

class DatasheetRefusedTest : public DatasheetCommandTest, public testing::WithParamInterface<RefusedRow> {};

TEST_P(DatasheetRefusedTest, WritesNothing) {
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args) {
        if (arg == "CASE") args.push_back(Write("case.json", std::string("{") + kStream + "}"));
        else if (arg == "BATCH") args.push_back(Write("cases.csv", "name,tag,pressure_kPa\nA,V-1,100\n"));
        else if (arg == "SHEET") args.push_back(Path("sheet.html"));
        else args.push_back(arg);
    }
    std::string err;
    EXPECT_EQ(Run(args, &err), 2);
    EXPECT_TRUE(Has(err, GetParam().fragment)) << err;
    EXPECT_FALSE(fs::exists(Path("sheet.html")));
}

const RefusedRow kRefusedRows[] = {
    {"WithABatch", {"size", "BATCH", "--datasheet", "SHEET"}, "--datasheet describes one case"},
    {"OverTheInput", {"size", "CASE", "--datasheet", "CASE"}, "is the same file as the input"},
    {"InTheReportsFile", {"size", "CASE", "-o", "SHEET", "--datasheet", "SHEET"}, "is the same file as the -o output"},
    {"InTheDrawingsFile", {"size", "CASE", "--svg", "SHEET", "--datasheet", "SHEET"}, "is the same file as the --svg output"},
};

INSTANTIATE_TEST_SUITE_P(Rows, DatasheetRefusedTest, testing::ValuesIn(kRefusedRows), testing_support::RowName());

// A batch accepts the title block's columns, which it leaves alone.
TEST_F(DatasheetCommandTest, ABatchTakesTheTitleBlockColumns) {
    const std::string batch =
        Write("cases.csv", std::string("name,tag,service,revision,pressure_kPa,temperature_C,vapour_mass_flow_kg_h,"
                                       "vapour_density_kg_m3,light_liquid_mass_flow_kg_h,light_liquid_density_kg_m3\n") +
                               "A,V-1,scrubber,B,3500,35,60000,28,1500,720\n");
    std::string err;
    EXPECT_EQ(Run({"size", batch, "-o", Path("out.csv")}, &err), 0) << err;
    EXPECT_TRUE(Has(testing_support::ReadFile(Path("out.csv")), "A,V-1,scrubber,B,3500")) << testing_support::ReadFile(Path("out.csv"));
}

}  // namespace
}  // namespace kestrol

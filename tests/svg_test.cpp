#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "drawn_vessels.h"
#include "host/svg.h"
#include "row_name.h"

namespace kestrol {
namespace {

namespace fs = std::filesystem;
using testing_support::DrawnOutcome;
using testing_support::ThreePhaseCase;

/// Share of the rendered pixels that differ from the background, or -1 when it could not
/// be rendered.
double InkOfRendering(const std::string& svg, const std::string& stem) {
    const fs::path dir = fs::temp_directory_path();
    const fs::path svgFile = dir / (stem + ".svg"), pngFile = dir / (stem + ".png");
    std::ofstream(svgFile) << svg;
    const std::string render = "rsvg-convert -w 480 -o '" + pngFile.string() + "' '" + svgFile.string() + "'";
    if (std::system(render.c_str()) != 0) return -1.0;
    const fs::path script = fs::path(__FILE__).parent_path() / "data" / "png_ink.py";
    const std::string measure = "python3 '" + script.string() + "' '" + pngFile.string() + "'";
    FILE* pipe = popen(measure.c_str(), "r");
    if (pipe == nullptr) return -1.0;
    double ink = -1.0;
    if (std::fscanf(pipe, "%lf", &ink) != 1) ink = -1.0;
    pclose(pipe);
    fs::remove(svgFile);
    fs::remove(pngFile);
    return ink;
}

struct DrawingRow {
    const char* name;
    int orientation;
    double diameter;
    double length;
};

const DrawingRow kDrawings[] = {
    {"VerticalSlender", 0, 1.524, 6.0},
    {"VerticalSquat", 0, 3.048, 4.572},
    {"HorizontalLong", 1, 2.1336, 12.0},
    {"HorizontalShort", 1, 3.6576, 9.144},
};

class VesselSvgTest : public testing::TestWithParam<DrawingRow> {};

// The shell's outline endpoints span the cylinder: D across, L - D/2 along the axis.
TEST_P(VesselSvgTest, OutlineIsToScale) {
    const DrawingRow& row = GetParam();
    const std::string svg = host::VesselSvg(ThreePhaseCase(), DrawnOutcome(row.orientation, row.diameter, row.length), host::UnitSystem::SI);
    std::smatch outline;
    ASSERT_TRUE(std::regex_search(svg, outline, std::regex("<clipPath id=\"shell\"><path d=\"([^\"]+)\"")));
    const std::string d = outline[1];
    std::vector<double> xs, ys;
    const std::regex point("([ML]|0 0 1) ([-0-9.]+) ([-0-9.]+)");
    for (auto it = std::sregex_iterator(d.begin(), d.end(), point); it != std::sregex_iterator(); ++it) {
        xs.push_back(std::stod((*it)[2]));
        ys.push_back(std::stod((*it)[3]));
    }
    ASSERT_EQ(xs.size(), 5u) << d;
    const double width = *std::max_element(xs.begin(), xs.end()) - *std::min_element(xs.begin(), xs.end());
    const double height = *std::max_element(ys.begin(), ys.end()) - *std::min_element(ys.begin(), ys.end());
    const double across = row.diameter, along = row.length - row.diameter / 2.0;
    const double expected = row.orientation == 0 ? along / across : across / along;
    EXPECT_NEAR(height / width, expected, 0.01 * expected) << d;  // coordinates are printed to 0.01 px
}

TEST_P(VesselSvgTest, NamesItsDimensionsAndLevels) {
    const DrawingRow& row = GetParam();
    const std::string svg = host::VesselSvg(ThreePhaseCase(), DrawnOutcome(row.orientation, row.diameter, row.length), host::UnitSystem::SI);
    char diameter[32];
    std::snprintf(diameter, sizeof diameter, "D = %.3f m", row.diameter);
    for (const std::string& expected : {std::string(diameter), std::string("heavy liquid level"), std::string("minimum level 0.305 m")})
        EXPECT_NE(svg.find(expected), std::string::npos) << expected;
}

TEST_P(VesselSvgTest, RendersToAPictureThatIsNotBlank) {
    const DrawingRow& row = GetParam();
    const std::string svg = host::VesselSvg(ThreePhaseCase(), DrawnOutcome(row.orientation, row.diameter, row.length), host::UnitSystem::US);
    const double ink = InkOfRendering(svg, std::string("kestrol-svg-") + row.name);
    ASSERT_GE(ink, 0.0) << "rsvg-convert or python3 missing (tools/setup.sh installs them)";
    EXPECT_GT(ink, 0.03) << "the vessel, its liquids and labels cover a visible share of the picture";
}

INSTANTIATE_TEST_SUITE_P(Rows, VesselSvgTest, testing::ValuesIn(kDrawings), testing_support::RowName());

TEST(VesselSvgRefusalTest, NoDrawingWithoutASizedVessel) {
    host::SizingOutcome o = DrawnOutcome(0, 1.524, 6.0);
    o.values[static_cast<std::size_t>(Index(Slot::Diameter))] = kEmptyValue;
    EXPECT_THROW(host::VesselSvg(ThreePhaseCase(), o, host::UnitSystem::SI), host::InputError);
}

TEST(VesselSvgRefusalTest, NamesInTheTitleAreEscaped) {
    host::SizingCase c = ThreePhaseCase();
    c.name = "V-1 <A&B>";
    const std::string svg = host::VesselSvg(c, DrawnOutcome(1, 2.0, 8.0), host::UnitSystem::SI);
    EXPECT_NE(svg.find("V-1 &lt;A&amp;B&gt;"), std::string::npos);
    EXPECT_EQ(svg.find("<A&B>"), std::string::npos);
}

// XML 1.0 allows no C0 control but tab, newline and carriage return: one in a case name made a
// drawing no viewer opens. Every control character, each in a name of its own, parsed by a real
// XML parser.
TEST(VesselSvgRefusalTest, ControlCharactersInTheNameLeaveWellFormedXml) {
    const fs::path dir = fs::temp_directory_path() / "kestrol-svg-controls";
    fs::create_directories(dir);
    std::string files;
    for (int code = 1; code <= 0x7F; code = code == 0x1F ? 0x7F : code + 1) {
        host::SizingCase c = ThreePhaseCase();
        c.name = std::string("V-1 ") + static_cast<char>(code) + " end";
        const fs::path file = dir / ("control-" + std::to_string(code) + ".svg");
        std::ofstream(file, std::ios::binary) << host::VesselSvg(c, DrawnOutcome(code % 2, 2.0, 8.0), host::UnitSystem::SI);
        files += " '" + file.string() + "'";
    }
    const fs::path script = fs::path(__FILE__).parent_path() / "data" / "xml_well_formed.py";
    const int status = std::system(("python3 '" + script.string() + "'" + files).c_str());
    fs::remove_all(dir);
    EXPECT_EQ(status, 0) << "the files the script names are not well-formed XML";
}

}  // namespace
}  // namespace kestrol

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "drawn_vessels.h"
#include "file_text.h"
#include "host/settling_report.h"
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

// Each nozzle is a stub of its inside diameter at the drawing's scale, named in its tooltip.
TEST_P(VesselSvgTest, DrawsEachNozzleAtItsSize) {
    const DrawingRow& row = GetParam();
    const auto c = ThreePhaseCase();
    const auto o = DrawnOutcome(row.orientation, row.diameter, row.length);
    const std::string svg = host::VesselSvg(c, o, host::UnitSystem::SI);
    std::smatch outline;
    ASSERT_TRUE(std::regex_search(svg, outline, std::regex("<clipPath id=\"shell\"><path d=\"([^\"]+)\"")));
    const std::string d = outline[1];
    std::vector<double> xs;
    const std::regex point("([ML]|0 0 1) ([-0-9.]+) ([-0-9.]+)");
    for (auto it = std::sregex_iterator(d.begin(), d.end(), point); it != std::sregex_iterator(); ++it) xs.push_back(std::stod((*it)[2]));
    const double span = *std::max_element(xs.begin(), xs.end()) - *std::min_element(xs.begin(), xs.end());
    const double scale = span / (row.orientation == 0 ? row.diameter : row.length - row.diameter / 2.0);  // px per m
    const std::vector<host::NozzlePlace> places = host::NozzlePlaces(c, o);
    ASSERT_EQ(places.size(), 4u);  // three-phase: inlet, vapour outlet and both liquid outlets
    for (const host::NozzlePlace& n : places) {
        std::smatch rect;
        const std::regex drawn("<rect x=\"[-0-9.]+\" y=\"[-0-9.]+\" width=\"([-0-9.]+)\" height=\"([-0-9.]+)\"[^>]*><title>" +
                               std::string(n.label) + " ");
        ASSERT_TRUE(std::regex_search(svg, rect, drawn)) << n.label;
        const double across = n.direction == 0 || n.direction == 2 ? std::stod(rect[2]) : std::stod(rect[1]);
        EXPECT_NEAR(across, n.diameter * scale, 0.02) << n.label;  // coordinates are printed to 0.01 px
    }
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

// Every word of a drawing lies on its canvas. A label's extent is estimated from a fixed
// advance per character: 0.65 of the font size. Measured with rsvg-convert and the sans-serif it
// draws with here (DejaVu Sans), the longest warning label ("disengagement 3.209 m: height set
// by the ratio") advances 0.59 em a character in bold and a plain label 0.55 em; the lowercase
// alphabet in bold 0.64 em. Above the baseline a full em and below it 0.3 em: the ink of letters,
// digits and brackets reaches 0.77 em up and 0.24 em down.
constexpr double kAdvancePerEm = 0.65;
constexpr double kAscentEm = 1.0;
constexpr double kDescentEm = 0.3;

struct Box {
    double left, top, right, bottom;
};

std::string Unescaped(std::string text) {
    const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
    for (const auto& [entity, ch] : entities)
        for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) text.replace(at, std::strlen(entity), ch);
    return text;
}

std::size_t CodePoints(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char ch) { return (static_cast<unsigned char>(ch) & 0xC0) != 0x80; }));
}

double Attribute(const std::string& tag, const std::string& name) {
    std::smatch m;
    if (!std::regex_search(tag, m, std::regex(" " + name + "=\"([-0-9.]+)\""))) return std::nan("");
    return std::stod(m[1]);
}

/// The boxes of every <text> of the drawing, anchored and rotated as the drawing says.
std::vector<std::pair<Box, std::string>> TextBoxes(const std::string& svg) {
    std::vector<std::pair<Box, std::string>> boxes;
    const std::regex text("<text([^>]*)>([^<]*)</text>");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), text); it != std::sregex_iterator(); ++it) {
        const std::string tag = (*it)[1], words = Unescaped((*it)[2]);
        const double x = Attribute(tag, "x"), y = Attribute(tag, "y"), size = Attribute(tag, "font-size");
        const double width = static_cast<double>(CodePoints(words)) * size * kAdvancePerEm;
        const bool middle = tag.find("text-anchor=\"middle\"") != std::string::npos;
        const double from = middle ? -width / 2.0 : 0.0;
        Box b{x + from, y - kAscentEm * size, x + from + width, y + kDescentEm * size};
        // rotate(-90 x y) about the anchor: along the text is up the page.
        if (tag.find("rotate(-90") != std::string::npos) b = {x - kAscentEm * size, y - from - width, x + kDescentEm * size, y - from};
        boxes.emplace_back(b, words);
    }
    return boxes;
}

/// What lies off the canvas, one line a text; empty when everything is on it.
std::string TextOffCanvas(const std::string& svg) {
    std::smatch root;
    if (!std::regex_search(svg, root, std::regex("<svg [^>]*width=\"([0-9.]+)\" height=\"([0-9.]+)\" viewBox=\"0 0 ([0-9.]+) ([0-9.]+)\"")))
        return "no canvas size\n";
    const double width = std::stod(root[1]), height = std::stod(root[2]);
    if (std::stod(root[3]) != width || std::stod(root[4]) != height) return "the view box is not the canvas\n";
    std::string off;
    const auto boxes = TextBoxes(svg);
    if (boxes.empty()) return "no text\n";
    for (const auto& [b, words] : boxes) {
        if (std::isnan(b.left + b.top + b.right + b.bottom)) off += "unread position: " + words + "\n";
        if (b.left < 0.0 || b.top < 0.0 || b.right > width || b.bottom > height)
            off += "\"" + words + "\" spans x " + std::to_string(b.left) + " to " + std::to_string(b.right) + ", y " + std::to_string(b.top) +
                   " to " + std::to_string(b.bottom) + " on " + std::to_string(width) + " x " + std::to_string(height) + "\n";
    }
    return off;
}

/// The case that showed labels running past the edge: a 1.219 m scrubber whose level is flagged
/// (its labels ended at 666 px on a 590 px canvas).
const char* const kFlaggedScrubber = R"({"orientation": "vertical", "pressure_kPa": 150, "temperature_C": 30,
    "vapour_mass_flow_kg_h": 5000, "vapour_density_kg_m3": 1.5, "light_liquid_mass_flow_kg_h": 500,
    "light_liquid_density_kg_m3": 998})";

std::string Drawing(const std::string& json, host::UnitSystem units, bool* drawn) {
    const host::SizingCase c = host::ParseCaseJson(json, "case");
    const host::SizingOutcome o = host::SizeCase(c);
    *drawn = o.Sized();
    return o.Sized() ? host::VesselSvg(c, o, units) : std::string();
}

TEST(VesselSvgCanvasTest, FlaggedLabelsOfTheScrubberFit) {
    bool drawn = false;
    const std::string svg = Drawing(kFlaggedScrubber, host::UnitSystem::SI, &drawn);
    ASSERT_TRUE(drawn);
    ASSERT_NE(svg.find("below the minimum level"), std::string::npos) << "the long warning label this case is here for";
    EXPECT_EQ(TextOffCanvas(svg), "");
}

// The estimate above is checked against the real font once: rendered at its own size, the
// scrubber's drawing leaves its last columns blank (a cut label runs to the edge).
TEST(VesselSvgCanvasTest, RenderedLabelsStopShortOfTheRightEdge) {
    bool drawn = false;
    const std::string svg = Drawing(kFlaggedScrubber, host::UnitSystem::SI, &drawn);
    ASSERT_TRUE(drawn);
    const fs::path dir = fs::temp_directory_path();
    const fs::path svgFile = dir / "kestrol-svg-edge.svg", pngFile = dir / "kestrol-svg-edge.png";
    std::ofstream(svgFile) << svg;
    ASSERT_EQ(std::system(("rsvg-convert -o '" + pngFile.string() + "' '" + svgFile.string() + "'").c_str()), 0);
    const fs::path script = fs::path(__FILE__).parent_path() / "data" / "png_ink.py";
    FILE* pipe = popen(("python3 '" + script.string() + "' '" + pngFile.string() + "' 4").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    double ink = -1.0;
    if (std::fscanf(pipe, "%lf", &ink) != 1) ink = -1.0;
    pclose(pipe);
    fs::remove(svgFile);
    fs::remove(pngFile);
    EXPECT_EQ(ink, 0.0) << "share of the last 4 pixel columns that is not background";
}

TEST(VesselSvgCanvasTest, EveryTextOfTheBundledCasesIsOnTheCanvas) {
    const fs::path folder = fs::path(__FILE__).parent_path().parent_path() / "examples" / "cases";
    int drawings = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        for (const host::UnitSystem units : {host::UnitSystem::SI, host::UnitSystem::US}) {
            bool drawn = false;
            const std::string svg = Drawing(testing_support::ReadFile(entry.path()), units, &drawn);
            ASSERT_TRUE(drawn) << entry.path();
            EXPECT_EQ(TextOffCanvas(svg), "") << entry.path();
            ++drawings;
        }
    }
    EXPECT_GE(drawings, 8);
}

// Generated cases: every orientation, vapour loads from a trickle to a large gas plant, an
// assumed liquid, a little and a lot of liquid, three phases, designs that fix times, levels,
// a diameter and the mist eliminator, long names, both unit systems.
TEST(VesselSvgCanvasTest, EveryTextOfGeneratedCasesIsOnTheCanvas) {
    const char* const orientations[] = {"vertical", "horizontal", "auto"};
    const std::pair<double, double> vapours[] = {{1000.0, 1.2}, {5000.0, 1.5}, {40000.0, 20.0}, {150000.0, 60.0}};
    const char* const phases[] = {
        R"("assumed_liquid_percent": 2, "assumed_liquid_density_kg_m3": 650)",
        R"("light_liquid_mass_flow_kg_h": %LIGHT_SMALL%, "light_liquid_density_kg_m3": 998)",
        R"("light_liquid_mass_flow_kg_h": %LIGHT_LARGE%, "light_liquid_density_kg_m3": 780)",
        R"("light_liquid_mass_flow_kg_h": %LIGHT_LARGE%, "light_liquid_density_kg_m3": 830, "heavy_liquid_mass_flow_kg_h": %LIGHT_SMALL%, "heavy_liquid_density_kg_m3": 1020)",
    };
    const std::pair<const char*, const char*> designs[] = {
        {"", ""},
        {"V-101", R"(, "design": {"light_liquid_residence_time_s": 60})"},
        {"Rating of the existing high-pressure production separator V-2301 A/B <train 2>",
         R"(, "design": {"diameter_m": 2.1336, "light_liquid_layer_m": 0.5})"},
        {"Knock-out drum & mist pad", R"(, "design": {"minimum_liquid_level_m": 0.6, "mist_eliminator_height_m": 0.3})"},
    };
    const auto replaced = [](std::string text, const std::string& key, double value) {
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key)) text.replace(at, key.size(), std::to_string(value));
        return text;
    };
    int drawings = 0, cases = 0;
    for (const char* orientation : orientations)
        for (const auto& [flow, density] : vapours)
            for (const char* phase : phases)
                for (const auto& [name, design] : designs) {
                    std::string json = std::string("{\"name\": \"") + name + "\", \"orientation\": \"" + orientation +
                                       "\", \"pressure_kPa\": " + std::to_string(100.0 * density) + ", \"temperature_C\": 30, \"vapour_mass_flow_kg_h\": " +
                                       std::to_string(flow) + ", \"vapour_density_kg_m3\": " + std::to_string(density) + ", " + phase + design + "}";
                    json = replaced(replaced(json, "%LIGHT_SMALL%", 0.05 * flow), "%LIGHT_LARGE%", 2.0 * flow);
                    for (const host::UnitSystem units : {host::UnitSystem::SI, host::UnitSystem::US}) {
                        ++cases;
                        bool drawn = false;
                        std::string svg;
                        try {
                            svg = Drawing(json, units, &drawn);
                        } catch (const host::InputError&) {
                            continue;  // a design this orientation refuses
                        }
                        if (!drawn) continue;
                        ++drawings;
                        EXPECT_EQ(TextOffCanvas(svg), "") << json;
                    }
                }
    RecordProperty("drawings", drawings);
    EXPECT_GE(drawings, cases / 2) << "most generated cases are drawn, or this test checks little";
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

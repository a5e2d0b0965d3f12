#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "host/output_file.h"

#include "command_runner.h"
#include "file_text.h"
#include "row_name.h"

namespace kestrol {
namespace {

namespace fs = std::filesystem;

using testing_support::CommandResult;
using testing_support::Kestrol;

/// A scratch folder of its own per test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() / ("kestrol-" + std::string(info->test_suite_name()) + "-" + info->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string Write(const std::string& name, const std::string& text) const {
        const fs::path file = path_ / name;
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

// A two-phase feed every check accepts; rows below break one thing each.
const char* const kGoodStream = R"("pressure_kPa": 3500, "temperature_C": 35, "vapour_mass_flow_kg_h": 60000,
    "vapour_density_kg_m3": 28, "light_liquid_mass_flow_kg_h": 1500, "light_liquid_density_kg_m3": 720)";

std::string CaseWith(const std::string& extra) { return std::string("{") + kGoodStream + (extra.empty() ? "" : ", " + extra) + "}"; }

using namespace std::string_literals;

/// A case whose key "x" holds `levels` nested arrays: 400 KB of brackets at 200,000.
std::string NestedIn(std::size_t levels) { return "{\"x\": " + std::string(levels, '[') + std::string(levels, ']') + "}"; }

/// `count` copies of `text`.
std::string Repeated(const std::string& text, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += text;
    return out;
}

/// What a message shows of a long name: its first 40 characters and an ellipsis.
std::string CutName(const std::string& character) { return Repeated(character, 40) + "…"; }

struct BadInputRow {
    const char* name;
    std::string caseText;  ///< written to case.json (or case.csv); empty: no file at all
    std::vector<std::string> extraArgs;
    int status;
    std::string fragment;  ///< must appear on standard error
    bool csv = false;
    const char* fileName = nullptr;  ///< instead of case.json or case.csv
};

const BadInputRow kBadInputs[] = {
    {"MissingFile", "", {}, 2, "cannot be read"},
    {"MalformedJson", R"({"pressure_kPa": 100,)", {}, 2, "malformed JSON"},
    {"NaNIsNoJson", CaseWith(R"("cost": NaN)"), {}, 2, "malformed JSON"},
    {"NotAnObject", "[1, 2]", {}, 2, "one JSON object, not array"},
    {"UnknownKeySuggestsNearest", CaseWith(R"("vapor_mass_flow_kg_h": 1)"), {}, 2, R"(did you mean "vapour_mass_flow_kg_h"?)"},
    {"UnknownDesignKeySuggestsNearest", CaseWith(R"("design": {"diamter_m": 1.2})"), {}, 2, R"(did you mean "diameter_m"?)"},
    {"UnknownKeyFarFromAnyGetsNoGuess", CaseWith(R"("colour": 1)"), {}, 2, "unknown key \"colour\"\n"},
    {"WrongType", R"({"pressure_kPa": "high"})", {}, 2, "pressure_kPa: must be a number, not string"},
    {"BooleanIsNoNumber", CaseWith(R"("heavy_liquid_mass_flow_kg_h": true)"), {}, 2, "must be a number, not boolean"},
    {"NegativeDensity", R"({"vapour_density_kg_m3": -3})", {}, 2, "vapour_density_kg_m3: must be greater than 0"},
    {"ZeroFlow", R"({"light_liquid_mass_flow_kg_h": 0})", {}, 2, "light_liquid_mass_flow_kg_h: must be greater than 0"},
    {"OverflowIsRefused", R"({"pressure_kPa": 1e999})", {}, 2, "number overflow parsing '1e999'"},
    {"EmptyMarkerRefused", R"({"temperature_C": -32767})", {}, 2, "empty marker"},
    {"LiquidLighterThanVapour", CaseWith(R"("heavy_liquid_mass_flow_kg_h": 10, "heavy_liquid_density_kg_m3": 20)"), {}, 2,
     "a liquid must be denser than the vapour"},
    {"HeavyLighterThanLight", CaseWith(R"("heavy_liquid_mass_flow_kg_h": 10, "heavy_liquid_density_kg_m3": 700)"), {}, 2,
     "denser than the light liquid"},
    {"FlowWithoutDensity", CaseWith(R"("heavy_liquid_mass_flow_kg_h": 10)"), {}, 2,
     "heavy_liquid_mass_flow_kg_h: is given without heavy_liquid_density_kg_m3"},
    {"DuplicateKey", R"({"pressure_kPa": 100, "pressure_kPa": 200})", {}, 2, "\"pressure_kPa\" is given twice"},
    {"OrientationTypo", CaseWith(R"("orientation": "vertcal")"), {}, 2, R"(did you mean "vertical"?)"},
    {"DesignNotAnObject", CaseWith(R"("design": 3)"), {}, 2, "design: must be an object"},
    {"MaterialOutsideTable", CaseWith(R"("design": {"material_code": 7})"), {}, 2, "whole number from 1 to 5"},
    {"FractionalMaterial", CaseWith(R"("design": {"material_code": 1.5})"), {}, 2, "whole number from 1 to 5"},
    {"PercentOutsideRange", CaseWith(R"("assumed_liquid_percent": 20)"), {}, 2, "between 0.5 and 10"},
    {"JointEfficiencyAboveOne", CaseWith(R"("design": {"joint_efficiency": 1.2})"), {}, 2, "at most 1"},
    {"UnknownOption", CaseWith(""), {"--colour"}, 2, "--colour"},
    {"UnknownFormat", CaseWith(""), {"--format", "xml"}, 2, "xml"},
    {"SvgWithBatch", "name,pressure_kPa\n", {"--svg", "x.svg"}, 2, "--svg draws one case", true},
    {"UnknownCsvColumn", "name,presure_kPa\n", {}, 2, R"(unknown column "presure_kPa" (did you mean "pressure_kPa"?))", true},
    {"RepeatedCsvColumn", "name,pressure_kPa,pressure_kPa\n", {}, 2, "named twice", true},
    {"EmptyCsv", "\n\n", {}, 2, "the file is empty", true},
    // What the object would refuse through its HRESULT is refused before it, naming the key.
    {"NoLiquidNoShare", R"({"pressure_kPa": 2500, "temperature_C": 20, "vapour_mass_flow_kg_h": 12000, "vapour_density_kg_m3": 19})",
     {}, 2, "assumed_liquid_percent: is required"},
    {"NoLiquidNoDensity",
     R"({"pressure_kPa": 2500, "temperature_C": 20, "vapour_mass_flow_kg_h": 12000, "vapour_density_kg_m3": 19,
         "assumed_liquid_percent": 2})",
     {}, 2, "assumed_liquid_density_kg_m3: is required"},
    {"MissingPressure", R"({"temperature_C": 20, "vapour_mass_flow_kg_h": 12000, "vapour_density_kg_m3": 19,
         "light_liquid_mass_flow_kg_h": 10, "light_liquid_density_kg_m3": 700})",
     {}, 2, "pressure_kPa: is required"},
    {"MissingTemperature", R"({"pressure_kPa": 2500, "vapour_mass_flow_kg_h": 12000, "vapour_density_kg_m3": 19,
         "light_liquid_mass_flow_kg_h": 10, "light_liquid_density_kg_m3": 700})",
     {}, 2, "temperature_C: is required"},
    {"MissingVapourDensity", R"({"pressure_kPa": 2500, "temperature_C": 20, "vapour_mass_flow_kg_h": 12000,
         "light_liquid_mass_flow_kg_h": 10, "light_liquid_density_kg_m3": 700})",
     {}, 2, "vapour_density_kg_m3: is required"},
    {"NoVapour", R"({"pressure_kPa": 2500, "temperature_C": 20, "light_liquid_mass_flow_kg_h": 10, "light_liquid_density_kg_m3": 700})",
     {}, 2, "vapour_mass_flow_kg_h: is required"},
    // Messages of one shape: file, line:column, key, value, reason.
    {"HugeNumberHasItsPlace", "{\n  \"pressure_kPa\": 1e400\n}", {}, 2, "case.json:2:19: pressure_kPa: malformed JSON: number overflow parsing '1e400'"},
    {"WrongTypeHasItsPlace", "{\"name\": \"x\",\n \"pressure_kPa\": \"high\"}", {}, 2, "case.json:2:2: pressure_kPa: must be a number"},
    {"HeavyLighterThanLightNamesBothDensities", CaseWith(R"("heavy_liquid_mass_flow_kg_h": 10, "heavy_liquid_density_kg_m3": 700)"), {}, 2,
     "heavy_liquid_density_kg_m3: the heavy liquid must be denser than the light liquid (700.0 kg/m3 is not more than the light liquid's 720.0 kg/m3)"},
    // A design block the vessel cannot honour.
    {"InconsistentVerticalGeometry", CaseWith(R"("orientation": "vertical", "design": {"diameter_m": 2, "overall_length_m": 8, "ratio": 2})"), {}, 2,
     "design.overall_length_m: diameter_m 2.0, ratio 2.0 and overall_length_m 8.0 disagree: (2.0 + 0.5) x 2.0 = 5.0 m"},
    {"LengthShorterThanHeads", CaseWith(R"("orientation": "horizontal", "design": {"diameter_m": 2, "overall_length_m": 0.9})"), {}, 2,
     "design.overall_length_m: 0.9 m is not longer than the two heads"},
    {"HorizontalLengthAlone", CaseWith(R"("orientation": "horizontal", "design": {"overall_length_m": 8})"), {}, 2,
     "design.overall_length_m: a horizontal vessel's length follows from its diameter and ratio"},
    {"HeavyLevelOnTwoPhaseFeed", CaseWith(R"("design": {"heavy_liquid_level_m": 0.5})"), {}, 2,
     "design.heavy_liquid_level_m: the feed has no heavy liquid"},
    {"LayerAboveTheTopOfADrum", CaseWith(R"("orientation": "horizontal", "design": {"diameter_m": 1, "light_liquid_layer_m": 5})"), {}, 2,
     "design.light_liquid_layer_m: a liquid level of 5.0 m reaches the top of a horizontal vessel of 1.0 m diameter"},
    {"LevelsAboveTheTopOfAVerticalVessel", CaseWith(R"("orientation": "vertical", "design": {"overall_length_m": 3, "light_liquid_layer_m": 5})"), {}, 2,
     "design.light_liquid_layer_m: a liquid level of 5.0 m reaches the top of a vertical vessel 3.0 m high"},
    // A missing result names the input that caused it.
    {"PressureBeyondTheWall", R"({"pressure_kPa": 1e7, "temperature_C": 40, "vapour_mass_flow_kg_h": 15000, "vapour_density_kg_m3": 16,
         "light_liquid_mass_flow_kg_h": 20000, "light_liquid_density_kg_m3": 800})",
     {}, 1, "missing: wall thickness, vessel cost and total cost. pressure_kPa: 1e+07 kPa is beyond what the wall formula can carry"},
    // What the file is.
    {"DirectoryIsNamed", "", {"DIRECTORY"}, 2, "is a directory, not a case file"},
    {"CsvWithoutItsExtensionIsSniffed", "name,presure_kPa\n", {}, 2, R"(cases.txt:1:1: header: unknown column "presure_kPa")", false, "cases.txt"},
    {"CsvNotUtf8", "name,pressure_kPa\n\"caf\xE9\",100\n", {}, 2, "case.csv:2:5: is not UTF-8 text", true},
    // The reader's excerpt ends inside a character or holds a byte that is not UTF-8: echoed.
    {"LetterAlone", "\xC3\xA9", {}, 2, "case.json:1:1: malformed JSON: invalid literal; last read: '\\xC3'\n"},
    {"LeadByteAlone", "\xD0", {}, 2, "case.json:1:1: malformed JSON: invalid literal; last read: '\\xD0'\n"},
    {"DegreeSignAfterANumber", R"({"pressure_kPa": 3500, "temperature_C": 35°C})", {}, 2,
     "case.json:1:43: malformed JSON: invalid literal; last read: '35\\xC2'; expected '}'"},
    {"KeyNotUtf8", "{\"pres\xFFsure\": 1}", {}, 2, "case.json:1:7: malformed JSON: invalid string: ill-formed UTF-8 byte; last read: '\"pres\\xFF'"},
    {"LongExcerptKeepsItsEnd", "{\"name\": \"" + std::string(100000, 'a') + "\xFF\"}", {}, 2, ("last read: '…" + std::string(39, 'a') + "\\xFF'")},
    // Nesting is refused where it goes deeper than a case: the case and its design block.
    {"DeepNestingIsRefusedAtTheFirstLevelTooMany", NestedIn(200000), {}, 2,
     "case.json:1:8: nests too deeply: a case is an object of keys with one design block of numbers inside it, and nothing deeper"},
    {"ArrayInsideTheDesignBlock", CaseWith(R"("design": {"diameter_m": [1.2]})"), {}, 2, "design.diameter_m: nests too deeply"},
    // Nothing but blanks after the object; the JSON library stops at a NUL.
    {"NulAfterTheObject", CaseWith("") + "\0junk"s, {}, 2, "case.json:2:104: malformed JSON: a NUL byte, which JSON text never holds"},
    {"NulInsideTheObject", "{\"pressure_kPa\"\0: 1}"s, {}, 2, "case.json:1:16: malformed JSON: a NUL byte"},
    // A long name is cut in the message, on a character.
    {"LongUnknownKeyIsCut", "{\"" + std::string(1000000, 'a') + "\": 1}", {}, 2, ("unknown key \"" + CutName("a") + "\"\n")},
    {"LongKeyOfLettersIsCutOnACharacter", "{\"" + Repeated("é", 50) + "\": 1}", {}, 2, ("unknown key \"" + CutName("é") + "\"\n")},
    {"RepeatedLongKeyIsCut", "{\"" + std::string(1000, 'a') + "\": 1, \"" + std::string(1000, 'a') + "\": 1}", {}, 2,
     ("key \"" + CutName("a") + "\" is given twice")},
    {"LongOrientationIsCut", CaseWith(R"("orientation": ")" + std::string(1000, 'v') + "\""), {}, 2, ("not \"" + CutName("v") + "\"\n")},
    {"LongUnknownColumnIsCut", "name," + std::string(4000000, 'p') + "\n", {}, 2, ("header: unknown column \"" + CutName("p") + "\"\n"), true},
};

class BadInputTest : public testing::TestWithParam<BadInputRow> {};

TEST_P(BadInputTest, ExitsWithStatusAndMessage) {
    const BadInputRow& row = GetParam();
    TempFolder folder;
    const std::string name = row.fileName != nullptr ? row.fileName : row.csv ? "case.csv" : "case.json";
    std::string path = row.caseText.empty() ? folder.Path(name) : folder.Write(name, row.caseText);
    std::vector<std::string> args = {"size", path};
    for (std::string arg : row.extraArgs) {
        if (arg == "DIRECTORY") {
            args[1] = path = folder.Path("");
        } else {
            args.push_back(arg == "x.svg" ? folder.Path(arg) : arg);
        }
    }
    const CommandResult result = Kestrol(args);
    EXPECT_EQ(result.status, row.status) << result.err;
    // The report goes to standard output; the reason must reach the engineer in either stream.
    EXPECT_NE((result.err + result.out).find(row.fragment), std::string::npos) << "stderr: " << result.err << "\nstdout: " << result.out;
    if (row.status == 2 && row.extraArgs.empty()) {
        EXPECT_TRUE(result.out.empty()) << "no report for an unusable case";
        EXPECT_NE(result.err.find(path), std::string::npos) << "the message names the file";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputTest, testing::ValuesIn(kBadInputs), testing_support::RowName());

TEST(CommandLineTest, RunStillPlaysHostScripts) {
    TempFolder folder;
    const std::string script = folder.Write("s.json", R"({"calls": [["AllocValues", 39], ["GetValue", 14]]})");
    const CommandResult result = Kestrol({"run", script});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("\"results\":[0,-32767.0]"), std::string::npos) << result.out;
}

TEST(CommandLineTest, ReportGoesToTheOutputFileWhenAsked) {
    TempFolder folder;
    const std::string input = folder.Write("c.json", CaseWith(R"("name": "to file")"));
    const std::string output = folder.Path("report.json");
    const CommandResult result = Kestrol({"size", input, "--format", "json", "-o", output});
    EXPECT_TRUE(result.out.empty());
    std::ifstream written(output);
    std::stringstream text;
    text << written.rdbuf();
    EXPECT_NE(text.str().find("\"name\": \"to file\""), std::string::npos) << text.str();
}

using testing_support::ReadFile;

const char* const kBatch = "name,pressure_kPa,temperature_C,vapour_mass_flow_kg_h,vapour_density_kg_m3,light_liquid_mass_flow_kg_h,"
                           "light_liquid_density_kg_m3\nscrubber,3500,35,60000,28,1500,720\n";

/// Files the folder holds besides the given ones: a leftover temporary file would show here.
std::vector<std::string> OtherFiles(const std::string& folder, const std::vector<std::string>& known) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
    }
    return others;
}

// An output that is an input, however it is spelled, is refused before anything is written.
struct SameFileRow {
    const char* name;
    const char* input;  ///< case.json or cases.csv
    std::vector<std::string> args;  ///< INPUT and DIR/ stand for the input's path and the folder
};

const SameFileRow kSameFileRows[] = {
    {"ReportOntoCase", "case.json", {"-o", "INPUT"}},
    {"ResultsOntoBatch", "cases.csv", {"-o", "INPUT"}},
    {"SvgOntoCase", "case.json", {"--svg", "INPUT"}},
    {"ThroughDotSlash", "case.json", {"-o", "DIR/./case.json"}},
    {"ThroughParentFolder", "cases.csv", {"-o", "DIR/../FOLDER/cases.csv"}},
    {"ThroughSymbolicLink", "case.json", {"-o", "DIR/link.json"}},
    {"ReportAndSvgInOneFile", "case.json", {"-o", "DIR/out.txt", "--svg", "DIR/out.txt"}},
};

class SameFileTest : public testing::TestWithParam<SameFileRow> {};

TEST_P(SameFileTest, IsRefusedAndTheInputKept) {
    const SameFileRow& row = GetParam();
    TempFolder folder;
    const std::string input = folder.Write(row.input, std::string(row.input) == "case.json" ? CaseWith("") : kBatch);
    const std::string original = ReadFile(input);
    if (std::string(row.name) == "ThroughSymbolicLink") {
        std::error_code error;
        fs::create_symlink(input, folder.Path("link.json"), error);
        if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    }
    const std::string dir = folder.Path("");
    std::vector<std::string> args = {"size", input};
    for (std::string arg : row.args) {
        if (arg == "INPUT") arg = input;
        if (arg.rfind("DIR/", 0) == 0) arg = (fs::path(dir) / arg.substr(4)).string();
        const std::size_t at = arg.find("FOLDER");
        if (at != std::string::npos) arg.replace(at, 6, fs::path(dir).parent_path().filename().string());
        args.push_back(arg);
    }
    const CommandResult result = Kestrol(args);
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_NE(result.err.find("is the same file as"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(input), original);
    EXPECT_FALSE(fs::exists(folder.Path("out.txt")));
}

INSTANTIATE_TEST_SUITE_P(Rows, SameFileTest, testing::ValuesIn(kSameFileRows), testing_support::RowName());

// A run that fails leaves the earlier output as it was, and no temporary file behind.
struct KeepsOutputRow {
    const char* name;
    const char* inputName;
    std::string input;
    std::vector<std::string> extraArgs;
};

const KeepsOutputRow kKeepsOutputRows[] = {
    {"BadBatchHeader", "cases.csv", "name,presure_kPa\nx,100\n", {}},
    {"MalformedCase", "case.json", "{\"pressure_kPa\": ", {}},
    {"RefusedDesign", "case.json", CaseWith(R"("orientation": "horizontal", "design": {"overall_length_m": 8})"), {}},
    {"SvgOfUnsizedCaseKeepsTheOldDrawing", "case.json", CaseWith(R"("orientation": "vertical", "design": {"diameter_m": 0.2, "ratio": 1})"),
     {"--svg", "OLD"}},
};

class KeepsOutputTest : public testing::TestWithParam<KeepsOutputRow> {};

TEST_P(KeepsOutputTest, OldContentsSurvive) {
    const KeepsOutputRow& row = GetParam();
    TempFolder folder;
    const std::string input = folder.Write(row.inputName, row.input);
    const std::string old = folder.Write("old.out", "old\n");
    std::vector<std::string> args = {"size", input};
    if (row.extraArgs.empty()) {
        args.insert(args.end(), {"-o", old});
    } else {
        args.insert(args.end(), {row.extraArgs[0], old});
    }
    const CommandResult result = Kestrol(args);
    EXPECT_NE(result.status, 0);
    EXPECT_EQ(ReadFile(old), "old\n") << result.err;
    EXPECT_EQ(OtherFiles(folder.Path(""), {row.inputName, "old.out"}), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Rows, KeepsOutputTest, testing::ValuesIn(kKeepsOutputRows), testing_support::RowName());

TEST(OutputFileTest, IsReplacedWholeAndNoTemporaryFileStays) {
    TempFolder folder;
    const std::string input = folder.Write("cases.csv", kBatch);
    const std::string results = folder.Write("results.csv", "old\n");
    const CommandResult result = Kestrol({"size", input, "-o", results});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadFile(results).rfind("name,pressure_kPa", 0), 0u);
    EXPECT_EQ(OtherFiles(folder.Path(""), {"cases.csv", "results.csv"}), std::vector<std::string>{});
}

TEST(OutputFileTest, WritesThroughASymbolicLink) {
    TempFolder folder;
    const std::string input = folder.Write("cases.csv", kBatch);
    const std::string results = folder.Write("results.csv", "old\n");
    std::error_code error;
    fs::create_symlink(results, folder.Path("link.csv"), error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    const CommandResult result = Kestrol({"size", input, "-o", folder.Path("link.csv")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::is_symlink(folder.Path("link.csv")));
    EXPECT_EQ(ReadFile(results).rfind("name,pressure_kPa", 0), 0u);
}

// A stop request (what SIGINT and SIGTERM raise) while the batch runs: nothing is written,
// the status is 128 + the signal, one line says so.
TEST(OutputFileTest, InterruptedBatchWritesNothing) {
    TempFolder folder;
    const std::string input = folder.Write("cases.csv", kBatch);
    const std::string results = folder.Write("results.csv", "old\n");
    host::RequestStop(15);
    const CommandResult result = Kestrol({"size", input, "-o", results});
    host::RequestStop(0);
    EXPECT_EQ(result.status, 128 + 15);
    EXPECT_NE(result.err.find("interrupted; nothing was written"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(results), "old\n");
    EXPECT_EQ(OtherFiles(folder.Path(""), {"cases.csv", "results.csv"}), std::vector<std::string>{});
}

/// A standard output that takes nothing, failing each write as a write(2) would: with errno set
/// on the thread that writes.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(int error) : error_(error) {}

protected:
    int_type overflow(int_type) override { return Fail(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return Fail(), 0; }

private:
    int_type Fail() const {
        errno = error_;
        return traits_type::eof();
    }
    int error_;
};

struct FailedOutputRow {
    const char* name;
    std::vector<std::string> args;  ///< "CASE", "BATCH" and "SCRIPT" stand for files written here
};

const FailedOutputRow kFailedOutputRows[] = {
    {"TextReport", {"size", "CASE"}},
    {"JsonReport", {"size", "CASE", "--format", "json"}},
    {"JsonErrorDocument", {"size", "MISSING.json", "--format", "json"}},
    {"NotSizedReport", {"size", "UNSIZABLE"}},
    {"Batch", {"size", "BATCH"}},
    {"BatchToDash", {"size", "BATCH", "-o", "-"}},
    {"Run", {"run", "SCRIPT"}},
    {"Version", {"--version"}},
    {"Help", {"--help"}},
    {"SizeHelp", {"size", "--help"}},
};

class FailedOutputTest : public testing::TestWithParam<FailedOutputRow> {};

// Every command's standard output is checked: a failed write is exit 2 and one line naming it,
// never a success or a summary of results that are not there.
TEST_P(FailedOutputTest, EndsWithStatusTwoAndTheReason) {
    TempFolder folder;
    std::vector<std::string> args = {"kestrol"};
    for (const std::string& arg : GetParam().args) {
        if (arg == "CASE") args.push_back(folder.Write("case.json", CaseWith("")));
        else if (arg == "UNSIZABLE") args.push_back(folder.Write("case.json", CaseWith(R"("design": {"diameter_m": 0.01})")));
        else if (arg == "BATCH") args.push_back(folder.Write("cases.csv", kBatch));
        else if (arg == "SCRIPT") args.push_back(folder.Write("script.json", R"({"calls": [["GetValue", 1]]})"));
        else if (arg == "MISSING.json") args.push_back(folder.Path(arg));
        else args.push_back(arg);
    }
    FailingBuffer failing(EBADF);
    std::ostream out(&failing);
    std::ostringstream err;
    EXPECT_EQ(host::RunCommandLine(args, out, err), 2) << err.str();
    EXPECT_NE(err.str().find("standard output: cannot be written (" + std::string(std::strerror(EBADF)) + ")"), std::string::npos)
        << err.str();
    EXPECT_EQ(err.str().find("cases sized"), std::string::npos) << err.str();
}

INSTANTIATE_TEST_SUITE_P(Rows, FailedOutputTest, testing::ValuesIn(kFailedOutputRows), testing_support::RowName());

// Only a failed write to standard output goes without the JSON error document: an input that
// happens to be called "standard output" is refused in JSON like any other.
TEST(CommandLineTest, AnInputNamedStandardOutputKeepsItsJsonErrorDocument) {
    TempFolder folder;
    folder.Write("standard output", "{\"pressure_kPa\": -1}");
    const fs::path before = fs::current_path();
    fs::current_path(folder.Path(""));
    const CommandResult result = Kestrol({"size", "standard output", "--format", "json"});
    fs::current_path(before);
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_EQ(nlohmann::json::parse(result.out).at("error").at("key"), "pressure_kPa") << result.out;
}

// --format json answers in JSON even when the input is refused.
TEST(CommandLineTest, JsonFormatGivesAJsonErrorObject) {
    TempFolder folder;
    const std::string input = folder.Write("case.json", "{\"pressure_kPa\": -1}");
    const CommandResult result = Kestrol({"size", input, "--format", "json"});
    EXPECT_EQ(result.status, 2);
    const nlohmann::json error = nlohmann::json::parse(result.out).at("error");
    EXPECT_EQ(error.at("file"), input);
    EXPECT_EQ(error.at("key"), "pressure_kPa");
    EXPECT_EQ(error.at("line"), 1);
    EXPECT_EQ(error.at("column"), 2);
    EXPECT_NE(error.at("message").get<std::string>().find("must be greater than 0"), std::string::npos);
    EXPECT_NE(result.err.find("pressure_kPa: must be greater than 0"), std::string::npos) << result.err;
}

// --format json answers in JSON for any refused input: every string of the error document is
// UTF-8, whatever bytes the input or its name held.
struct JsonErrorRow {
    const char* name;
    std::string caseText;  ///< empty: no file at all
    std::string fileName;
    std::string message;  ///< the document's message, whole
};

const JsonErrorRow kJsonErrorRows[] = {
    {"LetterAlone", "\xC3\xA9", "case.json", "malformed JSON: invalid literal; last read: '\\xC3'"},
    {"LeadByteAlone", "\xD0", "case.json", "malformed JSON: invalid literal; last read: '\\xD0'"},
    {"DegreeSignAfterANumber", R"({"pressure_kPa": 3500, "temperature_C": 35°C})", "case.json",
     "malformed JSON: invalid literal; last read: '35\\xC2'; expected '}'"},
    {"KeyNotUtf8", "{\"pres\xFFsure\": 1}", "case.json", "malformed JSON: invalid string: ill-formed UTF-8 byte; last read: '\"pres\\xFF'; expected string literal"},
    {"FileNameNotUtf8", "", "\xFF.json", "cannot be read (No such file or directory)"},
};

class JsonErrorTest : public testing::TestWithParam<JsonErrorRow> {};

TEST_P(JsonErrorTest, IsADocumentOfUtf8) {
    const JsonErrorRow& row = GetParam();
    TempFolder folder;
    const std::string input = row.caseText.empty() ? folder.Path(row.fileName) : folder.Write(row.fileName, row.caseText);
    const CommandResult result = Kestrol({"size", input, "--format", "json"});
    EXPECT_EQ(result.status, 2) << result.err;
    nlohmann::json document;
    ASSERT_NO_THROW(document = nlohmann::json::parse(result.out)) << result.out;  // the parser refuses text that is not UTF-8
    EXPECT_EQ(document.at("error").at("message"), row.message);
    EXPECT_NE(result.err.find(row.message), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(Rows, JsonErrorTest, testing::ValuesIn(kJsonErrorRows), testing_support::RowName());

// Inputs that took minutes: the duplicate check searched a list per key, and the nearest-name
// suggestion walked the whole of a long name. Both are linear now.
struct LongInputRow {
    const char* name;
    std::string text;
    const char* fileName;
};

std::string DistinctKeys(std::size_t count) {
    std::string text = "{";
    for (std::size_t i = 0; i < count; ++i) text += (i == 0 ? "\"k" : ", \"k") + std::to_string(i) + "\": 1";
    return text + "}";
}

const LongInputRow kLongInputRows[] = {
    {"HundredThousandKeys", DistinctKeys(100000), "case.json"},  // 1.2 MB: 41 s before, on the release build
    {"MegabyteUnknownKey", "{\"" + std::string(1000000, 'a') + "\": 1}", "case.json"},
    {"FourMegabyteUnknownColumn", "name," + std::string(4000000, 'p') + "\n", "case.csv"},
};

/// Generous [s]: each takes well under a second even on the debug build, and minutes before;
/// a loaded machine must not fail the test.
constexpr double kLongInputSeconds = 10.0;

class LongInputTest : public testing::TestWithParam<LongInputRow> {};

TEST_P(LongInputTest, IsRefusedQuickly) {
    TempFolder folder;
    const std::string input = folder.Write(GetParam().fileName, GetParam().text);
    const auto started = std::chrono::steady_clock::now();
    const CommandResult result = Kestrol({"size", input});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_LT(took.count(), kLongInputSeconds);
    EXPECT_LT(result.err.size(), 1000u) << "the message echoes a few dozen characters of a name";
}

INSTANTIATE_TEST_SUITE_P(Rows, LongInputTest, testing::ValuesIn(kLongInputRows), testing_support::RowName());

// What a command-line tool is expected to answer.
struct ConventionRow {
    const char* name;
    std::vector<std::string> args;  ///< CASE and BATCH stand for a good case file and batch
    int status;
    std::vector<std::string> out;  ///< fragments of standard output
    std::vector<std::string> err;  ///< fragments of standard error
    std::vector<std::string> absent;  ///< in neither stream
};

const ConventionRow kConventionRows[] = {
    // The version CMake's project() declares, the one the DLL's version resource carries too.
    {"Version", {"--version"}, 0, {"kestrol " KESTROL_PROJECT_VERSION " (", "-bit)"}, {}, {}},
    {"VersionShort", {"-V"}, 0, {"kestrol " KESTROL_PROJECT_VERSION " (", "build"}, {}, {}},
    {"UnknownCommandSuggestsNearest", {"sise", "CASE"}, 2, {}, {R"(unknown command "sise" (did you mean "size"?))"}, {}},
    {"LongUnknownCommandIsCut", {std::string(100000, 'x')}, 2, {}, {"unknown command \"" + CutName("x") + "\"; the commands are"}, {}},
    {"UnknownCommandNotUtf8", {"\xFF\xFEsize"}, 2, {}, {"unknown command \"\\xFF\\xFEsize\""}, {}},
    {"SizeHelp", {"size", "--help"}, 0,
     {"kestrol size", "text (default)", "si (default)", "(default: one per core)", "Exit status:", "130", "Examples:\n  kestrol size "}, {},
     {"UINT", "TEXT", "in [1 - 1024]"}},
    {"RunHelp", {"run", "--help"}, 0, {"kestrol run", "Exit status:", "Example:\n  kestrol run "}, {}, {"TEXT"}},
    {"JobsWithOneCaseWarns", {"size", "CASE", "--jobs", "2"}, 0, {"Result: sized."}, {"warning: --jobs applies to a CSV batch"}, {}},
    {"AssumedLiquidWithLiquidWarns", {"size", "ASSUMED"}, 0, {}, {"warning: assumed_liquid_percent is not used: the feed carries liquid"}, {}},
    {"ReportToStandardOutput", {"size", "CASE", "-o", "-"}, 0, {"Result: sized."}, {}, {}},
    {"BatchToStandardOutput", {"size", "BATCH", "-o", "-"}, 0, {"name,pressure_kPa", ",sized,"}, {"1 of 1 cases sized"}, {}},
};

class ConventionTest : public testing::TestWithParam<ConventionRow> {};

TEST_P(ConventionTest, Answers) {
    const ConventionRow& row = GetParam();
    TempFolder folder;
    std::vector<std::string> args;
    for (const std::string& arg : row.args) {
        if (arg == "CASE") {
            args.push_back(folder.Write("case.json", CaseWith("")));
        } else if (arg == "BATCH") {
            args.push_back(folder.Write("cases.csv", kBatch));
        } else if (arg == "ASSUMED") {
            args.push_back(folder.Write("case.json", CaseWith(R"("assumed_liquid_percent": 2)")));
        } else {
            args.push_back(arg);
        }
    }
    const CommandResult result = Kestrol(args);
    EXPECT_EQ(result.status, row.status) << result.err;
    for (const std::string& fragment : row.out) EXPECT_NE(result.out.find(fragment), std::string::npos) << fragment << "\n" << result.out;
    for (const std::string& fragment : row.err) EXPECT_NE(result.err.find(fragment), std::string::npos) << fragment << "\n" << result.err;
    for (const std::string& fragment : row.absent) EXPECT_EQ((result.out + result.err).find(fragment), std::string::npos) << fragment;
}

INSTANTIATE_TEST_SUITE_P(Rows, ConventionTest, testing::ValuesIn(kConventionRows), testing_support::RowName());

/// Standard input reads from the text while it lives.
class StandardInput {
public:
    explicit StandardInput(const std::string& text) : text_(text), saved_(std::cin.rdbuf(text_.rdbuf())) {}
    ~StandardInput() { std::cin.rdbuf(saved_); }

private:
    std::istringstream text_;
    std::streambuf* saved_;
};

struct StdinRow {
    const char* name;
    std::string text;
    const char* fragment;  ///< of standard output
};

// "-" takes the case or the batch from standard input; what it is follows from its first
// character, as there is no name to tell.
const StdinRow kStdinRows[] = {
    {"Case", CaseWith(R"("name": "piped")"), "Separator sizing: piped  (standard input)"},
    {"Batch", kBatch, "scrubber,3500,35,60000,28,1500,720,vertical,"},
};

class StdinTest : public testing::TestWithParam<StdinRow> {};

TEST_P(StdinTest, ReadsTheInput) {
    StandardInput input(GetParam().text);
    const CommandResult result = Kestrol({"size", "-"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find(GetParam().fragment), std::string::npos) << result.out;
}

INSTANTIATE_TEST_SUITE_P(Rows, StdinTest, testing::ValuesIn(kStdinRows), testing_support::RowName());

// A path or a word from the command line that the messages echo is written out, not obeyed by
// the terminal: standard error holds no control character but the newlines that end its lines.
struct EchoRow {
    const char* name;
    std::vector<std::string> args;  ///< "{dir}" is the scratch folder
    const char* fragment;           ///< of standard error
};

const EchoRow kEchoRows[] = {
    {"UnknownCommand", {"size\x1B[2J"}, "unknown command \"size\\u001B[2J\""},
    {"UnreadableCase", {"size", "{dir}/missing\x07.json"}, "missing\\u0007.json: cannot be read"},
#ifndef _WIN32  // Windows allows no control character in a file name
    {"BatchSummary", {"size", "{dir}/batch\x1B[31m.csv"}, "batch\\u001B[31m.csv: 1 of 1 cases sized"},
    {"NotSizedCase", {"size", "{dir}/dry\x1B[31m.json", "-o", "{dir}/report.txt"}, "dry\\u001B[31m.json: not sized: The gas-load"},
#endif
};

class EchoTest : public testing::TestWithParam<EchoRow> {};

TEST_P(EchoTest, StandardErrorShowsControlCharactersWrittenOut) {
    TempFolder folder;
    folder.Write("batch\x1B[31m.csv", kBatch);
    folder.Write("dry\x1B[31m.json", R"({"pressure_kPa": 3500, "temperature_C": 35, "vapour_mass_flow_kg_h": 60000,
        "vapour_density_kg_m3": 28, "light_liquid_mass_flow_kg_h": 10, "light_liquid_density_kg_m3": 720})");
    std::vector<std::string> args = GetParam().args;
    const std::string dir = fs::path(folder.Path("x")).parent_path().string();
    for (std::string& arg : args)
        if (arg.rfind("{dir}", 0) == 0) arg = dir + arg.substr(5);
    const CommandResult result = Kestrol(args);
    EXPECT_NE(result.err.find(GetParam().fragment), std::string::npos) << result.err;
    for (const char ch : result.err) ASSERT_TRUE(ch == '\n' || static_cast<unsigned char>(ch) >= 0x20) << result.err;
}

INSTANTIATE_TEST_SUITE_P(Rows, EchoTest, testing::ValuesIn(kEchoRows), testing_support::RowName());

// The gas-load correlation gives 10 kg/h of liquid under 60,000 kg/h of gas a negative velocity:
// the command says the case is not sized, as a batch row does, unless the design gives the velocity.
TEST(CommandLineTest, AVelocityTheCorrelationDoesNotDefineIsNotSized) {
    TempFolder folder;
    const std::string stream = R"("pressure_kPa": 3500, "temperature_C": 35, "vapour_mass_flow_kg_h": 60000,
        "vapour_density_kg_m3": 28, "light_liquid_mass_flow_kg_h": 10, "light_liquid_density_kg_m3": 720)";
    const CommandResult dry = Kestrol({"size", folder.Write("dry.json", "{" + stream + "}")});
    EXPECT_EQ(dry.status, 1) << dry.err;
    EXPECT_NE(dry.out.find("Result: NOT SIZED. The gas-load correlation is not defined"), std::string::npos) << dry.out;
    EXPECT_EQ(dry.out.find("0.148 m/s"), std::string::npos) << "no velocity presented as the basis\n" << dry.out;

    const CommandResult given =
        Kestrol({"size", folder.Write("given.json", "{" + stream + R"(, "design": {"allowable_vapour_velocity_m_s": 0.3}})")});
    EXPECT_EQ(given.status, 0) << given.err;

    const std::string batch = "name,pressure_kPa,temperature_C,vapour_mass_flow_kg_h,vapour_density_kg_m3,light_liquid_mass_flow_kg_h,"
                              "light_liquid_density_kg_m3\ndry,3500,35,60000,28,10,720\nwet,3500,35,60000,28,1500,720\n";
    const CommandResult rows = Kestrol({"size", folder.Write("rows.csv", batch)});
    EXPECT_EQ(rows.status, 1) << rows.err;
    std::istringstream lines(rows.out);
    std::string header, dryRow, wetRow;
    std::getline(lines, header);
    std::getline(lines, dryRow);
    std::getline(lines, wetRow);
    EXPECT_NE(dryRow.find(",not sized,\"The gas-load correlation is not defined"), std::string::npos) << dryRow;
    EXPECT_NE(wetRow.find(",sized,"), std::string::npos) << wetRow;
}

}  // namespace
}  // namespace kestrol

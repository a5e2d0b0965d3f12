#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/batch.h"
#include "model/case_file.h"
#include "model/csv.h"
#include "host/progress_bar.h"
#include "model/sizing_run.h"
#include "row_name.h"

namespace kestrol {
namespace {

using Row = std::map<std::string, std::string>;

/// The output CSV as rows of column name to field.
std::vector<Row> ReadCsv(const std::string& text, std::vector<std::string>* header = nullptr) {
    std::string_view rest = text;
    std::size_t lines = 0;
    std::vector<std::string_view> fields;
    std::string scratch;
    EXPECT_TRUE(host::SplitCsvLine(host::NextCsvRecord(rest, lines), fields, scratch));
    const std::vector<std::string> names(fields.begin(), fields.end());
    if (header != nullptr) *header = names;
    std::vector<Row> rows;
    while (!rest.empty()) {
        const std::string_view line = host::NextCsvRecord(rest, lines);
        EXPECT_TRUE(host::SplitCsvLine(line, fields, scratch)) << line;
        EXPECT_EQ(fields.size(), names.size()) << line;
        Row row;
        for (std::size_t i = 0; i < fields.size() && i < names.size(); ++i) row[names[i]] = std::string(fields[i]);
        rows.push_back(row);
    }
    return rows;
}

std::string RunBatch(const std::string& csv, unsigned jobs, host::BatchSummary* summary = nullptr) {
    std::ostringstream out;
    host::BatchOptions options;
    options.jobs = jobs;
    const host::BatchSummary s = host::SizeCsv(csv, "cases.csv", out, options);
    if (summary != nullptr) *summary = s;
    return out.str();
}

const char* const kHeader =
    "name,orientation,pressure_kPa,temperature_C,vapour_mass_flow_kg_h,vapour_density_kg_m3,light_liquid_mass_flow_kg_h,"
    "light_liquid_density_kg_m3,heavy_liquid_mass_flow_kg_h,heavy_liquid_density_kg_m3,assumed_liquid_percent,"
    "assumed_liquid_density_kg_m3\n";

// Row 4 asks for a hold-up of 300 s at 3,472 m3/s of liquid: more than a vertical vessel of
// 40 m diameter holds at ratio 5, so the diameter search gives up.
const char* const kRows =
    "scrubber,vertical,3500,35,60000,28,1500,720,,,,\n"
    "three-phase,vertical,1200,55,25000,9.5,9000,830,4000,1020,,\n"
    "bad density,vertical,1200,55,25000,-9.5,9000,830,,,,\n"
    "too much liquid,vertical,1000,40,5000,10,1e10,800,,,,\n"
    "dry gas,auto,2500,20,12000,19,,,,,2,650\n"
    "short row,vertical,1000,40\n"
    "\"drum, spare\",vertical,1000,40,5000,10,2000,800,,,,\n";

host::SizingCase CaseOf(const char* name, const char* orientation, std::vector<std::pair<int, double>> values) {
    host::SizingCase c;
    c.name = name;
    c.orientation = host::ParseOrientation(orientation);
    for (auto [key, v] : values) c.values[static_cast<std::size_t>(key)] = v;
    return c;
}

TEST(BatchRoundTripTest, EveryRowComesBackInOrderWithItsStatus) {
    host::BatchSummary summary;
    std::vector<std::string> header;
    const std::vector<Row> rows = ReadCsv(RunBatch(std::string(kHeader) + kRows, 2, &summary), &header);
    ASSERT_EQ(rows.size(), 7u);
    const char* const names[] = {"scrubber", "three-phase", "bad density", "too much liquid", "dry gas", "short row", "drum, spare"};
    const char* const statuses[] = {"sized", "sized", "bad input", "not sized", "sized", "bad input", "sized"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].at("name"), names[i]) << "row " << i;
        EXPECT_EQ(rows[i].at("status"), statuses[i]) << "row " << i << ": " << rows[i].at("message");
    }
    EXPECT_EQ(summary.rows, 7u);
    EXPECT_EQ(summary.sized, 4u);
    EXPECT_EQ(summary.notSized, 1u);
    EXPECT_EQ(summary.badInput, 2u);

    EXPECT_EQ(header.front(), "name");
    EXPECT_EQ(header.back(), "message");
    EXPECT_EQ(rows[0].at("vapour_density_kg_m3"), "28") << "inputs are echoed";
    EXPECT_NE(rows[2].at("message").find("line 4: vapour_density_kg_m3: must be greater than 0"), std::string::npos) << rows[2].at("message");
    EXPECT_NE(rows[3].at("message").find("missing: inside diameter"), std::string::npos) << rows[3].at("message");
    EXPECT_EQ(rows[3].at("inside_diameter_m"), "") << "a failed row has no diameter";
    EXPECT_NE(rows[5].at("message").find("the row has 4 fields, the header names 12"), std::string::npos) << rows[5].at("message");
    EXPECT_EQ(rows[4].at("orientation_used"), "vertical");
}

// The batch reports what one case sized on its own reports, digit for digit.
TEST(BatchRoundTripTest, ResultsReadBackAsTheSingleCaseResults) {
    const std::vector<Row> rows = ReadCsv(RunBatch(std::string(kHeader) + kRows, 2));
    const host::SizingCase scrubber = CaseOf("scrubber", "vertical",
                                             {{host::kPressure, 3500}, {host::kTemperature, 35}, {host::kVapourMassFlow, 60000},
                                              {host::kVapourDensity, 28}, {host::kLightLiquidMassFlow, 1500}, {host::kLightLiquidDensity, 720}});
    const host::SizingOutcome alone = host::SizeCase(scrubber);
    ASSERT_TRUE(alone.Sized());
    const std::pair<const char*, Slot> columns[] = {{"inside_diameter_m", Slot::Diameter},
                                                    {"overall_length_m_used", Slot::OverallLength},
                                                    {"light_liquid_layer_m_used", Slot::LightLayerThickness},
                                                    {"wall_thickness_m_used", Slot::WallThickness},
                                                    {"total_cost_USD", Slot::TotalCost}};
    for (const auto& [column, slot] : columns) {
        const std::optional<double> v = host::ParseNumber(rows[0].at(column));
        ASSERT_TRUE(v.has_value()) << column << ": " << rows[0].at(column);
        EXPECT_EQ(*v, std::fabs(alone.At(slot))) << column;
    }
    EXPECT_EQ(host::ParseNumber(rows[0].at("holdup_time_below_minimum_level_s")), alone.values[host::kHoldupIndex]);
}

// A batch that gives every input a case may have still names each column once: a result that
// repeats an input is the value used, beside the value given.
TEST(BatchRoundTripTest, EveryColumnHasANameOfItsOwn) {
    std::string header, row;
    for (const std::string& name : host::CsvColumnNames()) {
        header += (header.empty() ? "" : ",") + name;
        row += std::string(row.empty() ? "" : ",") + (name == "name" ? "full" : name == "orientation" ? "vertical" : "");
    }
    std::vector<std::string> names;
    const std::vector<Row> rows = ReadCsv(RunBatch(header + "\n" + row + "\n", 1), &names);
    ASSERT_EQ(rows.size(), 1u);
    std::map<std::string, int> seen;
    for (const std::string& name : names) EXPECT_EQ(++seen[name], 1) << name;
    for (const char* repeated : {"cost_index", "material_code", "overall_length_m", "wall_thickness_m"}) {
        EXPECT_EQ(seen.count(repeated), 1u) << repeated;
        EXPECT_EQ(seen.count(std::string(repeated) + "_used"), 1u) << repeated;
    }
    EXPECT_EQ(seen.count("inside_diameter_m"), 1u);  // no input has this name
    EXPECT_EQ(seen.count("inside_diameter_m_used"), 0u);
}

// The plate grade used at design conditions: the one given, else the material code's, and
// empty where the design at design conditions was not computed.
TEST(BatchRoundTripTest, TheDesignMaterialColumnNamesTheGradeUsed) {
    struct MaterialRow {
        const char* row;  // kHeader's fields, then material and material_code
        const char* status;
        const char* used;
    };
    const MaterialRow table[] = {
        {"given,vertical,3500,35,60000,28,1500,720,,,,,SA-240-316,", "sized", "SA-240-316"},
        {"given over the code,vertical,3500,35,60000,28,1500,720,,,,,SA-516-70-LT,2", "sized", "SA-516-70-LT"},
        {"stainless code,vertical,3500,35,60000,28,1500,720,,,,,,2", "sized", "SA-240-304"},
        {"the default code,vertical,3500,35,60000,28,1500,720,,,,,,", "sized", "SA-516-70"},
        {"aluminium has no grade,vertical,3500,35,60000,28,1500,720,,,,,,4", "sized", ""},
        // Carbon steel's table ends at 1,000 deg F (537.8 deg C); the design temperature lies above it.
        {"past the stress table,vertical,3500,540,60000,28,1500,720,,,,,,1", "sized", ""},
        {"not sized,vertical,1000,40,5000,10,1e10,800,,,,,SA-240-316,", "not sized", ""},
        {"bad input,vertical,1000,40,5000,-10,2000,800,,,,,SA-240-316,", "bad input", ""},
    };
    std::string csv = std::string(kHeader, std::strlen(kHeader) - 1) + ",material,material_code\n";
    for (const MaterialRow& r : table) csv += std::string(r.row) + "\n";
    const std::vector<Row> rows = ReadCsv(RunBatch(csv, 2));
    ASSERT_EQ(rows.size(), std::size(table));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].at("status"), table[i].status) << rows[i].at("name") << ": " << rows[i].at("message");
        EXPECT_EQ(rows[i].at("design_material_used"), table[i].used) << rows[i].at("name");
        // The grade is named exactly where the design's numbers are there.
        EXPECT_EQ(rows[i].at("mawp_kPa").empty(), std::string(table[i].used).empty()) << rows[i].at("name");
    }
}

// Chunks finish in any order on several threads; the output must not show it.
TEST(BatchRoundTripTest, ThreadCountDoesNotChangeTheOutput) {
    std::string csv = kHeader;
    for (int i = 0; i < 1500; ++i) {
        csv += "case " + std::to_string(i) + ",vertical,1000," + std::to_string(20 + i % 40) + "," + std::to_string(2000 + 37 * i) + ",10," +
               std::to_string(500 + 11 * (i % 97)) + ",800,,,,\n";
        if (i % 500 == 250) csv += "broken " + std::to_string(i) + ",vertical,1000,40,5000,10,-1,800,,,,\n";
    }
    const std::string serial = RunBatch(csv, 1);
    const std::string parallel = RunBatch(csv, 3);
    EXPECT_EQ(serial, parallel);
    const std::vector<Row> rows = ReadCsv(parallel);
    ASSERT_EQ(rows.size(), 1503u);
    EXPECT_EQ(rows[250].at("name"), "case 250");
    EXPECT_EQ(rows[251].at("name"), "broken 250");
    EXPECT_EQ(rows[251].at("status"), "bad input");
    EXPECT_EQ(rows.back().at("name"), "case 1499");
}

// Two records in, two rows out, though a name holds a line break, a comma and quotes.
TEST(BatchRoundTripTest, QuotedLineBreaksStayInTheirField) {
    const std::string csv = std::string(kHeader) + "\"two\r\nline, \"\"V-1\"\"\",vertical,3500,35,60000,28,1500,720,,,,\r\n" +
                            "after,vertical,3500,35,60000,28,1500,720,,,,\r\n";
    host::BatchSummary summary;
    const std::vector<Row> rows = ReadCsv(RunBatch(csv, 2, &summary));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(summary.rows, 2u);
    EXPECT_EQ(rows[0].at("name"), "two\r\nline, \"V-1\"");
    EXPECT_EQ(rows[0].at("status"), "sized") << rows[0].at("message");
    EXPECT_EQ(rows[1].at("name"), "after");
    EXPECT_EQ(rows[1].at("status"), "sized");
}

// An open quote swallows the rest of the file into one record, which is refused with the line
// it starts on; nothing after it becomes a ghost row.
TEST(BatchRoundTripTest, OpenQuoteIsOneBadRow) {
    const std::string csv = std::string(kHeader) + "ok,vertical,3500,35,60000,28,1500,720,,,,\n\"open,vertical,3500\nx,vertical,1\n";
    const std::vector<Row> rows = ReadCsv(RunBatch(csv, 1));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].at("status"), "bad input");
    EXPECT_NE(rows[1].at("message").find("line 3, column 1: a quote is left open"), std::string::npos) << rows[1].at("message");
}

// A quote inside an unquoted field opens nothing: that record alone is bad, at its line and
// column, and the rows after it are read as they are.
TEST(BatchRoundTripTest, StrayQuoteIsOneBadRow) {
    const char* const row = ",vertical,3500,35,60000,28,1500,720,,,,\n";
    const std::string csv = std::string(kHeader) + "A" + row + "B\"x" + row + "C" + row + "D" + row + "E" + row;
    host::BatchSummary summary;
    const std::vector<Row> rows = ReadCsv(RunBatch(csv, 2, &summary));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(summary.rows, 5u);
    EXPECT_EQ(rows[1].at("status"), "bad input");
    EXPECT_NE(rows[1].at("message").find("line 3, column 2: a quote inside a field"), std::string::npos) << rows[1].at("message");
    const char* const names[] = {"A", "", "C", "D", "E"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].at("name"), names[i]) << "row " << i;
        if (i != 1) {
            EXPECT_EQ(rows[i].at("status"), "sized") << "row " << i << ": " << rows[i].at("message");
        }
    }
}

TEST(BatchRoundTripTest, RowsOfEmptyFieldsAreSkippedWithAWarning) {
    const std::string csv = std::string(kHeader) + ",,,,,,,,,,,\nok,vertical,3500,35,60000,28,1500,720,,,,\n";
    host::BatchSummary summary;
    const std::vector<Row> rows = ReadCsv(RunBatch(csv, 1, &summary));
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(summary.warnings.size(), 1u);
    EXPECT_NE(summary.warnings[0].find("cases.csv:2: a row of empty fields"), std::string::npos) << summary.warnings[0];
    EXPECT_EQ(summary.warningsNotKept, 0u);
}

// The header is refused at the byte that breaks the rules, on the line it is on.
struct HeaderFaultRow {
    const char* name;
    const char* csv;
    std::size_t line, column;
    const char* reason;
};

const HeaderFaultRow kHeaderFaults[] = {
    {"StrayQuote", "\nname,orien\"tation\n", 2, 11, "a quote inside a field that does not start with one"},
    {"OpenQuote", "name,\"orientation\n", 1, 6, "a quote is left open"},
    {"TextAfterClosingQuote", "name,\"two\nlines\"x\n", 2, 7, "text follows the closing quote"},
};

class HeaderFaultTest : public testing::TestWithParam<HeaderFaultRow> {};

TEST_P(HeaderFaultTest, NamesLineAndColumn) {
    const HeaderFaultRow& row = GetParam();
    try {
        RunBatch(row.csv, 1);
        FAIL() << "the header was read";
    } catch (const host::InputError& e) {
        EXPECT_EQ(e.Line(), row.line) << e.what();
        EXPECT_EQ(e.Column(), row.column) << e.what();
        EXPECT_EQ(e.Reason().rfind(row.reason, 0), 0u) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, HeaderFaultTest, testing::ValuesIn(kHeaderFaults), testing_support::RowName());

// A message quotes a field that is not a number, but not a field of megabytes whole.
TEST(BatchRoundTripTest, AHugeFieldIsQuotedCutShort) {
    const std::string csv = std::string(kHeader) + "huge,vertical," + std::string(100000, '9') + "x,35,60000,28,1500,720,,,,\n";
    const std::vector<Row> rows = ReadCsv(RunBatch(csv, 1));
    ASSERT_EQ(rows.size(), 1u);
    const std::string& message = rows[0].at("message");
    EXPECT_EQ(message.rfind("line 2: pressure_kPa: \"9999", 0), 0u) << message.substr(0, 200);
    EXPECT_NE(message.find("...\" is not a number"), std::string::npos) << message.substr(0, 200);
    EXPECT_LT(message.size(), 100u);
    EXPECT_EQ(rows[0].at("pressure_kPa").size(), 100001u) << "the input is echoed whole";
}

// Millions of skipped rows must not become millions of sentences: the first are kept to print,
// the rest counted.
TEST(BatchRoundTripTest, WarningsBeyondThoseKeptAreCounted) {
    std::string csv = kHeader;
    const std::size_t skipped = host::kBatchWarningsKept + 25;
    for (std::size_t i = 0; i < skipped; ++i) csv += ",,,,,,,,,,,\n";
    csv += "ok,vertical,3500,35,60000,28,1500,720,,,,\n";
    host::BatchSummary summary;
    ASSERT_EQ(ReadCsv(RunBatch(csv, 1, &summary)).size(), 1u);
    ASSERT_EQ(summary.warnings.size(), host::kBatchWarningsKept);
    EXPECT_EQ(summary.warningsNotKept, 25u);
    EXPECT_NE(summary.warnings.front().find("cases.csv:2: "), std::string::npos) << summary.warnings.front();
    EXPECT_NE(summary.warnings.back().find("cases.csv:11: "), std::string::npos) << summary.warnings.back();
}

// A stop request (SIGINT) ends the batch between chunks and says so.
TEST(BatchRoundTripTest, StopRequestEndsTheBatchEarly) {
    std::string csv = kHeader;
    for (int i = 0; i < 5000; ++i) csv += "case,vertical,1000,40,5000,10,2000,800,,,,\n";
    std::atomic<int> stop{0};
    host::BatchOptions options;
    options.jobs = 2;
    options.stop = &stop;
    std::ostringstream out;
    stop = 2;
    const host::BatchSummary summary = host::SizeCsv(csv, "cases.csv", out, options);
    EXPECT_TRUE(summary.stopped);
    EXPECT_LT(summary.sized, 5000u);
}

TEST(BatchRoundTripTest, BlankLinesAndCarriageReturnsAreNoCases) {
    const std::string csv = std::string("\xEF\xBB\xBF") + "name,orientation,pressure_kPa\r\n\r\na,vertical,100\r\n  \r\n";
    host::BatchSummary summary;
    const std::vector<Row> rows = ReadCsv(RunBatch(csv, 1, &summary));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("name"), "a");
    EXPECT_EQ(rows[0].at("pressure_kPa"), "100");
    EXPECT_EQ(rows[0].at("status"), "bad input") << "no temperature given";
    EXPECT_NE(rows[0].at("message").find("temperature_C: is required"), std::string::npos) << rows[0].at("message");
}

/// An output with room for so many bytes, then failing each write as a full disk does: errno
/// set on the thread that writes.
class FullDisk : public std::streambuf {
public:
    explicit FullDisk(std::streamsize room) : room_(room) {}

protected:
    int_type overflow(int_type ch) override {
        if (room_ <= 0) return Fail();
        --room_;
        return ch;
    }
    std::streamsize xsputn(const char*, std::streamsize count) override {
        if (count > room_) return Fail(), 0;
        room_ -= count;
        return count;
    }

private:
    static int_type Fail() {
        errno = ENOSPC;
        return traits_type::eof();
    }
    std::streamsize room_;
};

// The header is written by the calling thread, the rows by the writer thread; either way the
// failure's own errno names it, not what another thread's errno holds.
TEST(BatchRoundTripTest, AFailedWriteEndsTheBatchWithTheWritersReason) {
    std::string csv = kHeader;
    for (int i = 0; i < 2000; ++i) csv += "scrubber,vertical,3500,35,60000,28,1500,720,,,,\n";
    for (const std::streamsize room : {0, 4000}) {
        SCOPED_TRACE(room);
        FullDisk full(room);
        std::ostream out(&full);
        host::BatchOptions options;
        options.jobs = 2;
        errno = ENOENT;
        const host::BatchSummary summary = host::SizeCsv(csv, "cases.csv", out, options);
        EXPECT_EQ(summary.writeError, ENOSPC);
        EXPECT_FALSE(summary.stopped);
    }
}

struct ProgressRow {
    const char* name;
    std::size_t done, total;
    std::vector<std::string> shown;
    std::vector<std::string> notShown;
};

// Some two seconds into the batch (the clock runs on while the test does).
const ProgressRow kProgressRows[] = {
    {"KnownTotal", 500000, 1000000, {"[###############---------------] 50%", "500,000 / 1,000,000 cases  2", " cases/s  2 s left"}, {}},
    {"TotalNotYetKnown", 100000, 0, {"100,000 cases  ", " cases/s"}, {"left", "%"}},
};

class ProgressBarTest : public testing::TestWithParam<ProgressRow> {};

TEST_P(ProgressBarTest, ShowsRateAndTimeLeftThenErasesItself) {
    const ProgressRow& row = GetParam();
    std::ostringstream err;
    host::ProgressBar bar(err, std::chrono::steady_clock::now() - std::chrono::seconds(2));
    bar(row.done, row.total);
    const std::string line = err.str();
    for (const std::string& fragment : row.shown) EXPECT_NE(line.find(fragment), std::string::npos) << fragment << "\n" << line;
    for (const std::string& fragment : row.notShown) EXPECT_EQ(line.find(fragment), std::string::npos) << fragment << "\n" << line;
    bar.Erase();
    const std::string erased = err.str().substr(line.size());
    EXPECT_EQ(erased, "\r" + std::string(line.size() - 1, ' ') + "\r");
}

INSTANTIATE_TEST_SUITE_P(Rows, ProgressBarTest, testing::ValuesIn(kProgressRows), testing_support::RowName());

TEST(ProgressBarTest, QuickBatchesDrawNothing) {
    std::ostringstream err;
    host::ProgressBar bar(err);
    bar(10, 100);
    bar.Erase();
    EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace kestrol

// The batch when the machine runs out of memory: on any of its threads (splitter, workers,
// writer) an allocation failure ends as a row that says so or as an exception from the batch,
// never as std::terminate. Failures are injected through this executable's operator new.
#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/batch.h"
#include "model/case_file.h"
#include "model/csv.h"
#include "model/sizing_run.h"
#include "replaced_allocation.h"
#include "row_name.h"

namespace {

/// Armed with n >= 0: the allocation after n more fails, once. -1 leaves allocations alone.
std::atomic<long> allocationsBeforeFailure{-1};
/// Every allocation of this many bytes or more fails.
std::atomic<std::size_t> failingSize{static_cast<std::size_t>(-1)};
std::atomic<long> allocations{0};

}  // namespace

void* TestAllocation(std::size_t size) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (size >= failingSize.load(std::memory_order_relaxed)) return nullptr;
    if (allocationsBeforeFailure.load(std::memory_order_relaxed) >= 0 && allocationsBeforeFailure.fetch_sub(1) == 0) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

namespace kestrol {
namespace {

const char* const kHeader = "name,orientation,pressure_kPa,temperature_C,vapour_mass_flow_kg_h,vapour_density_kg_m3,"
                            "light_liquid_mass_flow_kg_h,light_liquid_density_kg_m3\n";
const char* const kInputs = ",vertical,3500,35,60000,28,1500,720\n";

/// The output's records after the header, split into fields.
std::vector<std::vector<std::string>> Records(const std::string& csv) {
    std::string_view rest = csv;
    std::size_t lines = 0;
    host::NextCsvRecord(rest, lines);
    std::vector<std::vector<std::string>> records;
    std::vector<std::string_view> fields;
    std::string scratch;
    while (!rest.empty()) {
        EXPECT_TRUE(host::SplitCsvLine(host::NextCsvRecord(rest, lines), fields, scratch));
        records.emplace_back(fields.begin(), fields.end());
    }
    return records;
}

TEST(BatchMemoryTest, ARowTooLargeToHoldIsNotSizedAndTheOthersAre) {
    const std::string csv = kHeader + ("A" + std::string(kInputs)) + std::string(std::size_t{2} << 20, 'B') + kInputs + "C" + kInputs;
    std::ostringstream out;
    host::BatchOptions options;
    options.jobs = 2;
    failingSize = std::size_t{1} << 20;
    host::BatchSummary summary;
    try {
        summary = host::SizeCsv(csv, "cases.csv", out, options);
    } catch (...) {
        failingSize = static_cast<std::size_t>(-1);
        FAIL() << "the batch threw";
    }
    failingSize = static_cast<std::size_t>(-1);
    EXPECT_EQ(summary.sized, 2u);
    EXPECT_EQ(summary.notSized, 1u);
    const auto records = Records(out.str());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].front(), "A");
    EXPECT_EQ(records[1].front(), "") << "the row the machine could not hold is not echoed";
    EXPECT_EQ(records[1].end()[-2], "not sized");
    EXPECT_EQ(records[1].back(), "line 3: the machine ran out of memory for this row");
    EXPECT_EQ(records[2].front(), "C");
    EXPECT_EQ(records[2].end()[-2], "sized");
}

// Each allocation of a small batch fails in turn, on whichever thread makes it: the batch
// returns with every row, each as it is without the failure or not sized, or it throws an
// allocation failure. An exception escaping a thread would abort the whole test program.
TEST(BatchMemoryTest, EveryAllocationThatFailsEndsCleanly) {
    const std::string csv = kHeader + ("A" + std::string(kInputs)) + ",,,,,,,\n" + "B" + kInputs + "C" + kInputs;
    host::BatchOptions options;
    options.jobs = 2;
    std::ostringstream reference;
    host::SizeCsv(csv, "cases.csv", reference, options);
    const auto expected = Records(reference.str());
    ASSERT_EQ(expected.size(), 3u);

    allocations = 0;
    std::ostringstream counted;
    host::SizeCsv(csv, "cases.csv", counted, options);
    const long perRun = allocations.load();
    ASSERT_GT(perRun, 10);
    long threw = 0, rowsNotSized = 0;
    for (long k = 0; k < 2 * perRun; ++k) {
        std::ostringstream out;
        bool thrown = false;
        allocationsBeforeFailure = k;
        try {
            host::SizeCsv(csv, "cases.csv", out, options);
        } catch (const std::bad_alloc&) {
            thrown = true;
        }
        allocationsBeforeFailure = -1;
        if (thrown) {
            ++threw;
            continue;
        }
        if (!out) continue;  // the failure hit the stream, which reports it itself
        const auto records = Records(out.str());
        ASSERT_EQ(records.size(), expected.size()) << "allocation " << k;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i] == expected[i]) continue;
            EXPECT_NE(records[i].end()[-2], "sized") << "allocation " << k << ", row " << i << ": a sized row differs";
            ++rowsNotSized;
        }
    }
    EXPECT_GT(threw, 0) << "some failures are the batch's own";
    EXPECT_GT(rowsNotSized, 0) << "some failures are one row's";
}

host::SizingCase Scrubber() {
    host::SizingCase c;
    const std::pair<int, double> values[] = {{host::kPressure, 3500},       {host::kTemperature, 35},          {host::kVapourMassFlow, 60000},
                                             {host::kVapourDensity, 28},    {host::kLightLiquidMassFlow, 1500}, {host::kLightLiquidDensity, 720}};
    for (auto [key, v] : values) c.values[static_cast<std::size_t>(key)] = v;
    return c;
}

struct Written {
    host::RowStatus status;
    bool withOutcome;
    std::string message;
};

constexpr std::size_t kRows = 600;  // three chunks
constexpr std::size_t kFailingRow = 300;

TEST(BatchMemoryTest, ARowReaderOutOfMemoryMakesThatRowNotSized) {
    std::mutex lock;
    std::map<std::size_t, std::vector<Written>> written;
    const host::RowReader read = [](std::size_t row, host::SizingCase& c) -> std::string {
        if (row == kFailingRow) throw std::bad_alloc();
        c = Scrubber();
        return {};
    };
    const host::RowWriter write = [&](std::size_t row, const host::SizingCase&, const host::SizingOutcome* outcome, host::RowStatus status,
                                      const std::string& message) {
        std::lock_guard<std::mutex> guard(lock);
        written[row].push_back({status, outcome != nullptr, message});
    };
    host::BatchOptions options;
    options.jobs = 2;
    const host::BatchSummary summary = host::SizeRows(kRows, read, write, options);
    EXPECT_EQ(summary.sized, kRows - 1);
    EXPECT_EQ(summary.notSized, 1u);
    ASSERT_EQ(written.size(), kRows);
    for (const auto& [row, writes] : written) ASSERT_EQ(writes.size(), 1u) << "row " << row << " is written once";
    const Written& failed = written[kFailingRow].front();
    EXPECT_EQ(failed.status, host::RowStatus::NotSized);
    EXPECT_FALSE(failed.withOutcome);
    EXPECT_EQ(failed.message, "the machine ran out of memory for this row");
    EXPECT_EQ(written[kFailingRow + 1].front().status, host::RowStatus::Sized);
}

// A writer that fails stops the batch, on whichever thread, and its exception comes back.
struct WriterFailureRow {
    const char* name;
    void (*fail)();
    const char* what;
};

const WriterFailureRow kWriterFailures[] = {
    {"OutOfMemory", [] { throw std::bad_alloc(); }, "the machine ran out of memory; the batch stopped"},
    {"OtherException", [] { throw std::runtime_error("disk on fire"); }, "disk on fire"},
};

class WriterFailureTest : public testing::TestWithParam<WriterFailureRow> {};

TEST_P(WriterFailureTest, StopsTheBatchAndComesBack) {
    const host::RowReader read = [](std::size_t, host::SizingCase& c) -> std::string {
        c = Scrubber();
        return {};
    };
    std::atomic<std::size_t> writes{0};
    const host::RowWriter write = [&](std::size_t row, const host::SizingCase&, const host::SizingOutcome*, host::RowStatus, const std::string&) {
        ++writes;
        if (row == kFailingRow) GetParam().fail();
    };
    host::BatchOptions options;
    options.jobs = 3;
    try {
        host::SizeRows(kRows, read, write, options);
        FAIL() << "the batch returned";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), GetParam().what);
    }
    EXPECT_LT(writes.load(), kRows) << "the batch stopped";
}

INSTANTIATE_TEST_SUITE_P(Rows, WriterFailureTest, testing::ValuesIn(kWriterFailures), testing_support::RowName());

}  // namespace
}  // namespace kestrol

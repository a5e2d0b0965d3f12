// Reading an input whole: a file, a device or standard input, up to a limit, so that an
// endless input ends with a refusal rather than with the machine's memory.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "model/case_file.h"
#include "row_name.h"

namespace kestrol {
namespace {

namespace fs = std::filesystem;

enum class Source { File, StandardInput, EndlessDevice };

struct LimitRow {
    const char* name;
    Source source;
    std::size_t bytes;    ///< the input's size (the device has none)
    std::uint64_t limit;  ///< [bytes]
    const char* refusal;  ///< empty when it is read whole
};

const LimitRow kLimitRows[] = {
    {"FileAtTheLimit", Source::File, 70000, 70000, ""},
    {"FileBeyondTheLimit", Source::File, 70001, 70000, "holds more than 70000 bytes, the most the host reads of one input"},
    {"StandardInputAtTheLimit", Source::StandardInput, 200000, 200000, ""},
    {"StandardInputBeyondTheLimit", Source::StandardInput, 200001, 200000, "-: standard input holds more than 200000 bytes"},
    // Refused by its size before any of it is read: the file is sparse.
    {"FileBeyondOneGiB", Source::File, (std::size_t{1} << 30) + 1, std::uint64_t{1} << 30, "holds more than 1 GiB"},
#ifndef _WIN32
    {"EndlessDevice", Source::EndlessDevice, 0, std::uint64_t{1} << 20, "/dev/zero: holds more than 1048576 bytes"},
#endif
};

class ReadInputFileTest : public testing::TestWithParam<LimitRow> {};

TEST_P(ReadInputFileTest, ReadsWholeOrRefusesBeyondTheLimit) {
    const LimitRow& row = GetParam();
    constexpr std::size_t kWrittenBytes = 1 << 20;  // beyond this the file is made sparse
    const std::string content(row.bytes <= kWrittenBytes ? row.bytes : 0, 'x');
    const fs::path file = fs::temp_directory_path() / ("kestrol_input_" + std::string(row.name) + ".csv");
    std::string path = file.string();
    std::istringstream standardInput(content);
    std::streambuf* const keptInput = std::cin.rdbuf();
    switch (row.source) {
        case Source::File:
            std::ofstream(file, std::ios::binary) << content;
            if (row.bytes > kWrittenBytes) fs::resize_file(file, row.bytes);
            break;
        case Source::StandardInput:
            std::cin.rdbuf(standardInput.rdbuf());
            path = "-";
            break;
        case Source::EndlessDevice: path = "/dev/zero"; break;
    }
    std::string text, refusal;
    try {
        text = host::ReadInputFile(path, row.limit);
    } catch (const host::InputError& e) {
        refusal = e.what();
    }
    std::cin.rdbuf(keptInput);
    fs::remove(file);
    if (*row.refusal == '\0') {
        EXPECT_EQ(refusal, "");
        EXPECT_EQ(text, content);
    } else {
        EXPECT_NE(refusal.find(row.refusal), std::string::npos) << refusal;
        EXPECT_EQ(refusal.rfind(path + ":", 0), 0u) << "names the file: " << refusal;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ReadInputFileTest, testing::ValuesIn(kLimitRows), testing_support::RowName());

}  // namespace
}  // namespace kestrol

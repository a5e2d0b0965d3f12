// The real program writing where a shell user points it: devices, FIFOs, symbolic links, a full
// device and a standard output that is closed or whose reader left. Every failed write ends with
// exit 2 and one line naming the output; a device or FIFO stays what it was.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "file_text.h"
#include "row_name.h"

namespace kestrol {
namespace {

namespace fs = std::filesystem;

using testing_support::ReadFile;

/// A scratch folder holding a case, a script and a batch large enough to fill a pipe.
class Scratch {
public:
    explicit Scratch(const std::string& name) : path_(fs::temp_directory_path() / ("kestrol-targets-" + name)) {
        fs::remove_all(path_);
        fs::create_directories(path_);
        std::ofstream(path_ / "case.json") << R"({"orientation": "vertical", "pressure_kPa": 3500, "temperature_C": 35,
            "vapour_mass_flow_kg_h": 60000, "vapour_density_kg_m3": 28, "light_liquid_mass_flow_kg_h": 1500,
            "light_liquid_density_kg_m3": 720})";
        std::ofstream(path_ / "script.json") << R"({"calls": [["SetOrientation", 0], ["GetValue", 1]]})";
        std::ofstream batch(path_ / "batch.csv");
        batch << "name,pressure_kPa,temperature_C,vapour_mass_flow_kg_h,vapour_density_kg_m3,light_liquid_mass_flow_kg_h,"
                 "light_liquid_density_kg_m3\n";
        for (int i = 0; i < 10000; ++i) batch << "case " << i << ",3500,35,60000,28,1500,720\n";
    }
    ~Scratch() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }

    /// Runs a bash command line in the folder with $K the program; returns what it echoed last
    /// as the status (the command line ends with its own `echo $?` or PIPESTATUS).
    int Bash(const std::string& commands) const {
        const std::string line = "cd '" + path_.string() + "' && K='" + KESTROL_EXECUTABLE + "' bash -c '" + commands +
                                 "' > status.txt 2> stderr.txt";
        const int result = std::system(line.c_str());
        if (!WIFEXITED(result)) return -1;
        return std::stoi(ReadFile(path_ / "status.txt"));
    }
    std::string Err() const { return ReadFile(path_ / "stderr.txt"); }

private:
    fs::path path_;
};

char KindOf(const fs::path& path, bool followLinks) {
    struct stat info {};
    if ((followLinks ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) != 0) return '-';
    if (S_ISCHR(info.st_mode)) return 'c';
    if (S_ISFIFO(info.st_mode)) return 'p';
    if (S_ISLNK(info.st_mode)) return 'l';
    if (S_ISREG(info.st_mode)) return 'f';
    return '?';
}

struct TargetRow {
    const char* name;
    const char* setUp;     ///< bash run in the folder before the program
    const char* command;   ///< the program's run; "$K" is the program; must end in "echo $?"
    int status;
    const char* fragment;  ///< must appear on standard error ("" for nothing in particular)
    const char* path;      ///< a path whose kind must be `kind` afterwards (lstat), or nullptr
    char kind;
    const char* written;   ///< a file (links followed) that must hold the report, or nullptr
};

// Devices are private copies made with mknod (as root), so that no run depends on, or can
// spoil, the machine's own /dev. A FIFO's reader runs in the background and is waited for, as a shell user would pipe it on.
const TargetRow kTargets[] = {
    {"ReportOnACharacterDevice", "mknod null c 1 3", "$K size case.json -o null; echo $?", 0, "", "null", 'c', nullptr},
    {"SvgOnACharacterDevice", "mknod null c 1 3", "$K size case.json -o r.txt --svg null; echo $?", 0, "", "null", 'c', "r.txt"},
    {"LinkToACharacterDevice", "mknod null c 1 3 && ln -s null link", "$K size case.json -o link; echo $?", 0, "", "link", 'l', nullptr},
    {"ReportIntoAFifo", "mkfifo fifo", "(cat fifo > got &); $K size case.json -o fifo; s=$?; sleep 0.2; echo $s", 0, "", "fifo", 'p', "got"},
    {"LinkToAFifo", "mkfifo fifo && ln -s fifo link", "(cat link > got &); $K size case.json -o link; s=$?; sleep 0.2; echo $s", 0, "",
     "fifo", 'p', "got"},
    {"BatchIntoAFifo", "mkfifo fifo", "(cat fifo > got &); $K size batch.csv -o fifo; s=$?; sleep 0.2; echo $s", 0, "10000 of 10000",
     "fifo", 'p', nullptr},
    {"DanglingLinkGetsTheFileItNames", "ln -s target.txt dangling", "$K size case.json -o dangling; echo $?", 0, "", "dangling", 'l',
     "target.txt"},
    {"ReportOnAFullDevice", "mknod full c 1 7", "$K size case.json -o full; echo $?", 2, "full: cannot be written (No space left on device)",
     nullptr, 0, nullptr},
    {"SvgOnAFullDevice", "mknod full c 1 7", "$K size case.json -o r.txt --svg full; echo $?", 2, "full: cannot be written (No space", "r.txt",
     '-', nullptr},
    {"LinkToAFullDevice", "mknod full c 1 7 && ln -s full link", "$K size case.json -o link; echo $?", 2, "link: cannot be written (No space", "link",
     'l', nullptr},
    {"BatchOnAFullDevice", "mknod full c 1 7", "$K size batch.csv -o full; echo $?", 2, "full: cannot be written (No space", nullptr, 0, nullptr},
    {"ReportToAFullStandardOutput", "mknod full c 1 7", "$K size case.json > full; echo $?", 2,
     "standard output: cannot be written (No space left on device)", nullptr, 0, nullptr},
    {"JsonToAFullStandardOutput", "mknod full c 1 7", "$K size case.json --format json > full; echo $?", 2, "standard output: cannot be written",
     nullptr, 0, nullptr},
    {"BatchToAFullStandardOutput", "mknod full c 1 7", "$K size batch.csv > full; echo $?", 2, "standard output: cannot be written", nullptr, 0,
     nullptr},
    {"BatchToAClosedStandardOutput", "", "$K size batch.csv >&-; echo $?", 2, "standard output: cannot be written (Bad file descriptor)",
     nullptr, 0, nullptr},
    {"BatchToAPipeWhoseReaderLeftWithSigpipeIgnored", "", "trap \"\" PIPE; $K size batch.csv | head -1 > /dev/null; echo ${PIPESTATUS[0]}",
     2, "standard output: cannot be written (Broken pipe)", nullptr, 0, nullptr},
    {"RunToAFullStandardOutput", "mknod full c 1 7", "$K run script.json > full; echo $?", 2, "standard output: cannot be written", nullptr, 0,
     nullptr},
    {"VersionToAFullStandardOutput", "mknod full c 1 7", "$K --version > full; echo $?", 2, "standard output: cannot be written", nullptr, 0, nullptr},
    {"HelpToAFullStandardOutput", "mknod full c 1 7", "$K size --help > full; echo $?", 2, "standard output: cannot be written", nullptr, 0, nullptr},
};

class OutputTargetTest : public testing::TestWithParam<TargetRow> {};

TEST_P(OutputTargetTest, WritesInPlaceOrSaysWhyNot) {
    const TargetRow& row = GetParam();
    const Scratch scratch(row.name);
    if (row.setUp[0] != '\0' && scratch.Bash(std::string(row.setUp) + "; echo $?") != 0) {
        GTEST_SKIP() << "set-up not possible here (" << row.setUp << "): " << scratch.Err();
    }
    EXPECT_EQ(scratch.Bash(row.command), row.status) << scratch.Err();
    EXPECT_NE(scratch.Err().find(row.fragment), std::string::npos) << scratch.Err();
    // A failed write claims no results.
    if (row.status != 0) {
        EXPECT_EQ(scratch.Err().find("cases sized"), std::string::npos) << scratch.Err();
    }
    if (row.path != nullptr) {
        EXPECT_EQ(KindOf(scratch.Path() / row.path, false), row.kind);
    }
    if (row.written != nullptr) {
        EXPECT_EQ(KindOf(scratch.Path() / row.written, true), 'f');
        EXPECT_NE(ReadFile(scratch.Path() / row.written).find("Result: sized."), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, OutputTargetTest, testing::ValuesIn(kTargets), testing_support::RowName());

TEST(OutputTargetTest, AClosedPipeEndsQuietlyWithTheStatusOfSigpipe) {
    const Scratch scratch("sigpipe");
    EXPECT_EQ(scratch.Bash("$K size batch.csv | head -1 > /dev/null; echo ${PIPESTATUS[0]}"), 128 + SIGPIPE);
    EXPECT_EQ(scratch.Err(), "");
}

// A run killed outright leaves its temporary file; the next run to the same target removes it,
// and leaves those of another target and of a writer that still runs.
TEST(OutputTargetTest, ARunRemovesTheTemporaryFilesOfEndedRunsOfItsTarget) {
    const Scratch scratch("stale");
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    ASSERT_GT(ended, 0);
    waitpid(ended, nullptr, 0);
    const std::string dead = std::to_string(ended), live = std::to_string(getpid());
    const fs::path stale = scratch.Path() / (".results.csv." + dead + ".0000abcd.partial");
    const fs::path otherTarget = scratch.Path() / (".results.csv.1." + dead + ".0000abcd.partial");
    const fs::path running = scratch.Path() / (".results.csv." + live + ".0000abcd.partial");
    for (const fs::path& planted : {stale, otherTarget, running}) std::ofstream(planted) << "left";

    ASSERT_EQ(scratch.Bash("$K size batch.csv -o results.csv; echo $?"), 0) << scratch.Err();
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(otherTarget));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_EQ(KindOf(scratch.Path() / "results.csv", false), 'f');
}

}  // namespace
}  // namespace kestrol

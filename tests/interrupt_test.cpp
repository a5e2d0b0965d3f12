// SIGINT in the middle of a large batch, sent to the real program: the previous results stay,
// no temporary file is left, the status is 130 and one line says that nothing was written.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "file_text.h"
#include "row_name.h"

namespace kestrol {
namespace {

namespace fs = std::filesystem;

using testing_support::ReadFile;

bool HasPartialFile(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".partial") return true;
    return false;
}

struct SignalRow {
    const char* name;
    int signal;
    int status;
};

class InterruptTest : public testing::TestWithParam<SignalRow> {};

TEST_P(InterruptTest, LeavesThePreviousResults) {
    const fs::path folder = fs::temp_directory_path() / ("kestrol-interrupt-" + std::to_string(GetParam().signal));
    fs::remove_all(folder);
    fs::create_directories(folder);
    {
        std::ofstream cases(folder / "cases.csv");
        cases << "name,pressure_kPa,temperature_C,vapour_mass_flow_kg_h,vapour_density_kg_m3,light_liquid_mass_flow_kg_h,"
                 "light_liquid_density_kg_m3\n";
        for (int i = 0; i < 300000; ++i) cases << "case " << i << ",3500,35,60000,28,1500,720\n";
    }
    std::ofstream(folder / "results.csv") << "old\n";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (folder / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string cases = (folder / "cases.csv").string(), results = (folder / "results.csv").string();
    char* const argv[] = {const_cast<char*>(KESTROL_EXECUTABLE), const_cast<char*>("size"), const_cast<char*>(cases.c_str()),
                          const_cast<char*>("-o"), const_cast<char*>(results.c_str()), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, KESTROL_EXECUTABLE, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    // Signal once the results are being written, so that there is something to lose.
    for (int wait = 0; wait < 1000 && !HasPartialFile(folder); ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool writing = HasPartialFile(folder);
    kill(child, GetParam().signal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(writing) << "the batch never started writing";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
    EXPECT_EQ(WEXITSTATUS(status), GetParam().status);
    EXPECT_EQ(ReadFile(folder / "results.csv"), "old\n");
    EXPECT_FALSE(HasPartialFile(folder));
    EXPECT_NE(ReadFile(folder / "stderr.txt").find("interrupted; nothing was written"), std::string::npos) << ReadFile(folder / "stderr.txt");
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptTest, testing::Values(SignalRow{"Sigint", SIGINT, 130}, SignalRow{"Sigterm", SIGTERM, 143}),
                         testing_support::RowName());

}  // namespace
}  // namespace kestrol

// Output files that are whole or absent: written to a temporary file in the same folder and
// renamed into place only when complete, so a failed or interrupted run leaves what was there.
// Also the stop request of SIGINT and SIGTERM that a long batch checks between chunks.
#pragma once

#include <atomic>
#include <fstream>
#include <string>

namespace kestrol::host {

/// A file being written; the target is replaced only by Commit(). The temporary file is
/// removed when the object goes without a commit.
class OutputFile {
public:
    /// Creates the temporary file next to `target`. Throws InputError when it cannot.
    explicit OutputFile(std::string target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::ostream& Stream() { return stream_; }
    /// Flushes, closes and renames the temporary file onto the target. Throws InputError.
    void Commit();
    /// Removes the temporary file; the target stays as it was.
    void Discard() noexcept;
    const std::string& TemporaryPath() const { return temporary_; }

private:
    std::string target_;
    std::string temporary_;
    std::ofstream stream_;
    bool open_ = false;
};

/// While one lives, a signal sets StopRequest() instead of ending the process: for a run that
/// writes to standard output and wants to say that it stopped.
class StopAware {
public:
    StopAware();
    ~StopAware();
    StopAware(const StopAware&) = delete;
    StopAware& operator=(const StopAware&) = delete;
};

/// Whether two paths name the same file (its identity, not its spelling); false when either
/// does not exist.
bool SameFile(const std::string& a, const std::string& b);

/// Installs the SIGINT and SIGTERM handlers. While no output file is pending a signal ends the
/// process at once (nothing was written); while one is, it raises StopRequest() for the run to
/// discard its temporary files and end with 128 + the signal.
void InstallStopHandlers();

/// The signal that asked the run to stop, or 0.
const std::atomic<int>& StopRequest();

/// Raises (or with 0 clears) the stop request as a signal would; for tests.
void RequestStop(int signal);

}  // namespace kestrol::host

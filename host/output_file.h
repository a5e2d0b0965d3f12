// Output files that are whole or absent: written to a temporary file in the same folder and
// renamed into place only when complete, so a failed or interrupted run leaves what was there.
// A device, FIFO or socket is written in place instead, as a shell's redirection writes it.
// Also the checked writes of every output, and the stop request of SIGINT and SIGTERM that a
// long batch checks between chunks.
#pragma once

#include <atomic>
#include <fstream>
#include <string>
#include <string_view>

#include "model/case_file.h"

namespace kestrol::host {

/// A file being written; the target is replaced only by Commit(). The temporary file is
/// removed when the object goes without a commit.
class OutputFile {
public:
    /// Creates the temporary file next to `target` (through symbolic links, to the file they
    /// name), or opens a target that is no regular file for writing in place; removes the
    /// temporary files of this target that ended runs left. Throws InputError when it cannot.
    explicit OutputFile(std::string target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// For a writer that checks its own writes (WriteChecked).
    std::ostream& Stream() { return stream_; }
    /// Writes and keeps the first failure's reason for Commit().
    void Write(std::string_view text);
    /// Flushes, closes and renames the temporary file onto the target. Throws InputError
    /// naming the output and the reason of the first failed write.
    void Commit();
    /// Removes the temporary file; the target stays as it was.
    void Discard() noexcept;
    /// Written straight into the target (a device, FIFO or socket): nothing to rename, and
    /// what was written is there whether or not the run completes.
    bool InPlace() const { return temporary_.empty(); }
    const std::string& TemporaryPath() const { return temporary_; }

private:
    void OpenInPlace();
    void OpenTemporary();

    std::string name_;    ///< as given, for messages
    std::string target_;  ///< the file replaced: symbolic links followed
    std::string temporary_;
    std::ofstream stream_;
    int error_ = 0;  ///< errno of the first failed write
    bool open_ = false;
};

/// Writes to an output; 0, or the failure's reason as errno held it right after the failing
/// call, read on the calling thread (errno is per thread, and later calls overwrite it); EIO
/// when the stream failed without one.
int WriteChecked(std::ostream& out, std::string_view text);
/// Flushes an output likewise.
int FlushChecked(std::ostream& out);
/// "output: cannot be written (reason)", for the errno of a failed write.
InputError CannotWrite(const std::string& output, int error);

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
